// The fixed messages of the core (textio, engine, refdata, records) that the screens show as they
// come, listed here for the translation (context "core", see coreText in ui/kit/uiutil.h). The
// core keeps its Japanese texts; a message with a file name or value inserted is shown in Japanese.

#include <QtGlobal>

namespace {
[[maybe_unused]] const char* const kCoreMessages[] = {
    QT_TRANSLATE_NOOP("core", "線量レポートを送信しているところです。しばらくしてからもう一度試して下さい。"),
    QT_TRANSLATE_NOOP("core", "入力された条件に数値として扱えない値があります。"),
    QT_TRANSLATE_NOOP("core", "管電圧は 150 kV 未満で入力してください。"),
    QT_TRANSLATE_NOOP("core", "FFD（焦点－受像器間距離）は 0 より大きい値を入力してください。"),
    QT_TRANSLATE_NOOP("core",
                      "焦点－皮膚間距離（FFD − 被写体厚）が 0 以下です。FFD と被写体厚を確認してください。"),
    QT_TRANSLATE_NOOP("core", "後方散乱係数のエネルギーが昇順になっていません（mono_dBSF.dat）。"),
    QT_TRANSLATE_NOOP("core", "散乱線比の表（s_p_ratio.dat）の距離または照射野面積が昇順になっていません。"),
    QT_TRANSLATE_NOOP("core",
                      "組織のエネルギー吸収係数が 0 のため、後方散乱係数を計算できません（Atten2.dat）。"),
    QT_TRANSLATE_NOOP("core", "Ｘ線管電流×照射時間（mAs）は 0 より大きい値を入力してください。"),
    QT_TRANSLATE_NOOP("core", "管電圧が低すぎるため、X線スペクトルを計算できません。"),
    QT_TRANSLATE_NOOP(
        "core",
        "ターゲット角度が不正です（正弦が 0 になります）。基礎データまたは入力値を確認してください。"),
    QT_TRANSLATE_NOOP(
        "core",
        "周辺線量の表（kaijo_dose.dat）の距離が昇順になっていません。周辺線量の表を確認してください。"),
    QT_TRANSLATE_NOOP("core", "周辺線量の表（kaijo_dose.dat）の最後の距離が 120 cm に届いていません。"
                              "周辺線量の表を確認してください。"),
    QT_TRANSLATE_NOOP("core", "周辺線量の表（kaijo_dose.dat）の、この FFD と管電圧で使う値がすべて 0 です。"
                              "周辺線量の表に測定値を入力してください。"),
    QT_TRANSLATE_NOOP("core", "この条件では X線が皮膚面に届かないため、スペクトルを計算できません。"
                              "管電圧とフィルタを確認してください。"),
    QT_TRANSLATE_NOOP("core",
                      "照射線量のスペクトルが 0 になるため、フィルタによる照射線量比を計算できません。"
                      "空気のエネルギー吸収係数（Atten2.dat）とフィルタを確認してください。"),
    QT_TRANSLATE_NOOP("core", "半価層が 0 以下になるため、実効エネルギーを求められません。"),
    QT_TRANSLATE_NOOP("core",
                      "アルミニウムの減弱係数表の範囲内に実効エネルギーが見つかりません（Atten2.dat）。"),
    QT_TRANSLATE_NOOP("core", "起動オプション --workdir には作業フォルダを続けて下さい。"),
    QT_TRANSLATE_NOOP("core", "ホームフォルダが分からないため、作業フォルダを決められません。"
                              "起動オプション --workdir で作業フォルダを指定して下さい。"),
    QT_TRANSLATE_NOOP("core", "撮影部位が空の参考レベルは保存できません。"),
    QT_TRANSLATE_NOOP("core", "氏名に改行を含めることはできません。"),
    // The exposure conditions and the unit of the angle in their table (engine/conditionlimits.h).
    QT_TRANSLATE_NOOP("core", "Ｘ線管ターゲット角度"),
    QT_TRANSLATE_NOOP("core", "固有フィルタ（アルミ当量）"),
    QT_TRANSLATE_NOOP("core", "付加フィルタ（アルミ）"),
    QT_TRANSLATE_NOOP("core", "付加フィルタ（銅）"),
    QT_TRANSLATE_NOOP("core", "Ｘ線管電圧"),
    QT_TRANSLATE_NOOP("core", "Ｘ線管電流×照射時間"),
    QT_TRANSLATE_NOOP("core", "焦点-受像器間距離（FFD）"),
    QT_TRANSLATE_NOOP("core", "被写体厚"),
    QT_TRANSLATE_NOOP("core", "焦点-フード・カバー間距離"),
    QT_TRANSLATE_NOOP("core", "照射野サイズ（長軸方向）"),
    QT_TRANSLATE_NOOP("core", "照射野サイズ（短軸方向）"),
    QT_TRANSLATE_NOOP("core", "度"),
    // The organ doses (engine/organdose.h).
    QT_TRANSLATE_NOOP("core", "体重が分からないため、臓器線量と実効線量は計算できません。体重を入力するか、体重の既定値を作業フォルダの"
                              "「体重既定値.txt」に書いてください。"),
    QT_TRANSLATE_NOOP("core", "臓器線量の表が読み込まれていません。"),
    QT_TRANSLATE_NOOP("core", "入射表面線量が記録されていません"),
    // The Data Save (records/patientrecordsave.h).
    QT_TRANSLATE_NOOP("core", "患者IDおよび氏名を入力して下さい"),
    QT_TRANSLATE_NOOP("core", "このデータを保存しますか？"),
    QT_TRANSLATE_NOOP("core", "データを保存しました。"),
    QT_TRANSLATE_NOOP("core", "同じ記録が既に保存されています。もう一度保存しますか？"),
    // Withdrawing a record (records/recordwithdrawal.h) and its mark in the dose history.
    QT_TRANSLATE_NOOP("core", "取り消しの理由を入力して下さい。"),
    QT_TRANSLATE_NOOP("core", "取り消す人の名前を入力して下さい。"),
    QT_TRANSLATE_NOOP("core",
                      "取り消しの理由または名前に、ファイルに書けない（Shift-JIS にない）文字があります。"),
    QT_TRANSLATE_NOOP("core", "取消"),
    // The dose history table (records/dosehistory.h); the CSV file keeps the Japanese headings.
    QT_TRANSLATE_NOOP("core", "撮影日"),
    QT_TRANSLATE_NOOP("core", "撮影部位"),
    QT_TRANSLATE_NOOP("core", "管電圧(kV)"),
    QT_TRANSLATE_NOOP("core", "電流･秒(mAs)"),
    QT_TRANSLATE_NOOP("core", "照射野"),
    QT_TRANSLATE_NOOP("core", "入射表面線量(mGy)"),
    QT_TRANSLATE_NOOP("core", "累積線量(mGy)"),
    QT_TRANSLATE_NOOP("core", "介助者被ばく1(μSv)"),
    QT_TRANSLATE_NOOP("core", "介助者被ばく2(μSv)"),
    QT_TRANSLATE_NOOP("core", "介助者被ばく3(μSv)"),
    QT_TRANSLATE_NOOP("core", "注記"),
    QT_TRANSLATE_NOOP("core", "線量が数値でないため累積に 0 として加算"),
    // The audit table (records/doseaudit.h); the CSV file keeps the Japanese headings.
    QT_TRANSLATE_NOOP("core", "撮影数"),
    QT_TRANSLATE_NOOP("core", "患児数"),
    QT_TRANSLATE_NOOP("core", "中央値 (mGy)"),
    QT_TRANSLATE_NOOP("core", "75パーセンタイル (mGy)"),
    QT_TRANSLATE_NOOP("core", "最小 (mGy)"),
    QT_TRANSLATE_NOOP("core", "最大 (mGy)"),
    QT_TRANSLATE_NOOP("core", "参考レベル (mGy)"),
    QT_TRANSLATE_NOOP("core", "中央値/参考レベル"),
    QT_TRANSLATE_NOOP("core", "判定"),
    QT_TRANSLATE_NOOP("core", "超過"),
    QT_TRANSLATE_NOOP("core", "以下"),
};
} // namespace
