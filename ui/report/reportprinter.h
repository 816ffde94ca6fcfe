#pragma once
// The report on the printer (the printReport routine): A4 portrait in colour, laid out in
// millimetres, one page.

#include "textio/expected.h"
#include "ui/report/paintercanvas.h"
#include "ui/report/reportfields.h"

#include <QString>

#include <optional>

class QPrinter;

namespace tamso::engine {
struct CalculationState;
}

namespace tamso::ui {

// The settings the report needs: A4 paper, portrait orientation (setting 1), colour output
// (setting 2), so that the red marks print red where the printer can.
void configureReportPrinter(QPrinter& printer);

// How the printer canvas maps the page onto a printer of this resolution (dots per inch).
PainterCanvas::Mapping reportPrinterMapping(double dpi);

// Prints the report with the fields as they stand (the X-ray unit and the hospital from the basic
// data), and the spectrum handed over with them as a second page when asked for and there is one.
// Fails, with the message for the user, when the print job could not be started or finished;
// nothing is printed then.
Status printReport(QPrinter& printer, const ReportFields& fields, const engine::CalculationState& basicData,
                   bool withSpectrumPage = false);

} // namespace tamso::ui
