#pragma once
// The facility audit of entrance surface doses against the diagnostic reference levels, by the
// method of ICRP Publication 135: per body part, the median dose of the facility's exposures (its
// typical value) is compared with the level; the 75th percentile is what a local level is set at.
//
// The audit reads every patient record file of the working folder ("<ID>.pat" and the
// continuation files "<ID>.~k.pat"), takes the records whose exam date lies in the chosen period,
// and groups their doses by body part. An infant's files are taken by the rule the dose history
// and the save follow (recordFileProblems). Nothing is left out silently: record files that cannot
// be read (folders and pipes of such a name too), files that rule leaves out, records whose date
// cannot be read and records without a dose are listed in the notes. A withdrawn record
// (recordwithdrawal.h) is not counted and is listed, as is every withdrawal that is not applied.
//
// Percentiles are type 7 of Hyndman and Fan (the default of R and numpy, and what spreadsheets'
// PERCENTILE and QUARTILE give): for the n sorted doses x[0..n-1] and p in [0, 1], h = (n - 1) p,
// and the percentile is x[floor h] + (h - floor h) (x[floor h + 1] - x[floor h]). The median is
// p = 0.5: the middle dose, or the mean of the two middle doses.

#include "engine/calculationstate.h"
#include "engine/organdose.h"
#include "records/patienthistory.h"
#include "refdata/referencelevels.h"
#include "textio/expected.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::records {

namespace fs = std::filesystem;

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
    int key() const { return (year * 100 + month) * 100 + day; } // orders the dates
    bool operator==(const CalendarDate& other) const { return key() == other.key(); }
};

// An exam date as stored (the system's short date): yyyy/MM/dd, yyyy-MM-dd, or with one-digit
// month and day (yyyy/M/d, yyyy-M-d); blanks around it allowed. The year has four digits and the
// day must exist in that month (29 February only in leap years). Anything else gives nothing.
std::optional<CalendarDate> parseExamDate(std::string_view text);
// The date as yyyy/MM/dd.
std::string dateText(const CalendarDate& date);

// The chosen period, both ends included; an open end takes every date on that side.
struct AuditPeriod {
    std::optional<CalendarDate> from;
    std::optional<CalendarDate> to;
    bool bounded() const { return from.has_value() || to.has_value(); }
    bool contains(const CalendarDate& date) const;
};

// The type 7 percentile (p in [0, 1]) of doses sorted ascending; 0 for none.
double percentileOfSorted(const std::vector<double>& sorted, double p);

// The infant a record file belongs to: the file name without ".pat", and for a continuation file
// "X.~k.pat" (k = 2, 3, ...) the infant X (as parseRecordFileName reads it).
std::string auditInfantId(std::string_view recordFileName);
// Whether a file name is that of a record file: it ends in ".pat" and does not start with "."
// (the record search lists the same files; lock files and temporary files are never taken).
bool isRecordFileName(std::string_view fileName);

struct BodyPartAudit {
    std::string bodyPart;
    int exposures = 0; // records of the body part in the period with a dose
    int infants = 0;   // different infants among them
    double medianMGy = 0;
    double lowerQuartileMGy = 0; // 25th percentile (for the box plot)
    double percentile75MGy = 0;
    double minimumMGy = 0;
    double maximumMGy = 0;
    std::optional<double> levelMGy;        // nothing: the body part has no level
    std::optional<double> medianOverLevel; // with a level: the median as shown / the level
    // With a level: the median as shown (to the finer of three decimals and the level's) against
    // it, and how both are shown.
    std::optional<refdata::LevelComparison> comparison;
    bool medianAboveLevel() const { return comparison && comparison->above; }
    // The median effective dose (μSv) of the exposures whose effective dose could be computed
    // (recordeffectivedose.h, the site's default weight); nothing where none could be or the audit
    // computed none.
    std::optional<double> medianEffectiveDoseUSv;
};

// Something the audit could not use, listed for the user.
struct AuditNote {
    enum class Kind {
        UnreadableFile, // a record file that cannot be read in the record layout (or is no file)
        LeftOutFile,    // a continuation file without its first or preceding file, or another
                        // infant's (recordFileProblems, patienthistory.h)
        DateUnreadable, // a record whose exam date is in none of the forms above
        NoDose,         // a record in the period without a dose (see storedDoseMGy, dosehistory.h)
        Withdrawn,      // a withdrawn record (detail: the reason), never counted
        TrailProblem,   // a withdrawal not applied (detail: why, naming the trail and its line)
    };
    Kind kind = Kind::UnreadableFile;
    std::string fileName;
    int record = 0;       // 1-based record number in its file; 0 for a whole file
    std::string detail;   // the reason (for a file), or the stored text (date or dose)
    bool counted = false; // a record with an unreadable date that was counted (no period chosen)
};

struct DoseAudit {
    AuditPeriod period; // the period audited
    std::vector<BodyPartAudit> bodyParts;
    std::vector<AuditNote> notes; // by file name, then record
    int recordFiles = 0;          // record files found, unreadable ones included
    int unreadableFiles = 0;
    int leftOutFiles = 0;    // readable, but left out by the rule of an infant's files
    int records = 0;         // records read
    int withdrawn = 0;       // records read that are withdrawn (never counted)
    int recordsInPeriod = 0; // records taken into the period (with or without a dose)
    int exposures = 0;       // records counted in the statistics
    int infants = 0;         // different infants among them
    int dateUnreadable = 0;
    int noDose = 0;
    bool effectiveDoses = false;      // the effective doses were computed (organ-dose table present)
    int effectiveDoseUnavailable = 0; // counted exposures whose effective dose could not be computed
};

// What the effective doses of the audit need (all three from the working folder): a state with
// the reference data, the organ-dose table and the site's default weight.
struct AuditEffectiveDoseData {
    const engine::CalculationState& loaded;
    const engine::OrganDoseTable& table;
    std::optional<double> defaultWeightKg;
};

// Audits the record files of the folder for the period. Body parts are listed in the order of
// `bodyPartOrder` (the body-part list), then the others in the order of their text; only body parts
// with at least one exposure are listed. Records whose date cannot be read are counted when no
// period is chosen (every date is wanted) and left out when one is (they cannot be placed in it);
// they are listed in either case. With `effective`, the effective dose of every counted exposure is
// computed from its conditions (one run per distinct conditions) and its median given per body
// part; an exposure whose effective dose cannot be computed is counted, not guessed. Fails only
// when the folder cannot be listed.
Expected<DoseAudit> auditRecordFolder(const fs::path& folder, const AuditPeriod& period,
                                      const refdata::ReferenceLevelTable& levels,
                                      const std::vector<std::string>& bodyPartOrder = {},
                                      const AuditEffectiveDoseData* effective = nullptr);

// One note in words, as the audit window and tamso-calc list it.
std::string auditNoteText(const AuditNote& note);
// The period in words: "2026/01/01 ～ 2026/12/31", an open end left empty, "全期間" for none.
std::string auditPeriodText(const AuditPeriod& period);
// What was read and counted, in words (two lines; a third on the effective doses where computed).
std::vector<std::string> auditSummaryLines(const DoseAudit& audit);

// The audit table as the window shows it and the CSV holds it: the column headings, then one row
// of cells per body part (doses in mGy with three decimals, the median with a level to the finer
// of three decimals and the level's, the level with three or all of its own digits, the ratio with
// two or as many more as an above-level median needs to show above 1; empty cells where the body
// part has no level). The verdict compares the median as shown with the level
// (refdata::compareWithLevel).
std::vector<std::string> auditTableHeadings();
std::vector<std::vector<std::string>> auditTableCells(const DoseAudit& audit);
// The table as CSV text: UTF-8 with byte-order mark, CR LF line ends, cells quoted where needed.
// First the period ("期間,2026/01/01 ～ 2026/12/31") and the summary lines (one cell each), then a
// blank line, the headings and one row per body part.
std::string doseAuditCsv(const DoseAudit& audit);
// Writes doseAuditCsv to the file as an export (textio::writeExportFile): replaced atomically, and
// never a folder, device, pipe or a working-folder file.
Status writeDoseAuditCsv(const fs::path& file, const DoseAudit& audit);

} // namespace tamso::records
