// The facility audit's printout (on a printer or into a PDF file) and its CSV export.

#include "ui/records/doseauditwindow.h"

#include "ui/records/doseauditshown.h"

#include "engine/calculationstate.h"
#include "textio/fileio.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/report/printfonts.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tamso::ui {

using records::BodyPartAudit;
using records::DoseAudit;

namespace {

DoseAuditWindow::FileNameProvider& fileNameProvider() {
    static DoseAuditWindow::FileNameProvider provider;
    return provider;
}

DoseAuditWindow::PrinterProvider& printerProvider() {
    static DoseAuditWindow::PrinterProvider provider;
    return provider;
}

// A4 landscape with 12 mm margins: the table's eleven columns fit across.
QPageLayout auditPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                       QPageLayout::Millimeter);
}

QString askFileName(QWidget* parent, const QString& suggested) {
    if (fileNameProvider())
        return fileNameProvider()(parent, suggested);
    const QString filter = suggested.endsWith(QStringLiteral(".pdf")) ? QStringLiteral("PDF (*.pdf)")
                                                                      : QStringLiteral("CSV (*.csv)");
    return QFileDialog::getSaveFileName(parent, MessageBox::title(), suggested, filter);
}

std::unique_ptr<QPrinter> askForPrinter(QWidget* parent) {
    if (printerProvider())
        return printerProvider()(parent);
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPageLayout(auditPageLayout());
    // Without an installed printer the dialog still offers printing to a PDF file.
    QPrintDialog dialog(printer.get(), parent);
    dialog.setWindowTitle(MessageBox::title());
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return printer;
}

} // namespace

void DoseAuditWindow::setFileNameProvider(FileNameProvider provider) {
    fileNameProvider() = std::move(provider);
}
void DoseAuditWindow::setPrinterProvider(PrinterProvider provider) {
    printerProvider() = std::move(provider);
}

namespace {

// The printout's pages: the printable area, the fonts, and where the next line goes.
class AuditPrintout {
public:
    AuditPrintout(QPainter& painter, QPagedPaintDevice& device) : painter_(painter), device_(device) {
        dpi_ = device.logicalDpiY();
        const QRectF page = device.pageLayout().paintRectPixels(static_cast<int>(dpi_));
        area_ = QRectF(0, 0, page.width(), page.height());
        // Fonts whose printed text reads back as written (no radical in place of an ideograph).
        const QStringList families = printFontFamilies(gothicFontFamily());
        titleFont = QFont(gothicFontFamily(), 14, QFont::Bold);
        titleFont.setFamilies(families);
        textFont = QFont(gothicFontFamily(), 9);
        textFont.setFamilies(families);
        boldFont = textFont;
        boldFont.setBold(true);
    }

    double mm(double value) const { return value * dpi_ / 25.4; }
    void skip(double height) { y_ += height; }

    // A paragraph across the page, wrapped.
    void textLine(const QString& text, const QFont& font) {
        painter_.setFont(font);
        const QRectF bounds =
            painter_.boundingRect(QRectF(0, 0, area_.width(), area_.height()), Qt::TextWordWrap, text);
        newPageIfNeeded(bounds.height());
        painter_.drawText(QRectF(0, y_, area_.width(), bounds.height()), Qt::TextWordWrap, text);
        y_ += bounds.height() + mm(1);
    }

    // The table: the same cells as the window, the verdict in words; the rows whose median is
    // above the level marked.
    void table(const QStringList& headings, const DoseAudit& audit) {
        const auto cells = records::auditTableCells(audit);
        placeColumns(headings);
        tableRow(headings, true, false);
        for (size_t r = 0; r < cells.size(); ++r) {
            QStringList row;
            for (size_t c = 0; c < cells[r].size(); ++c)
                row << auditshown::cell(cells[r][c], c);
            tableRow(row, false, audit.bodyParts[r].medianAboveLevel());
        }
        if (cells.empty())
            textLine(QCoreApplication::translate("DoseAuditWindow", "（期間内に線量のある記録はありません）"),
                     textFont);
    }

    void chart(QGraphicsView* view) {
        const double chartHeight = mm(95);
        newPageIfNeeded(chartHeight);
        const QRectF target(0, y_, std::min(area_.width(), mm(190)), chartHeight);
        view->render(&painter_, target, QRect(), Qt::KeepAspectRatio);
        y_ += chartHeight + mm(2);
    }

    QFont titleFont, textFont, boldFont;

private:
    void newPageIfNeeded(double height) {
        if (y_ + height <= area_.bottom())
            return;
        device_.newPage();
        y_ = 0;
    }

    // The columns' edges, and the heading row as high as its longest heading needs when wrapped in
    // its column.
    void placeColumns(const QStringList& headings) {
        const double shares[] = {14, 6, 6, 9, 12, 8, 8, 10, 11, 7, 9};
        lefts_ = {0};
        for (double share : shares)
            lefts_.push_back(lefts_.back() + area_.width() * share / 100);
        rowHeight_ = mm(7);
        headingHeight_ = rowHeight_;
        painter_.setFont(boldFont);
        for (qsizetype c = 0; c < headings.size(); ++c) {
            const QRectF room(0, 0, lefts_[c + 1] - lefts_[c] - mm(2), area_.height());
            headingHeight_ = std::max(
                headingHeight_,
                painter_.boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, headings[c]).height() + mm(2));
        }
    }

    void tableRow(const QStringList& row, bool heading, bool above) {
        const double height = heading ? headingHeight_ : rowHeight_;
        newPageIfNeeded(height);
        for (qsizetype c = 0; c < row.size(); ++c) {
            const QRectF cell(lefts_[c], y_, lefts_[c + 1] - lefts_[c], height);
            if (heading)
                painter_.fillRect(cell, QColor(0xe8, 0xe8, 0xe8));
            else if (above)
                painter_.fillRect(cell, auditshown::kAboveBackground);
            painter_.setPen(QPen(Qt::black, mm(0.2)));
            painter_.drawRect(cell);
            const bool mark = above && (c == auditshown::kRatioColumn || c == auditshown::kVerdictColumn);
            painter_.setFont(heading || mark ? boldFont : textFont);
            const Qt::Alignment align = heading || c == 0 || c == auditshown::kVerdictColumn
                                            ? Qt::AlignCenter
                                            : Qt::AlignRight | Qt::AlignVCenter;
            painter_.drawText(cell.adjusted(mm(1), 0, -mm(1), 0), static_cast<int>(align | Qt::TextWordWrap),
                              row[c]);
        }
        y_ += height;
    }

    QPainter& painter_;
    QPagedPaintDevice& device_;
    double dpi_ = 0;
    QRectF area_;
    double y_ = 0;
    std::vector<double> lefts_;
    double rowHeight_ = 0, headingHeight_ = 0;
};

} // namespace

Status DoseAuditWindow::draw(QPagedPaintDevice& device) {
    if (!audit_)
        return Error(ErrorCode::AuditEmpty);
    QPainter painter;
    if (!painter.begin(&device))
        return Error(ErrorCode::PrintNotBegun);
    AuditPrintout out(painter, device);

    painter.setPen(Qt::black);
    out.textLine(
        QCoreApplication::translate(
            "DoseAuditWindow", "参考レベル監査（ICRP Publication 135: 施設の中央値を診断参考レベルと比較）"),
        out.titleFont);
    out.textLine(QCoreApplication::translate("DoseAuditWindow", "医療施設: %1　　期間: %2　　作成日: %3")
                     .arg(qs(state_.hospitalName), periodText(auditPeriod_),
                          QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"))),
                 out.textFont);
    out.skip(out.mm(2));
    out.table(auditshown::headings(), *audit_);
    out.skip(out.mm(3));
    if (!audit_->bodyParts.empty())
        out.chart(static_cast<QGraphicsView*>(chart1_));

    painter.setPen(Qt::black);
    for (const QString& line : summaryLines(*audit_))
        out.textLine(line, out.textFont);
    out.textLine(label6_->text(), out.textFont);
    if (levelWarning_)
        out.textLine(qs(*levelWarning_), out.textFont);
    for (const records::AuditNote& note : audit_->notes)
        out.textLine(QCoreApplication::translate("DoseAuditWindow", "・") + noteText(note), out.textFont);
    if (!painter.end())
        return Error(ErrorCode::PrintNotFinished);
    return {};
}

Status DoseAuditWindow::print(QPrinter& printer) {
    if (Status allowed = checkPrinterOutput(printer); !allowed.ok())
        return allowed;
    return draw(printer);
}

bool DoseAuditWindow::exportCsv(const QString& path) {
    if (!audit_)
        return false;
    if (const Status written =
            records::writeDoseAuditCsv(std::filesystem::path(path.toStdU16String()), *audit_);
        !written.ok()) {
        MessageBox::warning(
            this, QCoreApplication::translate("DoseAuditWindow", "CSV ファイルを保存できませんでした。\n") +
                      coreText(written.error()));
        return false;
    }
    return true;
}

bool DoseAuditWindow::exportPdf(const QString& path) {
    if (!audit_)
        return false;
    // Drawn into memory first, then the file is replaced as a whole.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Status drawn;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setPageLayout(auditPageLayout());
        writer.setTitle(windowTitle());
        writer.setCreator(QStringLiteral("TAMSO-Ⅱ"));
        drawn = draw(writer);
    }
    Status written = drawn.ok()
                         ? textio::writeExportFile(std::filesystem::path(path.toStdU16String()),
                                                   std::string_view(buffer.data().constData(),
                                                                    static_cast<size_t>(buffer.size())))
                         : drawn;
    if (!written.ok()) {
        MessageBox::warning(
            this, QCoreApplication::translate("DoseAuditWindow", "PDF ファイルを保存できませんでした。\n") +
                      coreText(written.error()));
        return false;
    }
    return true;
}

void DoseAuditWindow::csvRequested() {
    const QString suggested =
        QDir(workingFolder())
            .filePath(QStringLiteral("参考レベル監査_%1.csv")
                          .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    const QString path = askFileName(this, suggested);
    if (!path.isEmpty() && exportCsv(path))
        MessageBox::notice(this,
                           QCoreApplication::translate("DoseAuditWindow", "CSV ファイルに保存しました。"));
}

void DoseAuditWindow::pdfRequested() {
    const QString suggested =
        QDir(workingFolder())
            .filePath(QStringLiteral("参考レベル監査_%1.pdf")
                          .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    const QString path = askFileName(this, suggested);
    if (!path.isEmpty() && exportPdf(path))
        MessageBox::notice(this,
                           QCoreApplication::translate("DoseAuditWindow", "PDF ファイルに保存しました。"));
}

void DoseAuditWindow::printRequested() {
    std::unique_ptr<QPrinter> printer = askForPrinter(this);
    if (!printer)
        return;
    if (const Status printed = print(*printer); !printed.ok())
        MessageBox::warning(this, coreText(printed.error()));
}

} // namespace tamso::ui
