#include "ui/records/dosehistorywindow.h"

#include "engine/calculationstate.h"
#include "records/dosehistory.h"
#include "textio/fileio.h"
#include "ui/kit/language.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/organdosedata.h"
#include "ui/kit/uiutil.h"
#include "ui/records/dosehistorymodel.h"
#include "ui/records/dosehistorypages.h"
#include "ui/report/printfonts.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>

#include <cmath>

namespace tamso::ui {
namespace {

constexpr int kPageGap = 12; // pixels around each page on the screen

DoseHistoryWindow::PrinterProvider& printerProvider() {
    static DoseHistoryWindow::PrinterProvider provider;
    return provider;
}

DoseHistoryWindow::PdfNameProvider& pdfNameProvider() {
    static DoseHistoryWindow::PdfNameProvider provider;
    return provider;
}

void configureHistoryPage(QPagedPaintDevice& device) {
    device.setPageSize(QPageSize(QPageSize::A4));
    device.setPageOrientation(QPageLayout::Landscape);
    device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

std::unique_ptr<QPrinter> askForPrinter(QWidget* parent) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    configureHistoryPage(*printer);
    printer->setColorMode(QPrinter::Color);
    QPrintDialog dialog(printer.get(), parent);
    dialog.setWindowTitle(MessageBox::title());
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    return printer;
}

QString askForPdfName(QWidget* parent, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, MessageBox::title(), suggested,
                                        QStringLiteral("PDF (*.pdf)"));
}

} // namespace

// The window -------------------------------------------------------------------------------------

DoseHistoryWindow::DoseHistoryWindow(const engine::CalculationState& state, SiteData& site, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), site_(site) {
    setObjectName(QStringLiteral("DoseHistory"));
    setWindowTitle(QCoreApplication::translate("DoseHistoryWindow", "TAMSO Ⅱ 線量履歴"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    resize(1220, 880);

    summary_ = new QLabel(this);
    nameControl(summary_, QStringLiteral("Label1"),
                QCoreApplication::translate("DoseHistoryWindow", "患児と累積線量"));
    print_ = new QPushButton(QCoreApplication::translate("DoseHistoryWindow", "印刷"), this);
    nameControl(print_, QStringLiteral("Command2"), QCoreApplication::translate("DoseHistoryWindow", "印刷"));
    pdf_ = new QPushButton(QCoreApplication::translate("DoseHistoryWindow", "PDF保存"), this);
    nameControl(pdf_, QStringLiteral("Command3"),
                QCoreApplication::translate("DoseHistoryWindow", "PDF保存"));
    close_ = new QPushButton(this);
    nameControl(close_, QStringLiteral("Command1"), QStringLiteral("bye bye"));
    close_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    close_->setToolTip(QStringLiteral(" bye bye "));

    scroll_ = new QScrollArea(this);
    nameControl(scroll_, QStringLiteral("Scroll1"),
                QCoreApplication::translate("DoseHistoryWindow", "線量履歴のページ"));
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setBackgroundRole(QPalette::Dark);
    view_ = new DoseHistoryPageView;
    nameControl(view_, QStringLiteral("Picture1"),
                QCoreApplication::translate("DoseHistoryWindow", "線量履歴"));
    scroll_->setWidget(view_);

    auto* top = new QHBoxLayout;
    top->addWidget(summary_, 1);
    top->addWidget(print_);
    top->addWidget(pdf_);
    top->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(scroll_, 1);

    connect(print_, &QPushButton::clicked, this, &DoseHistoryWindow::printRequested);
    connect(pdf_, &QPushButton::clicked, this, &DoseHistoryWindow::pdfRequested);
    connect(close_, &QPushButton::clicked, this, &QWidget::hide);
    closeOnEscape(this, close_);
    connect(view_, &DoseHistoryPageView::barHovered, this, [this](int) {
        // The record under the pointer, as a tool tip beside it.
        if (!view_->hoveredText().isEmpty())
            QToolTip::showText(QCursor::pos(), view_->hoveredText(), view_);
        else
            QToolTip::hideText();
    });
}

DoseHistoryWindow::~DoseHistoryWindow() {
    view_->setPages(nullptr);
}

void DoseHistoryWindow::setPrinterProvider(PrinterProvider provider) {
    printerProvider() = std::move(provider);
}

void DoseHistoryWindow::setPdfNameProvider(PdfNameProvider provider) {
    pdfNameProvider() = std::move(provider);
}

Status DoseHistoryWindow::showHistory(const std::filesystem::path& folder, const QString& patientId) {
    auto history = records::loadDoseHistory(folder, utf8(patientId), examDateReader());
    if (!history.ok())
        return history.error();
    if (!history->hasRecords())
        return Error(ErrorCode::RecordFileNotFound, {records::recordFileName(utf8(patientId), 1)});
    view_->setPages(nullptr);
    pages_.reset();
    model_ = std::make_unique<DoseHistoryModel>(std::move(*history));
    // The effective doses, from each record's conditions with the site's default weight.
    if (auto data = site_.organDoseData(); data.ok())
        model_->setEffectiveDoses(records::historyEffectiveDoses(model_->history(), state_, (*data)->table,
                                                                 (*data)->defaultWeightKg));
    else
        model_->setEffectiveDosesUnavailable(coreText(data.error()));
    pages_ = std::make_unique<DoseHistoryPages>(*model_, qs(state_.hospitalName));
    folder_ = folder;
    view_->setPages(pages_.get());
    view_->fitToWidth(scroll_->viewport()->width());
    QString summary =
        QCoreApplication::translate("DoseHistoryWindow",
                                    "ID No.: %1　氏名 : %2　撮影回数 : %3 回　累積入射表面線量 : %4 mGy")
            .arg(model_->patientId(), model_->patientName())
            .arg(model_->exposureCount())
            .arg(model_->cumulativeDoseText());
    if (model_->uncountedDoses() > 0)
        summary += QCoreApplication::translate("DoseHistoryWindow", " 以上（線量のない記録 %1 件）")
                       .arg(model_->uncountedDoses());
    if (model_->withdrawnRecords() > 0)
        summary += QCoreApplication::translate("DoseHistoryWindow", "（取り消した記録 %1 件を除く）")
                       .arg(model_->withdrawnRecords());
    summary += QCoreApplication::translate("DoseHistoryWindow", "　累積実効線量 : %1")
                   .arg(model_->cumulativeEffectiveDoseText());
    summary_->setText(summary);
    setWindowTitle(QCoreApplication::translate("DoseHistoryWindow", "TAMSO Ⅱ 線量履歴 - ") +
                   model_->patientId());
    scroll_->verticalScrollBar()->setValue(0);
    // Withdrawals that were not applied: their records count, and the user is told why.
    if (!model_->history().trailProblems.empty()) {
        QStringList problems;
        for (const std::string& problem : model_->history().trailProblems)
            problems << qs(problem);
        MessageBox::warning(this, problems.join(QLatin1Char('\n')));
    }
    return {};
}

void DoseHistoryWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    view_->fitToWidth(scroll_->viewport()->width());
}

void DoseHistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    view_->fitToWidth(scroll_->viewport()->width());
}

QString DoseHistoryWindow::hoveredText() const {
    return view_->hoveredText();
}

Status DoseHistoryWindow::printTo(QPagedPaintDevice& device) const {
    if (!pages_)
        return Error(ErrorCode::DoseHistoryEmpty);
    configureHistoryPage(device);
    QPainter painter;
    if (!painter.begin(&device))
        return Error(ErrorCode::PrintCannotStart);
    const QStringList families = printFontFamilies(gothicFontFamily());
    const double scale = std::min(painter.device()->width() / DoseHistoryPages::kPageWidth,
                                  painter.device()->height() / DoseHistoryPages::kPageHeight);
    for (int page = 0; page < pages_->pageCount(); ++page) {
        if (page > 0 && !device.newPage()) {
            painter.end();
            return Error(ErrorCode::PrintFailed);
        }
        painter.save();
        painter.scale(scale, scale);
        pages_->paintPage(painter, page, families);
        painter.restore();
    }
    if (!painter.end())
        return Error(ErrorCode::PrintFailed);
    if (auto* printer = dynamic_cast<QPrinter*>(&device);
        printer && printer->printerState() == QPrinter::Error)
        return Error(ErrorCode::PrintFailed);
    return {};
}

Status DoseHistoryWindow::savePdf(const QString& fileName) const {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("TAMSO-Ⅱ"));
        writer.setTitle(windowTitle());
        if (const Status printed = printTo(writer); !printed.ok())
            return printed;
    }
    const QByteArray& pdf = buffer.data();
    return textio::writeExportFile(std::filesystem::u8path(utf8(fileName)),
                                   std::string_view(pdf.constData(), static_cast<size_t>(pdf.size())));
}

void DoseHistoryWindow::printRequested() {
    if (!pages_ || !MessageBox::askOkCancel(this, QCoreApplication::translate(
                                                      "DoseHistoryWindow", "プリンタの準備はＯＫですか？")))
        return;
    std::unique_ptr<QPrinter> printer = printerProvider() ? printerProvider()(this) : askForPrinter(this);
    if (!printer)
        return;
    if (Status allowed = checkPrinterOutput(*printer); !allowed.ok()) {
        MessageBox::warning(this, qs(allowed.message()));
        return;
    }
    if (const Status printed = printTo(*printer); !printed.ok())
        MessageBox::warning(this, coreText(printed.error()));
}

void DoseHistoryWindow::pdfRequested() {
    if (!pages_)
        return;
    const QString suggested =
        qs((folder_ / std::filesystem::u8path(
                          utf8(QStringLiteral("線量履歴_") + model_->patientId() + QStringLiteral(".pdf"))))
               .u8string());
    const QString name =
        pdfNameProvider() ? pdfNameProvider()(this, suggested) : askForPdfName(this, suggested);
    if (name.isEmpty())
        return;
    if (const Status saved = savePdf(name); !saved.ok()) {
        MessageBox::warning(this, qs(saved.message()));
        return;
    }
    MessageBox::notice(this,
                       QCoreApplication::translate("DoseHistoryWindow", "PDF ファイル「%1」に保存しました。")
                           .arg(QFileInfo(name).fileName()));
}

// The page view ----------------------------------------------------------------------------------

DoseHistoryPageView::DoseHistoryPageView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DoseHistoryPageView::setPages(const DoseHistoryPages* pages) {
    pages_ = pages;
    hovered_.clear();
    fitToWidth(width());
    update();
}

double DoseHistoryPageView::scale() const {
    return DoseHistoryPages::kPageWidth / std::max(1, width() - 2 * kPageGap);
}

QPointF DoseHistoryPageView::pageOrigin(int page) const {
    const double pageHeight = DoseHistoryPages::kPageHeight / scale();
    return QPointF(kPageGap, kPageGap + page * (pageHeight + kPageGap));
}

void DoseHistoryPageView::fitToWidth(int width) {
    width = std::max(width, 2 * kPageGap + 1);
    const int pages = pages_ ? pages_->pageCount() : 0;
    const double pageHeight =
        DoseHistoryPages::kPageHeight * (width - 2 * kPageGap) / DoseHistoryPages::kPageWidth;
    const QSize wanted(width, static_cast<int>(std::ceil(kPageGap + pages * (pageHeight + kPageGap))));
    if (size() != wanted)
        resize(wanted);
}

int DoseHistoryPageView::barAt(const QPoint& position) const {
    if (!pages_)
        return -1;
    const QPointF onPage = (QPointF(position) - pageOrigin(0)) * scale();
    return pages_->barAt(onPage);
}

void DoseHistoryPageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    if (!pages_)
        return;
    const double s = 1 / scale();
    for (int page = 0; page < pages_->pageCount(); ++page) {
        const QPointF origin = pageOrigin(page);
        const QRectF area(origin,
                          QSizeF(DoseHistoryPages::kPageWidth * s, DoseHistoryPages::kPageHeight * s));
        if (!area.intersects(event->rect()))
            continue;
        painter.save();
        painter.translate(origin);
        painter.scale(s, s);
        pages_->paintPage(painter, page, {gothicFontFamily()});
        painter.restore();
    }
}

QString DoseHistoryPageView::withdrawalAt(const QPoint& position) const {
    if (!pages_)
        return {};
    const double pageHeight = DoseHistoryPages::kPageHeight / scale();
    const int page = static_cast<int>(std::floor((position.y() - kPageGap) / (pageHeight + kPageGap)));
    const int row = pages_->rowAt(page, (QPointF(position) - pageOrigin(page)) * scale());
    const DoseHistoryModel& model = pages_->model();
    return model.isWithdrawn(row) ? model.index(row, 0).data(Qt::ToolTipRole).toString() : QString();
}

void DoseHistoryPageView::mouseMoveEvent(QMouseEvent* event) {
    const int bar = barAt(event->position().toPoint());
    // Over a bar, its exposure; over the row of a withdrawn record, its withdrawal.
    const QString text =
        bar >= 0 && pages_ ? pages_->model().barText(bar) : withdrawalAt(event->position().toPoint());
    if (text != hovered_) {
        hovered_ = text;
        emit barHovered(bar);
    }
    QWidget::mouseMoveEvent(event);
}

} // namespace tamso::ui
