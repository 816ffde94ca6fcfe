#pragma once
// Withdrawing a wrong record. The record files stay exactly as they are: a withdrawal is a line
// appended to the infant's trail "<ID>.pat.withdrawn" beside its record files (Shift-JIS, CR LF,
// replaced atomically under the lock of the infant's first record file), and the records a valid
// line names count nowhere: not in the dose history, the cumulative dose, the report's exposure
// number, the facility audit or their exports. A correction is a withdrawal and a new save.
//
// One line per withdrawal, nine fields read by the program's field read (textio/textreader.h):
//
//   3,"2026/03/05 10:15:00","山田 花子","管電圧を 80 と誤入力","2024/05/01","胸部","60","2","0.25"
//
// the record number (1..N over all of the infant's files, in save order), the time of the
// withdrawal (yyyy/mm/dd hh:mm:ss), who withdrew it, the reason, and the record's exam date, body
// part, tube voltage, mAs and entrance surface dose as stored (list values in their usual decimal
// text), so that a reader can tell whether the line still names the same record. The texts stand
// in double quotes; a double quote, a percent sign or a line break in them is written %22, %25,
// %0D, %0A, so a reason may hold commas and quotes. A line that cannot be read, or whose record
// does not exist or no longer matches, is not applied and is reported in words.

#include "records/patientrecordfile.h"
#include "records/recordfilelock.h"
#include "textio/expected.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::records {

namespace fs = std::filesystem;

inline constexpr std::string_view kWithdrawalTrailExtension = ".withdrawn";
// A trail line is short; a file far larger than any trail is not read.
constexpr std::uintmax_t kMaxWithdrawalTrailBytes = std::uintmax_t{4} << 20;

// The trail of a patient ID: "<ID>.pat.withdrawn" in the folder.
fs::path withdrawalTrailFile(const fs::path& folder, std::string_view patientId);

struct Withdrawal {
    int recordNumber = 0;
    std::string time; // yyyy/mm/dd hh:mm:ss
    std::string withdrawnBy;
    std::string reason;
    // The record as stored: exam date and body part verbatim, the list values as listValueText.
    std::string examDate;
    std::string bodyPart;
    std::string tubeVoltageKv;
    std::string mAs;
    std::string doseMGy;
};

// The withdrawal of a record: its identifying fields taken as stored.
Withdrawal withdrawalOf(const PatientRecord& record, int recordNumber, std::string time,
                        std::string withdrawnBy, std::string reason);
// Whether a withdrawal names this record (exam date, body part, kV, mAs and dose as stored).
bool namesRecord(const Withdrawal& withdrawal, const PatientRecord& record);

// The line of a withdrawal (UTF-8, without its line end), and the withdrawal a line holds; the
// error says why a line cannot be read.
std::string withdrawalLine(const Withdrawal& withdrawal);
Expected<Withdrawal> parseWithdrawalLine(std::string_view line);

// The records of an infant that are withdrawn, by record number, and every trail line that is not
// applied, in words naming the trail file and the line.
struct WithdrawnRecords {
    std::map<int, Withdrawal> byRecord;
    std::vector<std::string> problems;

    const Withdrawal* find(int recordNumber) const;
    bool empty() const { return byRecord.empty() && problems.empty(); }
};

// Reads the trail of an ID against the infant's records (record n at index n - 1). No trail means
// nothing is withdrawn. A trail that cannot be read (no regular file, too large) withdraws nothing
// and is reported; so is each line that cannot be read or names a record that is not there or no
// longer matches. Never fails.
WithdrawnRecords loadWithdrawnRecords(const fs::path& folder, std::string_view patientId,
                                      const std::vector<PatientRecord>& records);
// Whether the ID has a trail at all (anything under the trail's name), without reading it.
bool hasWithdrawalTrail(const fs::path& folder, std::string_view patientId);

// What the user asks: withdraw record `recordNumber` of the ID, which was listed as `listed`.
struct WithdrawalRequest {
    int recordNumber = 0;
    PatientRecord listed;
    std::string withdrawnBy;
    std::string reason;
    std::string time; // yyyy/mm/dd hh:mm:ss
};

// Appends the withdrawal to the ID's trail under the infant's lock, after reading the infant's
// record files and the trail again under it. Refused, with a message and nothing written: an empty
// reason or name (blanks only count as empty), texts Shift-JIS cannot hold, a record that is not
// there or no longer the one listed, a record already withdrawn (the message says when, by whom and
// why), a trail that cannot be read, record files that cannot be read. A lock kept by another
// program fails with kind Busy.
Status withdrawRecord(const fs::path& folder, std::string_view patientId, const WithdrawalRequest& request,
                      const RecordLockOptions& lockOptions = {});

// The error of a record already withdrawn.
Error alreadyWithdrawn(const Withdrawal& withdrawal);

} // namespace tamso::records
