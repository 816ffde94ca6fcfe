#include "records/patientrecordsave.h"

#include "records/exposurerecord.h"
#include "records/recordwithdrawal.h"
#include "textio/fileio.h"

#include <algorithm>

namespace tamso::records {

Error continuationSavedMessage(const std::string& continuationFileName) {
    return Error(ErrorCode::SavedToContinuation, {std::to_string(kMaxPatientRecords), continuationFileName});
}

bool savePatientRecord(const fs::path& folder, const std::string& patientId, const std::string& name,
                       const RecordTexts& record, SavePrompts& prompts, PatientRecordState& state,
                       const RecordLockOptions& lockOptions, SavedRecordPlace* place) {
    if (patientId.empty() || name.empty()) {
        prompts.warn(Error(ErrorCode::EnterIdAndName));
        return false;
    }
    if (auto bad = checkPatientId(patientId, folder); !bad.ok()) {
        prompts.warn(bad.error());
        return false;
    }
    if (auto bad = checkRecordTexts(name, record); !bad.ok()) {
        prompts.warn(bad.error());
        return false;
    }
    if (!prompts.confirmSave(Error(ErrorCode::QuestionSave)))
        return false;
    // Asked before the lock is taken, so that no other save waits on the user. A history that
    // cannot be read is refused below, under the lock.
    if (const auto asStored = recordAsStored(record)) {
        if (auto history = loadPatientHistory(folder, patientId); history.ok()) {
            // A withdrawn record counts nowhere: its exposure may be saved anew (a correction).
            const WithdrawnRecords withdrawn = loadWithdrawnRecords(folder, patientId, history->records);
            std::vector<PatientRecord> stored = history->records;
            for (const auto& [number, withdrawal] : withdrawn.byRecord)
                if (number >= 1 && number <= static_cast<int>(stored.size()))
                    stored[static_cast<size_t>(number) - 1] = PatientRecord{}; // matches nothing
            const bool identical = std::any_of(stored.begin(), stored.end(),
                                               [&](const PatientRecord& r) { return sameRecord(r, *asStored); });
            if (identical) {
                if (!prompts.confirmDuplicate(Error(ErrorCode::QuestionDuplicate)))
                    return false;
            } else if (const int same = sameExposureRecord(stored, *asStored); same > 0) {
                if (!prompts.confirmDuplicate(sameExposureQuestion(same, stored[static_cast<size_t>(same) - 1])))
                    return false;
            }
        }
    }

    const fs::path firstFile = patientRecordFile(folder, patientId);
    RecordAppendPlan plan;
    {
        // One lock for all files of the infant: the first file's, also while a continuation is written.
        RecordFileLock lock;
        if (const Status locked = lock.acquire(firstFile, lockOptions); !locked.ok()) {
            prompts.warn(locked.error()); // in use by another saver, or the lock file cannot be made
            return false;
        }
        // Every file of the infant must read in the layout: none is rewritten otherwise, and the
        // record's number among them must be known.
        auto stored = loadStoredInfant(folder, patientId);
        if (!stored.ok()) {
            prompts.warn(Error(ErrorCode::SaveStoredUnreadable, {stored.error().message()}));
            return false;
        }
        if (!stored->history.files.empty())
            state = stored->lastFile; // the save reads the file into the shared table, as the search does
        auto planned = planRecordAppend(folder, patientId, name, *stored, {record});
        if (!planned.ok()) {
            prompts.warn(Error(ErrorCode::SaveNotInLayout, {planned.error().message()}));
            return false;
        }
        plan = std::move(*planned);
        if (!lock.stillHeld()) {
            prompts.warn(Error(ErrorCode::RecordFileBusy, {textio::fileNameUtf8(firstFile)}));
            return false;
        }
        if (auto error = writeRecordAppend(plan); !error.ok()) {
            prompts.warn(Error(ErrorCode::SaveNotWritten, {error.message()}));
            return false;
        }
    } // the lock goes before the notice, which waits for the user
    const RecordFileWrite& written = plan.writes.back();
    state = written.written;
    if (place)
        *place = plan.places.back();
    prompts.notify(plan.startsContinuation ? continuationSavedMessage(textio::fileNameUtf8(written.file))
                                           : Error(ErrorCode::Saved));
    return true;
}

} // namespace tamso::records
