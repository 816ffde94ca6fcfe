#include "ui/records/doseauditwindow.h"

#include "engine/calculationstate.h"
#include "refdata/referencelevels.h"
#include "textio/fileio.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/uiutil.h"
#include "ui/report/printfonts.h"

#include <QBarCategoryAxis>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tamso::ui {

using records::AuditPeriod;
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

// The columns of the table that hold the level, the ratio and the verdict.
constexpr int kRatioColumn = 8;
constexpr int kVerdictColumn = 9;

const QColor kAboveText(0xb0, 0x10, 0x10);
const QColor kAboveBackground(0xfd, 0xe2, 0xe2);
const QColor kLevelLine(0xd0, 0x20, 0x20);

// A4 landscape with 12 mm margins: the table's ten columns fit across.
QPageLayout auditPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                       QPageLayout::Millimeter);
}

records::CalendarDate calendarDate(const QDate& date) {
    return {date.year(), date.month(), date.day()};
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

// The audit's texts as the window and its printout show them: the fixed words of the core
// translated (the CSV file keeps them in Japanese), the counts and notes in the interface's words.
QStringList shownHeadings() {
    QStringList headings;
    for (const std::string& heading : records::auditTableHeadings())
        headings << coreText(heading);
    return headings;
}

QString shownCell(const std::string& cell, size_t column) {
    return column == static_cast<size_t>(kVerdictColumn) ? coreText(cell) : qs(cell);
}

} // namespace

QString DoseAuditWindow::periodText(const AuditPeriod& period) {
    return period.bounded() ? qs(records::auditPeriodText(period))
                            : QCoreApplication::translate("DoseAuditWindow", "全期間");
}

QStringList DoseAuditWindow::summaryLines(const DoseAudit& a) {
    const QString files =
        a.leftOutFiles > 0
            ? QCoreApplication::translate("DoseAuditWindow",
                                          "記録ファイル %1 件（読めないもの %2 件、除いたもの %3 件）")
                  .arg(a.recordFiles)
                  .arg(a.unreadableFiles)
                  .arg(a.leftOutFiles)
            : QCoreApplication::translate("DoseAuditWindow", "記録ファイル %1 件（読めないもの %2 件）")
                  .arg(a.recordFiles)
                  .arg(a.unreadableFiles);
    return {
        files + QCoreApplication::translate("DoseAuditWindow", "、記録 %1 件、期間内 %2 件")
                    .arg(a.records)
                    .arg(a.recordsInPeriod),
        QCoreApplication::translate(
            "DoseAuditWindow",
            "集計した撮影 %1 件（患児 %2 人）、撮影日が読めない記録 %3 件、線量のない記録 %4 件")
                .arg(a.exposures)
                .arg(a.infants)
                .arg(a.dateUnreadable)
                .arg(a.noDose) +
            (a.withdrawn > 0
                 ? QCoreApplication::translate("DoseAuditWindow", "、取り消した記録 %1 件").arg(a.withdrawn)
                 : QString())};
}

QString DoseAuditWindow::noteText(const records::AuditNote& note) {
    using Kind = records::AuditNote::Kind;
    const QString file = qs(note.fileName), detail = qs(note.detail);
    switch (note.kind) {
    case Kind::UnreadableFile:
        return QCoreApplication::translate("DoseAuditWindow", "読めない記録ファイル: %1")
            .arg(coreText(note.detail));
    case Kind::LeftOutFile:
        return QCoreApplication::translate("DoseAuditWindow", "除いた記録ファイル: %1")
            .arg(coreText(note.detail));
    case Kind::DateUnreadable:
        return (note.counted
                    ? QCoreApplication::translate("DoseAuditWindow",
                                                  "撮影日が読めない記録: %1 の %2 件目（撮影日「%3」）。"
                                                  "期間を指定していないため集計に含めました")
                    : QCoreApplication::translate("DoseAuditWindow",
                                                  "撮影日が読めない記録: %1 の %2 件目（撮影日「%3」）。"
                                                  "期間に入るか判らないため集計から除きました"))
            .arg(file)
            .arg(note.record)
            .arg(detail);
    case Kind::NoDose:
        return QCoreApplication::translate(
                   "DoseAuditWindow",
                   "線量のない記録: %1 の %2 件目（入射表面線量「%3」）。集計から除きました")
            .arg(file)
            .arg(note.record)
            .arg(detail);
    case Kind::Withdrawn:
        return QCoreApplication::translate("DoseAuditWindow",
                                           "取り消した記録: %1 の %2 件目（理由「%3」）。集計から除きました")
            .arg(file)
            .arg(note.record)
            .arg(detail);
    case Kind::TrailProblem:
        return QCoreApplication::translate("DoseAuditWindow", "適用していない取り消し: %1").arg(detail);
    }
    return detail;
}

DoseAuditWindow::DoseAuditWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QCoreApplication::translate("DoseAuditWindow", "TAMSO 参考レベル監査"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(13200), twips(9600));

    addLabel(this, QStringLiteral("Label1"), QCoreApplication::translate("DoseAuditWindow", "期間"), 240, 240,
             600);
    check1_ = new QCheckBox(QCoreApplication::translate("DoseAuditWindow", "全期間"), this);
    nameControl(check1_, QStringLiteral("Check1"), QCoreApplication::translate("DoseAuditWindow", "全期間"));
    placeTwips(check1_, 840, 180, 1200, 375);
    check1_->setChecked(true);
    auto dateEdit = [this](const char* name, const QString& caption, int left, const QDate& date) {
        auto* edit = new QDateEdit(date, this);
        nameControl(edit, QString::fromLatin1(name), caption);
        edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        edit->setCalendarPopup(true);
        placeTwips(edit, left, 180, 1800, 375);
        return edit;
    };
    const QDate today = QDate::currentDate();
    dateEdit1_ = dateEdit("DateEdit1", QCoreApplication::translate("DoseAuditWindow", "期間の初日"), 2160,
                          QDate(today.year(), 1, 1));
    addLabel(this, QStringLiteral("Label2"), QCoreApplication::translate("DoseAuditWindow", "～"), 4020, 240,
             300)
        ->setAlignment(Qt::AlignCenter);
    dateEdit2_ =
        dateEdit("DateEdit2", QCoreApplication::translate("DoseAuditWindow", "期間の最終日"), 4380, today);
    command1_ = new QPushButton(QCoreApplication::translate("DoseAuditWindow", "集計"), this);
    nameControl(command1_, QStringLiteral("Command1"),
                QCoreApplication::translate("DoseAuditWindow", "集計"));
    placeTwips(command1_, 6420, 150, 1215, 435);
    label6_ = addLabel(this, QStringLiteral("Label6"), QString(), 7800, 240, 5160);

    grid1_ = new QTableWidget(0, static_cast<int>(records::auditTableHeadings().size()), this);
    nameControl(grid1_, QStringLiteral("Grid1"),
                QCoreApplication::translate("DoseAuditWindow", "撮影部位ごとの集計"));
    placeTwips(grid1_, 240, 720, 12720, 2760);
    grid1_->setHorizontalHeaderLabels(shownHeadings());
    grid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid1_->setTabKeyNavigation(false); // Tab goes on to the next control, as everywhere
    grid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid1_->verticalHeader()->setVisible(false);
    grid1_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid1_->horizontalHeader()->setStretchLastSection(true);

    chart1_ = new QChartView(new QChart, this);
    nameControl(chart1_, QStringLiteral("Chart1"),
                QCoreApplication::translate("DoseAuditWindow", "撮影部位ごとの箱ひげ図と参考レベル"));
    placeTwips(chart1_, 240, 3600, 7800, 4560);
    chart1_->setRenderHint(QPainter::Antialiasing);
    QChart* chart = chart1_->chart();
    chart->setTitle(QCoreApplication::translate(
        "DoseAuditWindow", "入射表面線量の分布（箱: 25～75 パーセンタイル、線: 中央値）"));
    xAxis_ = new QBarCategoryAxis;
    yAxis_ = new QValueAxis;
    yAxis_->setTitleText(QCoreApplication::translate("DoseAuditWindow", "入射表面線量 (mGy)"));
    yAxis_->setLabelFormat(QStringLiteral("%.3f"));
    chart->addAxis(xAxis_, Qt::AlignBottom);
    chart->addAxis(yAxis_, Qt::AlignLeft);
    // The printer's fonts (they look the same on the screen): the chart's texts in a printed or PDF
    // page then read back as written.
    const QStringList families = printFontFamilies(gothicFontFamily());
    auto printable = [&families](QFont font) {
        font.setFamilies(families);
        return font;
    };
    chart->setTitleFont(printable(chart->titleFont()));
    chart->legend()->setFont(printable(chart->legend()->font()));
    for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(xAxis_), static_cast<QAbstractAxis*>(yAxis_)}) {
        axis->setLabelsFont(printable(axis->labelsFont()));
        axis->setTitleFont(printable(axis->titleFont()));
    }

    addLabel(this, QStringLiteral("Label3"),
             QCoreApplication::translate("DoseAuditWindow", "集計から除いたもの・読めなかったもの"), 8160,
             3600, 4800);
    list1_ = new QListWidget(this);
    nameControl(list1_, QStringLiteral("List1"),
                QCoreApplication::translate("DoseAuditWindow", "集計から除いたもの・読めなかったもの"));
    placeTwips(list1_, 8160, 3900, 4800, 4260);
    list1_->setWordWrap(true);

    label5_ = addLabel(this, QStringLiteral("Label5"), QString(), 240, 8240, 12720, 510);
    label5_->setWordWrap(true);

    auto button = [this](const char* name, const QString& text, int left) {
        auto* b = new QPushButton(text, this);
        nameControl(b, QString::fromLatin1(name), text);
        placeTwips(b, left, 8880, 1335, 495);
        return b;
    };
    command2_ = button("Command2", QCoreApplication::translate("DoseAuditWindow", "CSV 出力"), 7200);
    command3_ = button("Command3", QCoreApplication::translate("DoseAuditWindow", "印刷"), 8640);
    command4_ = button("Command4", QCoreApplication::translate("DoseAuditWindow", "PDF 出力"), 10080);
    command5_ = new QPushButton(this);
    nameControl(command5_, QStringLiteral("Command5"), QStringLiteral("bye bye"));
    command5_->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    command5_->setToolTip(QStringLiteral(" bye bye "));
    placeTwips(command5_, 12480, 8880, 495, 495);

    connect(check1_, &QCheckBox::toggled, this, &DoseAuditWindow::updateDatesEnabled);
    connect(command1_, &QPushButton::clicked, this, [this] { runAudit(); });
    connect(command2_, &QPushButton::clicked, this, &DoseAuditWindow::csvRequested);
    connect(command3_, &QPushButton::clicked, this, &DoseAuditWindow::printRequested);
    connect(command4_, &QPushButton::clicked, this, &DoseAuditWindow::pdfRequested);
    connect(command5_, &QPushButton::clicked, this, &QWidget::hide);
    closeOnEscape(this, command5_);
    updateDatesEnabled();
    showAudit();
}

DoseAuditWindow::~DoseAuditWindow() = default;

void DoseAuditWindow::setFileNameProvider(FileNameProvider provider) {
    fileNameProvider() = std::move(provider);
}
void DoseAuditWindow::setPrinterProvider(PrinterProvider provider) {
    printerProvider() = std::move(provider);
}

QChart* DoseAuditWindow::chart() const {
    return chart1_->chart();
}

void DoseAuditWindow::open() {
    show();
    raise();
    activateWindow();
    runAudit();
}

void DoseAuditWindow::updateDatesEnabled() {
    dateEdit1_->setEnabled(!check1_->isChecked());
    dateEdit2_->setEnabled(!check1_->isChecked());
}

void DoseAuditWindow::setPeriod(const QDate& from, const QDate& to) {
    check1_->setChecked(false);
    dateEdit1_->setDate(from);
    dateEdit2_->setDate(to);
}

void DoseAuditWindow::setAllDates() {
    check1_->setChecked(true);
}

AuditPeriod DoseAuditWindow::period() const {
    if (check1_->isChecked())
        return {};
    return {calendarDate(dateEdit1_->date()), calendarDate(dateEdit2_->date())};
}

bool DoseAuditWindow::runAudit() {
    const AuditPeriod chosen = period();
    if (chosen.from && chosen.to && chosen.from->key() > chosen.to->key()) {
        MessageBox::warning(
            this, QCoreApplication::translate("DoseAuditWindow", "期間の初日が最終日より後になっています。"));
        return false;
    }
    const auto folder = workingFolderPath();
    const refdata::OptionalReferenceLevels levels = refdata::loadReferenceLevels(folder);
    auto audit = records::auditRecordFolder(folder, chosen, levels.table, refdata::readBodyPartList(folder));
    if (!audit.ok()) {
        MessageBox::warning(this, coreText(audit.error().message));
        return false;
    }
    audit_ = std::move(*audit);
    auditPeriod_ = chosen;
    levelFilePresent_ = levels.present;
    levelWarning_ = levels.warning;
    showAudit();
    return true;
}

void DoseAuditWindow::showAudit() {
    grid1_->setRowCount(0);
    list1_->clear();
    const bool shown = audit_.has_value();
    command2_->setEnabled(shown);
    command3_->setEnabled(shown);
    command4_->setEnabled(shown);
    if (!shown) {
        label5_->clear();
        label6_->clear();
        fillChart();
        return;
    }
    const auto cells = records::auditTableCells(*audit_);
    grid1_->setRowCount(static_cast<int>(cells.size()));
    for (int r = 0; r < grid1_->rowCount(); ++r) {
        const BodyPartAudit& part = audit_->bodyParts[static_cast<size_t>(r)];
        for (int c = 0; c < grid1_->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(
                shownCell(cells[static_cast<size_t>(r)][static_cast<size_t>(c)], static_cast<size_t>(c)));
            if (c > 0 && c < kVerdictColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            // Above the level: colour and the word "超過", so it reads in black and white too.
            if (part.medianAboveLevel()) {
                item->setBackground(kAboveBackground);
                if (c == kRatioColumn || c == kVerdictColumn) {
                    item->setForeground(kAboveText);
                    QFont bold = item->font();
                    bold.setBold(true);
                    item->setFont(bold);
                }
            }
            grid1_->setItem(r, c, item);
        }
    }
    QStringList summary;
    summary << QCoreApplication::translate("DoseAuditWindow", "期間: ") + periodText(auditPeriod_);
    summary << summaryLines(*audit_);
    label5_->setText(summary.join(QStringLiteral("　")));
    if (levelWarning_) {
        label6_->setText(QCoreApplication::translate(
            "DoseAuditWindow", "参考線量.dat を読めないため参考レベルとは比較しません"));
        list1_->addItem(qs(*levelWarning_));
    } else if (!levelFilePresent_) {
        label6_->setText(QCoreApplication::translate("DoseAuditWindow",
                                                     "参考線量.dat がないため参考レベルとは比較しません"));
    } else {
        label6_->setText(QCoreApplication::translate("DoseAuditWindow",
                                                     "参考レベル: 参考線量.dat（各撮影部位の最初の行）"));
    }
    for (const records::AuditNote& note : audit_->notes)
        list1_->addItem(noteText(note));
    for (int i = 0; i < list1_->count(); ++i)
        list1_->item(i)->setToolTip(list1_->item(i)->text());
    if (audit_->notes.empty() && !levelWarning_)
        list1_->addItem(QCoreApplication::translate("DoseAuditWindow", "なし"));
    fillChart();
}

void DoseAuditWindow::fillChart() {
    QChart* chart = chart1_->chart();
    chart->removeAllSeries();
    xAxis_->clear();
    const bool empty = !audit_ || audit_->bodyParts.empty();
    xAxis_->setVisible(!empty);
    yAxis_->setVisible(!empty);
    if (empty)
        return;

    auto* boxes = new QBoxPlotSeries;
    boxes->setName(QCoreApplication::translate("DoseAuditWindow", "入射表面線量 (mGy)"));
    QStringList categories;
    double top = 0;
    for (const BodyPartAudit& part : audit_->bodyParts) {
        auto* set = new QBoxSet(part.minimumMGy, part.lowerQuartileMGy, part.medianMGy, part.percentile75MGy,
                                part.maximumMGy, qs(part.bodyPart));
        boxes->append(set);
        categories << qs(part.bodyPart);
        top = std::max({top, part.maximumMGy, part.levelMGy.value_or(0.0)});
    }
    chart->addSeries(boxes);
    xAxis_->append(categories);
    yAxis_->setRange(0, top > 0 ? top * 1.1 : 1.0);
    yAxis_->applyNiceNumbers();
    boxes->attachAxis(xAxis_);
    boxes->attachAxis(yAxis_);
    QBarCategoryAxis* xAxis = xAxis_;
    QValueAxis* yAxis = yAxis_;

    // The level of each body part as a dashed line across its box.
    bool first = true;
    for (int i = 0; i < static_cast<int>(audit_->bodyParts.size()); ++i) {
        const BodyPartAudit& part = audit_->bodyParts[static_cast<size_t>(i)];
        if (!part.levelMGy)
            continue;
        auto* line = new QLineSeries;
        line->setName(QCoreApplication::translate("DoseAuditWindow", "参考レベル"));
        line->append(i - 0.45, *part.levelMGy);
        line->append(i + 0.45, *part.levelMGy);
        QPen pen(kLevelLine);
        pen.setWidthF(2.5);
        pen.setStyle(Qt::DashLine);
        line->setPen(pen);
        chart->addSeries(line);
        line->attachAxis(xAxis);
        line->attachAxis(yAxis);
        if (!first)
            for (QLegendMarker* marker : chart->legend()->markers(line))
                marker->setVisible(false);
        first = false;
    }
    // The chart places its axes and legend on a posted layout request: done now, so that a
    // printout made at once shows them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

Status DoseAuditWindow::draw(QPagedPaintDevice& device) {
    if (!audit_)
        return Error{QT_TRANSLATE_NOOP("core", "集計がまだありません。")};
    QPainter painter;
    if (!painter.begin(&device))
        return Error{QT_TRANSLATE_NOOP("core", "印刷を始められませんでした。")};
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
    const QStringList headings = shownHeadings();
    const auto cells = records::auditTableCells(*audit_);
    const double shares[] = {16, 7, 7, 9, 13, 9, 9, 11, 12, 7};
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
                painter.fillRect(cell, kAboveBackground);
            painter.setPen(QPen(Qt::black, mm(0.2)));
            painter.drawRect(cell);
            const bool mark = above && (c == kRatioColumn || c == kVerdictColumn);
            painter.setFont(heading || mark ? boldFont : textFont);
            const Qt::Alignment align = heading || c == 0 || c == kVerdictColumn
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
            row << shownCell(cells[r][c], c);
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
        return Error{QT_TRANSLATE_NOOP("core", "印刷を終えられませんでした。")};
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
                      coreText(written.message()));
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
                      coreText(written.message()));
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
        MessageBox::warning(this, coreText(printed.message()));
}

} // namespace tamso::ui
