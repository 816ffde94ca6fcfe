#include "ui/report/reportfields.h"

#include "textio/numbertext.h"
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

bool doseEdited(const ReportFields& f) {
    if (f.originalDose.isEmpty())
        return false;
    const auto dose = textio::parseNumber(utf8(f.dose));
    const auto original = textio::parseNumber(utf8(f.originalDose));
    if (dose && original)
        return *dose != *original;
    return f.dose.trimmed() != f.originalDose.trimmed();
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

void compareWithReferenceLevel(ReportFields& f) {
    f.referenceLevel.clear();
    f.aboveReferenceLevel = false;
    const auto dose = textio::parseNumber(utf8(f.dose));
    if (!dose)
        return;
    if (const auto comparison =
            refdata::compareWithReferenceLevel(refdata::ReferenceLevels, utf8(f.bodyPart), *dose)) {
        f.referenceLevel = referenceLevelText(*comparison);
        f.aboveReferenceLevel = comparison->above;
    }
}

} // namespace tamso::ui
