#pragma once
// An infant's dose history: every exposure stored in its record files with the cumulative entrance
// surface dose, as the dose history window, the report and tamso-calc --history show it, and the
// CSV file it is exported to.
//
// One order everywhere (the table, the exposure number on the report, the chart, the cumulative
// dose): by exam date, and on one date in the order the records were saved. A record whose date
// cannot be read keeps its place in save order, right after the record saved before it.
//
// A dose stored as a number of 0 or more (or as a text that reads as one) adds to the cumulative
// dose. Any other stored dose (a text such as "未計算", nothing, a negative number) is no dose: it is
// shown as stored, counts as 0 in the sum and is flagged, so the cumulative dose is then a lower
// bound. The facility audit applies the same rule (storedDoseMGy).
//
// A withdrawn record (recordwithdrawal.h) is no exposure: it has no number, adds nothing, is not in
// the chart, and the report's exposure number and dose so far pass over it. The table, tamso-calc
// and the CSV still show it in its place, with "取消" for its number, no cumulative dose and the
// withdrawal (time, who, reason) as its note.

#include "records/doseaudit.h"
#include "records/patienthistory.h"
#include "records/recordwithdrawal.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::records {

struct DoseHistoryEntry {
    int number = 0;       // the exposure's number 1..N in the history's order (date, then save order)
    int recordNumber = 0; // the record's number 1..N across the infant's files, in file (save) order
    PatientRecord record;
    std::optional<double> doseMGy; // the entrance surface dose when it is a number
    double cumulativeMGy = 0;      // the doses of exposures 1..number
    // What the history is ordered by: the date (CalendarDate::key), for a date that cannot be read
    // that of the record saved before it (0 for none).
    int orderKey = 0;
    // A withdrawn record: number 0, cumulativeMGy the sum of the exposures before it.
    std::optional<Withdrawal> withdrawal;
};

// Reads an exam date as stored; nothing when it cannot be read. The screens read the forms of the
// system's short date too (see ui/kit); without a reader, parseExamDate (doseaudit.h) reads it.
using ExamDateReader = std::function<std::optional<CalendarDate>(std::string_view)>;

struct DoseHistory {
    std::string patientId;
    std::string patientName;
    std::vector<DoseHistoryEntry> entries;   // the exposures: every record not withdrawn
    std::vector<DoseHistoryEntry> withdrawn; // the withdrawn records, in the history's order
    std::vector<std::string> trailProblems;  // withdrawals not applied, and why (WithdrawnRecords)
    double totalMGy = 0;                     // the cumulative dose of all exposures
    int uncountedDoses = 0;                  // exposures without a dose (storedDoseMGy)

    int exposureCount() const { return static_cast<int>(entries.size()); }
    // Whether the infant has any record, withdrawn or not.
    bool hasRecords() const { return !entries.empty() || !withdrawn.empty(); }
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

// The entries in the history's order (date, then save order), numbered and summed in it; the
// records `withdrawn` names are set apart.
DoseHistory makeDoseHistory(const PatientHistory& history, const ExamDateReader& readDate = {},
                            const WithdrawnRecords& withdrawn = {});
// Reads all record files of the ID (see loadPatientHistory) and its withdrawals, and sums them up.
Expected<DoseHistory> loadDoseHistory(const fs::path& folder, std::string_view patientId,
                                      const ExamDateReader& readDate = {});

// A dose in mGy as the program shows doses: "#0.000" (textio::doseText). A sum too large for a
// number (doses beyond 1e308 mGy, which no exposure gives: a wrong record) shows
// kUnsummableDoseText, never a number.
std::string doseText(double mGy);
inline constexpr const char* kUnsummableDoseText = "合計できません（値が大きすぎます）";

// The infant's exposure number and cumulative entrance surface dose up to and including one
// exposure, for the report.
struct CumulativeDose {
    int exposureNumber = 0;
    double cumulativeMGy = 0;
    bool lowerBound = false; // a record in the sum had no dose (counted as 0)
};
// A new exposure with the dose and exam date shown on the report, saved after every stored record:
// it comes after the exposures of its date and before those of later dates (after all of them when
// its date cannot be read); the sum runs up to it.
CumulativeDose cumulativeWithNewExposure(const DoseHistory& history, std::string_view doseText,
                                         std::string_view examDate = {}, const ExamDateReader& readDate = {});
// Stored record `recordNumber` (1..N in save order): its exposure number and the sum up to it in the
// history's order. Nothing for a record the history does not hold.
std::optional<CumulativeDose> cumulativeThroughRecord(const DoseHistory& history, int recordNumber);

// Every record of the history, the exposures and the withdrawn records, in the history's order:
// the rows of the table.
std::vector<const DoseHistoryEntry*> doseHistoryTableEntries(const DoseHistory& history);

// The table the window, tamso-calc and the CSV file share: column headings and one row per
// record (each value as stored, the cumulative dose in "#0.000", a note on a flagged dose; a
// withdrawn record with kWithdrawnMark as its number, no cumulative dose and withdrawnNote).
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
// The number cell of a withdrawn record, and its note: "取消 2026/03/05 10:15:00 山田 花子: reason".
inline constexpr const char* kWithdrawnMark = "取消";
std::string withdrawnNote(const Withdrawal& withdrawal);

// The lines that close the table: the number of exposures, the cumulative dose and, when some dose
// was not a number or some record is withdrawn, how many. Each line is (caption, value).
std::vector<std::pair<std::string, std::string>> doseHistoryTotals(const DoseHistory& history);

// The history as a CSV file for spreadsheets: UTF-8 with a byte-order mark, CR LF line ends, the
// ID, name and totals first, then a blank line, the headings and one row per record. A cell
// holding a comma, a quote or a blank at either end is quoted, its quotes doubled.
std::string doseHistoryCsv(const DoseHistory& history);

} // namespace tamso::records
