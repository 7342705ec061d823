#include "X11Fixture.h"

#include <time.h>

#include <chrono>
#include <sstream>

namespace x11test {

int X11Test::xErrors = 0;

namespace {

std::string lastError;

int countErrors(Display*, XErrorEvent* error) {
    ++X11Test::xErrors;
    std::ostringstream text;
    text << "X error reached the process's handler: code " << int(error->error_code) << ", request "
         << int(error->request_code) << ", resource 0x" << std::hex << error->resourceid;
    lastError = text.str();
    return 0;
}

void sleepMs(int ms) {
    timespec pause{0, ms * 1000000L};
    nanosleep(&pause, nullptr);
}

}  // namespace

std::vector<Recorded> Recorder::of(Recorded::Kind kind) const {
    std::vector<Recorded> found;
    for (const Recorded& r : events)
        if (r.kind == kind) found.push_back(r);
    return found;
}

void X11Test::SetUp() {
    host = XOpenDisplay(nullptr);
    ASSERT_NE(host, nullptr) << "no X server: run the tests through tests/gui/run-xvfb.sh";
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(host, &event, &error, &major, &minor));
    xErrors = 0;
    XSetErrorHandler(countErrors);
    // The pointer starts away from where any test's window will be.
    XTestFakeMotionEvent(host, -1, 1000, 760, 0);
    XSync(host, False);
}

void X11Test::TearDown() {
    if (!host) return;
    // Unmapped keycodes go back to their empty state.
    for (KeyCode code : remapped) {
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(host, code, 1, &none, 1);
    }
    if (parent) XDestroyWindow(host, parent);
    XSync(host, False);
    XCloseDisplay(host);
    EXPECT_EQ(xErrors, 0) << lastError;
}

Window X11Test::makeParent(int depth, int x, int y) {
    const int screen = DefaultScreen(host);
    XVisualInfo info{};
    XSetWindowAttributes attributes{};
    unsigned long mask = CWEventMask | CWBackPixel | CWBorderPixel;
    attributes.event_mask = StructureNotifyMask;
    Visual* visual = CopyFromParent;
    int windowDepth = CopyFromParent;
    if (depth != DefaultDepth(host, screen)) {
        EXPECT_TRUE(XMatchVisualInfo(host, screen, depth, TrueColor, &info)) << "no visual of depth " << depth;
        visual = info.visual;
        windowDepth = depth;
        attributes.colormap = XCreateColormap(host, RootWindow(host, screen), visual, AllocNone);
        mask |= CWColormap;
    }
    Window w = XCreateWindow(host, RootWindow(host, screen), x, y, 600, 500, 0, windowDepth, InputOutput,
                             visual, mask, &attributes);
    XMapWindow(host, w);
    // Up to 2 s for the server to map it.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    XEvent event;
    while (std::chrono::steady_clock::now() < end) {
        if (XCheckTypedWindowEvent(host, w, MapNotify, &event)) break;
        sleepMs(1);
    }
    if (!parent) parent = w;
    return w;
}

std::unique_ptr<vexal::platform::X11Window> X11Test::openChild(Window parentWindow, bool sharedMemory,
                                                              bool inputMethod) {
    vexal::platform::X11Options options;
    options.sharedMemory = sharedMemory;
    options.inputMethod = inputMethod;
    return vexal::platform::X11Window::open(options, parentWindow, kWidth, kHeight);
}

bool X11Test::serverHasSharedMemory() const {
    return XShmQueryExtension(host);
}

bool X11Test::pumpUntil(vexal::platform::NativeWindow& window, Recorder& recorder,
                        const std::function<bool()>& done) {
    XSync(host, False);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (true) {
        if (!window.pumpEvents(recorder)) return false;
        if (done() || std::chrono::steady_clock::now() > end) return true;
        sleepMs(1);
    }
}

void X11Test::settle(vexal::platform::NativeWindow& window, Recorder& recorder) {
    pumpUntil(window, recorder, [&] { return recorder.count(Recorded::Kind::exposed) > 0; });
    recorder.clear();
}

void X11Test::moveTo(Window target, int x, int y) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(host, target, DefaultRootWindow(host), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(host, -1, rootX, rootY, 0);
}

void X11Test::button(unsigned int number, bool press, unsigned long delayMs) {
    XTestFakeButtonEvent(host, number, press ? True : False, delayMs);
}

void X11Test::click(Window target, int x, int y, unsigned int number) {
    moveTo(target, x, y);
    button(number, true);
    button(number, false);
    XSync(host, False);
}

void X11Test::key(KeySym keysym, bool press) {
    XTestFakeKeyEvent(host, keycodeFor(keysym), press ? True : False, 0);
}

KeyCode X11Test::keycodeFor(KeySym keysym, KeySym shifted) {
    if (KeyCode code = XKeysymToKeycode(host, keysym)) return code;
    int low = 0, high = 0, perCode = 0;
    XDisplayKeycodes(host, &low, &high);
    KeySym* map = XGetKeyboardMapping(host, static_cast<KeyCode>(low), high - low + 1, &perCode);
    KeyCode free = 0;
    for (int code = high; code >= low && !free; --code) {
        bool empty = true;
        for (int i = 0; i < perCode; ++i) empty = empty && map[(code - low) * perCode + i] == NoSymbol;
        if (empty) free = static_cast<KeyCode>(code);
    }
    XFree(map);
    if (!free) return 0;
    KeySym syms[2] = {keysym, shifted == NoSymbol ? keysym : shifted};
    XChangeKeyboardMapping(host, free, 2, syms, 1);
    XSync(host, False);
    remapped.push_back(free);
    return free;
}

}  // namespace x11test
