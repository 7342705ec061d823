// The editor's own connection to the X server, made to live inside someone
// else's process:
// - opened only after the server has answered a connection set-up within
//   kAnswerTimeoutMs, so a stopped server cannot hold the host in XOpenDisplay;
// - a server gone away must never be found by Xlib: its I/O error path calls
//   the process's I/O error handler, and Xlib's default one ends the process.
//   So each use of the connection begins by looking at the socket (alive());
//   once the server has closed it the connection is lost and nothing is
//   called on it again, not even XCloseDisplay (its socket is closed, the
//   Display itself kept for the process's life: a small leak). Should Xlib
//   meet the error first anyway, our exit handler returns instead of ending
//   the process (when the host's I/O handler does);
// - requests that may fail are made through XCB as checked requests, so their
//   errors come back to the caller and never reach the process's X error
//   handler, which belongs to the host.
#pragma once

#include "X11Headers.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <memory>

namespace vexal::platform {

// What a checked request answered: error code 0 when it succeeded.
struct X11Result {
    uint8_t error = 0;
    uint32_t resource = 0;  // the id the error names
    bool failed() const { return error != 0; }
    bool lostWindow(uint32_t window) const {
        return window != 0 && resource == window && (error == BadWindow || error == BadDrawable);
    }
};

class X11Connection {
public:
    static constexpr int kAnswerTimeoutMs = 1500;

    // Null when `name` names no server that answers in time, or opening fails.
    static std::unique_ptr<X11Connection> open(const char* name);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const { return xlib; }
    xcb_connection_t* xcb() const { return connection; }
    // False once an I/O error has been seen: make no further call of any kind.
    bool usable();
    // usable(), after looking whether the server has closed the connection:
    // at the start of each use, before any Xlib call.
    bool alive();
    // Waits for a checked request (a round trip) and answers its error.
    X11Result check(xcb_void_cookie_t cookie);
    // Frees a reply's error, noting an I/O failure; answers whether there was a reply.
    bool replied(const void* reply, xcb_generic_error_t* error);

private:
    explicit X11Connection(Display* display);
    static void ioErrorExit(Display* display, void* self);

    Display* xlib;
    xcb_connection_t* connection;
    bool lost = false;
};

// Whether the X server of a display name accepts a connection and answers its
// set-up within `timeoutMs`. Names it cannot parse are left to Xlib (true).
bool serverAnswers(const char* name, int timeoutMs);

}  // namespace vexal::platform
