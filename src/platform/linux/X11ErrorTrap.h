// Catches the X errors of one Display connection for the length of a scope.
//
// The host owns the process's X error handler, so ours is installed only
// while we make requests that may fail on a window the host destroyed, and
// every such scope ends with XSync: no reply of ours can reach the host's
// handler afterwards. Errors of other connections (the host's own) that
// arrive meanwhile go on to the handler that was installed before us.
// Scopes may overlap across threads and displays; the handler is installed
// by the first and restored by the last.
#pragma once

#include "X11Headers.h"

namespace vexal::platform {

class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    // Synchronises with the server, then removes the handler.
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits for every request made so far and answers whether any failed.
    bool sync();
    bool failed() const { return errorCount != 0; }
    // True when an error named `window` as a bad window or drawable.
    bool windowFailed(Window window) const { return window != 0 && lostWindow == window; }

private:
    friend struct X11ErrorTrapList;
    void record(const XErrorEvent& error);

    Display* display;
    X11ErrorTrap* next = nullptr;
    int errorCount = 0;
    XID lostWindow = 0;
};

}  // namespace vexal::platform
