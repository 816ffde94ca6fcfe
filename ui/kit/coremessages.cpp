// The fixed texts of the core (textio, engine, refdata, records) that are no errors, such as table
// headings and captions, which the screens show as they come: listed here for the translation
// (context "core", see coreText in ui/kit/uiutil.h). The errors' sentences are the catalogue's
// (textio/errorcatalog.cpp), which lupdate reads too.

#include <QtGlobal>

namespace {
[[maybe_unused]] const char* const kCoreMessages[] = {
    QT_TRANSLATE_NOOP("core", "Ｘ線管電流×照射時間（mAs）は 0 より大きい値を入力してください。"),
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
    // The mark of a withdrawn record in the dose history (records/recordwithdrawal.h).
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
