#include "textio/errorcatalog.h"

#include <array>

// The templates are marked for lupdate, which reads this file for the translation (context "core");
// the core itself does not depend on Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace tamso::textio {

namespace {

// Every code's template, in the enum's order of groups; checked at compile time to hold each code
// exactly once.
struct Template {
    ErrorCode code;
    const char* text;
};
constexpr Template kTemplates[] = {
    {ErrorCode::Text, "%1"},
    // Files and text.
    {ErrorCode::CodecUnavailable, QT_TRANSLATE_NOOP("core", "文字コード変換 (%1 → %2) を利用できません。")},
    {ErrorCode::SjisUnreadable, QT_TRANSLATE_NOOP("core", "Shift-JIS として読めない文字があります")},
    {ErrorCode::SjisUnreadableAtByte, QT_TRANSLATE_NOOP("core", "Shift-JIS として読めない文字があります（%1 バイト目）")},
    {ErrorCode::SjisUnwritable, QT_TRANSLATE_NOOP("core", "Shift-JIS で書けない文字があります")},
    {ErrorCode::SjisUnwritableAtByte, QT_TRANSLATE_NOOP("core", "Shift-JIS で書けない文字があります（%1 バイト目）")},
    {ErrorCode::Utf8Unreadable, QT_TRANSLATE_NOOP("core", "UTF-8 として読めない文字があります")},
    {ErrorCode::FileMissing, QT_TRANSLATE_NOOP("core", "ファイル「%1」が見つかりません。")},
    {ErrorCode::NotAFile, QT_TRANSLATE_NOOP("core", "「%1」はファイルではありません。")},
    {ErrorCode::NotARegularFile, QT_TRANSLATE_NOOP(
        "core", "「%1」は通常のファイルではありません（デバイスや名前付きパイプなどは読み込みません）。")},
    {ErrorCode::FileCannotOpen, QT_TRANSLATE_NOOP("core", "ファイル「%1」を開けません。")},
    {ErrorCode::FileCannotRead, QT_TRANSLATE_NOOP("core", "ファイル「%1」を読み込めません。")},
    {ErrorCode::FileTooLarge, QT_TRANSLATE_NOOP("core", "ファイル「%1」が大きすぎます（%2 バイト。このファイルは %3 バイトまでです）。")},
    {ErrorCode::FileGrewTooLarge, QT_TRANSLATE_NOOP("core", "ファイル「%1」が大きすぎます（このファイルは %2 バイトまでです）。")},
    {ErrorCode::FileUnreadableText, QT_TRANSLATE_NOOP("core", "ファイル「%1」を読み込めません: %2。")},
    {ErrorCode::FileCannotWrite, QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません（%2）。")},
    {ErrorCode::FileReadOnly, QT_TRANSLATE_NOOP("core", "ファイル「%1」は読み取り専用のため書き換えられません。")},
    {ErrorCode::FileCannotWriteText, QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません: %2。")},
    {ErrorCode::ExportRefused, QT_TRANSLATE_NOOP("core", "出力先「%1」には書き出せません（%2）。別のファイル名を指定して下さい。")},
    {ErrorCode::EndBeforeValue, QT_TRANSLATE_NOOP("core", "%1を読む前にファイルが終わっています")},
    {ErrorCode::ValueNotSjis, QT_TRANSLATE_NOOP("core", "%1（%2 行目）に Shift-JIS として読めない文字があります")},
    {ErrorCode::NumberTooLarge, QT_TRANSLATE_NOOP("core", "%1（%2 行目の「%3」）は大きすぎて数値として扱えません")},
    {ErrorCode::NotANumber, QT_TRANSLATE_NOOP("core", "%1（%2 行目の「%3」）が数値ではありません")},
    {ErrorCode::WorkFolderCannotMake, QT_TRANSLATE_NOOP("core", "作業フォルダ「%1」を作成できません（%2）。")},
    {ErrorCode::WorkFolderMissing, QT_TRANSLATE_NOOP("core", "作業フォルダ「%1」が見つかりません。")},
    {ErrorCode::WorkdirOptionEmpty, QT_TRANSLATE_NOOP("core", "起動オプション --workdir には作業フォルダを続けて下さい。")},
    {ErrorCode::NoHomeFolder, QT_TRANSLATE_NOOP("core", "ホームフォルダが分からないため、作業フォルダを決められません。"
                                     "起動オプション --workdir で作業フォルダを指定して下さい。")},
    {ErrorCode::DefaultsFolderMissing, QT_TRANSLATE_NOOP("core", "付属データのフォルダ「%1」が見つかりません。")},
    {ErrorCode::DefaultsFolderUnreadable, QT_TRANSLATE_NOOP("core", "付属データのフォルダ「%1」を読み込めません（%2）。")},
    // Records.
    {ErrorCode::RecordFileBusy, QT_TRANSLATE_NOOP(
        "core", "患者ファイル「%1」は他で保存中のため使用できません。しばらくしてからもう一度保存して下さい。")},
    {ErrorCode::RecordFileBusyWithdraw, QT_TRANSLATE_NOOP(
        "core", "患者ファイル「%1」は他で保存中のため使用できません。しばらくしてからもう一度取り消して下さい。")},
    // The node.
    {ErrorCode::SendingInProgress, QT_TRANSLATE_NOOP("core", "線量レポートを送信しているところです。しばらくしてからもう一度試して下さい。")},
    {ErrorCode::ImagesBeingProcessed, QT_TRANSLATE_NOOP(
        "core", "受信画像の処理を他のプログラム（tamso-node など）が続けています。しばらくしてからもう一度試して下さい。")},
    // Records: reading, checking and saving an infant's record files.
    {ErrorCode::RecordFolderUnlistable, QT_TRANSLATE_NOOP("core", "作業フォルダ「%1」の記録ファイルを一覧できません: %2。")},
    {ErrorCode::RecordFilesUnusable, "%1"},
    {ErrorCode::ListValueComma, QT_TRANSLATE_NOOP("core", "区切りのカンマがあります")},
    {ErrorCode::ListValueAfterQuote, QT_TRANSLATE_NOOP("core", "引用符(\")で囲んだ値の後に余分な文字があります")},
    {ErrorCode::RecordFileLayout, QT_TRANSLATE_NOOP("core", "患者ファイル「%1」は記録の形式で読み込めません（%2）。")},
    {ErrorCode::PatientIdUnusable, QT_TRANSLATE_NOOP("core", "患者ID「%1」はファイル名に使えません（%2）。別のIDを入力して下さい。")},
    {ErrorCode::NameLineBreak, QT_TRANSLATE_NOOP("core", "氏名に改行を含めることはできません。")},
    {ErrorCode::FieldLineBreak, QT_TRANSLATE_NOOP("core", "「%1」に改行を含めることはできません。")},
    {ErrorCode::FieldCommaAndQuote, QT_TRANSLATE_NOOP("core", "「%1」にカンマ(,)と引用符(\")を一緒に含めることはできません。")},
    {ErrorCode::FieldNotStorable, QT_TRANSLATE_NOOP("core", "「%1」は記録できません（%2）。")},
    {ErrorCode::RecordConditionsNotNumbers, QT_TRANSLATE_NOOP("core", "撮影条件（管電圧・mAs・FFD・被写体厚）が数値として記録されていません")},
    {ErrorCode::RecordFieldSizeUnknown, QT_TRANSLATE_NOOP("core", "照射野サイズ「%1」の大きさが分かりません")},
    {ErrorCode::RecordDoseMissing, QT_TRANSLATE_NOOP("core", "入射表面線量が記録されていません")},
    {ErrorCode::LockFileCannotLock, QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません（ロックファイル「%2」をロックできません: %3）。")},
    {ErrorCode::TechnologistListFull, QT_TRANSLATE_NOOP("core", "撮影担当者は50名までしか登録できません。")},
    {ErrorCode::EnterIdAndName, QT_TRANSLATE_NOOP("core", "患者IDおよび氏名を入力して下さい")},
    {ErrorCode::SaveStoredUnreadable, QT_TRANSLATE_NOOP("core", "%1ファイルは変更せず、データは保存しませんでした。")},
    {ErrorCode::SaveNotInLayout, QT_TRANSLATE_NOOP("core", "このデータは記録の形式で保存できません: %1")},
    {ErrorCode::SaveNotWritten, QT_TRANSLATE_NOOP("core", "%1データは保存されていません。")},
    {ErrorCode::QuestionSave, QT_TRANSLATE_NOOP("core", "このデータを保存しますか？")},
    {ErrorCode::QuestionDuplicate, QT_TRANSLATE_NOOP("core", "同じ記録が既に保存されています。もう一度保存しますか？")},
    {ErrorCode::QuestionSameExposure, QT_TRANSLATE_NOOP("core", "同じ撮影の記録が既に保存されています（記録 %1：%2 %3 %4 kV %5 mAs、入射表面線量 %6 mGy）。別の撮影としてもう一度保存しますか？")},
    {ErrorCode::Saved, QT_TRANSLATE_NOOP("core", "データを保存しました。")},
    {ErrorCode::SavedToContinuation, QT_TRANSLATE_NOOP("core", "この患児の記録は %1 件を超えたため、続きのファイル「%2」に保存しました。")},
    // Records: withdrawing a record.
    {ErrorCode::WithdrawalFieldCount, QT_TRANSLATE_NOOP("core", "項目が %1 個あります。%2 個のはずです")},
    {ErrorCode::WithdrawalNumberBad, QT_TRANSLATE_NOOP("core", "記録の番号「%1」が 1 以上の整数ではありません")},
    {ErrorCode::WithdrawalEscapeBad, QT_TRANSLATE_NOOP("core", "%1 番目の項目の % の後が 16 進 2 桁ではありません")},
    {ErrorCode::WithdrawalFieldEmpty, QT_TRANSLATE_NOOP("core", "日時、取り消した人、理由のどれかが空です")},
    {ErrorCode::WithdrawalReasonMissing, QT_TRANSLATE_NOOP("core", "取り消しの理由を入力して下さい。")},
    {ErrorCode::WithdrawerMissing, QT_TRANSLATE_NOOP("core", "取り消す人の名前を入力して下さい。")},
    {ErrorCode::WithdrawalNotSjis, QT_TRANSLATE_NOOP("core", "取り消しの理由または名前に、ファイルに書けない（Shift-JIS にない）文字があります。")},
    {ErrorCode::WithdrawHistoryUnreadable, QT_TRANSLATE_NOOP("core", "%1\n記録を取り消せませんでした。")},
    {ErrorCode::WithdrawRecordChanged, QT_TRANSLATE_NOOP("core", "患者ID「%1」の記録 %2 は一覧したときの記録と違います。もう一度一覧して下さい。")},
    {ErrorCode::WithdrawTrailUnreadable, QT_TRANSLATE_NOOP("core", "%1記録を取り消せませんでした。")},
    {ErrorCode::AlreadyWithdrawn, QT_TRANSLATE_NOOP("core", "この記録（%1 件目）は %2 に%3が取り消し済みです（理由: %4）。もう一度取り消すことはできません。")},
    {ErrorCode::WithdrawNotWritten, QT_TRANSLATE_NOOP("core", "%1記録は取り消されていません。")},
    // The calculation (engine).
    {ErrorCode::ConditionOutOfRange, QT_TRANSLATE_NOOP("core", "%1 %2 %3 は範囲外です。%4で入力してください。")},
    {ErrorCode::ConditionMissing, QT_TRANSLATE_NOOP("core", "%1が入力されていません。%2で入力してください。")},
    {ErrorCode::ConditionNotANumber, QT_TRANSLATE_NOOP("core", "%1の入力値「%2」は数値ではありません。%3で入力してください。")},
    {ErrorCode::ConditionTooLarge, QT_TRANSLATE_NOOP("core", "%1の入力値「%2」は大きすぎて計算に使えません。")},
    {ErrorCode::ConditionsNotNumbers, QT_TRANSLATE_NOOP("core", "入力された条件に数値として扱えない値があります。")},
    {ErrorCode::VoltageNotBelow150, QT_TRANSLATE_NOOP("core", "管電圧は 150 kV 未満で入力してください。")},
    {ErrorCode::FfdNotPositive, QT_TRANSLATE_NOOP("core", "FFD（焦点－受像器間距離）は 0 より大きい値を入力してください。")},
    {ErrorCode::FocusSkinNotPositive, QT_TRANSLATE_NOOP("core", "焦点－皮膚間距離（FFD − 被写体厚）が 0 以下です。FFD と被写体厚を確認してください。")},
    {ErrorCode::FocusSkinTooShort, QT_TRANSLATE_NOOP("core", "焦点－皮膚間距離 %1（FFD %2 − 被写体厚 %3）が %4 未満です。FFD と被写体厚を確認してください。")},
    {ErrorCode::FocusHoodOutside, QT_TRANSLATE_NOOP("core", "焦点－フード・カバー間距離 %1 は、0 cm より長く焦点－皮膚間距離 %2（FFD %3 − 被写体厚 %4）より短くなければなりません（フード・カバーは焦点と皮膚の間にあります）。")},
    {ErrorCode::AirAbsorptionZero, QT_TRANSLATE_NOOP("core", "空気のエネルギー吸収係数が 0 のエネルギーがあるため、吸収線量変換係数を計算できません（Atten2.dat, %1 keV）。")},
    {ErrorCode::BsfEnergiesNotAscending, QT_TRANSLATE_NOOP("core", "後方散乱係数のエネルギーが昇順になっていません（mono_dBSF.dat）。")},
    {ErrorCode::SprTableNotAscending, QT_TRANSLATE_NOOP("core", "散乱線比の表（s_p_ratio.dat）の距離または照射野面積が昇順になっていません。")},
    {ErrorCode::TissueAbsorptionZero, QT_TRANSLATE_NOOP("core", "組織のエネルギー吸収係数が 0 のため、後方散乱係数を計算できません（Atten2.dat）。")},
    {ErrorCode::VoltageTooLow, QT_TRANSLATE_NOOP("core", "管電圧が低すぎるため、X線スペクトルを計算できません。")},
    {ErrorCode::TargetAngleBad, QT_TRANSLATE_NOOP("core", "ターゲット角度が不正です（正弦が 0 になります）。基礎データまたは入力値を確認してください。")},
    {ErrorCode::NumberOutOfRange, QT_TRANSLATE_NOOP("core", "計算中に数値の範囲を超えました（%1）。入力した条件と基礎データを確認してください。")},
    {ErrorCode::ResultNegative, QT_TRANSLATE_NOOP("core", "計算結果（%1）が負の値になりました。入力した条件と基礎データを確認してください。")},
    {ErrorCode::AmbientDistancesNotAscending, QT_TRANSLATE_NOOP("core", "周辺線量の表（kaijo_dose.dat）の距離が昇順になっていません。周辺線量の表を確認してください。")},
    {ErrorCode::AmbientTableTooShort, QT_TRANSLATE_NOOP("core", "周辺線量の表（kaijo_dose.dat）の最後の距離が 120 cm に届いていません。周辺線量の表を確認してください。")},
    {ErrorCode::AmbientValuesZero, QT_TRANSLATE_NOOP("core", "周辺線量の表（kaijo_dose.dat）の、この FFD と管電圧で使う値がすべて 0 です。周辺線量の表に測定値を入力してください。")},
    {ErrorCode::TransmissionTooHigh, QT_TRANSLATE_NOOP("core", "30 mm Al までに透過率が %1 % を下回らないため、半価層を求められません。線質が硬すぎます。")},
    {ErrorCode::NoXraysAtSkin, QT_TRANSLATE_NOOP("core", "この条件では X線が皮膚面に届かないため、スペクトルを計算できません。管電圧とフィルタを確認してください。")},
    {ErrorCode::ExposureSpectrumZero, QT_TRANSLATE_NOOP("core", "照射線量のスペクトルが 0 になるため、フィルタによる照射線量比を計算できません。空気のエネルギー吸収係数（Atten2.dat）とフィルタを確認してください。")},
    {ErrorCode::HvlNotPositive, QT_TRANSLATE_NOOP("core", "半価層が 0 以下になるため、実効エネルギーを求められません。")},
    {ErrorCode::EffectiveEnergyNotFound, QT_TRANSLATE_NOOP("core", "アルミニウムの減弱係数表の範囲内に実効エネルギーが見つかりません（Atten2.dat）。")},
    {ErrorCode::SpectrumNotWritten, QT_TRANSLATE_NOOP("core", "スペクトルデータ「Beam_data.dat」を書き込めません。作業フォルダを確認してください。\n%1")},
    {ErrorCode::VoltageAboveOutputTable, QT_TRANSLATE_NOOP("core", "管電圧が出力データの最大管電圧（%1 kV）を超えているため、照射線量を求められません。")},
    {ErrorCode::VoltageBelowOutputTable, QT_TRANSLATE_NOOP("core", "管電圧が出力データの最小管電圧（%1 kV）を下回っているため、照射線量を求められません。")},
    {ErrorCode::OutputVoltagesEqual, QT_TRANSLATE_NOOP("core", "出力データの管電圧（%1 kV, %2 kV）が同じため、照射線量を補間できません。出力データを確認してください。")},
    {ErrorCode::WeightOutOfRange, QT_TRANSLATE_NOOP("core", "体重 %1 kg は範囲外です。%2 kg 以上 %3 kg 以下で入力してください。")},
    {ErrorCode::OrganTableMissing, QT_TRANSLATE_NOOP("core", "臓器線量の表が読み込まれていません。")},
    {ErrorCode::OrganDoseBeforeCalculation, QT_TRANSLATE_NOOP("core", "臓器線量は入射表面線量の計算の後に求めます。先に計算を行ってください。")},
    {ErrorCode::BodyPartWithoutOrgans, QT_TRANSLATE_NOOP("core", "撮影部位「%1」は胸部・腹部・胸腹部・頭部のどれにも当たらないため、臓器線量と実効線量は計算できません。")},
    {ErrorCode::WeightUnknown, QT_TRANSLATE_NOOP("core", "体重が分からないため、臓器線量と実効線量は計算できません。体重を入力するか、体重の既定値を作業フォルダの「体重既定値.txt」に書いてください。")},
    // Reference data (refdata).
    {ErrorCode::ReferenceFileUnreadable, QT_TRANSLATE_NOOP("core", "ファイル「%1」の読み込みに失敗しました: %2。")},
    {ErrorCode::ReferenceValueImplausible, QT_TRANSLATE_NOOP("core", "ファイル「%1」の値が正しくありません: %2（%3 行目の「%4」）は %5。値の数と並びを確認してください。")},
    {ErrorCode::ReferenceLevelNoBodyPart, QT_TRANSLATE_NOOP("core", "撮影部位が空の参考レベルは保存できません。")},
    {ErrorCode::ReferenceLevelQuote, QT_TRANSLATE_NOOP("core", "撮影部位「%1」は引用符(\")を含むため参考レベルを保存できません。")},
    {ErrorCode::ReferenceLevelNotPositive, QT_TRANSLATE_NOOP("core", "撮影部位「%1」の参考レベルは 0 より大きい数値にして下さい。")},
    // The node: dose reports.
    {ErrorCode::DoseReportNotSaved, QT_TRANSLATE_NOOP("core", "線量レポートを保存できません: %1")},
    // DICOM.
    {ErrorCode::DicomCharsetNotConvertible, QT_TRANSLATE_NOOP("core", "文字コード %1 の文字を変換できません（%2）。")},
    {ErrorCode::DicomDictionaryMissing, QT_TRANSLATE_NOOP(
        "core", "DICOM のデータ辞書を読めません。DCMTK のインストール（dicom.dic）を確かめてください。")},
    {ErrorCode::DicomFileCannotOpen, QT_TRANSLATE_NOOP("core", "%1 を開けません。")},
    {ErrorCode::DicomNotDicom, QT_TRANSLATE_NOOP("core", "%1 は DICOM ファイルではありません。")},
    {ErrorCode::DicomUnreadable, QT_TRANSLATE_NOOP("core", "%1 は DICOM ファイルとして読めません（%2）。")},
    {ErrorCode::DicomNoClassNorModality, QT_TRANSLATE_NOOP("core", "%1 は DICOM ファイルとして読めません（SOPClassUID (0008,0016) も "
                                     "Modality (0008,0060) もありません）。")},
    {ErrorCode::DicomIsDicomDir, QT_TRANSLATE_NOOP("core", "%1 は DICOMDIR（画像の一覧）です。")},
    {ErrorCode::DicomNotRadiograph, QT_TRANSLATE_NOOP("core", "%1 は一般撮影（CR・DX）の画像ではありません（Modality: %2）。")},
    {ErrorCode::DicomNotRadiographNoModality, QT_TRANSLATE_NOOP("core", "%1 は一般撮影（CR・DX）の画像ではありません（Modality: なし）。")},
    {ErrorCode::DicomNotDicomDir, QT_TRANSLATE_NOOP("core", "%1 は DICOMDIR ではありません。")},
    {ErrorCode::BodyPartFileMissing, QT_TRANSLATE_NOOP("core", "%1 がありません")},
    {ErrorCode::BodyPartFileUnreadable, QT_TRANSLATE_NOOP("core", "%1 を読めません")},
    // The node.
    {ErrorCode::PortUnusable, QT_TRANSLATE_NOOP("core", "port %1: %2")},
    {ErrorCode::OutboxFolderCannotMake, QT_TRANSLATE_NOOP("core", "送信待ちのフォルダ（%1）を作れません: %2")},
    {ErrorCode::OutboxReportEmpty, QT_TRANSLATE_NOOP("core", "送信するレポートが空です。")},
    {ErrorCode::DoseReportNotMade, QT_TRANSLATE_NOOP("core", "線量レポートを作成できません（%1: %2）。")},
    {ErrorCode::DoseReportCreatedBad, QT_TRANSLATE_NOOP("core",
                             "線量レポートの作成日時（%1）が YYYYMMDDHHMMSS の形ではありません。")},
    {ErrorCode::ReceivedNoDataSet, QT_TRANSLATE_NOOP("core", "no data set")},
    {ErrorCode::PresentationContextBad, QT_TRANSLATE_NOOP("core", "presentation context: %1")},
    {ErrorCode::TlsSettingFailed, QT_TRANSLATE_NOOP("core", "%1: %2")},
    {ErrorCode::TlsKeyMismatch, QT_TRANSLATE_NOOP("core", "tls-private-key %1 does not belong to tls-certificate %2")},
    {ErrorCode::FileProblem, QT_TRANSLATE_NOOP("core", "%1: %2")},
    {ErrorCode::SopInstanceUidMissing, QT_TRANSLATE_NOOP("core", "SOPInstanceUID (0008,0018) がありません。")},
    {ErrorCode::ImageHeaderNotWritten, QT_TRANSLATE_NOOP("core", "画像の見出しを書き出せません（%1）。")},
    {ErrorCode::WorkFolderProblem, QT_TRANSLATE_NOOP("core", "working folder %1: %2")},
    {ErrorCode::DestinationNoAt, QT_TRANSLATE_NOOP("core",
                             "送信先「%1」は AET@HOST:PORT の形ではありません（@ がありません）。")},
    {ErrorCode::DestinationAeTitleBad, QT_TRANSLATE_NOOP("core", "送信先「%1」は AET@HOST:PORT の形ではありません（AE タイトルは "
                                     "1～16 文字の英数字・記号です）。")},
    {ErrorCode::DestinationIpv6Bad, QT_TRANSLATE_NOOP("core", "送信先「%1」は AET@HOST:PORT の形ではありません（IPv6 アドレスは [ "
                                     "] で囲み、その後に :ポート番号 を書きます）。")},
    {ErrorCode::DestinationNoPort, QT_TRANSLATE_NOOP(
        "core", "送信先「%1」は AET@HOST:PORT の形ではありません（ポート番号がありません）。")},
    {ErrorCode::DestinationNoHost, QT_TRANSLATE_NOOP("core",
                             "送信先「%1」は AET@HOST:PORT の形ではありません（ホスト名がありません）。")},
    {ErrorCode::DestinationPortBad, QT_TRANSLATE_NOOP(
        "core", "送信先「%1」は AET@HOST:PORT の形ではありません（ポート番号は 1～65535 です）。")},
    {ErrorCode::TargetRegionCodeBad, QT_TRANSLATE_NOOP("core",
                             "%1 行目のコード「%2」は SNOMED CT のコード（数字）ではありません。")},
    {ErrorCode::TargetRegionMeaningMissing, QT_TRANSLATE_NOOP("core", "%1 行目にコードの意味（英語）がありません。")},
    {ErrorCode::ThicknessDefaultBad, QT_TRANSLATE_NOOP("core", "%1 行目の被写体厚「%2」は 0 より大きい数ではありません。")},
    {ErrorCode::ImageLogUnreadable, QT_TRANSLATE_NOOP("core", "「%1」を読めません。")},
    {ErrorCode::NetworkUnusable, QT_TRANSLATE_NOOP("core", "ネットワークを使えません: %1")},
    {ErrorCode::PeerUnreachable, QT_TRANSLATE_NOOP("core", "%1 と接続できません: %2")},
    {ErrorCode::CallingAeTitleBad, QT_TRANSLATE_NOOP("core",
                             "自分の AE タイトル「%1」は 1～16 文字の英数字・記号で指定してください。")},
    {ErrorCode::PacsNotGiven, QT_TRANSLATE_NOOP("core", "問い合わせ先の PACS が AET@HOST:PORT の形で指定されていません。")},
    {ErrorCode::FindFailed, QT_TRANSLATE_NOOP("core", "PACS への問い合わせ（C-FIND）に失敗しました: %1")},
    {ErrorCode::FindRefused, QT_TRANSLATE_NOOP("core", "PACS が問い合わせ（C-FIND）を断りました（状態 %1）。")},
    {ErrorCode::PullDateBad, QT_TRANSLATE_NOOP("core", "日付「%1」は YYYYMMDD の形で指定してください。")},
    {ErrorCode::PullDatesReversed, QT_TRANSLATE_NOOP("core", "期間の始め（%1）が終わり（%2）より後です。")},
    {ErrorCode::FindNotAccepted, QT_TRANSLATE_NOOP("core", "%1 は問い合わせ（C-FIND）を受け付けません。")},
    {ErrorCode::GetNotAccepted, QT_TRANSLATE_NOOP("core", "%1 は画像の取得（C-GET）を受け付けません。")},
    {ErrorCode::PullFolderCannotMake, QT_TRANSLATE_NOOP("core", "取得した画像のフォルダ（%1）を作れません: %2")},
    {ErrorCode::DicomMetaNotMade, QT_TRANSLATE_NOOP("core", "DICOM ファイルのメタ情報を作れません: %1")},
    {ErrorCode::DicomFileNotWritten, QT_TRANSLATE_NOOP("core", "DICOM ファイルを書けません: %1")},
    {ErrorCode::ConfigLineNotKeyValue, QT_TRANSLATE_NOOP("core", "%1: expected \"key = value\"")},
    {ErrorCode::ConfigKeyUnknown, QT_TRANSLATE_NOOP("core", "%1: unknown key \"%2\"")},
    {ErrorCode::SettingProblem, QT_TRANSLATE_NOOP("core", "%1: %2")},
    {ErrorCode::ConfigNotYesNo, QT_TRANSLATE_NOOP("core", "%1: expected yes or no: %2")},
    {ErrorCode::ConfigDelayBad, QT_TRANSLATE_NOOP("core", "%1: expected a whole number of seconds from 0 to 86400: %2")},
    {ErrorCode::ConfigNumberOutOfRange, QT_TRANSLATE_NOOP("core", "%1: expected a whole number from %2 to %3: %4")},
    {ErrorCode::ConfigPortBad, QT_TRANSLATE_NOOP("core", "%1: not a port number (1-65535): %2")},
    {ErrorCode::ConfigAeTitleBad, QT_TRANSLATE_NOOP("core", "%1: not an AE title (1 to 16 characters, no backslash): %2")},
    {ErrorCode::ArgumentUnexpected, QT_TRANSLATE_NOOP("core", "unexpected argument: %1 (see --help)")},
    {ErrorCode::OptionNeedsValue, QT_TRANSLATE_NOOP("core", "--%1 needs a value (see --help)")},
    {ErrorCode::OptionUnknown, QT_TRANSLATE_NOOP("core", "unknown option --%1 (see --help)")},
    {ErrorCode::ConfigFileMissing, QT_TRANSLATE_NOOP("core", "--config: no such file: %1")},
    {ErrorCode::PortNotGiven, QT_TRANSLATE_NOOP("core", "no port given: --port PORT (or --tls-port PORT)")},
    {ErrorCode::PortsEqual, QT_TRANSLATE_NOOP("core", "--port and --tls-port must differ")},
    {ErrorCode::TlsPortNeedsKey, QT_TRANSLATE_NOOP("core", "--tls-port needs --tls-certificate and --tls-private-key")},
    {ErrorCode::ReferenceDataWaiting, QT_TRANSLATE_NOOP("core", "基準データを読めないため、受信画像は処理を待っています: %1")},
    {ErrorCode::ReportPendingFolderCannotMake, QT_TRANSLATE_NOOP("core", "線量レポートの待ちのフォルダ（%1）を作れません: %2")},
    {ErrorCode::ReportUidMissing, QT_TRANSLATE_NOOP("core", "検査または照射の UID がないため、線量レポートを待たせられません。")},
    {ErrorCode::ReportStudyFolderCannotMake, QT_TRANSLATE_NOOP("core", "線量レポートの検査のフォルダ（%1）を作れません: %2")},
    {ErrorCode::ReportExposureFileUnreadable, QT_TRANSLATE_NOOP("core", "線量レポートの撮影のファイル（%1）を読めません。")},
    {ErrorCode::ReportPendingFileNotRemoved, QT_TRANSLATE_NOOP("core", "線量レポートの待ちのファイル（%1）を消せません: %2")},
    {ErrorCode::NodeLinkRefused, QT_TRANSLATE_NOOP("core", "「%"
                                     "1」はリンクです。ノードはリンクの先には書き込みません。リンクを消す"
                                     "か、実際のファイルやフォルダに置き換えてください。")},
    {ErrorCode::InterruptedRecordCheck, QT_TRANSLATE_NOOP("core", "中断された記録の確認: %1")},
    {ErrorCode::RecordNotPrepared, QT_TRANSLATE_NOOP("core", "記録の準備ができません: %1")},
    {ErrorCode::DoseReportPatientText, QT_TRANSLATE_NOOP("core", "線量レポートを作成できません。患者の文字（%1）。")},
    {ErrorCode::DoseReportNoPatientId, QT_TRANSLATE_NOOP("core", "患者IDがないため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportDateBad, QT_TRANSLATE_NOOP("core",
                             "撮影日（%1）が YYYYMMDD の形でないため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportTimeBad, QT_TRANSLATE_NOOP("core",
                             "撮影時刻（%1）が HHMMSS の形でないため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportUidBad, QT_TRANSLATE_NOOP("core", "線量レポートの UID（%1）が UID の形ではありません。")},
    {ErrorCode::DoseReportImageUidsMissing, QT_TRANSLATE_NOOP(
        "core", "画像の SOP クラス、シリーズまたは検査の UID がないため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportValueNotPositive, QT_TRANSLATE_NOOP("core", "%1が 0 より大きい数でないため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportFilterBad, QT_TRANSLATE_NOOP(
        "core", "付加フィルタの厚さが 0 未満または数でないため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportSkinBeyondFfd, QT_TRANSLATE_NOOP("core",
                             "焦点－皮膚間距離が FFD より長いため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportOptionalBad, QT_TRANSLATE_NOOP(
        "core",
        "管電流、撮影時間または不確かさが 0 未満または数でないため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportEffectiveDoseBad, QT_TRANSLATE_NOOP("core",
                             "実効線量が 0 未満または数でないため、線量レポートを作成できません。")},
    {ErrorCode::DoseReportNoExposures, QT_TRANSLATE_NOOP("core", "線量レポートに載せる撮影がありません。")},
    {ErrorCode::DoseReportMixedExposures, QT_TRANSLATE_NOOP("core", "患者または検査の異なる撮影を一つの線量レポートにはできません。")},
    {ErrorCode::DoseReportEventUidBad, QT_TRANSLATE_NOOP("core", "照射の UID（%1）が UID の形ではありません。")},
    {ErrorCode::NodeFileIsLink, QT_TRANSLATE_NOOP("core", "ファイル「%"
                                     "1」に書き込めません（リンクです。リンクの先には書き込みません。リン"
                                     "クを消すか、実際のファイルに置き換えてください）。")},
    {ErrorCode::NodeFileNotRegular, QT_TRANSLATE_NOOP("core", "ファイル「%1」に書き込めません（通常のファイルではありません）。")},
    {ErrorCode::NodeAlreadyRunning, QT_TRANSLATE_NOOP("core",
                             "作業フォルダ「%1」では、すでに別の tamso-node "
                             "が動いています（%2）。一つの作業フォルダで動かせるノードは一つだけです。")},
    {ErrorCode::NodeAlreadyRunningUnknown, QT_TRANSLATE_NOOP("core",
                             "作業フォルダ「%1」では、すでに別の tamso-node が動いています（プロセス ID "
                             "不明）。一つの作業フォルダで動かせるノードは一つだけです。")},
    {ErrorCode::SetAsideWhoMissing, QT_TRANSLATE_NOOP("core", "取り除く人の名前を入力して下さい。")},
    {ErrorCode::SetAsideWhyMissing, QT_TRANSLATE_NOOP("core", "画像を取り除く理由を入力して下さい。")},
    {ErrorCode::ImageNoLongerHeld, QT_TRANSLATE_NOOP("core",
                             "この画像はもう保留されていません（記録されたか、取り除かれています）。")},
    {ErrorCode::ImageUnreadable, QT_TRANSLATE_NOOP("core", "画像（%1）を読めません: %2")},
    {ErrorCode::DeviceUidFileBad, QT_TRANSLATE_NOOP("core", "装置の UID のファイル（%1）の内容が UID ではありません。")},
    {ErrorCode::DeviceUidFileUnreadable, QT_TRANSLATE_NOOP("core", "装置の UID のファイル（%1）を読めません。")},
    {ErrorCode::ReportFolderIdUnusable, QT_TRANSLATE_NOOP("core", "患者ID（%1）では線量レポートのフォルダを作れません。")},
    {ErrorCode::ReportFolderCannotMake, QT_TRANSLATE_NOOP("core", "線量レポートのフォルダ（%1）を作れません: %2")},
    {ErrorCode::NoReportDestination, QT_TRANSLATE_NOOP("core", "線量レポートの送信先も保存先もありません。")},
    {ErrorCode::NoImageHeader, QT_TRANSLATE_NOOP("core", "no header")},
    {ErrorCode::NodeFolderCannotMake, QT_TRANSLATE_NOOP("core", "フォルダ「%1」を作れません（%2）。")},
    {ErrorCode::ReceivedNameTaken, QT_TRANSLATE_NOOP("core", "受信画像の名前「%1」がすでにあります。")},
    {ErrorCode::InterruptedForTest, QT_TRANSLATE_NOOP("core", "interrupted for a test")},
    {ErrorCode::ImageResultMissing, QT_TRANSLATE_NOOP("core", "画像 %1 の処理結果が見つかりません。")},
    {ErrorCode::ImageNotYetRecorded, QT_TRANSLATE_NOOP("core", "画像 %1 はまだ記録できません: %2")},
    {ErrorCode::ImageNotProcessed, QT_TRANSLATE_NOOP("core", "画像 %1 を処理できません。")},
    // The screens.
    {ErrorCode::AuditEmpty, QT_TRANSLATE_NOOP("core", "集計がまだありません。")},
    {ErrorCode::PrintNotBegun, QT_TRANSLATE_NOOP("core", "印刷を始められませんでした。")},
    {ErrorCode::PrintNotFinished, QT_TRANSLATE_NOOP("core", "印刷を終えられませんでした。")},
    {ErrorCode::PrintCannotStart, QT_TRANSLATE_NOOP("core", "印刷を開始できませんでした。プリンタの設定を確認して下さい。")},
    {ErrorCode::PrintFailed, QT_TRANSLATE_NOOP("core", "印刷できませんでした。プリンタの設定を確認して下さい。")},
    {ErrorCode::DoseHistoryEmpty, QT_TRANSLATE_NOOP("core", "線量履歴がありません。")},
    {ErrorCode::RecordFileNotFound, QT_TRANSLATE_NOOP("core", "患者ファイル「%1」がありません。")},
    {ErrorCode::StoredRecordMissing, QT_TRANSLATE_NOOP("core", "患者ID「%1」の記録 %2 がありません。")},
    {ErrorCode::WeightMissingNoDefault, QT_TRANSLATE_NOOP("core", "体重が入力されておらず、既定値も読めません: %1")},
    // The command-line calculator.
    {ErrorCode::CalcBodyPartNotListed, QT_TRANSLATE_NOOP(
        "core", "撮影部位「%1」は撮影部位.txt にありません。撮影部位.txt の名前で指定してください。")},
    {ErrorCode::CalcWeightNotANumber, QT_TRANSLATE_NOOP("core", "体重の入力値「%1」は数値ではありません。")},
    {ErrorCode::CalcWeightMissingNoDefault, QT_TRANSLATE_NOOP("core", "体重が指定されておらず、既定値も読めません: %1")},
};

constexpr bool everyCodeOnce() {
    for (std::size_t c = 0; c < kErrorCodeCount; ++c) {
        int found = 0;
        for (const Template& t : kTemplates)
            found += static_cast<std::size_t>(t.code) == c ? 1 : 0;
        if (found != 1)
            return false;
    }
    return true;
}
static_assert(everyCodeOnce(), "every error code has exactly one template");

constexpr std::array<const char*, kErrorCodeCount> templatesByCode() {
    std::array<const char*, kErrorCodeCount> byCode{};
    for (const Template& t : kTemplates)
        byCode[static_cast<std::size_t>(t.code)] = t.text;
    return byCode;
}
constexpr std::array<const char*, kErrorCodeCount> kTemplatesByCode = templatesByCode();

} // namespace

const char* errorTemplate(ErrorCode code) {
    const auto index = static_cast<std::size_t>(code);
    return index < kErrorCodeCount ? kTemplatesByCode[index] : "";
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
