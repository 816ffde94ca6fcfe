#pragma once
// An infant's dose history: every exposure stored in its record files with the cumulative entrance
// surface dose, as the dose history window, the report and tamso-calc --history show it, and the
// CSV file it is exported to.
//
// A dose stored as a number of 0 or more (or as a text that reads as one) adds to the cumulative
// dose. Any other stored dose (a text such as "未計算", nothing, a negative number) is no dose: it is
// shown as stored, counts as 0 in the sum and is flagged, so the cumulative dose is then a lower
// bound. The facility audit applies the same rule (storedDoseMGy).

#include "records/patienthistory.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::records {

struct DoseHistoryEntry {
    int number = 0; // 1..N across the infant's files, in file order
    PatientRecord record;
    std::optional<double> doseMGy; // the entrance surface dose when it is a number
    double cumulativeMGy = 0;      // the doses of records 1..number
};

struct DoseHistory {
    std::string patientId;
    std::string patientName;
    std::vector<DoseHistoryEntry> entries;
    double totalMGy = 0;    // the cumulative dose of all records
    int uncountedDoses = 0; // records without a dose (storedDoseMGy)

    int exposureCount() const { return static_cast<int>(entries.size()); }
};

// A stored entrance surface dose: a number of 0 or more, or a text that reads as one (a value
// that was quoted in the file). Nothing for any other text, nothing, a negative or a non-finite
// value: the record then has no dose. One rule for the history, the report and the audit.
std::optional<double> storedDoseMGy(const ListValue& value);
// The same rule; the old name.
inline std::optional<double> doseValue(const ListValue& value) {
    return storedDoseMGy(value);
}
// The same for a dose as the report screen shows it.
std::optional<double> doseValue(std::string_view text);

DoseHistory makeDoseHistory(const PatientHistory& history);
// Reads all record files of the ID (see loadPatientHistory) and sums them up.
Expected<DoseHistory> loadDoseHistory(const fs::path& folder, std::string_view patientId);

// A dose in mGy as the program shows doses: "#0.000" (textio::doseText).
std::string doseText(double mGy);

// The infant's exposure number and cumulative entrance surface dose up to and including one
// exposure, for the report.
struct CumulativeDose {
    int exposureNumber = 0;
    double cumulativeMGy = 0;
    bool lowerBound = false; // a record in the sum had no dose (counted as 0)
};
// A new exposure with the dose shown on the report: all stored records, then this one.
CumulativeDose cumulativeWithNewExposure(const DoseHistory& history, std::string_view doseText);
// Stored record `number` (1..N): records 1..number. Nothing for a number the history does not hold.
std::optional<CumulativeDose> cumulativeThroughRecord(const DoseHistory& history, int number);

// The table the window, tamso-calc and the CSV file share: column headings and one row per
// exposure (each value as stored, the cumulative dose in "#0.000", a note on a flagged dose).
enum DoseHistoryColumn {
    kColumnNumber,
    kColumnExamDate,
    kColumnBodyPart,
    kColumnTubeVoltage,
    kColumnMAs,
    kColumnFfd,
    kColumnFieldSize,
    kColumnDose,
    kColumnCumulativeDose,
    kColumnCaregiver1,
    kColumnCaregiver2,
    kColumnCaregiver3,
    kColumnNote,
    kDoseHistoryColumnCount
};
const std::vector<std::string>& doseHistoryHeadings();
std::vector<std::string> doseHistoryRow(const DoseHistoryEntry& entry);
// The note of a record without a dose.
inline constexpr const char* kUncountedDoseNote = "線量がない（数値でないか負の値）ため累積に 0 として加算";

// The lines that close the table: the number of exposures, the cumulative dose and, when some dose
// was not a number, how many. Each line is (caption, value).
std::vector<std::pair<std::string, std::string>> doseHistoryTotals(const DoseHistory& history);

// The history as a CSV file for spreadsheets: UTF-8 with a byte-order mark, CR LF line ends, the
// ID, name and totals first, then a blank line, the headings and one row per exposure. A cell
// holding a comma, a quote or a blank at either end is quoted, its quotes doubled.
std::string doseHistoryCsv(const DoseHistory& history);

} // namespace tamso::records
