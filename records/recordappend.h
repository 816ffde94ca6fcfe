#pragma once
// Appending records to an infant's record files, the part of the Data Save that the DICOM node
// shares: the save's step (the last file rewritten with its stored name, the new count and the new
// record; a full file left as it is and a continuation file started) applied in memory to each
// record in turn, so that several records appended at once give exactly the bytes that saving them
// one after the other would give. The caller holds the infant's lock (the first record file's)
// from loading to writing.

#include "records/patienthistory.h"
#include "records/patientrecordfile.h"

#include <string>
#include <vector>

namespace tamso::records {

// Where a save put its record.
struct SavedRecordPlace {
    fs::path file;        // the record file written
    int part = 1;         // 1 for the first file, k for the continuation k
    int recordNumber = 0; // the record's number among all records of the infant (1..N)
};

// What an append starts from: every record file of the infant and its last file as read.
struct StoredInfant {
    PatientHistory history;      // no files for a new infant
    PatientRecordState lastFile; // the last file of the history (empty for a new infant)
};

// Reads the infant's files for an append: all of them must be in the layout with no continuation
// missing (the error names the file otherwise).
Expected<StoredInfant> loadStoredInfant(const fs::path& folder, std::string_view patientId);

// One file to write.
struct RecordFileWrite {
    fs::path file;
    int part = 1;
    std::vector<std::string> lines; // UTF-8, written as Shift-JIS with CR LF
    PatientRecordState written;     // the file as it reads back
};

struct RecordAppendPlan {
    std::vector<RecordFileWrite> writes;  // in part order: the last file if it had room, then new files
    std::vector<SavedRecordPlace> places; // one per record, in order
    bool startsContinuation = false;      // a continuation file is among the writes
};

// The files that hold the records after the stored ones. A new infant's first file gets `name`
// (continuations the name stored in the first file). Fails when a new file would not read back in
// the layout (the message says why); nothing is written here.
Expected<RecordAppendPlan> planRecordAppend(const fs::path& folder, std::string_view patientId,
                                            const std::string& name, const StoredInfant& stored,
                                            const std::vector<RecordTexts>& records);

// Writes the plan's files in part order, each replaced atomically and flushed to the disk; stops at
// the first failure (the message says why), so the files on disk always hold a prefix of the records.
Status writeRecordAppend(const RecordAppendPlan& plan);

// The files of several plans (several infants) written with one wait for the disk
// (textio::writeFilesAtomic), each plan's files in part order. A failure before the renames writes
// nothing; a failing rename leaves the files before it written.
Status writeRecordAppends(const std::vector<const RecordAppendPlan*>& plans);

// Why a name or record cannot be stored (a line break, a list field that would not read back), or
// success.
Status checkRecordTexts(const std::string& name, const RecordTexts& record);

// Whether a stored record holds exactly what saving these texts stores.
bool recordHoldsTexts(const PatientRecord& stored, const RecordTexts& texts);

} // namespace tamso::records
