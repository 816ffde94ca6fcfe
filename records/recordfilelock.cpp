#include "records/recordfilelock.h"

#include "textio/fileio.h"

#include <cerrno>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tamso::records {
namespace {

constexpr std::intptr_t kNoFile = -1; // also INVALID_HANDLE_VALUE on Windows

enum class TryLock { Locked, Busy, Failed };

// Platform layer: open, lock, compare and close the lock file. Failures give the system's error
// code (errno, GetLastError()).
#ifdef _WIN32

std::intptr_t openLockFile(const fs::path& path, int& error) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) // a read-only lock file can still be locked
        file =
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(::GetLastError());
        return kNoFile;
    }
    return reinterpret_cast<std::intptr_t>(file);
}

TryLock tryLock(std::intptr_t file, int& error) {
    OVERLAPPED whole = {};
    if (::LockFileEx(reinterpret_cast<HANDLE>(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                     MAXDWORD, MAXDWORD, &whole))
        return TryLock::Locked;
    const DWORD code = ::GetLastError();
    error = static_cast<int>(code);
    return code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING ? TryLock::Busy : TryLock::Failed;
}

bool fileId(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return ::GetFileInformationByHandle(file, &info) != 0;
}

bool namesSameFile(std::intptr_t file, const fs::path& path) {
    BY_HANDLE_FILE_INFORMATION locked = {}, named = {};
    if (!fileId(reinterpret_cast<HANDLE>(file), locked))
        return false;
    HANDLE probe = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = fileId(probe, named);
    ::CloseHandle(probe);
    return ok && locked.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           locked.nFileIndexHigh == named.nFileIndexHigh && locked.nFileIndexLow == named.nFileIndexLow &&
           locked.nNumberOfLinks > 0;
}

void closeLockFile(std::intptr_t file) {
    ::CloseHandle(reinterpret_cast<HANDLE>(file)); // releases the lock
}

bool deniedError(int error) {
    return static_cast<DWORD>(error) == ERROR_ACCESS_DENIED;
}

// Whether a lock file that could not be opened is one that was deleted while its holder still has
// it open: Windows keeps the name until the holder closes it (unless the file system deletes the
// POSIX way) and refuses every opening meanwhile. Its holder is still saving, so this is a lock in
// use, not a folder that cannot be written; the name is listed in the folder all the while.
bool removedWhileHeld(const fs::path& path, int error) {
    if (static_cast<DWORD>(error) != ERROR_ACCESS_DENIED)
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

#else

std::intptr_t openLockFile(const fs::path& path, int& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) // a lock file of another user: flock needs no write access
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return kNoFile;
    }
    return fd;
}

TryLock tryLock(std::intptr_t file, int& error) {
    if (::flock(static_cast<int>(file), LOCK_EX | LOCK_NB) == 0)
        return TryLock::Locked;
    error = errno;
    return error == EWOULDBLOCK || error == EAGAIN || error == EINTR ? TryLock::Busy : TryLock::Failed;
}

bool namesSameFile(std::intptr_t file, const fs::path& path) {
    struct stat locked {
    }, named{};
    return ::fstat(static_cast<int>(file), &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
           locked.st_dev == named.st_dev && locked.st_ino == named.st_ino && locked.st_nlink > 0;
}

void closeLockFile(std::intptr_t file) {
    ::close(static_cast<int>(file)); // releases the lock
}

bool deniedError(int error) {
    return error == EACCES || error == EPERM;
}

// A deleted file loses its name at once on POSIX.
bool removedWhileHeld(const fs::path&, int) {
    return false;
}

#endif
// End of the platform layer.

} // namespace

fs::path lockFileFor(const fs::path& recordFile) {
    fs::path lock = recordFile;
    lock += ".lock";
    return lock;
}

RecordFileLock::~RecordFileLock() {
    release();
}

Status RecordFileLock::acquire(const fs::path& recordFile, const RecordLockOptions& options) {
    release();
    lockFile_ = lockFileFor(recordFile);
    const Error busy(ErrorCode::RecordFileBusy, {textio::fileNameUtf8(recordFile)});
    const auto deadline = std::chrono::steady_clock::now() + options.wait;
    for (;;) {
        int code = 0;
        const std::intptr_t file = openLockFile(lockFile_, code);
        if (file == kNoFile && removedWhileHeld(lockFile_, code)) {
            if (std::chrono::steady_clock::now() >= deadline)
                return busy;
            std::this_thread::sleep_for(options.poll);
            continue;
        }
        if (file == kNoFile) {
            return Error(ErrorCode::FileCannotWrite,
                         {textio::fileNameUtf8(recordFile), deniedError(code) ? std::string("作業フォルダに書き込みできません")
                                                                              : textio::fileErrorReason(code)});
        }
        TryLock result;
        while ((result = tryLock(file, code)) == TryLock::Busy && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(options.poll);
        if (result == TryLock::Locked && namesSameFile(file, lockFile_)) {
            file_ = file;
            held_ = true;
            return {};
        }
        closeLockFile(file);
        if (result == TryLock::Failed) {
            return Error(ErrorCode::LockFileCannotLock, {textio::fileNameUtf8(recordFile),
                                                         textio::fileNameUtf8(lockFile_), textio::fileErrorReason(code)});
        }
        if (result == TryLock::Busy)
            return busy;
        // Locked, but the lock file was removed or replaced while this saver waited for it: the
        // file now under that name is the lock.
        if (std::chrono::steady_clock::now() >= deadline)
            return busy;
    }
}

bool RecordFileLock::stillHeld() const {
    return held_ && namesSameFile(file_, lockFile_);
}

void RecordFileLock::release() {
    if (!held_)
        return;
    held_ = false;
    closeLockFile(file_);
    file_ = kNoFile;
}

} // namespace tamso::records
