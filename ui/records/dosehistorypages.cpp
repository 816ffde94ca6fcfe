#include "ui/records/dosehistorypages.h"

#include "records/dosehistory.h"
#include "ui/kit/uiutil.h"
#include "ui/records/dosehistorymodel.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tamso::ui {
namespace {

// Layout, in tenths of a millimetre.
constexpr double kLeft = 120;
constexpr double kRight = DoseHistoryPages::kPageWidth - 120;
constexpr double kTitleY = 90;
constexpr double kHeadingY = 180;
constexpr QRectF kChart{kLeft, 260, kRight - kLeft, 770};
constexpr double kFirstTableTop = 1070;
constexpr double kNextTableTop = 170;
constexpr double kTableBottom = 1900;
constexpr double kHeaderHeight = 84;
constexpr double kRowHeight = 46;
constexpr double kNoteY = 1915;
constexpr double kFooterY = 1990;
constexpr double kCellPadding = 10;

// Font sizes in layout units (28 = 2.8 mm, about 8 points).
constexpr int kTitleSize = 46;
constexpr int kHeadingSize = 36;
constexpr int kTextSize = 28;
constexpr int kAxisLabelSize = 24;
// The most date labels under the chart; more dates are labelled every second, third, ... one.
constexpr int kMostDateLabels = 40;

// The table columns on paper: every column of the history but the note, which becomes a mark, with
// the effective dose and its cumulative sum after the cumulative entrance surface dose.
constexpr int kPaperColumns = records::kColumnNote + 2;
constexpr int kPaperColumn[kPaperColumns] = {
    records::kColumnNumber,        records::kColumnExamDate,   records::kColumnBodyPart,
    records::kColumnTubeVoltage,   records::kColumnMAs,        records::kColumnFfd,
    records::kColumnFieldSize,     records::kColumnDose,       records::kColumnCumulativeDose,
    DoseHistoryModel::kColumnEffectiveDose, DoseHistoryModel::kColumnCumulativeEffectiveDose,
    records::kColumnCaregiver1,    records::kColumnCaregiver2, records::kColumnCaregiver3};
constexpr double kColumnWidths[kPaperColumns] = {110, 240, 250, 170, 170, 150, 280,
                                                 230, 230, 230, 220, 150, 150, 150};

int rowsOnFirstPage() {
    return static_cast<int>((kTableBottom - kFirstTableTop - kHeaderHeight) / kRowHeight);
}
int rowsOnOtherPages() {
    return static_cast<int>((kTableBottom - kNextTableTop - kHeaderHeight) / kRowHeight);
}

QFont layoutFont(const QStringList& families, int size, bool bold = false) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(size);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting); // the same shapes at every scale
    return font;
}

// Grid lines over the table's header and its rows.
void paintTableGrid(QPainter& p, double tableTop, int rows) {
    QPen grid(QColor(120, 120, 120));
    grid.setWidthF(2);
    const double bottom = tableTop + kHeaderHeight + rows * kRowHeight;
    p.setPen(grid);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(kLeft, tableTop, kRight - kLeft, bottom - tableTop));
    for (int i = 0; i <= rows; ++i) {
        const double y = tableTop + kHeaderHeight + i * kRowHeight;
        p.drawLine(QPointF(kLeft, y), QPointF(kRight, y));
    }
    double x = kLeft;
    for (int c = 0; c + 1 < kPaperColumns; ++c) {
        x += kColumnWidths[c];
        p.drawLine(QPointF(x, tableTop), QPointF(x, bottom));
    }
}

} // namespace

AxisTicks roundAxisTicks(double largest) {
    if (!(largest > 0) || !std::isfinite(largest))
        return {0.2, 1};
    // The smallest of 1, 2 and 5 times a power of ten that reaches above the value in at most six
    // steps (0.05, 0.1, 0.2, 0.5, 1, ...).
    const double wanted = largest * 1.05 / 6;
    const double power = std::pow(10.0, std::floor(std::log10(wanted)));
    double step = 10 * power;
    for (double factor : {1.0, 2.0, 5.0})
        if (factor * power >= wanted) {
            step = factor * power;
            break;
        }
    const double top = std::max(1.0, std::ceil(largest * 1.05 / step - 1e-9)) * step;
    return {step, top};
}

namespace {

using ChartPoints = QVector<DoseHistoryModel::ChartPoint>;

// The colours of the cumulative dose and of the cumulative effective dose, each with its axis.
const QColor kCumulativeColour(217, 72, 15);
const QColor kEffectiveColour(46, 139, 87);

// A value axis from 0 with round ticks.
QValueAxis* tickedAxis(const QString& title, const AxisTicks& ticks, const QString& labelFormat) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(0, ticks.top);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(ticks.step);
    axis->setLabelFormat(labelFormat);
    return axis;
}

// An axis at the right in the colour of its line, without grid lines.
void colourAxis(QValueAxis* axis, const QColor& colour) {
    axis->setLinePenColor(colour);
    axis->setLabelsColor(colour);
    axis->setTitleBrush(colour);
    axis->setGridLineVisible(false);
}

// The dates along the bottom: one label under the middle of each run of exposures on the same
// date. With many dates only every few is labelled, so that the labels do not overlap.
QCategoryAxis* dateAxis(const ChartPoints& points) {
    auto* dates = new QCategoryAxis;
    dates->setTitleText(QCoreApplication::translate("DoseHistoryPages", "撮影日"));
    dates->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    dates->setGridLineVisible(false);
    dates->setStartValue(-0.5);
    dates->setRange(-0.5, std::max<double>(points.size(), 1) - 0.5);
    struct Run {
        QString label;
        int first;
        int last;
    };
    QVector<Run> runs;
    for (int i = 0; i < points.size(); ++i) {
        const QString label = points[i].dateText.isEmpty()
                                  ? QCoreApplication::translate("DoseHistoryPages", "(日付なし)")
                                  : points[i].dateText;
        if (!runs.isEmpty() && runs.back().label == label)
            runs.back().last = i;
        else
            runs.append({label, i, i});
    }
    const int every = std::max(1, static_cast<int>(std::ceil(runs.size() / double(kMostDateLabels))));
    QStringList used;
    for (int r = 0; r < runs.size(); r += every) {
        // Labels of a category axis must differ: a date that comes again gets zero-width spaces.
        QString label = runs[r].label;
        while (used.contains(label))
            label += QChar(0x200B);
        used << label;
        dates->append(label, (runs[r].first + runs[r].last) / 2.0);
    }
    dates->setLabelsAngle(used.size() > 10 ? -90 : 0);
    return dates;
}

} // namespace

DoseHistoryPages::DoseHistoryPages(const DoseHistoryModel& model, const QString& hospital)
    : model_(model), hospital_(hospital), scene_(std::make_unique<QGraphicsScene>()) {
    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setBackgroundRoundness(0);
    chart_->setMargins(QMargins(0, 0, 0, 0));
    chart_->setBackgroundBrush(Qt::white);
    chart_->setBackgroundPen(Qt::NoPen);

    const auto& points = model_.chartPoints();
    addDoseSeries();
    auto* dates = dateAxis(points);
    chart_->addAxis(dates, Qt::AlignBottom);
    bars_->attachAxis(dates);
    line_->attachAxis(dates);

    double largestDose = 0;
    for (const auto& point : points)
        largestDose = std::max(largestDose, point.doseMGy);
    auto* perExposure = tickedAxis(QCoreApplication::translate("DoseHistoryPages", "1 回の線量 (mGy)"),
                                   roundAxisTicks(largestDose), QStringLiteral("%.3f"));
    chart_->addAxis(perExposure, Qt::AlignLeft);
    bars_->attachAxis(perExposure);

    auto* cumulative = tickedAxis(QCoreApplication::translate("DoseHistoryPages", "累積線量 (mGy)"),
                                  roundAxisTicks(points.isEmpty() ? 0 : points.back().cumulativeMGy),
                                  QStringLiteral("%.3f"));
    colourAxis(cumulative, kCumulativeColour);
    chart_->addAxis(cumulative, Qt::AlignRight);
    line_->attachAxis(cumulative);
    addCumulativeEffectiveDose(dates);

    chart_->legend()->setAlignment(Qt::AlignTop);
    scene_->addItem(chart_);
    chart_->setGeometry(QRectF(QPointF(0, 0), kChart.size()));
    setChartFonts({gothicFontFamily()});
}

// The dose of each exposure as bars, the cumulative dose as a line.
void DoseHistoryPages::addDoseSeries() {
    const auto& points = model_.chartPoints();
    auto* set = new QBarSet(QCoreApplication::translate("DoseHistoryPages", "1 回の入射表面線量 (mGy)"));
    set->setColor(QColor(42, 111, 176));
    set->setBorderColor(QColor(42, 111, 176));
    bars_ = new QBarSeries;
    bars_->setBarWidth(0.6);
    line_ = new QLineSeries;
    line_->setName(QCoreApplication::translate("DoseHistoryPages", "累積線量 (mGy)"));
    QPen linePen(kCumulativeColour);
    linePen.setWidthF(6);
    line_->setPen(linePen);
    for (int i = 0; i < points.size(); ++i) {
        *set << points[i].doseMGy;
        line_->append(i, points[i].cumulativeMGy);
    }
    bars_->append(set);
    chart_->addSeries(bars_);
    chart_->addSeries(line_);
}

DoseHistoryPages::~DoseHistoryPages() = default;

// The cumulative effective dose beside the cumulative entrance surface dose, on its own axis at
// the right, where the history has effective doses.
void DoseHistoryPages::addCumulativeEffectiveDose(QAbstractAxis* dates) {
    const auto cumulativeUSv = model_.chartCumulativeEffectiveDoses();
    if (!cumulativeUSv)
        return;
    effectiveLine_ = new QLineSeries;
    effectiveLine_->setName(QCoreApplication::translate("DoseHistoryPages", "累積実効線量 (μSv)"));
    QPen pen(kEffectiveColour);
    pen.setWidthF(6);
    pen.setStyle(Qt::DashLine);
    effectiveLine_->setPen(pen);
    for (int i = 0; i < cumulativeUSv->size(); ++i)
        effectiveLine_->append(i, (*cumulativeUSv)[i]);
    chart_->addSeries(effectiveLine_);
    effectiveLine_->attachAxis(dates);
    const AxisTicks ticks = roundAxisTicks(cumulativeUSv->isEmpty() ? 0 : cumulativeUSv->back());
    auto* axis = tickedAxis(QCoreApplication::translate("DoseHistoryPages", "累積実効線量 (μSv)"), ticks,
                            ticks.step >= 0.1 ? QStringLiteral("%.1f") : QStringLiteral("%.2f"));
    colourAxis(axis, kEffectiveColour);
    chart_->addAxis(axis, Qt::AlignRight);
    effectiveLine_->attachAxis(axis);
}

void DoseHistoryPages::setChartFonts(const QStringList& families) const {
    if (families == chartFamilies_)
        return;
    chartFamilies_ = families;
    const QFont labels = layoutFont(families, kAxisLabelSize);
    const QFont titles = layoutFont(families, kTextSize);
    for (QAbstractAxis* axis : chart_->axes()) {
        axis->setLabelsFont(labels);
        axis->setTitleFont(titles);
        QPen grid = axis->gridLinePen();
        grid.setWidthF(1.5);
        axis->setGridLinePen(grid);
        QPen axisLine = axis->linePen();
        axisLine.setWidthF(2);
        axis->setLinePen(axisLine);
    }
    chart_->legend()->setFont(titles);
    // The texts take their new sizes before the chart is painted: the layouts run now, not later
    // from the event loop, which a print job does not wait for (the legend would be left out).
    chart_->legend()->layout()->activate();
    chart_->layout()->activate();
}

int DoseHistoryPages::pageCount() const {
    const int rest = std::max(0, model_.rowCount() - rowsOnFirstPage());
    return 1 + (rest + rowsOnOtherPages() - 1) / rowsOnOtherPages();
}

int DoseHistoryPages::firstRowOn(int page) const {
    return page == 0 ? 0 : rowsOnFirstPage() + (page - 1) * rowsOnOtherPages();
}

int DoseHistoryPages::rowCountOn(int page) const {
    const int capacity = page == 0 ? rowsOnFirstPage() : rowsOnOtherPages();
    return std::clamp(model_.rowCount() - firstRowOn(page), 0, capacity);
}

QRectF DoseHistoryPages::chartRect() const {
    return kChart;
}

int DoseHistoryPages::rowAt(int page, const QPointF& pagePoint) const {
    if (page < 0 || page >= pageCount() || pagePoint.x() < kLeft || pagePoint.x() > kRight)
        return -1;
    const double top = (page == 0 ? kFirstTableTop : kNextTableTop) + kHeaderHeight;
    const double offset = (pagePoint.y() - top) / kRowHeight;
    if (offset < 0 || offset >= rowCountOn(page))
        return -1;
    return firstRowOn(page) + static_cast<int>(offset);
}

int DoseHistoryPages::barAt(const QPointF& pagePoint) const {
    if (!kChart.contains(pagePoint) || model_.chartPoints().isEmpty())
        return -1;
    const QPointF inChart = pagePoint - kChart.topLeft();
    if (!chart_->plotArea().contains(inChart))
        return -1;
    const QPointF value = chart_->mapToValue(inChart, bars_);
    const int index = static_cast<int>(std::lround(value.x()));
    if (index < 0 || index >= model_.chartPoints().size() ||
        std::abs(value.x() - index) > bars_->barWidth() / 2)
        return -1;
    return index;
}

void DoseHistoryPages::paintPage(QPainter& p, int page, const QStringList& families) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(QRectF(0, 0, kPageWidth, kPageHeight), Qt::white);
    p.setPen(Qt::black);
    const double tableTop = paintHeading(p, page, families);
    const bool flaggedHere = paintTable(p, page, tableTop, families);

    p.setPen(Qt::black);
    if (flaggedHere || (page == 0 && model_.uncountedDoses() > 0))
        p.drawText(QRectF(kLeft, kNoteY, kRight - kLeft, 50), Qt::AlignLeft | Qt::AlignVCenter,
                   QCoreApplication::translate(
                       "DoseHistoryPages",
                       "※ 線量のない記録（未計算、負の値など）は累積線量に 0 として加えています。"
                       "累積線量はその分を含まない下限値です。"));
    p.drawText(QRectF(kLeft, kFooterY, kRight - kLeft, 50), Qt::AlignLeft | Qt::AlignVCenter, hospital_);
    p.drawText(QRectF(kLeft, kFooterY, kRight - kLeft, 50), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("%1 / %2").arg(page + 1).arg(pageCount()));
    p.restore();
}

// Page 1: the title, the heading with the totals and the chart; the other pages: one line naming
// the infant. Returns where the table begins.
double DoseHistoryPages::paintHeading(QPainter& p, int page, const QStringList& families) const {
    const QString identity = QCoreApplication::translate("DoseHistoryPages", "ID No.: %1　　氏名 : %2")
                                 .arg(model_.patientId(), model_.patientName());
    if (page != 0) {
        p.setFont(layoutFont(families, kHeadingSize));
        p.drawText(QRectF(kLeft, kTitleY - 20, kRight - kLeft, 70), Qt::AlignLeft | Qt::AlignVCenter,
                   QCoreApplication::translate("DoseHistoryPages", "患児の被ばく線量履歴（続き）　　") +
                       identity);
        return kNextTableTop;
    }
    p.setFont(layoutFont(families, kTitleSize));
    p.drawText(QRectF(kLeft, kTitleY - 20, kRight - kLeft, 70), Qt::AlignLeft | Qt::AlignVCenter,
               QCoreApplication::translate("DoseHistoryPages", "TAMSO in NICU　患児の被ばく線量履歴"));
    QString heading =
        identity + QCoreApplication::translate("DoseHistoryPages",
                                               "　　撮影回数 : %1 回　　累積入射表面線量 : %2 mGy")
                       .arg(model_.exposureCount())
                       .arg(model_.cumulativeDoseText());
    if (model_.uncountedDoses() > 0)
        heading += QCoreApplication::translate("DoseHistoryPages", " 以上 ※");
    if (model_.withdrawnRecords() > 0)
        heading += QCoreApplication::translate("DoseHistoryPages", "（取消 %1 件を除く）")
                       .arg(model_.withdrawnRecords());
    heading += QCoreApplication::translate("DoseHistoryPages", "　　累積実効線量 : %1")
                   .arg(model_.cumulativeEffectiveDoseText());
    p.setFont(layoutFont(families, kHeadingSize));
    p.drawText(QRectF(kLeft, kHeadingY - 10, kRight - kLeft, 60), Qt::AlignLeft | Qt::AlignVCenter, heading);
    setChartFonts(families);
    scene_->render(&p, kChart, QRectF(QPointF(0, 0), kChart.size()));
    return kFirstTableTop;
}

// The table: headings on two lines (caption, unit), then the rows of this page, then the grid
// over them. Returns whether a dose on this page is flagged as not counted.
bool DoseHistoryPages::paintTable(QPainter& p, int page, double tableTop, const QStringList& families) const {
    const QFont text = layoutFont(families, kTextSize);
    QFont struck = text; // a withdrawn record
    struck.setStrikeOut(true);
    const QFontMetricsF metrics(text);
    p.setFont(text);
    double x = kLeft;
    p.fillRect(QRectF(kLeft, tableTop, kRight - kLeft, kHeaderHeight), QColor(232, 236, 240));
    for (int c = 0; c < kPaperColumns; ++c) {
        QString heading = model_.headerData(kPaperColumn[c], Qt::Horizontal).toString();
        heading.replace(QLatin1Char('('), QStringLiteral("\n("));
        p.drawText(QRectF(x, tableTop, kColumnWidths[c], kHeaderHeight), Qt::AlignCenter, heading);
        x += kColumnWidths[c];
    }
    const int first = firstRowOn(page);
    const int count = rowCountOn(page);
    bool flaggedHere = false;
    for (int i = 0; i < count; ++i) {
        const int row = first + i;
        const double top = tableTop + kHeaderHeight + i * kRowHeight;
        if (i % 2 == 1)
            p.fillRect(QRectF(kLeft, top, kRight - kLeft, kRowHeight), QColor(246, 247, 249));
        x = kLeft;
        const bool withdrawn = model_.isWithdrawn(row);
        p.setFont(withdrawn ? struck : text);
        for (int c = 0; c < kPaperColumns; ++c) {
            const QModelIndex index = model_.index(row, kPaperColumn[c]);
            QString value = index.data().toString();
            const bool flagged = kPaperColumn[c] == records::kColumnDose && model_.isUncounted(row);
            if (flagged) {
                value += QStringLiteral(" ※");
                flaggedHere = true;
            }
            const QRectF cell(x + kCellPadding, top, kColumnWidths[c] - 2 * kCellPadding, kRowHeight);
            p.setPen(flagged ? QColor(200, 0, 0) : withdrawn ? QColor(120, 120, 120) : QColor(Qt::black));
            p.drawText(cell, index.data(Qt::TextAlignmentRole).toInt(),
                       metrics.elidedText(value, Qt::ElideRight, cell.width()));
            x += kColumnWidths[c];
        }
    }
    p.setFont(text);
    paintTableGrid(p, tableTop, count);
    return flaggedHere;
}

} // namespace tamso::ui
