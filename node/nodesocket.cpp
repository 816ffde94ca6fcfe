// The platform layer's sockets (node/nodeplatform.h): the receiver's listening socket and the
// connections it accepts, on POSIX and Windows.

#include "node/nodeplatform.h"

#include <cstring>
#include <mutex>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace tamso::node::platform {
namespace {

#ifdef _WIN32
int lastSocketError() {
    return ::WSAGetLastError();
}
std::string socketErrorText(int code) {
    return "error " + std::to_string(code);
}
void startSockets() {
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
    });
}
#else
int lastSocketError() {
    return errno;
}
std::string socketErrorText(int code) {
    return std::strerror(code);
}
void startSockets() {}
#endif

} // namespace

Expected<NativeSocket> openListeningSocket(std::uint16_t port) {
    startSockets();
    const auto s = static_cast<NativeSocket>(::socket(AF_INET, SOCK_STREAM, 0));
    if (s == kNoSocket)
        return Error(ErrorCode::PortUnusable, {std::to_string(port), socketErrorText(lastSocketError())});
#ifndef _WIN32
    const int reuse = 1; // a restart binds again at once, past the old connections' TIME_WAIT
    (void)::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    (void)::fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(s, 128) != 0) {
        const int code = lastSocketError();
        closeSocket(s);
        return Error(ErrorCode::PortUnusable, {std::to_string(port), socketErrorText(code)});
    }
    return s;
}

NativeSocket acceptConnection(NativeSocket listener, std::chrono::milliseconds timeout, std::string& peer) {
#ifdef _WIN32
    WSAPOLLFD wait{};
    wait.fd = listener;
    wait.events = POLLRDNORM;
    if (::WSAPoll(&wait, 1, static_cast<INT>(timeout.count())) <= 0)
        return kNoSocket;
#else
    pollfd wait{};
    wait.fd = listener;
    wait.events = POLLIN;
    if (::poll(&wait, 1, static_cast<int>(timeout.count())) <= 0)
        return kNoSocket;
#endif
    sockaddr_in from{};
#ifdef _WIN32
    int length = sizeof from;
#else
    socklen_t length = sizeof from;
#endif
    const auto s = static_cast<NativeSocket>(::accept(listener, reinterpret_cast<sockaddr*>(&from), &length));
    if (s == kNoSocket)
        return kNoSocket;
#ifndef _WIN32
    (void)::fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
    char text[INET_ADDRSTRLEN] = {};
    peer = ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text) ? text : "?";
    return s;
}

void closeSocket(NativeSocket socket) {
#ifdef _WIN32
    ::closesocket(socket);
#else
    ::close(socket);
#endif
}

bool waitReadable(NativeSocket socket, std::chrono::milliseconds timeout) {
#ifdef _WIN32
    WSAPOLLFD wait{};
    wait.fd = socket;
    wait.events = POLLRDNORM;
    return ::WSAPoll(&wait, 1, static_cast<INT>(timeout.count())) > 0;
#else
    pollfd wait{};
    wait.fd = socket;
    wait.events = POLLIN;
    return ::poll(&wait, 1, static_cast<int>(timeout.count())) > 0;
#endif
}

void stopReading(NativeSocket socket) {
#ifdef _WIN32
    ::shutdown(socket, SD_RECEIVE);
#else
    ::shutdown(socket, SHUT_RD);
#endif
}

std::uint64_t socketIdentity(NativeSocket socket) {
#ifdef _WIN32
    static_cast<void>(socket);
    return 0;
#else
    struct stat status {};
    if (::fstat(socket, &status) != 0 || !S_ISSOCK(status.st_mode))
        return 0;
    return static_cast<std::uint64_t>(status.st_ino);
#endif
}

void setReceiveTimeout(NativeSocket socket, std::chrono::seconds timeout) {
#ifdef _WIN32
    const DWORD milliseconds = static_cast<DWORD>(timeout.count() * 1000);
    (void)::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds),
                       sizeof milliseconds);
#else
    timeval value{};
    value.tv_sec = static_cast<time_t>(timeout.count());
    (void)::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
#endif
}

} // namespace tamso::node::platform
