#include "records/dosehistory.h"

#include "textio/csv.h"
#include "textio/numberformat.h"
#include "textio/numbertext.h"
#include "textio/quantitytext.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tamso::records {

namespace {

std::optional<double> doseIfUsable(std::optional<double> value) {
    if (value && std::isfinite(*value) && *value >= 0)
        return value;
    return std::nullopt;
}

// A stored dose as the tables show doses: a number (or a text that reads as one) with three
// decimals, anything else as stored.
std::string shownDose(const ListValue& value) {
    if (const double* number = std::get_if<double>(&value))
        return textio::doseText(*number);
    if (const std::string* text = std::get_if<std::string>(&value))
        if (const auto number = textio::parseNumber(*text))
            return textio::doseText(*number);
    return listValueText(value);
}

} // namespace

std::optional<double> storedDoseMGy(const ListValue& value) {
    if (const double* number = std::get_if<double>(&value))
        return doseIfUsable(*number);
    if (const std::string* text = std::get_if<std::string>(&value))
        return doseIfUsable(textio::parseNumber(*text));
    return std::nullopt;
}

std::optional<double> doseValue(std::string_view text) {
    return doseIfUsable(textio::parseNumber(text));
}

namespace {

std::optional<CalendarDate> readExamDate(const ExamDateReader& readDate, std::string_view text) {
    return readDate ? readDate(text) : parseExamDate(text);
}

// The order key of each record in save order: its date, or for a date that cannot be read the date
// of the record saved before it (the earliest of all for the first).
std::vector<int> orderKeys(const std::vector<PatientRecord>& records, const ExamDateReader& readDate) {
    std::vector<int> keys;
    int previous = 0;
    for (const PatientRecord& record : records) {
        if (const auto date = readExamDate(readDate, record.examDate))
            previous = date->key();
        keys.push_back(previous);
    }
    return keys;
}

} // namespace

DoseHistory makeDoseHistory(const PatientHistory& history, const ExamDateReader& readDate,
                            const WithdrawnRecords& withdrawn) {
    DoseHistory doses;
    doses.patientId = history.patientId;
    doses.patientName = history.patientName;
    doses.trailProblems = withdrawn.problems;
    const std::vector<int> keys = orderKeys(history.records, readDate);
    std::vector<size_t> order(history.records.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    doses.entries.reserve(order.size());
    double sum = 0;
    int number = 0;
    for (size_t index : order) {
        const PatientRecord& record = history.records[index];
        DoseHistoryEntry entry;
        entry.recordNumber = static_cast<int>(index) + 1;
        entry.orderKey = keys[index];
        entry.record = record;
        entry.doseMGy = doseValue(record.entranceSurfaceDoseMGy);
        if (const Withdrawal* w = withdrawn.find(entry.recordNumber)) {
            entry.withdrawal = *w;
            entry.cumulativeMGy = sum;
            doses.withdrawn.push_back(std::move(entry));
            continue;
        }
        entry.number = ++number;
        if (entry.doseMGy)
            sum += *entry.doseMGy;
        else
            ++doses.uncountedDoses;
        entry.cumulativeMGy = sum;
        doses.entries.push_back(std::move(entry));
    }
    doses.totalMGy = sum;
    return doses;
}

Expected<DoseHistory> loadDoseHistory(const fs::path& folder, std::string_view patientId,
                                      const ExamDateReader& readDate) {
    auto history = loadPatientHistory(folder, patientId);
    if (!history.ok())
        return history.error();
    return makeDoseHistory(*history, readDate, loadWithdrawnRecords(folder, patientId, history->records));
}

std::vector<const DoseHistoryEntry*> doseHistoryTableEntries(const DoseHistory& history) {
    // Both lists run in the history's order: by order key, then save order.
    std::vector<const DoseHistoryEntry*> rows;
    rows.reserve(history.entries.size() + history.withdrawn.size());
    auto exposure = history.entries.begin();
    auto withdrawn = history.withdrawn.begin();
    while (exposure != history.entries.end() || withdrawn != history.withdrawn.end()) {
        const bool takeExposure = withdrawn == history.withdrawn.end() ||
                                  (exposure != history.entries.end() &&
                                   std::make_pair(exposure->orderKey, exposure->recordNumber) <
                                       std::make_pair(withdrawn->orderKey, withdrawn->recordNumber));
        rows.push_back(takeExposure ? &*exposure++ : &*withdrawn++);
    }
    return rows;
}

std::string doseText(double mGy) {
    return std::isfinite(mGy) ? textio::doseText(mGy) : std::string(kUnsummableDoseText);
}

CumulativeDose cumulativeWithNewExposure(const DoseHistory& history, std::string_view text,
                                         std::string_view examDate, const ExamDateReader& readDate) {
    // The stored exposures that come before it: those of its date and earlier ones, the first
    // entries of the history (ordered by their keys).
    int before = history.exposureCount();
    if (const auto date = readExamDate(readDate, examDate))
        before = static_cast<int>(
            std::count_if(history.entries.begin(), history.entries.end(),
                          [&](const DoseHistoryEntry& e) { return e.orderKey <= date->key(); }));
    CumulativeDose result;
    result.exposureNumber = before + 1;
    const std::optional<double> dose = doseValue(text);
    result.cumulativeMGy =
        (before > 0 ? history.entries[static_cast<size_t>(before - 1)].cumulativeMGy : 0.0) +
        dose.value_or(0.0);
    result.lowerBound = !dose;
    for (int n = 0; n < before; ++n)
        if (!history.entries[static_cast<size_t>(n)].doseMGy)
            result.lowerBound = true;
    return result;
}

std::optional<CumulativeDose> cumulativeThroughRecord(const DoseHistory& history, int recordNumber) {
    const auto entry =
        std::find_if(history.entries.begin(), history.entries.end(),
                     [&](const DoseHistoryEntry& e) { return e.recordNumber == recordNumber; });
    if (entry == history.entries.end())
        return std::nullopt;
    CumulativeDose result;
    result.exposureNumber = entry->number;
    result.cumulativeMGy = entry->cumulativeMGy;
    for (auto e = history.entries.begin(); e <= entry; ++e)
        if (!e->doseMGy)
            result.lowerBound = true;
    return result;
}

const std::vector<std::string>& doseHistoryHeadings() {
    static const std::vector<std::string> headings = {"No.",
                                                      "撮影日",
                                                      "撮影部位",
                                                      "管電圧(kV)",
                                                      "電流･秒(mAs)",
                                                      "FFD(cm)",
                                                      "照射野",
                                                      "入射表面線量(mGy)",
                                                      "累積線量(mGy)",
                                                      "介助者被ばく1(μSv)",
                                                      "介助者被ばく2(μSv)",
                                                      "介助者被ばく3(μSv)",
                                                      "注記"};
    return headings;
}

std::string withdrawnNote(const Withdrawal& w) {
    return std::string(kWithdrawnMark) + " " + w.time + " " + w.withdrawnBy + ": " + w.reason;
}

std::vector<std::string> doseHistoryRow(const DoseHistoryEntry& e) {
    std::vector<std::string> row(kDoseHistoryColumnCount);
    const PatientRecord& r = e.record;
    row[kColumnNumber] = e.withdrawal ? std::string(kWithdrawnMark) : std::to_string(e.number);
    row[kColumnExamDate] = r.examDate;
    row[kColumnBodyPart] = r.bodyPart;
    row[kColumnTubeVoltage] = listValueText(r.tubeVoltageKv);
    row[kColumnMAs] = listValueText(r.mAs);
    row[kColumnFfd] = listValueText(r.ffdCm);
    row[kColumnFieldSize] = r.fieldSize;
    // Doses with three decimals; what is no dose as stored.
    row[kColumnDose] = e.doseMGy ? doseText(*e.doseMGy) : listValueText(r.entranceSurfaceDoseMGy);
    row[kColumnCumulativeDose] = e.withdrawal ? std::string() : doseText(e.cumulativeMGy);
    row[kColumnCaregiver1] = shownDose(r.caregiverDoseUSv[0]);
    row[kColumnCaregiver2] = shownDose(r.caregiverDoseUSv[1]);
    row[kColumnCaregiver3] = shownDose(r.caregiverDoseUSv[2]);
    row[kColumnNote] = e.withdrawal ? withdrawnNote(*e.withdrawal)
                       : e.doseMGy  ? std::string()
                                    : std::string(kUncountedDoseNote);
    return row;
}

std::vector<std::pair<std::string, std::string>> doseHistoryTotals(const DoseHistory& history) {
    std::vector<std::pair<std::string, std::string>> totals = {
        {"撮影回数", std::to_string(history.exposureCount())},
        {"累積入射表面線量(mGy)", doseText(history.totalMGy)},
    };
    if (history.uncountedDoses > 0)
        totals.emplace_back("線量のない記録", std::to_string(history.uncountedDoses));
    if (!history.withdrawn.empty())
        totals.emplace_back("取り消した記録", std::to_string(history.withdrawn.size()));
    return totals;
}

std::string doseHistoryCsv(const DoseHistory& history) {
    std::string csv = "\xEF\xBB\xBF";
    auto line = [&csv](const std::vector<std::string>& cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i > 0)
                csv += ',';
            csv += textio::csvCell(cells[i]);
        }
        csv += "\r\n";
    };
    line({"患者ID", history.patientId});
    line({"氏名", history.patientName});
    for (const auto& [caption, value] : doseHistoryTotals(history))
        line({caption, value});
    csv += "\r\n";
    line(doseHistoryHeadings());
    for (const DoseHistoryEntry* entry : doseHistoryTableEntries(history))
        line(doseHistoryRow(*entry));
    return csv;
}

} // namespace tamso::records
