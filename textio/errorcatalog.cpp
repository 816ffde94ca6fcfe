#include "textio/errorcatalog.h"

// The templates are marked for lupdate, which reads this file for the translation (context "core");
// the core itself does not depend on Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace tamso::textio {

const char* errorTemplate(ErrorCode code) {
    switch (code) {
    case ErrorCode::Text:
        return "%1";
    // Files and text.
    case ErrorCode::CodecUnavailable:
        return QT_TRANSLATE_NOOP("core", "文字コード変換 (%1 → %2) を利用できません。");
    case ErrorCode::SjisUnreadable:
        return QT_TRANSLATE_NOOP("core", "Shift-JIS として読めない文字があります");
    case ErrorCode::SjisUnreadableAtByte:
        return QT_TRANSLATE_NOOP("core", "Shift-JIS として読めない文字があります（%1 バイト目）");
    case ErrorCode::SjisUnwritable:
        return QT_TRANSLATE_NOOP("core", "Shift-JIS で書けない文字があります");
    case ErrorCode::SjisUnwritableAtByte:
        return QT_TRANSLATE_NOOP("core", "Shift-JIS で書けない文字があります（%1 バイト目）");
    case ErrorCode::Utf8Unreadable:
        return QT_TRANSLATE_NOOP("core", "UTF-8 として読めない文字があります");
    case ErrorCode::FileMissing:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」が見つかりません。");
    case ErrorCode::NotAFile:
        return QT_TRANSLATE_NOOP("core", "「%1」はファイルではありません。");
    case ErrorCode::NotARegularFile:
        return QT_TRANSLATE_NOOP(
            "core", "「%1」は通常のファイルではありません（デバイスや名前付きパイプなどは読み込みません）。");
    case ErrorCode::FileCannotOpen:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」を開けません。");
    case ErrorCode::FileCannotRead:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」を読み込めません。");
    case ErrorCode::FileTooLarge:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」が大きすぎます（%2 バイト。このファイルは %3 バイトまでです）。");
    case ErrorCode::FileGrewTooLarge:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」が大きすぎます（このファイルは %2 バイトまでです）。");
    case ErrorCode::FileUnreadableText:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」を読み込めません: %2。");
    case ErrorCode::FileCannotWrite:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません（%2）。");
    case ErrorCode::FileReadOnly:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」は読み取り専用のため書き換えられません。");
    case ErrorCode::FileCannotWriteText:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません: %2。");
    case ErrorCode::ExportRefused:
        return QT_TRANSLATE_NOOP("core", "出力先「%1」には書き出せません（%2）。別のファイル名を指定して下さい。");
    case ErrorCode::EndBeforeValue:
        return QT_TRANSLATE_NOOP("core", "%1を読む前にファイルが終わっています");
    case ErrorCode::ValueNotSjis:
        return QT_TRANSLATE_NOOP("core", "%1（%2 行目）に Shift-JIS として読めない文字があります");
    case ErrorCode::NumberTooLarge:
        return QT_TRANSLATE_NOOP("core", "%1（%2 行目の「%3」）は大きすぎて数値として扱えません");
    case ErrorCode::NotANumber:
        return QT_TRANSLATE_NOOP("core", "%1（%2 行目の「%3」）が数値ではありません");
    case ErrorCode::WorkFolderCannotMake:
        return QT_TRANSLATE_NOOP("core", "作業フォルダ「%1」を作成できません（%2）。");
    case ErrorCode::WorkFolderMissing:
        return QT_TRANSLATE_NOOP("core", "作業フォルダ「%1」が見つかりません。");
    case ErrorCode::WorkdirOptionEmpty:
        return QT_TRANSLATE_NOOP("core", "起動オプション --workdir には作業フォルダを続けて下さい。");
    case ErrorCode::NoHomeFolder:
        return QT_TRANSLATE_NOOP("core", "ホームフォルダが分からないため、作業フォルダを決められません。"
                                         "起動オプション --workdir で作業フォルダを指定して下さい。");
    case ErrorCode::DefaultsFolderMissing:
        return QT_TRANSLATE_NOOP("core", "付属データのフォルダ「%1」が見つかりません。");
    case ErrorCode::DefaultsFolderUnreadable:
        return QT_TRANSLATE_NOOP("core", "付属データのフォルダ「%1」を読み込めません（%2）。");
    // Records.
    case ErrorCode::RecordFileBusy:
        return QT_TRANSLATE_NOOP(
            "core", "患者ファイル「%1」は他で保存中のため使用できません。しばらくしてからもう一度保存して下さい。");
    case ErrorCode::RecordFileBusyWithdraw:
        return QT_TRANSLATE_NOOP(
            "core", "患者ファイル「%1」は他で保存中のため使用できません。しばらくしてからもう一度取り消して下さい。");
    // The node.
    case ErrorCode::SendingInProgress:
        return QT_TRANSLATE_NOOP("core", "線量レポートを送信しているところです。しばらくしてからもう一度試して下さい。");
    case ErrorCode::ImagesBeingProcessed:
        return QT_TRANSLATE_NOOP(
            "core", "受信画像の処理を他のプログラム（tamso-node など）が続けています。しばらくしてからもう一度試して下さい。");
    // Records: reading, checking and saving an infant's record files.
    case ErrorCode::RecordFolderUnlistable:
        return QT_TRANSLATE_NOOP("core", "作業フォルダ「%1」の記録ファイルを一覧できません: %2。");
    case ErrorCode::RecordFilesUnusable:
        return "%1";
    case ErrorCode::ListValueComma:
        return QT_TRANSLATE_NOOP("core", "区切りのカンマがあります");
    case ErrorCode::ListValueAfterQuote:
        return QT_TRANSLATE_NOOP("core", "引用符(\")で囲んだ値の後に余分な文字があります");
    case ErrorCode::RecordFileLayout:
        return QT_TRANSLATE_NOOP("core", "患者ファイル「%1」は記録の形式で読み込めません（%2）。");
    case ErrorCode::PatientIdUnusable:
        return QT_TRANSLATE_NOOP("core", "患者ID「%1」はファイル名に使えません（%2）。別のIDを入力して下さい。");
    case ErrorCode::NameLineBreak:
        return QT_TRANSLATE_NOOP("core", "氏名に改行を含めることはできません。");
    case ErrorCode::FieldLineBreak:
        return QT_TRANSLATE_NOOP("core", "「%1」に改行を含めることはできません。");
    case ErrorCode::FieldCommaAndQuote:
        return QT_TRANSLATE_NOOP("core", "「%1」にカンマ(,)と引用符(\")を一緒に含めることはできません。");
    case ErrorCode::FieldNotStorable:
        return QT_TRANSLATE_NOOP("core", "「%1」は記録できません（%2）。");
    case ErrorCode::RecordConditionsNotNumbers:
        return QT_TRANSLATE_NOOP("core", "撮影条件（管電圧・mAs・FFD・被写体厚）が数値として記録されていません");
    case ErrorCode::RecordFieldSizeUnknown:
        return QT_TRANSLATE_NOOP("core", "照射野サイズ「%1」の大きさが分かりません");
    case ErrorCode::RecordDoseMissing:
        return QT_TRANSLATE_NOOP("core", "入射表面線量が記録されていません");
    case ErrorCode::LockFileCannotLock:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません（ロックファイル「%2」をロックできません: %3）。");
    case ErrorCode::TechnologistListFull:
        return QT_TRANSLATE_NOOP("core", "撮影担当者は50名までしか登録できません。");
    case ErrorCode::EnterIdAndName:
        return QT_TRANSLATE_NOOP("core", "患者IDおよび氏名を入力して下さい");
    case ErrorCode::SaveStoredUnreadable:
        return QT_TRANSLATE_NOOP("core", "%1ファイルは変更せず、データは保存しませんでした。");
    case ErrorCode::SaveNotInLayout:
        return QT_TRANSLATE_NOOP("core", "このデータは記録の形式で保存できません: %1");
    case ErrorCode::SaveNotWritten:
        return QT_TRANSLATE_NOOP("core", "%1データは保存されていません。");
    case ErrorCode::QuestionSave:
        return QT_TRANSLATE_NOOP("core", "このデータを保存しますか？");
    case ErrorCode::QuestionDuplicate:
        return QT_TRANSLATE_NOOP("core", "同じ記録が既に保存されています。もう一度保存しますか？");
    case ErrorCode::QuestionSameExposure:
        return QT_TRANSLATE_NOOP("core", "同じ撮影の記録が既に保存されています（記録 %1：%2 %3 %4 kV %5 mAs、入射表面線量 %6 mGy）。別の撮影としてもう一度保存しますか？");
    case ErrorCode::Saved:
        return QT_TRANSLATE_NOOP("core", "データを保存しました。");
    case ErrorCode::SavedToContinuation:
        return QT_TRANSLATE_NOOP("core", "この患児の記録は %1 件を超えたため、続きのファイル「%2」に保存しました。");
    // Records: withdrawing a record.
    case ErrorCode::WithdrawalFieldCount:
        return QT_TRANSLATE_NOOP("core", "項目が %1 個あります。%2 個のはずです");
    case ErrorCode::WithdrawalNumberBad:
        return QT_TRANSLATE_NOOP("core", "記録の番号「%1」が 1 以上の整数ではありません");
    case ErrorCode::WithdrawalEscapeBad:
        return QT_TRANSLATE_NOOP("core", "%1 番目の項目の % の後が 16 進 2 桁ではありません");
    case ErrorCode::WithdrawalFieldEmpty:
        return QT_TRANSLATE_NOOP("core", "日時、取り消した人、理由のどれかが空です");
    case ErrorCode::WithdrawalReasonMissing:
        return QT_TRANSLATE_NOOP("core", "取り消しの理由を入力して下さい。");
    case ErrorCode::WithdrawerMissing:
        return QT_TRANSLATE_NOOP("core", "取り消す人の名前を入力して下さい。");
    case ErrorCode::WithdrawalNotSjis:
        return QT_TRANSLATE_NOOP("core", "取り消しの理由または名前に、ファイルに書けない（Shift-JIS にない）文字があります。");
    case ErrorCode::WithdrawHistoryUnreadable:
        return QT_TRANSLATE_NOOP("core", "%1\n記録を取り消せませんでした。");
    case ErrorCode::WithdrawRecordChanged:
        return QT_TRANSLATE_NOOP("core", "患者ID「%1」の記録 %2 は一覧したときの記録と違います。もう一度一覧して下さい。");
    case ErrorCode::WithdrawTrailUnreadable:
        return QT_TRANSLATE_NOOP("core", "%1記録を取り消せませんでした。");
    case ErrorCode::AlreadyWithdrawn:
        return QT_TRANSLATE_NOOP("core", "この記録（%1 件目）は %2 に%3が取り消し済みです（理由: %4）。もう一度取り消すことはできません。");
    case ErrorCode::WithdrawNotWritten:
        return QT_TRANSLATE_NOOP("core", "%1記録は取り消されていません。");
    // The calculation (engine).
    case ErrorCode::ConditionOutOfRange:
        return QT_TRANSLATE_NOOP("core", "%1 %2 %3 は範囲外です。%4で入力してください。");
    case ErrorCode::ConditionMissing:
        return QT_TRANSLATE_NOOP("core", "%1が入力されていません。%2で入力してください。");
    case ErrorCode::ConditionNotANumber:
        return QT_TRANSLATE_NOOP("core", "%1の入力値「%2」は数値ではありません。%3で入力してください。");
    case ErrorCode::ConditionTooLarge:
        return QT_TRANSLATE_NOOP("core", "%1の入力値「%2」は大きすぎて計算に使えません。");
    case ErrorCode::ConditionsNotNumbers:
        return QT_TRANSLATE_NOOP("core", "入力された条件に数値として扱えない値があります。");
    case ErrorCode::VoltageNotBelow150:
        return QT_TRANSLATE_NOOP("core", "管電圧は 150 kV 未満で入力してください。");
    case ErrorCode::FfdNotPositive:
        return QT_TRANSLATE_NOOP("core", "FFD（焦点－受像器間距離）は 0 より大きい値を入力してください。");
    case ErrorCode::FocusSkinNotPositive:
        return QT_TRANSLATE_NOOP("core", "焦点－皮膚間距離（FFD − 被写体厚）が 0 以下です。FFD と被写体厚を確認してください。");
    case ErrorCode::FocusSkinTooShort:
        return QT_TRANSLATE_NOOP("core", "焦点－皮膚間距離 %1（FFD %2 − 被写体厚 %3）が %4 未満です。FFD と被写体厚を確認してください。");
    case ErrorCode::FocusHoodOutside:
        return QT_TRANSLATE_NOOP("core", "焦点－フード・カバー間距離 %1 は、0 cm より長く焦点－皮膚間距離 %2（FFD %3 − 被写体厚 %4）より短くなければなりません（フード・カバーは焦点と皮膚の間にあります）。");
    case ErrorCode::AirAbsorptionZero:
        return QT_TRANSLATE_NOOP("core", "空気のエネルギー吸収係数が 0 のエネルギーがあるため、吸収線量変換係数を計算できません（Atten2.dat, %1 keV）。");
    case ErrorCode::BsfEnergiesNotAscending:
        return QT_TRANSLATE_NOOP("core", "後方散乱係数のエネルギーが昇順になっていません（mono_dBSF.dat）。");
    case ErrorCode::SprTableNotAscending:
        return QT_TRANSLATE_NOOP("core", "散乱線比の表（s_p_ratio.dat）の距離または照射野面積が昇順になっていません。");
    case ErrorCode::TissueAbsorptionZero:
        return QT_TRANSLATE_NOOP("core", "組織のエネルギー吸収係数が 0 のため、後方散乱係数を計算できません（Atten2.dat）。");
    case ErrorCode::VoltageTooLow:
        return QT_TRANSLATE_NOOP("core", "管電圧が低すぎるため、X線スペクトルを計算できません。");
    case ErrorCode::TargetAngleBad:
        return QT_TRANSLATE_NOOP("core", "ターゲット角度が不正です（正弦が 0 になります）。基礎データまたは入力値を確認してください。");
    case ErrorCode::NumberOutOfRange:
        return QT_TRANSLATE_NOOP("core", "計算中に数値の範囲を超えました（%1）。入力した条件と基礎データを確認してください。");
    case ErrorCode::ResultNegative:
        return QT_TRANSLATE_NOOP("core", "計算結果（%1）が負の値になりました。入力した条件と基礎データを確認してください。");
    case ErrorCode::AmbientDistancesNotAscending:
        return QT_TRANSLATE_NOOP("core", "周辺線量の表（kaijo_dose.dat）の距離が昇順になっていません。周辺線量の表を確認してください。");
    case ErrorCode::AmbientTableTooShort:
        return QT_TRANSLATE_NOOP("core", "周辺線量の表（kaijo_dose.dat）の最後の距離が 120 cm に届いていません。周辺線量の表を確認してください。");
    case ErrorCode::AmbientValuesZero:
        return QT_TRANSLATE_NOOP("core", "周辺線量の表（kaijo_dose.dat）の、この FFD と管電圧で使う値がすべて 0 です。周辺線量の表に測定値を入力してください。");
    case ErrorCode::TransmissionTooHigh:
        return QT_TRANSLATE_NOOP("core", "30 mm Al までに透過率が %1 % を下回らないため、半価層を求められません。線質が硬すぎます。");
    case ErrorCode::NoXraysAtSkin:
        return QT_TRANSLATE_NOOP("core", "この条件では X線が皮膚面に届かないため、スペクトルを計算できません。管電圧とフィルタを確認してください。");
    case ErrorCode::ExposureSpectrumZero:
        return QT_TRANSLATE_NOOP("core", "照射線量のスペクトルが 0 になるため、フィルタによる照射線量比を計算できません。空気のエネルギー吸収係数（Atten2.dat）とフィルタを確認してください。");
    case ErrorCode::HvlNotPositive:
        return QT_TRANSLATE_NOOP("core", "半価層が 0 以下になるため、実効エネルギーを求められません。");
    case ErrorCode::EffectiveEnergyNotFound:
        return QT_TRANSLATE_NOOP("core", "アルミニウムの減弱係数表の範囲内に実効エネルギーが見つかりません（Atten2.dat）。");
    case ErrorCode::SpectrumNotWritten:
        return QT_TRANSLATE_NOOP("core", "スペクトルデータ「Beam_data.dat」を書き込めません。作業フォルダを確認してください。\n%1");
    case ErrorCode::VoltageAboveOutputTable:
        return QT_TRANSLATE_NOOP("core", "管電圧が出力データの最大管電圧（%1 kV）を超えているため、照射線量を求められません。");
    case ErrorCode::VoltageBelowOutputTable:
        return QT_TRANSLATE_NOOP("core", "管電圧が出力データの最小管電圧（%1 kV）を下回っているため、照射線量を求められません。");
    case ErrorCode::OutputVoltagesEqual:
        return QT_TRANSLATE_NOOP("core", "出力データの管電圧（%1 kV, %2 kV）が同じため、照射線量を補間できません。出力データを確認してください。");
    case ErrorCode::WeightOutOfRange:
        return QT_TRANSLATE_NOOP("core", "体重 %1 kg は範囲外です。%2 kg 以上 %3 kg 以下で入力してください。");
    case ErrorCode::OrganTableMissing:
        return QT_TRANSLATE_NOOP("core", "臓器線量の表が読み込まれていません。");
    case ErrorCode::OrganDoseBeforeCalculation:
        return QT_TRANSLATE_NOOP("core", "臓器線量は入射表面線量の計算の後に求めます。先に計算を行ってください。");
    case ErrorCode::BodyPartWithoutOrgans:
        return QT_TRANSLATE_NOOP("core", "撮影部位「%1」は胸部・腹部・胸腹部・頭部のどれにも当たらないため、臓器線量と実効線量は計算できません。");
    case ErrorCode::WeightUnknown:
        return QT_TRANSLATE_NOOP("core", "体重が分からないため、臓器線量と実効線量は計算できません。体重を入力するか、体重の既定値を作業フォルダの「体重既定値.txt」に書いてください。");
    // Reference data (refdata).
    case ErrorCode::ReferenceFileUnreadable:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」の読み込みに失敗しました: %2。");
    case ErrorCode::ReferenceValueImplausible:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」の値が正しくありません: %2（%3 行目の「%4」）は %5。値の数と並びを確認してください。");
    case ErrorCode::ReferenceLevelNoBodyPart:
        return QT_TRANSLATE_NOOP("core", "撮影部位が空の参考レベルは保存できません。");
    case ErrorCode::ReferenceLevelQuote:
        return QT_TRANSLATE_NOOP("core", "撮影部位「%1」は引用符(\")を含むため参考レベルを保存できません。");
    case ErrorCode::ReferenceLevelNotPositive:
        return QT_TRANSLATE_NOOP("core", "撮影部位「%1」の参考レベルは 0 より大きい数値にして下さい。");
    // The node: dose reports.
    case ErrorCode::DoseReportNotSaved:
        return QT_TRANSLATE_NOOP("core", "線量レポートを保存できません: %1");
    // DICOM.
    case ErrorCode::DicomCharsetNotConvertible:
        return QT_TRANSLATE_NOOP("core", "文字コード %1 の文字を変換できません（%2）。");
    case ErrorCode::DicomDictionaryMissing:
        return QT_TRANSLATE_NOOP(
            "core", "DICOM のデータ辞書を読めません。DCMTK のインストール（dicom.dic）を確かめてください。");
    case ErrorCode::DicomFileCannotOpen:
        return QT_TRANSLATE_NOOP("core", "%1 を開けません。");
    case ErrorCode::DicomNotDicom:
        return QT_TRANSLATE_NOOP("core", "%1 は DICOM ファイルではありません。");
    case ErrorCode::DicomUnreadable:
        return QT_TRANSLATE_NOOP("core", "%1 は DICOM ファイルとして読めません（%2）。");
    case ErrorCode::DicomNoClassNorModality:
        return QT_TRANSLATE_NOOP("core", "%1 は DICOM ファイルとして読めません（SOPClassUID (0008,0016) も "
                                         "Modality (0008,0060) もありません）。");
    case ErrorCode::DicomIsDicomDir:
        return QT_TRANSLATE_NOOP("core", "%1 は DICOMDIR（画像の一覧）です。");
    case ErrorCode::DicomNotRadiograph:
        return QT_TRANSLATE_NOOP("core", "%1 は一般撮影（CR・DX）の画像ではありません（Modality: %2）。");
    case ErrorCode::DicomNotRadiographNoModality:
        return QT_TRANSLATE_NOOP("core", "%1 は一般撮影（CR・DX）の画像ではありません（Modality: なし）。");
    case ErrorCode::DicomNotDicomDir:
        return QT_TRANSLATE_NOOP("core", "%1 は DICOMDIR ではありません。");
    case ErrorCode::BodyPartFileMissing:
        return QT_TRANSLATE_NOOP("core", "%1 がありません");
    case ErrorCode::BodyPartFileUnreadable:
        return QT_TRANSLATE_NOOP("core", "%1 を読めません");
    // The node.
    case ErrorCode::PortUnusable:
        return QT_TRANSLATE_NOOP("core", "port %1: %2");
    case ErrorCode::OutboxFolderCannotMake:
        return QT_TRANSLATE_NOOP("core", "送信待ちのフォルダ（%1）を作れません: %2");
    case ErrorCode::OutboxReportEmpty:
        return QT_TRANSLATE_NOOP("core", "送信するレポートが空です。");
    case ErrorCode::DoseReportNotMade:
        return QT_TRANSLATE_NOOP("core", "線量レポートを作成できません（%1: %2）。");
    case ErrorCode::DoseReportCreatedBad:
        return QT_TRANSLATE_NOOP("core",
                                 "線量レポートの作成日時（%1）が YYYYMMDDHHMMSS の形ではありません。");
    case ErrorCode::ReceivedNoDataSet:
        return QT_TRANSLATE_NOOP("core", "no data set");
    case ErrorCode::PresentationContextBad:
        return QT_TRANSLATE_NOOP("core", "presentation context: %1");
    case ErrorCode::TlsSettingFailed:
        return QT_TRANSLATE_NOOP("core", "%1: %2");
    case ErrorCode::TlsKeyMismatch:
        return QT_TRANSLATE_NOOP("core", "tls-private-key %1 does not belong to tls-certificate %2");
    case ErrorCode::FileProblem:
        return QT_TRANSLATE_NOOP("core", "%1: %2");
    case ErrorCode::SopInstanceUidMissing:
        return QT_TRANSLATE_NOOP("core", "SOPInstanceUID (0008,0018) がありません。");
    case ErrorCode::ImageHeaderNotWritten:
        return QT_TRANSLATE_NOOP("core", "画像の見出しを書き出せません（%1）。");
    case ErrorCode::WorkFolderProblem:
        return QT_TRANSLATE_NOOP("core", "working folder %1: %2");
    case ErrorCode::DestinationNoAt:
        return QT_TRANSLATE_NOOP("core",
                                 "送信先「%1」は AET@HOST:PORT の形ではありません（@ がありません）。");
    case ErrorCode::DestinationAeTitleBad:
        return QT_TRANSLATE_NOOP("core", "送信先「%1」は AET@HOST:PORT の形ではありません（AE タイトルは "
                                         "1～16 文字の英数字・記号です）。");
    case ErrorCode::DestinationIpv6Bad:
        return QT_TRANSLATE_NOOP("core", "送信先「%1」は AET@HOST:PORT の形ではありません（IPv6 アドレスは [ "
                                         "] で囲み、その後に :ポート番号 を書きます）。");
    case ErrorCode::DestinationNoPort:
        return QT_TRANSLATE_NOOP(
            "core", "送信先「%1」は AET@HOST:PORT の形ではありません（ポート番号がありません）。");
    case ErrorCode::DestinationNoHost:
        return QT_TRANSLATE_NOOP("core",
                                 "送信先「%1」は AET@HOST:PORT の形ではありません（ホスト名がありません）。");
    case ErrorCode::DestinationPortBad:
        return QT_TRANSLATE_NOOP(
            "core", "送信先「%1」は AET@HOST:PORT の形ではありません（ポート番号は 1～65535 です）。");
    case ErrorCode::TargetRegionCodeBad:
        return QT_TRANSLATE_NOOP("core",
                                 "%1 行目のコード「%2」は SNOMED CT のコード（数字）ではありません。");
    case ErrorCode::TargetRegionMeaningMissing:
        return QT_TRANSLATE_NOOP("core", "%1 行目にコードの意味（英語）がありません。");
    case ErrorCode::ThicknessDefaultBad:
        return QT_TRANSLATE_NOOP("core", "%1 行目の被写体厚「%2」は 0 より大きい数ではありません。");
    case ErrorCode::ImageLogUnreadable:
        return QT_TRANSLATE_NOOP("core", "「%1」を読めません。");
    case ErrorCode::NetworkUnusable:
        return QT_TRANSLATE_NOOP("core", "ネットワークを使えません: %1");
    case ErrorCode::PeerUnreachable:
        return QT_TRANSLATE_NOOP("core", "%1 と接続できません: %2");
    case ErrorCode::CallingAeTitleBad:
        return QT_TRANSLATE_NOOP("core",
                                 "自分の AE タイトル「%1」は 1～16 文字の英数字・記号で指定してください。");
    case ErrorCode::PacsNotGiven:
        return QT_TRANSLATE_NOOP("core", "問い合わせ先の PACS が AET@HOST:PORT の形で指定されていません。");
    case ErrorCode::FindFailed:
        return QT_TRANSLATE_NOOP("core", "PACS への問い合わせ（C-FIND）に失敗しました: %1");
    case ErrorCode::FindRefused:
        return QT_TRANSLATE_NOOP("core", "PACS が問い合わせ（C-FIND）を断りました（状態 %1）。");
    case ErrorCode::PullDateBad:
        return QT_TRANSLATE_NOOP("core", "日付「%1」は YYYYMMDD の形で指定してください。");
    case ErrorCode::PullDatesReversed:
        return QT_TRANSLATE_NOOP("core", "期間の始め（%1）が終わり（%2）より後です。");
    case ErrorCode::FindNotAccepted:
        return QT_TRANSLATE_NOOP("core", "%1 は問い合わせ（C-FIND）を受け付けません。");
    case ErrorCode::GetNotAccepted:
        return QT_TRANSLATE_NOOP("core", "%1 は画像の取得（C-GET）を受け付けません。");
    case ErrorCode::PullFolderCannotMake:
        return QT_TRANSLATE_NOOP("core", "取得した画像のフォルダ（%1）を作れません: %2");
    case ErrorCode::DicomMetaNotMade:
        return QT_TRANSLATE_NOOP("core", "DICOM ファイルのメタ情報を作れません: %1");
    case ErrorCode::DicomFileNotWritten:
        return QT_TRANSLATE_NOOP("core", "DICOM ファイルを書けません: %1");
    case ErrorCode::ConfigLineNotKeyValue:
        return QT_TRANSLATE_NOOP("core", "%1: expected \"key = value\"");
    case ErrorCode::ConfigKeyUnknown:
        return QT_TRANSLATE_NOOP("core", "%1: unknown key \"%2\"");
    case ErrorCode::SettingProblem:
        return QT_TRANSLATE_NOOP("core", "%1: %2");
    case ErrorCode::ConfigNotYesNo:
        return QT_TRANSLATE_NOOP("core", "%1: expected yes or no: %2");
    case ErrorCode::ConfigDelayBad:
        return QT_TRANSLATE_NOOP("core", "%1: expected a whole number of seconds from 0 to 86400: %2");
    case ErrorCode::ConfigNumberOutOfRange:
        return QT_TRANSLATE_NOOP("core", "%1: expected a whole number from %2 to %3: %4");
    case ErrorCode::ConfigPortBad:
        return QT_TRANSLATE_NOOP("core", "%1: not a port number (1-65535): %2");
    case ErrorCode::ConfigAeTitleBad:
        return QT_TRANSLATE_NOOP("core", "%1: not an AE title (1 to 16 characters, no backslash): %2");
    case ErrorCode::ArgumentUnexpected:
        return QT_TRANSLATE_NOOP("core", "unexpected argument: %1 (see --help)");
    case ErrorCode::OptionNeedsValue:
        return QT_TRANSLATE_NOOP("core", "--%1 needs a value (see --help)");
    case ErrorCode::OptionUnknown:
        return QT_TRANSLATE_NOOP("core", "unknown option --%1 (see --help)");
    case ErrorCode::ConfigFileMissing:
        return QT_TRANSLATE_NOOP("core", "--config: no such file: %1");
    case ErrorCode::PortNotGiven:
        return QT_TRANSLATE_NOOP("core", "no port given: --port PORT (or --tls-port PORT)");
    case ErrorCode::PortsEqual:
        return QT_TRANSLATE_NOOP("core", "--port and --tls-port must differ");
    case ErrorCode::TlsPortNeedsKey:
        return QT_TRANSLATE_NOOP("core", "--tls-port needs --tls-certificate and --tls-private-key");
    case ErrorCode::ReferenceDataWaiting:
        return QT_TRANSLATE_NOOP("core", "基準データを読めないため、受信画像は処理を待っています: %1");
    case ErrorCode::ReportPendingFolderCannotMake:
        return QT_TRANSLATE_NOOP("core", "線量レポートの待ちのフォルダ（%1）を作れません: %2");
    case ErrorCode::ReportUidMissing:
        return QT_TRANSLATE_NOOP("core", "検査または照射の UID がないため、線量レポートを待たせられません。");
    case ErrorCode::ReportStudyFolderCannotMake:
        return QT_TRANSLATE_NOOP("core", "線量レポートの検査のフォルダ（%1）を作れません: %2");
    case ErrorCode::ReportExposureFileUnreadable:
        return QT_TRANSLATE_NOOP("core", "線量レポートの撮影のファイル（%1）を読めません。");
    case ErrorCode::ReportPendingFileNotRemoved:
        return QT_TRANSLATE_NOOP("core", "線量レポートの待ちのファイル（%1）を消せません: %2");
    case ErrorCode::NodeLinkRefused:
        return QT_TRANSLATE_NOOP("core", "「%"
                                         "1」はリンクです。ノードはリンクの先には書き込みません。リンクを消す"
                                         "か、実際のファイルやフォルダに置き換えてください。");
    case ErrorCode::InterruptedRecordCheck:
        return QT_TRANSLATE_NOOP("core", "中断された記録の確認: %1");
    case ErrorCode::RecordNotPrepared:
        return QT_TRANSLATE_NOOP("core", "記録の準備ができません: %1");
    case ErrorCode::DoseReportPatientText:
        return QT_TRANSLATE_NOOP("core", "線量レポートを作成できません。患者の文字（%1）。");
    case ErrorCode::DoseReportNoPatientId:
        return QT_TRANSLATE_NOOP("core", "患者IDがないため、線量レポートを作成できません。");
    case ErrorCode::DoseReportDateBad:
        return QT_TRANSLATE_NOOP("core",
                                 "撮影日（%1）が YYYYMMDD の形でないため、線量レポートを作成できません。");
    case ErrorCode::DoseReportTimeBad:
        return QT_TRANSLATE_NOOP("core",
                                 "撮影時刻（%1）が HHMMSS の形でないため、線量レポートを作成できません。");
    case ErrorCode::DoseReportUidBad:
        return QT_TRANSLATE_NOOP("core", "線量レポートの UID（%1）が UID の形ではありません。");
    case ErrorCode::DoseReportImageUidsMissing:
        return QT_TRANSLATE_NOOP(
            "core", "画像の SOP クラス、シリーズまたは検査の UID がないため、線量レポートを作成できません。");
    case ErrorCode::DoseReportValueNotPositive:
        return QT_TRANSLATE_NOOP("core", "%1が 0 より大きい数でないため、線量レポートを作成できません。");
    case ErrorCode::DoseReportFilterBad:
        return QT_TRANSLATE_NOOP(
            "core", "付加フィルタの厚さが 0 未満または数でないため、線量レポートを作成できません。");
    case ErrorCode::DoseReportSkinBeyondFfd:
        return QT_TRANSLATE_NOOP("core",
                                 "焦点－皮膚間距離が FFD より長いため、線量レポートを作成できません。");
    case ErrorCode::DoseReportOptionalBad:
        return QT_TRANSLATE_NOOP(
            "core",
            "管電流、撮影時間または不確かさが 0 未満または数でないため、線量レポートを作成できません。");
    case ErrorCode::DoseReportEffectiveDoseBad:
        return QT_TRANSLATE_NOOP("core",
                                 "実効線量が 0 未満または数でないため、線量レポートを作成できません。");
    case ErrorCode::DoseReportNoExposures:
        return QT_TRANSLATE_NOOP("core", "線量レポートに載せる撮影がありません。");
    case ErrorCode::DoseReportMixedExposures:
        return QT_TRANSLATE_NOOP("core", "患者または検査の異なる撮影を一つの線量レポートにはできません。");
    case ErrorCode::DoseReportEventUidBad:
        return QT_TRANSLATE_NOOP("core", "照射の UID（%1）が UID の形ではありません。");
    case ErrorCode::NodeFileIsLink:
        return QT_TRANSLATE_NOOP("core", "ファイル「%"
                                         "1」に書き込めません（リンクです。リンクの先には書き込みません。リン"
                                         "クを消すか、実際のファイルに置き換えてください）。");
    case ErrorCode::NodeFileNotRegular:
        return QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません（通常のファイルではありません）。");
    case ErrorCode::NodeAlreadyRunning:
        return QT_TRANSLATE_NOOP("core",
                                 "作業フォルダ「%1」では、すでに別の tamso-node "
                                 "が動いています（%2）。一つの作業フォルダで動かせるノードは一つだけです。");
    case ErrorCode::NodeAlreadyRunningUnknown:
        return QT_TRANSLATE_NOOP("core",
                                 "作業フォルダ「%1」では、すでに別の tamso-node が動いています（プロセス ID "
                                 "不明）。一つの作業フォルダで動かせるノードは一つだけです。");
    case ErrorCode::SetAsideWhoMissing:
        return QT_TRANSLATE_NOOP("core", "取り除く人の名前を入力して下さい。");
    case ErrorCode::SetAsideWhyMissing:
        return QT_TRANSLATE_NOOP("core", "画像を取り除く理由を入力して下さい。");
    case ErrorCode::ImageNoLongerHeld:
        return QT_TRANSLATE_NOOP("core",
                                 "この画像はもう保留されていません（記録されたか、取り除かれています）。");
    case ErrorCode::ImageUnreadable:
        return QT_TRANSLATE_NOOP("core", "画像（%1）を読めません: %2");
    case ErrorCode::DeviceUidFileBad:
        return QT_TRANSLATE_NOOP("core", "装置の UID のファイル（%1）の内容が UID ではありません。");
    case ErrorCode::DeviceUidFileUnreadable:
        return QT_TRANSLATE_NOOP("core", "装置の UID のファイル（%1）を読めません。");
    case ErrorCode::ReportFolderIdUnusable:
        return QT_TRANSLATE_NOOP("core", "患者ID（%1）では線量レポートのフォルダを作れません。");
    case ErrorCode::ReportFolderCannotMake:
        return QT_TRANSLATE_NOOP("core", "線量レポートのフォルダ（%1）を作れません: %2");
    case ErrorCode::NoReportDestination:
        return QT_TRANSLATE_NOOP("core", "線量レポートの送信先も保存先もありません。");
    case ErrorCode::NoImageHeader:
        return QT_TRANSLATE_NOOP("core", "no header");
    case ErrorCode::NodeFolderCannotMake:
        return QT_TRANSLATE_NOOP("core", "フォルダ「%1」を作れません（%2）。");
    case ErrorCode::ReceivedNameTaken:
        return QT_TRANSLATE_NOOP("core", "受信画像の名前「%1」がすでにあります。");
    case ErrorCode::InterruptedForTest:
        return QT_TRANSLATE_NOOP("core", "interrupted for a test");
    case ErrorCode::ImageResultMissing:
        return QT_TRANSLATE_NOOP("core", "画像 %1 の処理結果が見つかりません。");
    case ErrorCode::ImageNotYetRecorded:
        return QT_TRANSLATE_NOOP("core", "画像 %1 はまだ記録できません: %2");
    case ErrorCode::ImageNotProcessed:
        return QT_TRANSLATE_NOOP("core", "画像 %1 を処理できません。");
    // The screens.
    case ErrorCode::AuditEmpty:
        return QT_TRANSLATE_NOOP("core", "集計がまだありません。");
    case ErrorCode::PrintNotBegun:
        return QT_TRANSLATE_NOOP("core", "印刷を始められませんでした。");
    case ErrorCode::PrintNotFinished:
        return QT_TRANSLATE_NOOP("core", "印刷を終えられませんでした。");
    case ErrorCode::PrintCannotStart:
        return QT_TRANSLATE_NOOP("core", "印刷を開始できませんでした。プリンタの設定を確認して下さい。");
    case ErrorCode::PrintFailed:
        return QT_TRANSLATE_NOOP("core", "印刷できませんでした。プリンタの設定を確認して下さい。");
    case ErrorCode::DoseHistoryEmpty:
        return QT_TRANSLATE_NOOP("core", "線量履歴がありません。");
    case ErrorCode::RecordFileNotFound:
        return QT_TRANSLATE_NOOP("core", "患者ファイル「%1」がありません。");
    case ErrorCode::StoredRecordMissing:
        return QT_TRANSLATE_NOOP("core", "患者ID「%1」の記録 %2 がありません。");
    case ErrorCode::WeightMissingNoDefault:
        return QT_TRANSLATE_NOOP("core", "体重が入力されておらず、既定値も読めません: %1");
    // The command-line calculator.
    case ErrorCode::CalcBodyPartNotListed:
        return QT_TRANSLATE_NOOP(
            "core", "撮影部位「%1」は撮影部位.txt にありません。撮影部位.txt の名前で指定してください。");
    case ErrorCode::CalcWeightNotANumber:
        return QT_TRANSLATE_NOOP("core", "体重の入力値「%1」は数値ではありません。");
    case ErrorCode::CalcWeightMissingNoDefault:
        return QT_TRANSLATE_NOOP("core", "体重が指定されておらず、既定値も読めません: %1");

    case ErrorCode::Count:
        break;
    }
    return "";
}

std::string fillTemplate(std::string_view pattern, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size();) {
        size_t end = i + 1;
        while (pattern[i] == '%' && end < pattern.size() && pattern[end] >= '0' && pattern[end] <= '9')
            ++end;
        const size_t number = end > i + 1 ? std::stoul(std::string(pattern.substr(i + 1, end - i - 1))) : 0;
        if (number >= 1 && number <= args.size())
            out += args[number - 1];
        else
            out.append(pattern.substr(i, end - i));
        i = end;
    }
    return out;
}

std::string errorMessage(ErrorCode code, const std::vector<std::string>& args) {
    return fillTemplate(errorTemplate(code), args);
}

bool isBusyCode(ErrorCode code) {
    switch (code) {
    case ErrorCode::RecordFileBusy:
    case ErrorCode::RecordFileBusyWithdraw:
    case ErrorCode::SendingInProgress:
    case ErrorCode::ImagesBeingProcessed:
        return true;
    default:
        return false;
    }
}

} // namespace tamso::textio
