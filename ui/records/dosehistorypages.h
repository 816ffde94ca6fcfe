#pragma once
// The pages of an infant's dose history, painted by one routine for the screen and for paper:
// A4 landscape, laid out in tenths of a millimetre. Page 1 holds the heading (ID, name, number of
// exposures, cumulative entrance surface dose), the chart (Qt Charts: the dose of each exposure
// as bars over its date, the cumulative dose as a line) and the first rows of the table; the
// further pages hold the rest of the table. Every page ends with the hospital and "page / pages".

#include <QRectF>
#include <QSizeF>
#include <QStringList>

#include <memory>

class QChart;
class QBarSeries;
class QLineSeries;
class QAbstractAxis;
class QGraphicsScene;
class QPainter;

namespace tamso::ui {

class DoseHistoryModel;

// The ticks of a chart axis from 0: a round step (1, 2 or 5 times a power of ten: 0.05, 0.1, 0.2,
// 0.5, ...) and the first tick above the largest value (with 5 % to spare), at most six steps up.
struct AxisTicks {
    double step = 0;
    double top = 0;
};
AxisTicks roundAxisTicks(double largest);

class DoseHistoryPages {
public:
    // The page in layout units (0.1 mm).
    static constexpr double kPageWidth = 2970;
    static constexpr double kPageHeight = 2100;

    DoseHistoryPages(const DoseHistoryModel& model, const QString& hospital);
    ~DoseHistoryPages();
    DoseHistoryPages(const DoseHistoryPages&) = delete;
    DoseHistoryPages& operator=(const DoseHistoryPages&) = delete;

    int pageCount() const;
    // The table rows (0-based) on a page: [first, first + count).
    int firstRowOn(int page) const;
    int rowCountOn(int page) const;

    // Paints one page onto a painter whose coordinates are layout units (the caller scales), with
    // text in the first of `fontFamilies` that has the character (the screen passes the Japanese
    // Gothic; the printer its copies whose text reads back from a PDF).
    void paintPage(QPainter& painter, int page, const QStringList& fontFamilies) const;

    // Where the chart lies on page 1, in layout units.
    QRectF chartRect() const;
    // The table row under a point of a page (in layout units), or -1.
    int rowAt(int page, const QPointF& pagePoint) const;
    // The chart index (see DoseHistoryModel::chartPoints) of the bar under a point of page 1, or -1.
    int barAt(const QPointF& pagePoint) const;

    const DoseHistoryModel& model() const { return model_; }
    QChart* chart() const { return chart_; }
    QBarSeries* barSeries() const { return bars_; }
    QLineSeries* cumulativeSeries() const { return line_; }
    // The cumulative effective dose (μSv, its own axis on the right), or null where the history
    // has no effective doses.
    QLineSeries* cumulativeEffectiveSeries() const { return effectiveLine_; }

private:
    void setChartFonts(const QStringList& families) const;
    void addDoseSeries();
    double paintHeading(QPainter& painter, int page, const QStringList& families) const;
    bool paintTable(QPainter& painter, int page, double tableTop, const QStringList& families) const;

    const DoseHistoryModel& model_;
    QString hospital_;
    std::unique_ptr<QGraphicsScene> scene_;
    QChart* chart_ = nullptr; // owned by the scene
    QBarSeries* bars_ = nullptr;
    QLineSeries* line_ = nullptr;
    QLineSeries* effectiveLine_ = nullptr;
    void addCumulativeEffectiveDose(QAbstractAxis* dates);
    mutable QStringList chartFamilies_; // the font families the chart's texts have now
};

} // namespace tamso::ui
