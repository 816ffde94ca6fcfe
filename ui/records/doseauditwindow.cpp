#include "ui/records/doseauditwindow.h"

#include "ui/records/doseauditshown.h"

#include "engine/calculationstate.h"
#include "refdata/referencelevels.h"
#include "ui/kit/messagebox.h"
#include "ui/kit/organdosedata.h"
#include "ui/kit/uiutil.h"
#include "ui/report/printfonts.h"

#include <QBarCategoryAxis>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QGraphicsLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPainter>
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

// The colours of a median above its level, in the table and the box plot.
const QColor kAboveText(0xb0, 0x10, 0x10);
const QColor kLevelLine(0xd0, 0x20, 0x20);

records::CalendarDate calendarDate(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

} // namespace

namespace auditshown {

QStringList headings() {
    QStringList headings;
    for (const std::string& heading : records::auditTableHeadings())
        headings << coreText(heading);
    return headings;
}

QString cell(const std::string& cell, std::size_t column) {
    return column == static_cast<std::size_t>(kVerdictColumn) ? coreText(cell) : qs(cell);
}

} // namespace auditshown

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
    QStringList lines = {
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
    if (a.effectiveDoses)
        lines << QCoreApplication::translate(
                     "DoseAuditWindow", "実効線量（体重は既定値）: 実効線量を計算できない記録 %1 件（中央値から除きました）")
                     .arg(a.effectiveDoseUnavailable);
    return lines;
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

DoseAuditWindow::DoseAuditWindow(const engine::CalculationState& state, SiteData& site, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state), site_(site) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QCoreApplication::translate("DoseAuditWindow", "TAMSO 参考レベル監査"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(objectName());
    setFixedSize(twips(13200), twips(9600));
    buildPeriodRow();
    buildTable();
    buildChart();
    buildNotesAndCommands();

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

// The period (all, or from one day to another), the audit command and the level file's label.
void DoseAuditWindow::buildPeriodRow() {
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
}

// One row per body part, the window's columns.
void DoseAuditWindow::buildTable() {
    grid1_ = new QTableWidget(0, static_cast<int>(records::auditTableHeadings().size()), this);
    nameControl(grid1_, QStringLiteral("Grid1"),
                QCoreApplication::translate("DoseAuditWindow", "撮影部位ごとの集計"));
    placeTwips(grid1_, 240, 720, 12720, 2760);
    grid1_->setHorizontalHeaderLabels(auditshown::headings());
    grid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid1_->setTabKeyNavigation(false); // Tab goes on to the next control, as everywhere
    grid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid1_->verticalHeader()->setVisible(false);
    grid1_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid1_->horizontalHeader()->setStretchLastSection(false);
}

// The box plot per body part with the reference levels; its texts in the printer's fonts.
void DoseAuditWindow::buildChart() {
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
}

// The notes list, the summary and the commands along the bottom.
void DoseAuditWindow::buildNotesAndCommands() {
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
}

DoseAuditWindow::~DoseAuditWindow() = default;

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
    // The median effective doses where the working folder has the organ-dose table.
    std::optional<records::AuditEffectiveDoseData> effective;
    if (auto data = site_.organDoseData(); data.ok())
        effective.emplace(records::AuditEffectiveDoseData{state_, (*data)->table, (*data)->defaultWeightKg});
    auto audit = records::auditRecordFolder(folder, chosen, levels.table, refdata::readBodyPartList(folder),
                                            effective ? &*effective : nullptr);
    if (!audit.ok()) {
        MessageBox::warning(this, coreText(audit.error()));
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
                auditshown::cell(cells[static_cast<size_t>(r)][static_cast<size_t>(c)], static_cast<size_t>(c)));
            if (c > 0 && c < auditshown::kVerdictColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            // Above the level: colour and the word "超過", so it reads in black and white too.
            if (part.medianAboveLevel()) {
                item->setBackground(auditshown::kAboveBackground);
                if (c == auditshown::kRatioColumn || c == auditshown::kVerdictColumn) {
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

} // namespace tamso::ui
