#pragma once
// The node's few calls of the operating system, kept in one place (POSIX and Windows): appending to
// a log file and waiting until the bytes are on the disk, making a folder's new names durable, the
// lock that keeps a second service off a working folder, the listening socket of the receiver, and
// the stop request of a service (SIGTERM and SIGINT on POSIX; Ctrl-C, Ctrl-Break, closing the
// console, log-off and shut-down on Windows).
//
// Every file is created readable and writable by everyone the process's umask lets in (the shipped
// unit's UMask=0007: the owner and the group), so that a screen running as another member of the
// group can append to and replace the node's files.

#include "textio/expected.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tamso::node::platform {

namespace fs = std::filesystem;

// Appends the bytes to the file (created where missing) in one write and returns once they are on
// the disk; a new file's name is made durable too. All of the bytes or none: a write cut short (a
// full disk) is taken back, so the file never ends in half a line of it. A file whose last line was
// cut (a power cut) first gets that line's end, so the new lines never continue the cut one (the
// line end is the bytes' own, CR LF or LF). A link under the file's name is refused, never followed.
// The error says why (a full disk, a link, ...).
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

// The lock of a service on its working folder: a file holding the process id, locked by the
// operating system while the process lives (a process that ended, even by kill -9 or a power cut,
// holds it no longer). lockService fails while another process holds it, naming that process.
class ServiceLock {
public:
    ServiceLock() = default;
    ~ServiceLock();
    ServiceLock(ServiceLock&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    ServiceLock& operator=(ServiceLock&&) = delete;
    ServiceLock(const ServiceLock&) = delete;

private:
    friend Expected<ServiceLock> lockService(const fs::path& lockFile);
    std::intptr_t handle_ = -1;
};
Expected<ServiceLock> lockService(const fs::path& lockFile);

// The listening TCP socket of a DICOM port (IPv4, every address) and the connections it accepts,
// as the native socket handle DCMTK takes over.
#ifdef _WIN32
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif
inline constexpr NativeSocket kNoSocket = static_cast<NativeSocket>(-1);
Expected<NativeSocket> openListeningSocket(std::uint16_t port);
// Waits up to `timeout` for a connection; kNoSocket when none came. `peer` gets its address.
NativeSocket acceptConnection(NativeSocket listener, std::chrono::milliseconds timeout, std::string& peer);
void closeSocket(NativeSocket socket);
// Waits up to `timeout` until the socket has bytes to read (or is closed); false when none came.
bool waitReadable(NativeSocket socket, std::chrono::milliseconds timeout);
// Ends the reading side of the socket: every read and wait returns at once (the end of the stream).
void stopReading(NativeSocket socket);
// What tells this socket from another that later gets the same handle (0 where the system does not
// tell): a socket whose identity is still the same is still open.
std::uint64_t socketIdentity(NativeSocket socket);
// How long one read of the socket may wait for bytes before it fails.
void setReceiveTimeout(NativeSocket socket, std::chrono::seconds timeout);

// Sets an environment variable of the process unless it is set already. Call before other threads start.
void setEnvironmentDefault(const char* name, const char* value);

// The local time now as "2024-05-01 10:15:30".
std::string localTimeText();

} // namespace tamso::node::platform
