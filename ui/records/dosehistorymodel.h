#pragma once
// The contents of the dose history window: one row per stored record of an infant (all of its
// record files), the totals, and the points of the chart, which runs in the order of the exposure
// dates. A withdrawn record keeps its row, struck through, and is in neither the chart nor a sum.

#include "records/dosehistory.h"
#include "records/historyeffectivedose.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QString>
#include <QVector>

#include <optional>
#include <vector>

namespace tamso::ui {

class DoseHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // After the columns of records::doseHistoryHeadings(): the effective dose of each exposure with
    // its expanded uncertainty ("12.3 ± 4.6", or why it cannot be computed, the reason as its tool
    // tip) and the cumulative effective dose, both in μSv; empty until setEffectiveDoses.
    enum { kColumnEffectiveDose = records::kDoseHistoryColumnCount, kColumnCumulativeEffectiveDose, kColumnCount };

    explicit DoseHistoryModel(records::DoseHistory history, QObject* parent = nullptr);

    // The table: the columns of records::doseHistoryHeadings(), each value as stored, the
    // cumulative dose in "#0.000". A dose that is not a number is shown as stored, in red, with
    // the note of the last column as its tool tip. A withdrawn record is struck through and grey,
    // with "取消" for its number and its withdrawal (time, who, reason) as its tool tip. Numbers
    // are right-aligned.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const records::DoseHistory& history() const { return history_; }
    QString patientId() const;
    QString patientName() const;
    int exposureCount() const { return history_.exposureCount(); }
    QString cumulativeDoseText() const; // "#0.000"
    int uncountedDoses() const { return history_.uncountedDoses; }
    int withdrawnRecords() const { return static_cast<int>(history_.withdrawn.size()); }
    bool isUncounted(int row) const;

    // The effective doses of the history's exposures (records/historyeffectivedose.h), or why none
    // could be computed (the working folder's organ-dose table cannot be read).
    void setEffectiveDoses(records::HistoryEffectiveDoses doses);
    void setEffectiveDosesUnavailable(const QString& reason);
    // "24.6 μSv（体重 3 kg は既定値）", with " 以上" where some exposure has none; or why there is none.
    QString cumulativeEffectiveDoseText() const;
    bool isWithdrawn(int row) const;
    // What a withdrawn record's row tells: "取り消した記録（time、who）: reason".
    static QString withdrawnText(const records::Withdrawal& withdrawal);

    // The chart: one bar per exposure (no withdrawn record) over its exam date and the cumulative dose as a line, in
    // the history's order, as the table (by date, then save order; see records/dosehistory.h).
    struct ChartPoint {
        int row = 0; // the table row (entry) of the exposure
        QDate date;  // invalid when the date text cannot be read
        QString dateText;
        double doseMGy = 0;       // 0 for a dose that is not a number
        double cumulativeMGy = 0; // in chart order
    };
    const QVector<ChartPoint>& chartPoints() const { return chart_; }
    // The cumulative effective dose (μSv) at each chart point, or nothing before setEffectiveDoses.
    std::optional<QVector<double>> chartCumulativeEffectiveDoses() const;
    // What hovering bar `chartIndex` shows: "No.12  2024/05/01  胸部  0.052 mGy".
    QString barText(int chartIndex) const;

    // An exam date as the program stores it (readExamDate of ui/kit/language.h).
    static QDate parseExamDate(const QString& text);

private:
    QVariant effectiveDoseCell(int row, int column, bool toolTip) const;

    records::DoseHistory history_;
    std::vector<const records::DoseHistoryEntry*> rows_; // into history_
    QVector<QStringList> cells_;
    std::optional<records::HistoryEffectiveDoses> effective_;
    QString effectiveProblem_;
    std::optional<double> assumedWeightKg_; // the default weight the effective doses assumed
    QVector<ChartPoint> chart_;
};

} // namespace tamso::ui
