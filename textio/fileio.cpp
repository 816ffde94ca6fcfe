#include "textio/fileio.h"

#include "textio/codec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <thread>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tamso::textio {
namespace {

WriteFaultForTesting& writeFault() {
    static WriteFaultForTesting fault;
    return fault;
}

fs::path folderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

constexpr std::string_view kTemporaryInfix = ".tmp-";
constexpr size_t kTemporaryDigits = 16;

fs::path temporaryPath(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937_64 generator{
        (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    const std::uint64_t value = generator() ^ counter++;
    char digits[kTemporaryDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
    fs::path name = ".";
    name += target.filename();
    name += std::string(kTemporaryInfix) + digits;
    return folderOf(target) / name;
}

// Platform layer ---------------------------------------------------------------------------------
#ifdef _WIN32

int lastError() {
    return static_cast<int>(::GetLastError());
}

struct Target {
    bool exists = false;
    bool folder = false;
    bool readOnly = false;
};

Target inspectTarget(const fs::path& path) {
    Target target;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return target;
    target.exists = true;
    target.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    target.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return target;
}

// The temporary file, open for writing until it has its final name. It shares deletion only so
// that its writer can rename it while it is open: a program clearing leftovers removes only a file
// that it can open with no sharing at all, which fails while the writer has it open.
struct TemporaryFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    fs::path path;
};

int createTemporary(const fs::path& target, const Target&, TemporaryFile& temp) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const fs::path path = temporaryPath(target);
        HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return lastError();
        }
        temp.handle = handle;
        temp.path = path;
        return 0;
    }
    return static_cast<int>(ERROR_FILE_EXISTS);
}

int writeAll(TemporaryFile& temp, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(temp.handle, bytes.data(), chunk, &written, nullptr))
            return lastError();
        if (written == 0)
            return static_cast<int>(ERROR_WRITE_FAULT);
        bytes.remove_prefix(written);
    }
    return 0;
}

int syncToDisk(TemporaryFile& temp) {
    return ::FlushFileBuffers(temp.handle) ? 0 : lastError();
}

void closeTemporary(TemporaryFile& temp) {
    if (temp.handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(temp.handle);
    temp.handle = INVALID_HANDLE_VALUE;
}

void discardTemporary(TemporaryFile& temp) {
    closeTemporary(temp);
    ::DeleteFileW(temp.path.c_str());
}

int publish(TemporaryFile& temp, const fs::path& target, Durability durability) {
    // Renamed while still open, so that no other program can take it for a leftover between its
    // last write and its new name (it shares deletion, which a rename needs).
    const DWORD flags =
        MOVEFILE_REPLACE_EXISTING | (durability == Durability::Synced ? MOVEFILE_WRITE_THROUGH : 0);
    bool moved = ::MoveFileExW(temp.path.c_str(), target.c_str(), flags) != 0;
    int code = moved ? 0 : lastError();
    // A virus scanner or indexer that has just opened the target, or another program replacing it
    // at the same moment, makes the replacement fail for a moment; a target that is in use still
    // fails after the last try.
    auto inUse = [](int error) {
        return static_cast<DWORD>(error) == ERROR_ACCESS_DENIED ||
               static_cast<DWORD>(error) == ERROR_SHARING_VIOLATION;
    };
    for (int attempt = 0; attempt < 10 && !moved && inUse(code); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        moved = ::MoveFileExW(temp.path.c_str(), target.c_str(), flags) != 0;
        code = moved ? 0 : lastError();
    }
    if (!moved) {
        discardTemporary(temp);
        return code;
    }
    closeTemporary(temp);
    return 0;
}

// A replacement of a batch: renamed with its own flush (MoveFileEx writes through), so nothing is
// left for the end of the batch.
int publishInBatch(TemporaryFile& temp, const fs::path& target) {
    return publish(temp, target, Durability::Synced);
}
void finishBatch(const std::vector<fs::path>&) {}

// Removes a temporary file whose writer has gone: it is opened for deletion with no sharing, which
// fails while its writer (or anyone) has it open, and goes when that handle is closed. A link is
// removed as a link; a folder is not opened at all.
void removeIfAbandoned(const fs::path& path) {
    HANDLE handle = ::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
}

// Gives the temporary file the target's name only where nothing has that name; `existed` tells
// that something had it (the temporary file is then gone and the target untouched).
int publishNew(TemporaryFile& temp, const fs::path& target, Durability durability, bool& existed) {
    existed = false;
    const DWORD flags = durability == Durability::Synced ? MOVEFILE_WRITE_THROUGH : 0;
    if (::MoveFileExW(temp.path.c_str(), target.c_str(), flags)) { // no MOVEFILE_REPLACE_EXISTING
        closeTemporary(temp);
        return 0;
    }
    const DWORD code = ::GetLastError();
    discardTemporary(temp);
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
        existed = true;
        return 0;
    }
    return static_cast<int>(code);
}

#else

struct Target {
    bool exists = false;
    bool folder = false;
    bool readOnly = false;
    struct stat status {};
};

Target inspectTarget(const fs::path& path) {
    Target target;
    if (::stat(path.c_str(), &target.status) != 0)
        return target;
    target.exists = true;
    target.folder = S_ISDIR(target.status.st_mode);
    // No write permission for anyone (as "chmod a-w" leaves it), or none for this user: the file is
    // not ours to replace. The mode bits count even for the superuser, whom access() lets write.
    // A file of this user with its owner's write bit is writable: no need to ask.
    const bool ownWritable = target.status.st_uid == ::geteuid() && (target.status.st_mode & 0200) != 0;
    target.readOnly =
        !target.folder && ((target.status.st_mode & 0222) == 0 ||
                           (!ownWritable && ::access(path.c_str(), W_OK) != 0 && errno == EACCES));
    return target;
}

struct TemporaryFile {
    int fd = -1;
    fs::path path;
};

int tryLockExclusive(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

int createTemporary(const fs::path& target, const Target& existing, TemporaryFile& temp) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const fs::path path = temporaryPath(target);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        // Locked while it is written, so that a replacement of the same target in another program
        // does not take it for a leftover (such a program holds the lock only for a moment, to look).
        // A file system without locks leaves it unlocked, and the others then leave it alone because
        // they cannot lock it either.
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR)
            ;
        struct stat status {};
        if (::fstat(fd, &status) == 0 && status.st_nlink == 0) {
            // Removed between its creation and the lock by a program that took it for a leftover.
            ::close(fd);
            continue;
        }
        if (existing.exists) {
            // The new file keeps the old one's owner (where the system allows) and permissions;
            // only what differs is changed (most replacements are of the user's own files).
            if (status.st_uid != existing.status.st_uid || status.st_gid != existing.status.st_gid) {
                if (::fchown(fd, existing.status.st_uid, existing.status.st_gid) != 0)
                    (void)::fchown(fd, static_cast<uid_t>(-1), existing.status.st_gid);
            }
            if ((status.st_mode & 07777) != (existing.status.st_mode & 07777))
                (void)::fchmod(fd, existing.status.st_mode & 07777);
        }
        temp.fd = fd;
        temp.path = path;
        return 0;
    }
    return EEXIST;
}

int writeAll(TemporaryFile& temp, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(temp.fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return 0;
}

int syncToDisk(TemporaryFile& temp) {
    return ::fsync(temp.fd) == 0 ? 0 : errno;
}

void discardTemporary(TemporaryFile& temp) {
    ::unlink(temp.path.c_str());
    if (temp.fd >= 0)
        ::close(temp.fd);
    temp.fd = -1;
}

void syncFolderOf(const fs::path& target) {
    const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
}

int publish(TemporaryFile& temp, const fs::path& target, Durability durability) {
    // Renamed while still open and locked, so that no other program can take it for a leftover
    // between its last write and its new name.
    if (::rename(temp.path.c_str(), target.c_str()) != 0) {
        const int code = errno;
        discardTemporary(temp);
        return code;
    }
    ::close(temp.fd);
    temp.fd = -1;
    if (durability == Durability::Synced)
        syncFolderOf(target); // the new name itself reaches the disk with the folder
    return 0;
}

// A replacement of a batch: renamed now; the folders' new names reach the disk at the end of the
// batch, each folder once.
int publishInBatch(TemporaryFile& temp, const fs::path& target) {
    return publish(temp, target, Durability::Unsynced);
}
void finishBatch(const std::vector<fs::path>& targets) {
    std::vector<fs::path> folders;
    for (const fs::path& target : targets)
        if (std::find(folders.begin(), folders.end(), folderOf(target)) == folders.end())
            folders.push_back(folderOf(target));
    for (const fs::path& folder : folders)
        syncFolderOf(folder / "-");
}

// Removes a temporary file whose writer has gone: a live writer holds its lock until the file has
// its final name.
void removeIfAbandoned(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat opened {};
    struct stat named {};
    if (tryLockExclusive(fd) == 0 && ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        S_ISREG(named.st_mode) && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
        ::unlink(path.c_str());
    ::close(fd);
}

// Gives the temporary file the target's name only where nothing has that name; `existed` tells
// that something had it (the temporary file is then gone and the target untouched). A hard link
// is made only where the name is free, so nothing that appears meanwhile is replaced.
int publishNew(TemporaryFile& temp, const fs::path& target, Durability durability, bool& existed) {
    existed = false;
    if (::link(temp.path.c_str(), target.c_str()) == 0) {
        ::unlink(temp.path.c_str());
    } else {
        const int code = errno;
        struct stat there {};
        if (code == EEXIST || ::lstat(target.c_str(), &there) == 0) {
            existed = true;
            discardTemporary(temp);
            return 0;
        }
        // A file system without hard links (FAT, some network shares): renamed, as nothing is there.
        if (::rename(temp.path.c_str(), target.c_str()) != 0) {
            const int failed = errno;
            discardTemporary(temp);
            return failed;
        }
    }
    ::close(temp.fd);
    temp.fd = -1;
    if (durability == Durability::Synced)
        syncFolderOf(target);
    return 0;
}

#endif
// End of the platform layer -------------------------------------------------------------------

void removeLeftoverTemporaries(const fs::path& target) {
    const fs::path targetName = target.filename();
    std::vector<fs::path> leftovers;
    std::error_code ec;
    for (fs::directory_iterator it(folderOf(target), ec), end; !ec && it != end; it.increment(ec))
        if (isTemporaryFileOf(it->path().filename(), targetName))
            leftovers.push_back(it->path());
    for (const fs::path& leftover : leftovers)
        removeIfAbandoned(leftover);
}

// Whether a name has the form of any target's temporary file: "." + name + ".tmp-" + 16 digits.
bool isTemporaryName(const fs::path& fileName) {
    const std::string name = fileName.filename().u8string();
    const size_t infix = name.rfind(std::string(kTemporaryInfix));
    return name.size() > 1 && name[0] == '.' && infix != std::string::npos && infix > 1 &&
           isTemporaryFileOf(fileName.filename(), fs::u8path(name.substr(1, infix - 1)));
}

Error writeFailure(const fs::path& path, const std::string& reason) {
    return Error(ErrorCode::FileCannotWrite, {fileNameUtf8(path), reason});
}

} // namespace

void removeAbandonedTemporaries(const fs::path& folder) {
    std::vector<fs::path> leftovers;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (isTemporaryName(it->path()))
            leftovers.push_back(it->path());
    for (const fs::path& leftover : leftovers)
        removeIfAbandoned(leftover);
}

namespace {

// Whether this process has already removed the leftovers of a scratch file (Durability::Unsynced):
// such a file is rewritten by every calculation, and its leftovers, of a program killed while
// writing it, need to be looked for only once per process, not in a listing of the whole folder
// each time.
bool firstScratchReplacement(const fs::path& target) {
    static std::mutex guard;
    static std::set<fs::path> swept;
    std::lock_guard<std::mutex> lock(guard);
    return swept.insert(target).second;
}

// Removes the target's leftover temporary files, then writes the bytes to a new temporary file
// of the target (on the disk when `durability` asks for it), ready to be published.
Status writeTemporary(const fs::path& path, const Target& target, std::string_view bytes,
                      Durability durability, TemporaryFile& temp) {
    if (durability == Durability::Synced || firstScratchReplacement(path))
        removeLeftoverTemporaries(path);
    if (const int code = createTemporary(path, target, temp)) {
        const FileFailure failure = classifyFileError(code);
        return writeFailure(path, failure == FileFailure::Denied ? std::string("フォルダに書き込みできません")
                                                                 : fileErrorReason(code));
    }
    const WriteFaultForTesting fault = writeFault(); // a copy: the seam may replace itself
    int code = fault ? fault(temp.path) : 0;
    if (code == 0)
        code = writeAll(temp, bytes);
    if (code == 0 && durability == Durability::Synced)
        code = syncToDisk(temp);
    if (code != 0) {
        discardTemporary(temp);
        return writeFailure(path, fileErrorReason(code));
    }
    return {};
}

} // namespace

Status writeFileAtomic(const fs::path& path, std::string_view bytes, Durability durability) {
    const Target target = inspectTarget(path);
    if (target.folder)
        return writeFailure(path, "同じ名前のフォルダがあります");
    if (target.readOnly)
        return Error(ErrorCode::FileReadOnly, {fileNameUtf8(path)});

    TemporaryFile temp;
    if (Status written = writeTemporary(path, target, bytes, durability, temp); !written.ok())
        return written;
    if (const int failed = publish(temp, path, durability)) {
        const FileFailure failure = classifyFileError(failed);
        return writeFailure(path, failure == FileFailure::Denied || failure == FileFailure::InUse
                                      ? std::string("ファイルが使用中か、書き込みが禁止されています")
                                      : fileErrorReason(failed));
    }
    return {};
}

Status writeFilesAtomic(const std::vector<std::pair<fs::path, std::string>>& files) {
    std::vector<TemporaryFile> temps(files.size());
    auto discardAll = [&](size_t count) {
        for (size_t i = 0; i < count; ++i)
            discardTemporary(temps[i]);
    };
    for (size_t i = 0; i < files.size(); ++i) {
        const fs::path& path = files[i].first;
        const Target target = inspectTarget(path);
        Status problem;
        if (target.folder) {
            problem = writeFailure(path, "同じ名前のフォルダがあります");
        } else if (target.readOnly) {
            problem = Error(ErrorCode::FileReadOnly, {fileNameUtf8(path)});
        } else {
            removeLeftoverTemporaries(path); // stored data: every time, as a flushed replacement does
            problem = writeTemporary(path, target, files[i].second, Durability::Unsynced, temps[i]);
        }
        if (!problem.ok()) {
            discardAll(i);
            return problem;
        }
    }
    // Flushed together: a journaling file system serves waits that overlap with one commit.
    std::vector<int> codes(files.size(), 0);
    {
        std::vector<std::thread> syncs;
        for (size_t i = 1; i < files.size(); ++i)
            syncs.emplace_back([&, i] { codes[i] = syncToDisk(temps[i]); });
        if (!files.empty())
            codes[0] = syncToDisk(temps[0]);
        for (std::thread& t : syncs)
            t.join();
    }
    for (size_t i = 0; i < files.size(); ++i)
        if (codes[i] != 0) {
            discardAll(files.size());
            return writeFailure(files[i].first, fileErrorReason(codes[i]));
        }
    std::vector<fs::path> published;
    for (size_t i = 0; i < files.size(); ++i) {
        if (const int failed = publishInBatch(temps[i], files[i].first)) {
            for (size_t k = i + 1; k < files.size(); ++k)
                discardTemporary(temps[k]);
            finishBatch(published);
            return writeFailure(files[i].first, fileErrorReason(failed));
        }
        published.push_back(files[i].first);
    }
    finishBatch(published);
    return {};
}

Expected<std::string> textLinesBytes(const std::vector<std::string>& utf8Lines) {
    std::string text;
    for (const auto& line : utf8Lines) {
        text += line;
        text += "\r\n";
    }
    return utf8ToSjis(text);
}

Expected<bool> createFileAtomic(const fs::path& path, std::string_view bytes, Durability durability) {
    std::error_code ec;
    const fs::file_type there = fs::symlink_status(path, ec).type();
    if (there != fs::file_type::not_found && there != fs::file_type::none)
        return false;

    TemporaryFile temp;
    if (Status written = writeTemporary(path, Target{}, bytes, durability, temp); !written.ok())
        return written.error();
    bool existed = false;
    if (const int failed = publishNew(temp, path, durability, existed))
        return writeFailure(path, fileErrorReason(failed));
    return !existed;
}

Status writeTextLines(const fs::path& path, const std::vector<std::string>& utf8Lines,
                      Durability durability) {
    auto sjis = textLinesBytes(utf8Lines);
    if (!sjis.ok())
        return Error(ErrorCode::FileCannotWriteText, {fileNameUtf8(path), sjis.error().message()});
    return writeFileAtomic(path, *sjis, durability);
}

bool isTemporaryFileOf(const fs::path& fileName, const fs::path& targetName) {
    fs::path prefixPath = ".";
    prefixPath += targetName;
    prefixPath += std::string(kTemporaryInfix);
    const auto& name = fileName.native();
    const auto& prefix = prefixPath.native();
    if (targetName.empty() || name.size() != prefix.size() + kTemporaryDigits ||
        name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        const auto c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

void setWriteFaultForTesting(WriteFaultForTesting fault) {
    writeFault() = std::move(fault);
}

} // namespace tamso::textio
