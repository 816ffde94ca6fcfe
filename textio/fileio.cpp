#include "textio/fileio.h"

#include "textio/codec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <thread>
#include <windows.h>
#ifndef ERROR_DISK_QUOTA_EXCEEDED // not in every SDK's headers (MinGW-w64 lacks it)
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tamso::textio {
namespace {

std::string quoted(const fs::path& path) {
    return "「" + fileNameUtf8(path) + "」";
}

Error notRegular(const fs::path& path) {
    return Error{quoted(path) +
                 "は通常のファイルではありません（デバイスや名前付きパイプなどは読み込みません）。"};
}

// How a bounded read of a regular file ended.
enum class ReadOutcome { Read, CannotOpen, NotRegular, Failed };

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

// What kind of failure a system error code stands for.
enum class Failure {
    DiskFull,
    Denied,
    ReadOnlyMedium,
    Missing,
    NameTooLong,
    BadName,
    InUse,
    IsFolder,
    Io,
    Other
};

// An errno value: the system's code on POSIX, and what the standard library of MinGW reports for
// file-system failures on Windows too.
Failure classifyErrno(int code) {
    switch (code) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return Failure::DiskFull;
    case EACCES:
    case EPERM:
        return Failure::Denied;
    case EROFS:
        return Failure::ReadOnlyMedium;
    case ENOENT:
    case ENOTDIR:
        return Failure::Missing;
    case ENAMETOOLONG:
        return Failure::NameTooLong;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return Failure::InUse;
    case EISDIR:
        return Failure::IsFolder;
    case EIO:
        return Failure::Io;
#ifdef _WIN32
    case EINVAL: // a name with a character Windows does not allow ("?", "*", ...)
        return Failure::BadName;
#endif
    default:
        return Failure::Other;
    }
}

// Platform layer ---------------------------------------------------------------------------------
#ifdef _WIN32

Failure classify(int code) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_QUOTA_EXCEEDED:
        return Failure::DiskFull;
    case ERROR_ACCESS_DENIED:
        return Failure::Denied;
    case ERROR_WRITE_PROTECT:
        return Failure::ReadOnlyMedium;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
        return Failure::Missing;
    case ERROR_FILENAME_EXCED_RANGE:
        return Failure::NameTooLong;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return Failure::BadName;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Failure::InUse;
    case ERROR_DIRECTORY:
        return Failure::IsFolder;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
        return Failure::Io;
    default:
        return Failure::Other;
    }
}

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

// Reads at most maxBytes + 1 bytes of a regular file. Names of devices cannot be record or
// reference files on Windows (the program refuses them as IDs), so a file stream serves.
ReadOutcome readBounded(const fs::path& path, std::uintmax_t maxBytes, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return ReadOutcome::CannotOpen;
    char buffer[65536];
    while (in && bytes.size() <= maxBytes) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
    }
    return in.bad() ? ReadOutcome::Failed : ReadOutcome::Read;
}

#else

// Reads at most maxBytes + 1 bytes of a regular file. Opened without waiting (a named pipe put in
// its place opens at once instead of waiting for a writer) and refused unless what was opened is a
// regular file.
ReadOutcome readBounded(const fs::path& path, std::uintmax_t maxBytes, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ReadOutcome::CannotOpen;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return ReadOutcome::NotRegular;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (opened.st_size > 0 && static_cast<std::uintmax_t>(opened.st_size) <= maxBytes)
        bytes.reserve(static_cast<size_t>(opened.st_size));
    char buffer[65536];
    while (bytes.size() <= maxBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return ReadOutcome::Failed;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return ReadOutcome::Read;
}

Failure classify(int code) {
    return classifyErrno(code);
}

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

std::string writeFailure(const fs::path& path, const std::string& reason) {
    return "ファイル" + quoted(path) + "に書き込めません（" + reason + "）。";
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

fs::path fileInFolder(const fs::path& folder, std::string_view utf8Name) {
#if defined(_WIN32)
    return folder / fs::u8path(utf8Name.begin(), utf8Name.end());
#else
    return folder / fs::path(std::string(utf8Name)); // names on Linux are UTF-8 bytes
#endif
}

std::string pathUtf8(const fs::path& path) {
#if defined(_WIN32)
    const auto text = path.u8string(); // std::string, or std::u8string from C++20 on
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

std::string fileNameUtf8(const fs::path& path) {
    return pathUtf8(path.filename());
}

std::string fileTypeText(fs::file_type type) {
    switch (type) {
    case fs::file_type::directory:
        return "フォルダ";
    case fs::file_type::fifo:
        return "FIFO";
    case fs::file_type::block:
    case fs::file_type::character:
        return "デバイス";
    case fs::file_type::socket:
        return "ソケット";
    default:
        return "特殊なファイル";
    }
}

bool canOpenForReading(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    return in.is_open();
}

Expected<std::string> readFileBytes(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec))
        return Error{"ファイル" + quoted(path) + "が見つかりません。"};
    if (fs::is_directory(path, ec))
        return Error{quoted(path) + "はファイルではありません。"};
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return Error{"ファイル" + quoted(path) + "を開けません。"};
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        return Error{"ファイル" + quoted(path) + "を読み込めません。"};
    return buffer.str();
}

Expected<std::string> readRegularFileBytes(const fs::path& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec); // follows links
    if (status.type() == fs::file_type::not_found)
        return Error{"ファイル" + quoted(path) + "が見つかりません。"};
    if (ec)
        return Error{"ファイル" + quoted(path) + "を開けません。"};
    if (status.type() == fs::file_type::directory)
        return Error{quoted(path) + "はファイルではありません。"};
    if (status.type() != fs::file_type::regular)
        return notRegular(path);
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > maxBytes)
        return Error{"ファイル" + quoted(path) + "が大きすぎます（" + std::to_string(size) +
                     " バイト。このファイルは " + std::to_string(maxBytes) + " バイトまでです）。"};
    // Opened and checked again as opened: what the name stands for may have been replaced since
    // (by a named pipe, a link to a device), and nothing may wait for a writer or read without end.
    std::string bytes;
    switch (readBounded(path, maxBytes, bytes)) {
    case ReadOutcome::Read:
        break;
    case ReadOutcome::CannotOpen:
        return Error{"ファイル" + quoted(path) + "を開けません。"};
    case ReadOutcome::NotRegular:
        return notRegular(path);
    case ReadOutcome::Failed:
        return Error{"ファイル" + quoted(path) + "を読み込めません。"};
    }
    // The bound holds also for a file that grew since its size was taken, or tells none.
    if (bytes.size() > maxBytes)
        return Error{"ファイル" + quoted(path) + "が大きすぎます（このファイルは " +
                     std::to_string(maxBytes) + " バイトまでです）。"};
    return bytes;
}

namespace {

// Shift-JIS lead and trail bytes, to step through a line character by character.
bool isSjisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool isSjisTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// The UTF-8 of the longest run of whole characters at the start of the line that converts.
std::string convertibleStart(std::string_view line) {
    std::vector<size_t> ends; // byte offset after each character
    for (size_t i = 0; i < line.size();) {
        const bool pair = isSjisLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size() &&
                          isSjisTrail(static_cast<unsigned char>(line[i + 1]));
        i += pair ? 2 : 1;
        ends.push_back(i);
    }
    // Whether a prefix converts does not get better with length once it fails: halve the range.
    size_t good = 0;          // characters known to convert
    size_t bad = ends.size(); // a count known not to convert
    std::string best;
    while (good + 1 < bad) {
        const size_t middle = good + (bad - good) / 2;
        if (auto text = sjisToUtf8(line.substr(0, ends[middle - 1])); text.ok()) {
            good = middle;
            best = std::move(*text);
        } else {
            bad = middle;
        }
    }
    return best;
}

} // namespace

std::string sjisToUtf8MarkingUnreadable(std::string_view sjis) {
    if (auto whole = sjisToUtf8(sjis); whole.ok())
        return std::move(*whole);
    // CR and LF never occur inside a Shift-JIS character, so the text can be taken line by line.
    std::string out;
    size_t start = 0;
    while (start < sjis.size()) {
        size_t end = sjis.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = sjis.size();
        size_t next = end; // after the line end: CR LF, CR or LF
        if (next < sjis.size())
            next += sjis[next] == '\r' && next + 1 < sjis.size() && sjis[next + 1] == '\n' ? 2 : 1;
        const std::string_view line = sjis.substr(start, end - start);
        if (auto text = sjisToUtf8(line); text.ok()) {
            out += *text;
        } else {
            out += convertibleStart(line);
            out += kUnreadableMark;
        }
        out.append(sjis.data() + end, next - end);
        start = next;
    }
    return out;
}

Expected<std::string> readTextFile(const fs::path& path, std::uintmax_t maxBytes) {
    auto bytes = readRegularFileBytes(path, maxBytes);
    if (!bytes.ok())
        return bytes.error();
    auto text = sjisToUtf8(*bytes);
    if (!text.ok())
        return Error{"ファイル" + quoted(path) + "を読み込めません: " + text.error().message + "。"};
    return text;
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
        const Failure failure = classify(code);
        return Error{writeFailure(path, failure == Failure::Denied
                                            ? std::string("フォルダに書き込みできません")
                                            : fileErrorReason(code))};
    }
    const WriteFaultForTesting fault = writeFault(); // a copy: the seam may replace itself
    int code = fault ? fault(temp.path) : 0;
    if (code == 0)
        code = writeAll(temp, bytes);
    if (code == 0 && durability == Durability::Synced)
        code = syncToDisk(temp);
    if (code != 0) {
        discardTemporary(temp);
        return Error{writeFailure(path, fileErrorReason(code))};
    }
    return {};
}

} // namespace

Status writeFileAtomic(const fs::path& path, std::string_view bytes, Durability durability) {
    const Target target = inspectTarget(path);
    if (target.folder)
        return Error{writeFailure(path, "同じ名前のフォルダがあります")};
    if (target.readOnly)
        return Error{"ファイル" + quoted(path) + "は読み取り専用のため書き換えられません。"};

    TemporaryFile temp;
    if (Status written = writeTemporary(path, target, bytes, durability, temp); !written.ok())
        return written;
    if (const int failed = publish(temp, path, durability)) {
        const Failure failure = classify(failed);
        return Error{writeFailure(path, failure == Failure::Denied || failure == Failure::InUse
                                            ? std::string("ファイルが使用中か、書き込みが禁止されています")
                                            : fileErrorReason(failed))};
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
            problem = Error{writeFailure(path, "同じ名前のフォルダがあります")};
        } else if (target.readOnly) {
            problem = Error{"ファイル" + quoted(path) + "は読み取り専用のため書き換えられません。"};
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
            return Error{writeFailure(files[i].first, fileErrorReason(codes[i]))};
        }
    std::vector<fs::path> published;
    for (size_t i = 0; i < files.size(); ++i) {
        if (const int failed = publishInBatch(temps[i], files[i].first)) {
            for (size_t k = i + 1; k < files.size(); ++k)
                discardTemporary(temps[k]);
            finishBatch(published);
            return Error{writeFailure(files[i].first, fileErrorReason(failed))};
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
        return Error{writeFailure(path, fileErrorReason(failed))};
    return !existed;
}

Status writeTextLines(const fs::path& path, const std::vector<std::string>& utf8Lines,
                      Durability durability) {
    auto sjis = textLinesBytes(utf8Lines);
    if (!sjis.ok())
        return Error{"ファイル" + quoted(path) + "に書き込めません: " + sjis.error().message + "。"};
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

size_t nativeNameLength(std::string_view utf8Name) {
#ifdef _WIN32
    size_t units = 0;
    for (unsigned char c : utf8Name) {
        if ((c & 0xC0) == 0x80)
            continue;               // a continuation byte
        units += c >= 0xF0 ? 2 : 1; // four-byte sequences need a surrogate pair
    }
    return units;
#else
    return utf8Name.size();
#endif
}

size_t maxFileNameLength(const fs::path& folder) {
    constexpr size_t usual = 255;
#ifdef _WIN32
    std::error_code ec;
    const fs::path absolute = fs::absolute(folder, ec);
    wchar_t volume[MAX_PATH + 1] = {};
    DWORD maxComponent = 0;
    if (ec || !::GetVolumePathNameW(absolute.c_str(), volume, MAX_PATH + 1) ||
        !::GetVolumeInformationW(volume, nullptr, 0, nullptr, &maxComponent, nullptr, nullptr, 0) ||
        maxComponent == 0)
        return usual;
    return maxComponent;
#else
    errno = 0;
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : usual;
#endif
}

namespace {

std::string reasonOf(Failure failure, int code) {
    switch (failure) {
    case Failure::DiskFull:
        return "ディスクがいっぱいです";
    case Failure::Denied:
        return "書き込みが禁止されています";
    case Failure::ReadOnlyMedium:
        return "ドライブが書き込み禁止です";
    case Failure::Missing:
        return "フォルダが見つかりません";
    case Failure::NameTooLong:
        return "ファイル名が長すぎます";
    case Failure::BadName:
        return "名前に使えない文字があります";
    case Failure::InUse:
        return "ファイルが使用中です";
    case Failure::IsFolder:
        return "同じ名前のフォルダがあります";
    case Failure::Io:
        return "ディスクへの読み書きに失敗しました";
    case Failure::Other:
        break;
    }
    return "システムのエラー番号 " + std::to_string(code);
}

} // namespace

std::string fileErrorReason(int code) {
    return reasonOf(classify(code), code);
}

std::string fileErrorReason(const std::error_code& error) {
    if (error.category() == std::generic_category())
        return reasonOf(classifyErrno(error.value()), error.value());
    return fileErrorReason(error.value());
}

bool isDiskFull(int code) {
    return classify(code) == Failure::DiskFull;
}

void setWriteFaultForTesting(WriteFaultForTesting fault) {
    writeFault() = std::move(fault);
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

} // namespace tamso::textio
