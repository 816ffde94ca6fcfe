#include "ui/records/dosehistorymodel.h"

#include "textio/numbertext.h"
#include "textio/quantitytext.h"
#include "ui/kit/language.h"
#include "ui/kit/organdosedata.h"
#include "ui/kit/uiutil.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QLocale>

#include <algorithm>
#include <limits>

namespace tamso::ui {
namespace {

bool isNumberColumn(int column) {
    switch (column) {
    case records::kColumnNumber:
    case records::kColumnTubeVoltage:
    case records::kColumnMAs:
    case records::kColumnFfd:
    case records::kColumnDose:
    case records::kColumnCumulativeDose:
    case DoseHistoryModel::kColumnEffectiveDose:
    case DoseHistoryModel::kColumnCumulativeEffectiveDose:
    case records::kColumnCaregiver1:
    case records::kColumnCaregiver2:
    case records::kColumnCaregiver3:
        return true;
    default:
        return false;
    }
}

} // namespace

QString DoseHistoryModel::withdrawnText(const records::Withdrawal& w) {
    return QCoreApplication::translate("DoseHistoryModel", "取り消した記録（%1、%2）: %3")
        .arg(qs(w.time), qs(w.withdrawnBy), qs(w.reason));
}

DoseHistoryModel::DoseHistoryModel(records::DoseHistory history, QObject* parent)
    : QAbstractTableModel(parent), history_(std::move(history)) {
    rows_ = records::doseHistoryTableEntries(history_);
    cells_.reserve(static_cast<int>(rows_.size()));
    for (const records::DoseHistoryEntry* entry : rows_) {
        QStringList row;
        for (const std::string& cell : records::doseHistoryRow(*entry))
            row << qs(cell);
        cells_ << row;
    }

    // The chart runs in the history's order (date, then save order), as the table does.
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
        const records::DoseHistoryEntry& entry = *rows_[static_cast<size_t>(row)];
        if (entry.withdrawal)
            continue;
        ChartPoint point;
        point.row = row;
        point.date = parseExamDate(qs(entry.record.examDate));
        point.dateText = qs(entry.record.examDate);
        point.doseMGy = entry.doseMGy.value_or(0.0);
        point.cumulativeMGy = entry.cumulativeMGy;
        chart_ << point;
    }
}

int DoseHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(cells_.size());
}

int DoseHistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

bool DoseHistoryModel::isUncounted(int row) const {
    return row >= 0 && row < rowCount() && !isWithdrawn(row) && !rows_[static_cast<size_t>(row)]->doseMGy;
}

bool DoseHistoryModel::isWithdrawn(int row) const {
    return row >= 0 && row < rowCount() && rows_[static_cast<size_t>(row)]->withdrawal.has_value();
}

QVariant DoseHistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const bool flagged = index.column() == records::kColumnDose && isUncounted(index.row());
    const bool withdrawn = isWithdrawn(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() >= records::kDoseHistoryColumnCount)
            return effectiveDoseCell(index.row(), index.column(), false);
        // the note and the withdrawn mark are fixed texts of the core, shown translated
        return index.column() == records::kColumnNote ||
                       (withdrawn && index.column() == records::kColumnNumber)
                   ? coreText(utf8(cells_[index.row()][index.column()]))
                   : cells_[index.row()][index.column()];
    case Qt::FontRole: {
        if (!withdrawn)
            return {};
        QFont font;
        font.setStrikeOut(true);
        return font;
    }
    case Qt::TextAlignmentRole:
        return isNumberColumn(index.column()) ? int(Qt::AlignRight | Qt::AlignVCenter)
                                              : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return flagged     ? QVariant(QBrush(QColor(200, 0, 0)))
               : withdrawn ? QVariant(QBrush(QColor(120, 120, 120)))
                           : QVariant();
    case Qt::ToolTipRole:
        if (index.column() >= records::kDoseHistoryColumnCount)
            return effectiveDoseCell(index.row(), index.column(), true);
        return flagged     ? QVariant(coreText(records::kUncountedDoseNote))
               : withdrawn ? QVariant(withdrawnText(*rows_[static_cast<size_t>(index.row())]->withdrawal))
                           : QVariant();
    default:
        return {};
    }
}

QVariant DoseHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section == kColumnEffectiveDose)
        return QCoreApplication::translate("DoseHistoryModel", "実効線量(μSv)");
    if (section == kColumnCumulativeEffectiveDose)
        return QCoreApplication::translate("DoseHistoryModel", "累積実効線量(μSv)");
    if (section < 0 || section >= records::kDoseHistoryColumnCount)
        return {};
    return coreText(records::doseHistoryHeadings()[static_cast<size_t>(section)]);
}

QString DoseHistoryModel::patientId() const {
    return qs(history_.patientId);
}

QString DoseHistoryModel::patientName() const {
    return qs(history_.patientName);
}

QString DoseHistoryModel::cumulativeDoseText() const {
    return qs(records::doseText(history_.totalMGy));
}

QString DoseHistoryModel::barText(int chartIndex) const {
    if (chartIndex < 0 || chartIndex >= chart_.size())
        return {};
    const ChartPoint& p = chart_[chartIndex];
    const QStringList& row = cells_[p.row];
    return QStringLiteral("No.%1  %2  %3  %4 mGy")
        .arg(row[records::kColumnNumber], row[records::kColumnExamDate], row[records::kColumnBodyPart],
             row[records::kColumnDose]);
}

QDate DoseHistoryModel::parseExamDate(const QString& text) {
    return readExamDate(text);
}

} // namespace tamso::ui

namespace tamso::ui {

void DoseHistoryModel::setEffectiveDoses(records::HistoryEffectiveDoses doses) {
    effective_ = std::move(doses);
    effectiveProblem_.clear();
    assumedWeightKg_.reset();
    for (const auto& e : effective_->exposures)
        if (e.doses && e.doses->weightAssumed)
            assumedWeightKg_ = e.doses->weightKg;
    emit dataChanged(index(0, kColumnEffectiveDose), index(rowCount() - 1, kColumnCumulativeEffectiveDose));
}

std::optional<QVector<double>> DoseHistoryModel::chartCumulativeEffectiveDoses() const {
    if (!effective_)
        return std::nullopt;
    QVector<double> cumulative;
    for (const ChartPoint& p : chart_) {
        const records::ExposureEffectiveDose* e = effective_->forEntry(history_, *rows_[static_cast<size_t>(p.row)]);
        cumulative << (e ? e->cumulativeUSv : (cumulative.isEmpty() ? 0.0 : cumulative.back()));
    }
    return cumulative;
}

void DoseHistoryModel::setEffectiveDosesUnavailable(const QString& reason) {
    effective_.reset();
    effectiveProblem_ = reason;
}

QVariant DoseHistoryModel::effectiveDoseCell(int row, int column, bool toolTip) const {
    if (!effective_)
        return toolTip && !effectiveProblem_.isEmpty() ? QVariant(effectiveProblem_) : QVariant();
    const records::ExposureEffectiveDose* e = effective_->forEntry(history_, *rows_[static_cast<size_t>(row)]);
    if (!e)
        return {};
    if (column == kColumnCumulativeEffectiveDose)
        return toolTip ? QVariant() : QVariant(qs(textio::effectiveDoseText(e->cumulativeUSv)));
    if (!e->doses)
        return toolTip ? QVariant(coreText(e->problem))
                       : QVariant(QCoreApplication::translate("DoseHistoryModel", "計算できません"));
    if (toolTip)
        return weightShown(*e->doses);
    return qs(textio::effectiveDoseWithUncertaintyText(e->doses->effectiveDoseUSv, e->doses->effectiveDoseUUSv))
        .remove(QStringLiteral(" μSv (k=2)"));
}

QString DoseHistoryModel::cumulativeEffectiveDoseText() const {
    if (!effective_)
        return effectiveDoseUnavailable(effectiveProblem_);
    QString text = qs(textio::effectiveDoseText(effective_->totalUSv)) + QStringLiteral(" μSv");
    if (effective_->unavailable > 0)
        text += QCoreApplication::translate("DoseHistoryModel", " 以上（実効線量を計算できない記録 %1 件）")
                    .arg(effective_->unavailable);
    if (assumedWeightKg_)
        text += QCoreApplication::translate("DoseHistoryModel", "（体重 %1 kg は既定値）")
                    .arg(qs(textio::numberToText(*assumedWeightKg_)));
    return text;
}

} // namespace tamso::ui
