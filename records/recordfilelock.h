#pragma once
// An exclusive lock on a patient record file, so that two copies of the program (for example on
// two workstations sharing the working folder) never save for the same patient at the same time.
//
// The lock is a lock of the operating system held on the open lock file "<record file>.lock" (for
// "123.pat": "123.pat.lock"): flock on POSIX, LockFileEx on Windows. File servers keep these locks
// for all their clients (SMB natively; NFS and, since Linux 5.5, SMB mounts on Linux map flock to
// byte-range locks), so the lock also holds between workstations. The system releases it when its
// holder's process ends in any way (a crash, a kill, a power cut of the workstation ends its
// session with the server), so a lock never outlives its holder and nothing is ever broken by age.
//
// The lock file is created on first use and then stays: removing it would let one saver lock the
// removed file while another creates and locks a new one. Its content is never read, so a lock
// file left by an earlier program is simply used. After locking, the holder checks that the name
// still leads to the file it locked (someone may have deleted or replaced it meanwhile) and starts
// again if not.

#include "textio/expected.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tamso::records {

namespace fs = std::filesystem;

struct RecordLockOptions {
    std::chrono::milliseconds wait{3000}; // how long a second saver waits for the lock
    std::chrono::milliseconds poll{50};   // how often it tries again
};

fs::path lockFileFor(const fs::path& recordFile);

class RecordFileLock {
public:
    RecordFileLock() = default;
    ~RecordFileLock();
    RecordFileLock(const RecordFileLock&) = delete;
    RecordFileLock& operator=(const RecordFileLock&) = delete;

    // Takes the lock of a record file. Fails with an error of kind Busy when another holder kept it
    // for the whole wait (the message says the file is in use), and with kind Failed when the lock
    // file could not be opened or created (the folder is missing or cannot be written, the disk is
    // full) or the file system has no locks; the message says which.
    Status acquire(const fs::path& recordFile, const RecordLockOptions& options = {});
    // Whether the lock is held and the lock file's name still leads to the locked file.
    bool stillHeld() const;
    void release();
    bool held() const { return held_; }

private:
    fs::path lockFile_;
    std::intptr_t file_ = -1; // the open lock file: a descriptor on POSIX, a HANDLE on Windows
    bool held_ = false;
};

} // namespace tamso::records
