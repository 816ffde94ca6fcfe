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
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#endif

namespace tamso::node::platform {
namespace {

std::mutex stopMutex;
std::condition_variable stopChanged;
std::atomic<bool> stopFlag{false};

std::string failure(const fs::path& file, int code) {
    return "ファイル「" + textio::fileNameUtf8(file) + "」に書き込めません（" +
           textio::fileErrorReason(code) + "）。";
}

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
    HANDLE h =
        ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Error{failure(file, static_cast<int>(::GetLastError()))};
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && (!flush || ::FlushFileBuffers(h));
    const DWORD code = ok ? 0 : ::GetLastError();
    ::CloseHandle(h);
    // NTFS makes a new name durable with the file's own flush.
    if (!ok)
        return Error{failure(file, static_cast<int>(code))};
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
    return Error{failure(to, static_cast<int>(::GetLastError()))};
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
Status appendBytes(const fs::path& file, std::string_view bytes, bool flush) {
    struct stat before {};
    const bool existed = ::stat(file.c_str(), &before) == 0;
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Error{failure(file, errno)};
    int code = 0;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            code = n < 0 ? errno : EIO;
            break;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    if (code == 0 && flush && ::fdatasync(fd) != 0)
        code = errno;
    ::close(fd);
    if (code != 0)
        return Error{failure(file, code)};
    if (!existed && flush)
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
    return Error{failure(to, errno)};
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
// End of the platform layer ----------------------------------------------------------------------

} // namespace tamso::node::platform
