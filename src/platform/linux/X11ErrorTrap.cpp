#include "X11ErrorTrap.h"

#include <mutex>

namespace vexal::platform {

// The open scopes of all threads; the handler finds the scope of the
// connection an error belongs to.
struct X11ErrorTrapList {
    std::mutex mutex;
    X11ErrorTrap* head = nullptr;
    XErrorHandler previous = nullptr;

    static int handle(Display* display, XErrorEvent* error);
};

namespace {
X11ErrorTrapList traps;
}  // namespace

int X11ErrorTrapList::handle(Display* display, XErrorEvent* error) {
    XErrorHandler forward = nullptr;
    {
        std::lock_guard lock(traps.mutex);
        for (X11ErrorTrap* trap = traps.head; trap; trap = trap->next) {
            if (trap->display == display) {
                trap->record(*error);
                return 0;
            }
        }
        forward = traps.previous;
    }
    return forward ? forward(display, error) : 0;
}

X11ErrorTrap::X11ErrorTrap(Display* d) : display(d) {
    std::lock_guard lock(traps.mutex);
    if (!traps.head) traps.previous = XSetErrorHandler(&X11ErrorTrapList::handle);
    next = traps.head;
    traps.head = this;
}

X11ErrorTrap::~X11ErrorTrap() {
    XSync(display, False);
    std::lock_guard lock(traps.mutex);
    X11ErrorTrap** link = &traps.head;
    while (*link != this) link = &(*link)->next;
    *link = next;
    if (traps.head) return;
    XErrorHandler current = XSetErrorHandler(traps.previous);
    // Someone installed a handler of their own while ours was in place: keep theirs.
    if (current != &X11ErrorTrapList::handle) XSetErrorHandler(current);
    traps.previous = nullptr;
}

bool X11ErrorTrap::sync() {
    XSync(display, False);
    return failed();
}

void X11ErrorTrap::record(const XErrorEvent& error) {
    ++errorCount;
    if (error.error_code == BadWindow || error.error_code == BadDrawable)
        lostWindow = error.resourceid;
}

}  // namespace vexal::platform
