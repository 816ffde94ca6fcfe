#pragma once
// An exclusive lock beside a patient record file, so that two copies of the program (for example on
// two workstations sharing the working folder) never save for the same patient at the same time.
//
// The lock is the file "<record file>.lock" (for "123.pat": "123.pat.lock"), created only if it does
// not exist yet (exclusive create), holding the owner's host, process and time. It is held from
// reading the record file to replacing it and removed afterwards. A second saver polls until the
// lock is gone or its wait ends. A lock older than the stale age was left by a program that ended
// without removing it (a crash, a power cut); it is broken and taken over. A save takes
// milliseconds, so the stale age (30 s by default) lies far beyond any live holder.

#include "textio/expected.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace tamso::records {

namespace fs = std::filesystem;

struct RecordLockOptions {
    std::chrono::milliseconds wait{3000};      // how long a second saver waits for the lock
    std::chrono::milliseconds poll{50};        // how often it looks again
    std::chrono::milliseconds staleAge{30000}; // a lock older than this is broken
};

fs::path lockFileFor(const fs::path& recordFile);

class RecordFileLock {
public:
    enum class Outcome { Acquired, Busy, Failed };

    RecordFileLock() = default;
    ~RecordFileLock();
    RecordFileLock(const RecordFileLock&) = delete;
    RecordFileLock& operator=(const RecordFileLock&) = delete;

    // Takes the lock of a record file. Busy: another holder kept it for the whole wait. Failed: the
    // lock file could not be created (the folder is missing or cannot be written); see error().
    Outcome acquire(const fs::path& recordFile, const RecordLockOptions& options = {});
    // Whether the lock file still holds this holder's mark (it was not broken by another).
    bool stillHeld() const;
    void release();
    bool held() const { return held_; }
    const std::string& error() const { return error_; }

private:
    fs::path lockFile_;
    std::string token_;
    std::string error_;
    bool held_ = false;
};

} // namespace tamso::records
