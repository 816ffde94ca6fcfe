#include "ui/report/reportfields.h"

#include "textio/numbertext.h"
#include "ui/kit/numberinput.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>

namespace tamso::ui {

QString referenceLevelText(const refdata::LevelComparison& comparison) {
    QString text = QCoreApplication::translate("ConditionsScreen", "%1 mGy の %2 倍")
                       .arg(qs(comparison.levelText), qs(comparison.ratioText));
    if (comparison.above)
        text += QCoreApplication::translate("ConditionsScreen", "（参考レベル超過）");
    return text;
}

bool sameFieldValue(const QString& a, const QString& b) {
    const TypedNumber x = readTypedNumber(a), y = readTypedNumber(b);
    if (x.ok() && y.ok())
        return x.value == y.value;
    return asciiNumberText(a).trimmed() == asciiNumberText(b).trimmed();
}

QStringList changedExposureConditions(const ReportFields& from, const ReportFields& now) {
    static const struct {
        QString ReportFields::*value;
        const char* caption;
    } conditions[] = {
        {&ReportFields::thickness, QT_TRANSLATE_NOOP("ReportScreen", "体 厚")},
        {&ReportFields::tubeVoltage, QT_TRANSLATE_NOOP("ReportScreen", "管電圧")},
        {&ReportFields::mAs, QT_TRANSLATE_NOOP("ReportScreen", "電流･秒")},
        {&ReportFields::ffd, "FFD"},
        {&ReportFields::fieldSize, QT_TRANSLATE_NOOP("ReportScreen", "照射野")},
    };
    QStringList changed;
    for (const auto& condition : conditions)
        if (!sameFieldValue(from.*condition.value, now.*condition.value))
            changed << QCoreApplication::translate("ReportScreen", condition.caption);
    return changed;
}

bool doseEdited(const ReportFields& f) {
    return !f.originalDose.isEmpty() && !sameFieldValue(f.dose, f.originalDose);
}

QString editedDoseRemark(const ReportFields& f) {
    if (!doseEdited(f))
        return {};
    return (f.originalDoseStored
                ? QCoreApplication::translate("ReportLayout", "入射表面線量は手入力の値です（記録値 %1 mGy）")
                : QCoreApplication::translate("ReportLayout",
                                              "入射表面線量は手入力の値です（計算値 %1 mGy）"))
        .arg(f.originalDose);
}

void compareWithReferenceLevel(ReportFields& f, const refdata::ReferenceLevelTable& levels) {
    f.referenceLevel.clear();
    f.aboveReferenceLevel = false;
    const bool computed = !f.preciseDose.isEmpty();
    const auto dose = textio::parseNumber(utf8(computed ? f.preciseDose : f.dose));
    if (!dose)
        return;
    if (const auto comparison =
            computed ? refdata::compareComputedDoseWithReferenceLevel(levels, utf8(f.bodyPart), *dose)
                     : refdata::compareWithReferenceLevel(levels, utf8(f.bodyPart), *dose)) {
        f.referenceLevel = referenceLevelText(*comparison);
        f.aboveReferenceLevel = comparison->above;
    }
}

} // namespace tamso::ui
