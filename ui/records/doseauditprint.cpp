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

Status DoseAuditWindow::draw(QPagedPaintDevice& device) {
    if (!audit_)
        return Error::text(QT_TRANSLATE_NOOP("core", "集計がまだありません。"));
    QPainter painter;
    if (!painter.begin(&device))
        return Error::text(QT_TRANSLATE_NOOP("core", "印刷を始められませんでした。"));
    const double dpi = device.logicalDpiY();
    const QRectF page = device.pageLayout().paintRectPixels(static_cast<int>(dpi));
    const QRectF area(0, 0, page.width(), page.height());
    auto mm = [dpi](double value) { return value * dpi / 25.4; };

    // Fonts whose printed text reads back as written (no radical in place of an ideograph).
    const QStringList families = printFontFamilies(gothicFontFamily());
    QFont titleFont(gothicFontFamily(), 14, QFont::Bold);
    titleFont.setFamilies(families);
    QFont textFont(gothicFontFamily(), 9);
    textFont.setFamilies(families);
    QFont boldFont = textFont;
    boldFont.setBold(true);
    double y = 0;
    auto newPageIfNeeded = [&](double height) {
        if (y + height <= area.bottom())
            return;
        device.newPage();
        y = 0;
    };
    auto textLine = [&](const QString& text, const QFont& font) {
        painter.setFont(font);
        const QRectF bounds =
            painter.boundingRect(QRectF(0, 0, area.width(), area.height()), Qt::TextWordWrap, text);
        newPageIfNeeded(bounds.height());
        painter.drawText(QRectF(0, y, area.width(), bounds.height()), Qt::TextWordWrap, text);
        y += bounds.height() + mm(1);
    };

    painter.setPen(Qt::black);
    textLine(
        QCoreApplication::translate(
            "DoseAuditWindow", "参考レベル監査（ICRP Publication 135: 施設の中央値を診断参考レベルと比較）"),
        titleFont);
    textLine(QCoreApplication::translate("DoseAuditWindow", "医療施設: %1　　期間: %2　　作成日: %3")
                 .arg(qs(engine::Module1.hospitalName), periodText(auditPeriod_),
                      QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"))),
             textFont);
    y += mm(2);

    // The table: the same cells as the window, the verdict in words.
    const QStringList headings = auditshown::headings();
    const auto cells = records::auditTableCells(*audit_);
    const double shares[] = {14, 6, 6, 9, 12, 8, 8, 10, 11, 7, 9};
    std::vector<double> lefts = {0};
    for (double share : shares)
        lefts.push_back(lefts.back() + area.width() * share / 100);
    const double rowHeight = mm(7);
    // The heading row as high as its longest heading needs when wrapped in its column.
    double headingHeight = rowHeight;
    painter.setFont(boldFont);
    for (qsizetype c = 0; c < headings.size(); ++c) {
        const QRectF room(0, 0, lefts[c + 1] - lefts[c] - mm(2), area.height());
        headingHeight = std::max(
            headingHeight,
            painter.boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, headings[c]).height() + mm(2));
    }
    auto drawRow = [&](const QStringList& row, bool heading, bool above) {
        const double height = heading ? headingHeight : rowHeight;
        newPageIfNeeded(height);
        for (qsizetype c = 0; c < row.size(); ++c) {
            const QRectF cell(lefts[c], y, lefts[c + 1] - lefts[c], height);
            if (heading)
                painter.fillRect(cell, QColor(0xe8, 0xe8, 0xe8));
            else if (above)
                painter.fillRect(cell, auditshown::kAboveBackground);
            painter.setPen(QPen(Qt::black, mm(0.2)));
            painter.drawRect(cell);
            const bool mark = above && (c == auditshown::kRatioColumn || c == auditshown::kVerdictColumn);
            painter.setFont(heading || mark ? boldFont : textFont);
            const Qt::Alignment align = heading || c == 0 || c == auditshown::kVerdictColumn
                                            ? Qt::AlignCenter
                                            : Qt::AlignRight | Qt::AlignVCenter;
            painter.drawText(cell.adjusted(mm(1), 0, -mm(1), 0), static_cast<int>(align | Qt::TextWordWrap),
                             row[c]);
        }
        y += height;
    };
    drawRow(headings, true, false);
    for (size_t r = 0; r < cells.size(); ++r) {
        QStringList row;
        for (size_t c = 0; c < cells[r].size(); ++c)
            row << auditshown::cell(cells[r][c], c);
        drawRow(row, false, audit_->bodyParts[r].medianAboveLevel());
    }
    if (cells.empty())
        textLine(QCoreApplication::translate("DoseAuditWindow", "（期間内に線量のある記録はありません）"),
                 textFont);
    y += mm(3);

    if (!audit_->bodyParts.empty()) {
        const double chartHeight = mm(95);
        newPageIfNeeded(chartHeight);
        const QRectF target(0, y, std::min(area.width(), mm(190)), chartHeight);
        static_cast<QGraphicsView*>(chart1_)->render(&painter, target, QRect(), Qt::KeepAspectRatio);
        y += chartHeight + mm(2);
    }

    painter.setPen(Qt::black);
    for (const QString& line : summaryLines(*audit_))
        textLine(line, textFont);
    textLine(label6_->text(), textFont);
    if (levelWarning_)
        textLine(qs(*levelWarning_), textFont);
    for (const records::AuditNote& note : audit_->notes)
        textLine(QCoreApplication::translate("DoseAuditWindow", "・") + noteText(note), textFont);
    if (!painter.end())
        return Error::text(QT_TRANSLATE_NOOP("core", "印刷を終えられませんでした。"));
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
