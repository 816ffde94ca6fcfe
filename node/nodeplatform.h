#pragma once
// The node's few calls of the operating system, kept in one place (POSIX and Windows): appending to
// a log file and waiting until the bytes are on the disk, making a folder's new names durable, and
// the stop request of a service (SIGTERM and SIGINT on POSIX; Ctrl-C, Ctrl-Break, closing the
// console, log-off and shut-down on Windows).

#include "textio/expected.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace tamso::node::platform {

namespace fs = std::filesystem;

// Appends the bytes to the file (created where missing) in one write and returns once they are on
// the disk; a new file's name is made durable too. The error says why (a full disk, ...).
Status appendDurably(const fs::path& file, std::string_view bytes);
// The same without waiting for the disk (for a file that catches up by itself after a power cut).
Status appendLater(const fs::path& file, std::string_view bytes);

// Waits until the folder's entries (names created, renamed or removed in it) are on the disk.
void syncFolder(const fs::path& folder);

// Renames a file within one file system, replacing what has the new name.
Status renameFile(const fs::path& from, const fs::path& to);

// The stop request. installStopHandlers() routes the system's stop signals to requestStop(); call
// it before any other thread starts (on POSIX the signals are then taken by one thread of its own).
void installStopHandlers();
void requestStop();
bool stopRequested();
// Waits up to `timeout` for a stop request; true when one came.
bool waitForStop(std::chrono::milliseconds timeout);
// Forgets a stop request (for a program, or a test, that runs a service more than once).
void clearStopRequest();

// The running process's id, for unique file names.
unsigned long processId();

// Sets an environment variable of the process unless it is set already. Call before other threads start.
void setEnvironmentDefault(const char* name, const char* value);

// The local time now as "2024-05-01 10:15:30".
std::string localTimeText();

} // namespace tamso::node::platform
