#include "ui/report/reportprinter.h"

#include "ui/report/paintercanvas.h"
#include "ui/report/printfonts.h"
#include "ui/report/reportlayout.h"
#include "ui/report/spectrumchart.h"
#include "ui/kit/uiutil.h"

#include <QCoreApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include <functional>

namespace tamso::ui {
namespace {

// Printer line widths are counted in pixels of a 600 dpi printer, the usual resolution of office
// laser printers, whatever the actual resolution of the device: width 4 is then about 0.17 mm.
constexpr double kLineWidthDpi = 600.0;
// The hatch pattern keeps the spacing it has on a 96 dpi screen (about 2 mm).
constexpr double kScreenDpi = 96.0;

class PrinterCanvas : public PainterCanvas {
public:
    PrinterCanvas(QPainter& painter, const Mapping& mapping)
        : PainterCanvas(painter, mapping), painter_(painter) {}
    // The same fonts, in copies whose text the printed file gives back as it was drawn.
    void setFontName(const QString& name) override { setFontFamilies(printFontFamilies(name)); }
    void endDocument() override {
        if (beforeEnd)
            beforeEnd();
        ended_ = painter_.end();
    }
    bool ended() const { return ended_; }
    // Further pages, drawn when the report's page is done and before the document ends.
    std::function<void()> beforeEnd;

private:
    QPainter& painter_;
    bool ended_ = false;
};

} // namespace

void configureReportPrinter(QPrinter& printer) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setColorMode(QPrinter::Color);
    // The drawing surface starts at the top left of the printable area; the printer keeps its own
    // minimum margins.
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

PainterCanvas::Mapping reportPrinterMapping(double dpi) {
    PainterCanvas::Mapping mapping;
    mapping.unitsToDeviceX = dpi / 25.4;
    mapping.unitsToDeviceY = dpi / 25.4;
    mapping.lineWidthScale = dpi / kLineWidthDpi;
    mapping.hatchScale = dpi / kScreenDpi;
    return mapping;
}

Status printReport(QPrinter& printer, const ReportFields& fields, const engine::CalculationState& basicData,
                   bool withSpectrumPage) {
    if (Status allowed = checkPrinterOutput(printer); !allowed.ok())
        return allowed;
    configureReportPrinter(printer);
    QPainter painter;
    if (!painter.begin(&printer))
        return Error(ErrorCode::PrintCannotStart);
    PrinterCanvas canvas(painter, reportPrinterMapping(printer.resolution()));
    if (withSpectrumPage && !fields.spectrum.empty())
        canvas.beforeEnd = [&] {
            printer.newPage();
            painter.resetTransform();
            painter.setClipping(false);
            // 15 mm margins on the printable area.
            const double margin = 15 * printer.resolution() / 25.4;
            const QRectF page(0, 0, printer.width(), printer.height());
            drawSpectrumPage(painter, page.adjusted(margin, margin, -margin, -margin), fields.spectrum,
                             printFontFamilies(gothicFontFamily()));
        };
    drawReport(canvas, ReportTarget::Printer, fields, basicData);
    if (!canvas.ended() || printer.printerState() == QPrinter::Error)
        return Error(ErrorCode::PrintFailed);
    return {};
}

} // namespace tamso::ui
