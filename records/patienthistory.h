#pragma once
// All record files of one infant. A record file holds at most 20 records; when a save would be an
// infant's 21st record it starts a continuation file of the same layout, and so on every 20
// records, so the number of records of an infant has no limit:
//
//   "<ID>.pat"      records  1..20  (the first file)
//   "<ID>.~2.pat"   records 21..40  (continuation 2)
//   "<ID>.~3.pat"   records 41..60  (continuation 3), ...
//
// A continuation file sorts right after the first file, and a program that knows only the first
// file lists it as an ordinary record file (of the ID "<ID>.~2"). Patient IDs may not contain "~",
// so no ID names a file that is another infant's continuation. Line 1 of a continuation file holds
// the name stored in the first file. The lock of the first file ("<ID>.pat.lock") guards every
// file of the infant.

#include "records/patientrecordfile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamso::records {

// What stands between the ID and the continuation number in a continuation file's name.
inline constexpr std::string_view kContinuationMark = ".~";

// The name of file `part` of an ID: part 1 is the first file ("A001.pat"), part k >= 2 the
// continuation k ("A001.~2.pat").
std::string recordFileName(std::string_view patientId, int part);
fs::path recordFilePath(const fs::path& folder, std::string_view patientId, int part);

// The ID and part a record file name stands for: "A001.pat" -> A001, 1; "A001.~2.pat" -> A001, 2.
// A name that does not end in ".pat", or is ".pat" alone, gives nothing. A ".~" not followed by a
// number from 2 up without leading zeros ("A.~1.pat", "A.~02.pat", "A.~x.pat") is part of a first
// file's ID.
struct RecordFileName {
    std::string patientId;
    int part = 1;
};
std::optional<RecordFileName> parseRecordFileName(std::string_view fileName);
// Whether the name is that of a continuation file (part 2 or later).
bool isContinuationFileName(std::string_view fileName);

// One record file of an infant.
struct RecordFilePart {
    fs::path path;
    int part = 1;
};

// The record files of an ID that exist in the folder, in part order (the first file, if it exists,
// then the continuations). Names are matched as the file system matches them: exactly on POSIX,
// without regard to case on Windows.
std::vector<RecordFilePart> listPatientRecordFiles(const fs::path& folder, std::string_view patientId);

// One record file of an infant as it was read.
struct ReadRecordFile {
    RecordFilePart file;
    Expected<PatientRecordState> content = Error(ErrorCode::Text); // the records, or why the file cannot be read
};

// Which of an infant's record files (in part order, as read) hold its records, one rule for the
// dose history, the save and the facility audit: a file is left out when it cannot be read (a
// folder, a named pipe, not in the layout, ...), when it is a continuation file whose first file
// or whose preceding continuation is missing or left out (its records could not be numbered),
// when it is a continuation file whose first line does not hold the name stored in the first file
// (another infant's file), or when it is one file with another record file of the folder that is
// counted in its place (a link "B.pat" -> "A.pat"; samerecordfile.h). Gives, per file, nothing for a file that is used, else why it is left
// out, in words naming the file.
std::vector<std::optional<std::string>> recordFileProblems(std::string_view patientId,
                                                           const std::vector<ReadRecordFile>& files);

// Every record of an infant, numbered 1..N across its files in file order.
struct PatientHistory {
    std::string patientId;
    std::string patientName;            // line 1 of the first file
    std::vector<PatientRecord> records; // record n at index n - 1
    std::vector<RecordFilePart> files;  // the files read, in part order
    std::vector<int> recordsPerFile;    // the record count of each of those files

    int recordCount() const { return static_cast<int>(records.size()); }
};

// Reads all record files of an ID. An ID without any record file gives an empty history (no
// records, no name). Fails when any of the files is left out by recordFileProblems (records would
// be numbered wrongly, left out of the sums or taken from another infant); the message names every
// such file and why, one per line.
Expected<PatientHistory> loadPatientHistory(const fs::path& folder, std::string_view patientId);

} // namespace tamso::records
