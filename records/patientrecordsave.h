#pragma once
// Saving one record for a patient: the Data Save flow of the report screen, without the screen.
// Its question and messages go through SavePrompts, which the screen implements with message boxes.

#include "records/patientrecordfile.h"
#include "records/recordfilelock.h"

#include <string>

namespace tamso::records {

struct SavePrompts {
    virtual ~SavePrompts() = default;
    // An OK / Cancel question without icon; true for OK.
    virtual bool confirmSave(const std::string& question) = 0;
    // A warning with the exclamation icon: the save stops.
    virtual void warn(const std::string& message) = 0;
    // A notice with OK only.
    virtual void notify(const std::string& message) = 0;
};

// The messages of the save.
inline constexpr const char* kMessageEnterIdAndName = "患者IDおよび氏名を入力して下さい";
inline constexpr const char* kQuestionSave = "このデータを保存しますか？";
inline constexpr const char* kMessageRecordLimit =
    "この患児のデータ数は設定数を超えましたので、新しいデータは保存されません。";
inline constexpr const char* kMessageSaved = "データを保存しました。";

// Appends the record (the 13 field texts of the report screen) to the record file of the ID in the
// folder and returns whether it was written:
//  - empty ID or name, an ID that cannot name a file, a field that cannot be stored: a warning, nothing
//    touched; then the question, Cancel stops;
//  - the file's lock is taken (waiting up to options.wait); a file in use gives a warning;
//  - a new patient gets a file with the name, "1" and the record; an existing file is read into the
//    state, must be in the layout (otherwise a warning naming it, the file stays as it is), must hold
//    fewer than 20 records (otherwise the limit warning, the file stays byte for byte) and is then
//    rewritten atomically with its stored name, the new count and all records plus the new one;
//  - a read-only record file is not replaced, and a failed write gives a warning that says why (a
//    full disk, a folder that cannot be written, ...); "データを保存しました。" only once the file is on
//    disk.
// On success the state holds the file as written.
bool savePatientRecord(const fs::path& folder, const std::string& patientId, const std::string& name,
                       const RecordTexts& record, SavePrompts& prompts,
                       PatientRecordState& state = PatientRecords, const RecordLockOptions& lockOptions = {});

} // namespace tamso::records
