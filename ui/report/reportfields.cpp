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

void compareWithReferenceLevel(ReportFields& f) {
    f.referenceLevel.clear();
    f.aboveReferenceLevel = false;
    const auto dose = textio::parseNumber(utf8(f.dose));
    if (!dose)
        return;
    if (const auto comparison = refdata::compareWithReferenceLevel(refdata::ReferenceLevels, utf8(f.bodyPart), *dose)) {
        f.referenceLevel = referenceLevelText(*comparison);
        f.aboveReferenceLevel = comparison->above;
    }
}

} // namespace tamso::ui
