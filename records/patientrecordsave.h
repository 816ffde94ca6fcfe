#pragma once
// Saving one record for a patient: the Data Save flow of the report screen, without the screen.
// Its question and messages go through SavePrompts, which the screen implements with message boxes.

#include "records/patienthistory.h"
#include "records/patientrecordfile.h"
#include "records/recordappend.h"
#include "records/recordfilelock.h"

#include <string>

namespace tamso::records {

struct SavePrompts {
    virtual ~SavePrompts() = default;
    // The questions, warnings and notices come as codes of the catalogue with their arguments
    // (textio/errorcatalog.h), like the errors; message() gives the sentence.
    // An OK / Cancel question without icon (ErrorCode::QuestionSave); true for OK.
    virtual bool confirmSave(const Error& question) = 0;
    // A warning with the exclamation icon: the save stops.
    virtual void warn(const Error& message) = 0;
    // A notice with OK only.
    virtual void notify(const Error& message) = 0;
    // A Yes / No question without icon whose default answer is No; true for Yes. Asked before a
    // record equal to a stored one is appended again. Without an answer (this default) it is not.
    virtual bool confirmDuplicate(const Error& /*question*/) { return false; }
};

// The notice of a save that started a continuation file (see patienthistory.h), with its name.
Error continuationSavedMessage(const std::string& continuationFileName);

// Appends the record (the 13 field texts of the report screen) to the records of the ID in the
// folder and returns whether it was written:
//  - empty ID or name, an ID that cannot name a file, a field that cannot be stored: a warning, nothing
//    touched; then the question, Cancel stops;
//  - a record equal in every field (sameRecord) to one already stored in any file of the infant asks
//    confirmDuplicate (ErrorCode::QuestionDuplicate); a record of the same exposure (sameExposure: only the
//    technologist, unit, field name or doses differ, such as a dose typed over, or an exposure the
//    node recorded entered again by hand) asks it with sameExposureQuestion, naming the stored record;
//    No stops, nothing written, so that no exposure silently becomes two;
//  - the lock of the ID's first record file "<ID>.pat" is taken (waiting up to options.wait) for every
//    save of the infant, whichever of its files is written; a file in use gives a warning;
//  - a new patient gets a first file with the name, "1" and the record;
//  - otherwise every record file of the infant is read (the last one into the state) and must be in
//    the layout, with no continuation missing; if not, a warning naming the file and nothing is
//    written. The last file, if it holds fewer than 20 records, is rewritten atomically with its
//    stored name, the new count and all records plus the new one. A last file with 20 records stays
//    byte for byte; the record starts the next continuation file ("<ID>.~2.pat", ...) with the name
//    stored in the first file, "1" and the record, and the notice names that file;
//  - a read-only record file is not replaced, and a failed write gives a warning that says why (a
//    full disk, a folder that cannot be written, ...); the notice comes only once the file is on disk.
// The name typed for an existing infant is never written. On success the state holds the file as
// written and, if given, `place` where the record went.
bool savePatientRecord(const fs::path& folder, const std::string& patientId, const std::string& name,
                       const RecordTexts& record, SavePrompts& prompts,
                       PatientRecordState& state = PatientRecords, const RecordLockOptions& lockOptions = {},
                       SavedRecordPlace* place = nullptr);

} // namespace tamso::records
