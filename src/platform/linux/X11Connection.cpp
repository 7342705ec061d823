#include "X11Connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace vexal::platform {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// A non-blocking connect that gives up at `end`; -1 when it did not connect.
int connectBy(int family, const sockaddr* address, socklen_t length, Clock::time_point end) {
    const int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, address, length) == 0) return fd;
    if (errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        if (poll(&p, 1, remainingMs(end)) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
            error == 0)
            return fd;
    }
    close(fd);
    return -1;
}

int connectLocal(int number, Clock::time_point end) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // The abstract name first, as Xlib tries it, then the file.
    const int n = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "/tmp/.X11-unix/X%d", number);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
    int fd = connectBy(AF_UNIX, reinterpret_cast<sockaddr*>(&address), length, end);
    if (fd >= 0) return fd;
    std::memmove(address.sun_path, address.sun_path + 1, static_cast<size_t>(n) + 1);
    return connectBy(AF_UNIX, reinterpret_cast<sockaddr*>(&address), length - 1, end);
}

int connectRemote(const std::string& host, int number, Clock::time_point end) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(6000 + number);
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0 && remainingMs(end) > 0; a = a->ai_next)
        fd = connectBy(a->ai_family, a->ai_addr, a->ai_addrlen, end);
    freeaddrinfo(found);
    return fd;
}

}  // namespace

bool serverAnswers(const char* name, int timeoutMs) {
    // [protocol/][host]:display[.screen]
    std::string text = name ? name : "";
    std::string protocol;
    if (const auto slash = text.find('/'); slash != std::string::npos && slash < text.rfind(':')) {
        protocol = text.substr(0, slash);
        text.erase(0, slash + 1);
    }
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || text.empty() || text[0] == '/') return true;
    const std::string host = text.substr(0, colon);
    char* after = nullptr;
    const long number = std::strtol(text.c_str() + colon + 1, &after, 10);
    if (after == text.c_str() + colon + 1 || number < 0 || number > 59535 || host.find(':') != std::string::npos)
        return true;  // IPv6 and DECnet forms: left to Xlib
    const bool local = (host.empty() || host == "unix") && (protocol.empty() || protocol == "unix");
    if (!local && !(protocol.empty() || protocol == "tcp" || protocol == "inet" || protocol == "inet6"))
        return true;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int fd = local ? connectLocal(static_cast<int>(number), end)
                         : connectRemote(host, static_cast<int>(number), end);
    // Nothing to connect to: Xlib fails at once and says why.
    if (fd < 0) return remainingMs(end) > 0;
    // A connection set-up without authorisation: any answer, even a refusal,
    // shows a live server; a stopped one accepts (the kernel does) but never answers.
    const unsigned char setup[12] = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    bool answered = false;
    if (send(fd, setup, sizeof setup, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof setup)) {
        pollfd p{fd, POLLIN, 0};
        answered = poll(&p, 1, remainingMs(end)) == 1;
    }
    close(fd);
    return answered;
}

std::unique_ptr<X11Connection> X11Connection::open(const char* name) {
    if (!serverAnswers(name, kAnswerTimeoutMs)) return nullptr;
    Display* display = XOpenDisplay(name);
    if (!display) return nullptr;
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::X11Connection(Display* display) : xlib(display), connection(XGetXCBConnection(display)) {
    XSetIOErrorExitHandler(xlib, &X11Connection::ioErrorExit, this);
}

namespace {
// Displays whose server went away: Xlib cannot close them without meeting the
// error again, so they stay here, reachable, for the life of the process
// (never destroyed, not even at exit). Made only when a server goes away, so
// a library that never lost one leaves nothing behind when it is unloaded.
std::mutex abandonedMutex;
std::vector<Display*>* abandoned = nullptr;
}  // namespace

X11Connection::~X11Connection() {
    if (alive()) {
        XCloseDisplay(xlib);
        return;
    }
    // The socket alone is given back; nothing reads the Display again.
    close(ConnectionNumber(xlib));
    std::lock_guard<std::mutex> lock(abandonedMutex);
    if (!abandoned) abandoned = new std::vector<Display*>;
    abandoned->push_back(xlib);
}

void X11Connection::ioErrorExit(Display*, void* self) {
    // Returning (instead of the default exit) lets the Xlib call return; the
    // connection is never used again.
    static_cast<X11Connection*>(self)->lost = true;
}

bool X11Connection::usable() {
    if (!lost && xcb_connection_has_error(connection)) lost = true;
    return !lost;
}

bool X11Connection::alive() {
    if (!usable()) return false;
    char byte = 0;
    const ssize_t n = recv(ConnectionNumber(xlib), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) lost = true;
    return !lost;
}

X11Result X11Connection::check(xcb_void_cookie_t cookie) {
    X11Result result;
    if (!usable()) {
        result.error = 255;
        return result;
    }
    if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
        result.error = error->error_code;
        result.resource = error->resource_id;
        std::free(error);
    } else if (!usable()) {
        result.error = 255;
    }
    return result;
}

bool X11Connection::replied(const void* reply, xcb_generic_error_t* error) {
    std::free(error);
    return reply != nullptr && usable();
}

}  // namespace vexal::platform
