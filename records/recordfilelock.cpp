#include "records/recordfilelock.h"

#include "textio/fileio.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace tamso::records {
namespace {

// Platform layer: process id, host name and exclusive creation.
long processId() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

std::string hostName() {
#ifdef _WIN32
    const char* name = std::getenv("COMPUTERNAME");
    return name ? name : "unknown";
#else
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return "unknown";
    return buffer;
#endif
}

// Creates the file only if it does not exist ("wx": exclusive create, also on network drives that
// honour O_EXCL / CREATE_NEW) and writes the content. False when it exists or cannot be created.
bool createExclusive(const fs::path& path, const std::string& content) {
#ifdef _WIN32
    std::FILE* f = _wfopen(path.c_str(), L"wbx");
#else
    std::FILE* f = std::fopen(path.c_str(), "wbx");
#endif
    if (!f)
        return false;
    const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::error_code ignored;
        fs::remove(path, ignored);
        return false;
    }
    return true;
}

std::string readAll(const fs::path& path) {
    auto bytes = textio::readFileBytes(path);
    return bytes ? *bytes : std::string();
}

std::string newToken() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    std::ostringstream token;
    token << "host=" << hostName() << "\r\npid=" << processId()
          << "\r\ntime=" << static_cast<long long>(std::time(nullptr)) << "\r\nmark=" << std::hex << rd()
          << '-' << rd() << '-' << counter++ << "\r\n";
    return token.str();
}

// Whether an existing lock file is older than the stale age (by its modification time).
bool isStale(const fs::path& lock, std::chrono::milliseconds staleAge) {
    std::error_code ec;
    const auto written = fs::last_write_time(lock, ec);
    if (ec)
        return false;
    return fs::file_time_type::clock::now() - written > staleAge;
}

} // namespace

fs::path lockFileFor(const fs::path& recordFile) {
    fs::path lock = recordFile;
    lock += ".lock";
    return lock;
}

RecordFileLock::~RecordFileLock() {
    release();
}

RecordFileLock::Outcome RecordFileLock::acquire(const fs::path& recordFile,
                                                const RecordLockOptions& options) {
    release();
    error_.clear();
    lockFile_ = lockFileFor(recordFile);
    token_ = newToken();
    const auto deadline = std::chrono::steady_clock::now() + options.wait;
    for (;;) {
        if (createExclusive(lockFile_, token_)) {
            held_ = true;
            return Outcome::Acquired;
        }
        std::error_code ec;
        if (!fs::exists(lockFile_, ec)) {
            // Not there, yet not creatable: it may have been removed in between; try once more.
            if (createExclusive(lockFile_, token_)) {
                held_ = true;
                return Outcome::Acquired;
            }
            if (!fs::exists(lockFile_, ec)) {
                error_ = "ファイル「" + textio::fileNameUtf8(recordFile) +
                         "」に書き込めません（作業フォルダに書き込みできません）。";
                return Outcome::Failed;
            }
        }
        if (isStale(lockFile_, options.staleAge)) {
            // Left by a program that ended while saving. Move it aside under a unique name first, so
            // that of two savers breaking it at once only one removes it.
            fs::path aside = lockFile_;
            aside += ".stale-" + std::to_string(processId()) + "-" + std::to_string(std::rand());
            fs::rename(lockFile_, aside, ec);
            if (!ec) {
                fs::remove(aside, ec);
                continue;
            }
            // It cannot be moved (a read-only folder): wait like for a live holder.
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return Outcome::Busy;
        std::this_thread::sleep_for(options.poll);
    }
}

bool RecordFileLock::stillHeld() const {
    return held_ && readAll(lockFile_) == token_;
}

void RecordFileLock::release() {
    if (!held_)
        return;
    held_ = false;
    // Remove only our own lock: if it was broken and taken over, the new holder keeps it.
    if (readAll(lockFile_) == token_) {
        std::error_code ignored;
        fs::remove(lockFile_, ignored);
    }
}

} // namespace tamso::records
