#pragma once
// The one-page report: one sequence of drawing steps for the preview and the printer, which differ
// only in font sizes, line widths, a few coordinates, the fill of the caregiver markers and the end.

#include "ui/report/reportcanvas.h"
#include "ui/report/reportfields.h"

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

enum class ReportTarget { Preview, Printer };

// Upper and lower edge of the body-part mark on the front-view figure, chosen by the first two
// characters of the body-part text ("頭部", "胸部", "腹部"); anything else gives 28 and 28.
struct BodyPartMark {
    double upper;
    double lower;
};
BodyPartMark bodyPartMark(const QString& bodyPart);

// The line of the infant's dose so far, the first line of the remarks when fields.exposureNumber is
// set: "撮影 12 回目　累積線量： 3.456 mGy", with " 以上" after a cumulative dose that is a lower
// bound.
QString doseHistoryLine(const ReportFields& fields);

// Every text of the report that stands in a box ends inside it: where the canvas can measure, a
// text that would run past the box's right edge or below its bottom (or into the next line) is
// drawn smaller, half a point at a time, down to kSmallestFontShare of its size.
inline constexpr double kSmallestFontShare = 0.6;

// Draws the report from the report screen's fields. The X-ray unit and the hospital come from the
// basic data in the state, never from fields.xrayUnit. The printer target ends the document; for
// the preview the caller enables its buttons afterwards.
void drawReport(ReportCanvas& canvas, ReportTarget target, const ReportFields& fields,
                const engine::CalculationState& basicData);

} // namespace tamso::ui
