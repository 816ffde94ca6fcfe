#include "node/nodeplatform.h"

#include "textio/fileio.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#endif

namespace tamso::node::platform {
namespace {

std::mutex stopMutex;
std::condition_variable stopChanged;
std::atomic<bool> stopFlag{false};

Error failure(const fs::path& file, int code) {
    return Error(ErrorCode::FileCannotWrite, {textio::fileNameUtf8(file), textio::fileErrorReason(code)});
}

Error linkRefused(const fs::path& file) {
    return Error(ErrorCode::NodeFileIsLink, {textio::pathUtf8(file)});
}

Error notAFile(const fs::path& file) {
    return Error(ErrorCode::NodeFileNotRegular, {textio::pathUtf8(file)});
}

// The line end that finishes a line cut short before the bytes: the bytes' own.
std::string_view lineEndOf(std::string_view bytes) {
    return bytes.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
}

Error anotherService(const fs::path& lockFile, const std::string& holder) {
    const std::string folder = textio::pathUtf8(lockFile.parent_path().parent_path());
    if (holder.empty())
        return Error(ErrorCode::NodeAlreadyRunningUnknown, {folder});
    return Error(ErrorCode::NodeAlreadyRunning, {folder, holder});
}

// "プロセス ID 1234 (tamso-node)" from the lock file's content and, where the system tells, the name.
std::string holderText(const std::string& content);

} // namespace

void requestStop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex);
        stopFlag = true;
    }
    stopChanged.notify_all();
}

bool stopRequested() {
    return stopFlag;
}

bool waitForStop(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(stopMutex);
    return stopChanged.wait_for(lock, timeout, [] { return stopFlag.load(); });
}

void clearStopRequest() {
    std::lock_guard<std::mutex> lock(stopMutex);
    stopFlag = false;
}

namespace {
std::string timeText(const std::tm& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}
} // namespace

// Platform layer ---------------------------------------------------------------------------------
#ifdef _WIN32

namespace {
Status appendBytes(const fs::path& file, std::string_view bytes, bool flush) {
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return failure(file, static_cast<int>(::GetLastError()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        ::CloseHandle(h);
        return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? linkRefused(file) : notAFile(file);
    }
    LARGE_INTEGER size{};
    ::GetFileSizeEx(h, &size);
    std::string joined;
    if (size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char c = '\n';
        DWORD got = 0;
        if (::SetFilePointerEx(h, last, nullptr, FILE_BEGIN) && ::ReadFile(h, &c, 1, &got, nullptr) && got == 1 &&
            c != '\n')
            joined = std::string(lineEndOf(bytes));
    }
    joined.append(bytes.data(), bytes.size());
    LARGE_INTEGER zero{};
    DWORD written = 0;
    BOOL ok = ::SetFilePointerEx(h, zero, nullptr, FILE_END) &&
              ::WriteFile(h, joined.data(), static_cast<DWORD>(joined.size()), &written, nullptr) &&
              written == joined.size() && (!flush || ::FlushFileBuffers(h));
    const DWORD code = ok ? 0 : ::GetLastError();
    if (!ok && ::SetFilePointerEx(h, size, nullptr, FILE_BEGIN))
        ::SetEndOfFile(h); // none of the bytes: a line is never left cut
    ::CloseHandle(h);
    // NTFS makes a new name durable with the file's own flush.
    if (!ok)
        return failure(file, static_cast<int>(code != 0 ? code : ERROR_HANDLE_DISK_FULL));
    return {};
}
} // namespace

Status appendDurably(const fs::path& file, std::string_view bytes) {
    return appendBytes(file, bytes, true);
}
Status appendLater(const fs::path& file, std::string_view bytes) {
    return appendBytes(file, bytes, false);
}

void syncFolder(const fs::path&) {} // NTFS journals names with the files' own flushes

Status renameFile(const fs::path& from, const fs::path& to) {
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return failure(to, static_cast<int>(::GetLastError()));
}

namespace {
BOOL WINAPI consoleControl(DWORD) {
    requestStop();
    return TRUE; // handled: the service stops on its own once its work is done
}
} // namespace

void installStopHandlers() {
    ::SetConsoleCtrlHandler(consoleControl, TRUE);
}

unsigned long processId() {
    return static_cast<unsigned long>(::GetCurrentProcessId());
}

std::string localTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_s(&t, &now);
    return timeText(t);
}

void setEnvironmentDefault(const char* name, const char* value) {
    size_t length = 0;
    if (::getenv_s(&length, nullptr, 0, name) == 0 && length == 0)
        ::_putenv_s(name, value);
}

#else

namespace {
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

Status appendBytes(const fs::path& file, std::string_view bytes, bool flush) {
    // 0666: the umask decides (the unit's 0007 leaves the group's write permission).
    const int fd = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return errno == ELOOP ? linkRefused(file) : failure(file, errno);
    struct stat before {};
    if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)) {
        ::close(fd);
        return notAFile(file);
    }
    // The bytes go in one write where the system allows; the appenders of a file hold its lock.
    std::string joined;
    if (before.st_size > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, before.st_size - 1) == 1 && last != '\n')
            joined = std::string(lineEndOf(bytes));
    }
    if (!joined.empty())
        joined.append(bytes.data(), bytes.size());
    int code = writeAll(fd, joined.empty() ? bytes : std::string_view(joined));
    if (code == 0 && flush && ::fdatasync(fd) != 0)
        code = errno;
    if (code != 0)
        (void)::ftruncate(fd, before.st_size); // none of the bytes: a line is never left cut
    ::close(fd);
    if (code != 0)
        return failure(file, code);
    if (before.st_size == 0 && flush)
        syncFolder(file.parent_path());
    return {};
}
} // namespace

Status appendDurably(const fs::path& file, std::string_view bytes) {
    return appendBytes(file, bytes, true);
}
Status appendLater(const fs::path& file, std::string_view bytes) {
    return appendBytes(file, bytes, false);
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

Status renameFile(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return {};
    return failure(to, errno);
}

void installStopHandlers() {
    // Every thread started from here on blocks the two signals; one thread takes them with sigwait,
    // so the stop request runs as ordinary code, never inside a signal handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a peer that goes away is an error of that write, not the end
    std::thread([signals] {
        for (;;) {
            int received = 0;
            if (sigwait(&signals, &received) == 0)
                requestStop();
        }
    }).detach();
}

unsigned long processId() {
    return static_cast<unsigned long>(::getpid());
}

std::string localTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return timeText(t);
}

void setEnvironmentDefault(const char* name, const char* value) {
    ::setenv(name, value, 0);
}

#endif

// The service's lock -----------------------------------------------------------------------------
namespace {
std::string holderText(const std::string& content) {
    std::string pid;
    for (char c : content) {
        if (c < '0' || c > '9')
            break;
        pid += c;
    }
    if (pid.empty())
        return {};
    std::string text = "プロセス ID " + pid;
#ifndef _WIN32
    // The program's name where the system tells it (Linux).
    if (auto name = textio::readRegularFileBytes("/proc/" + pid + "/comm", 256); name.ok() && !name->empty()) {
        std::string n = *name;
        while (!n.empty() && (n.back() == '\n' || n.back() == '\r'))
            n.pop_back();
        text += "、" + n;
    }
#endif
    return text;
}
} // namespace

#ifdef _WIN32

ServiceLock::~ServiceLock() {
    if (handle_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

Expected<ServiceLock> lockService(const fs::path& lockFile) {
    // Open for writing by one process at a time: the others get a sharing violation until it ends.
    HANDLE h = ::CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code != ERROR_SHARING_VIOLATION)
            return failure(lockFile, static_cast<int>(code));
        std::string content;
        HANDLE r = ::CreateFileW(lockFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (r != INVALID_HANDLE_VALUE) {
            char buffer[64] = {};
            DWORD got = 0;
            if (::ReadFile(r, buffer, sizeof buffer - 1, &got, nullptr))
                content.assign(buffer, got);
            ::CloseHandle(r);
        }
        return anotherService(lockFile, holderText(content));
    }
    const std::string pid = std::to_string(processId()) + "\r\n";
    DWORD written = 0;
    ::SetEndOfFile(h);
    ::WriteFile(h, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
    ServiceLock lock;
    lock.handle_ = reinterpret_cast<std::intptr_t>(h);
    return lock;
}

#else

ServiceLock::~ServiceLock() {
    if (handle_ != -1) {
        (void)::ftruncate(static_cast<int>(handle_), 0);
        ::close(static_cast<int>(handle_));
    }
}

Expected<ServiceLock> lockService(const fs::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return errno == ELOOP ? linkRefused(lockFile) : failure(lockFile, errno);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int code = errno;
        std::string content(64, '\0');
        const ssize_t got = ::pread(fd, content.data(), content.size(), 0);
        content.resize(got > 0 ? static_cast<size_t>(got) : 0);
        ::close(fd);
        if (code != EWOULDBLOCK)
            return failure(lockFile, code);
        return anotherService(lockFile, holderText(content));
    }
    const std::string pid = std::to_string(processId()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        const int code = errno;
        ::close(fd);
        return failure(lockFile, code);
    }
    ServiceLock lock;
    lock.handle_ = fd;
    return lock;
}

#endif
// End of the platform layer ----------------------------------------------------------------------

} // namespace tamso::node::platform
