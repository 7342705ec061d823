#include "EditorHostFixture.h"

#include <X11/extensions/XRes.h>
#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

namespace edhost {

int EditorHostTest::xErrors = 0;
std::string EditorHostTest::lastError;

size_t entriesIn(const char* folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

void sleepMs(int ms) {
    timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

// --- audio -------------------------------------------------------------------------------------

AudioThread::AudioThread(vst::AEffect* fx, float level)
    : worker([this, fx, level] {
          constexpr int32_t kBlock = 256;
          std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
          std::mt19937 rng(7);
          std::uniform_real_distribution<float> noise(-level, level);
          while (running.load()) {
              for (int32_t i = 0; i < kBlock; ++i) {
                  inL[size_t(i)] = noise(rng);
                  inR[size_t(i)] = noise(rng);
              }
              float* ins[2] = {inL.data(), inR.data()};
              float* outs[2] = {outL.data(), outR.data()};
              fx->processReplacing(fx, ins, outs, kBlock);
              ++processed;
          }
      }) {}

void AudioThread::stop() {
    running = false;
    if (worker.joinable()) worker.join();
}

bool AudioThread::advances(uint64_t more) const {
    const uint64_t target = processed.load() + more;
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (processed.load() < target) {
        if (Clock::now() > end) return false;
        sleepMs(1);
    }
    return true;
}

// --- the fixture -------------------------------------------------------------------------------

int EditorHostTest::onXError(Display*, XErrorEvent* error) {
    ++xErrors;
    std::ostringstream text;
    text << "X error reached the process's handler: code " << int(error->error_code) << ", request "
         << int(error->request_code) << ", resource 0x" << std::hex << error->resourceid;
    lastError = text.str();
    return 0;
}

void EditorHostTest::SetUp() {
    ASSERT_TRUE(host.loaded()) << "the plug-in did not load";
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X server: run the tests through tests/gui/run-xvfb.sh";
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor));
    xErrors = 0;
    lastError.clear();
    XSetErrorHandler(onXError);
    // The pointer starts away from where any test's window will be.
    XTestFakeMotionEvent(display, -1, 1000, 760, 0);
    XSync(display, False);
}

void EditorHostTest::TearDown() {
    if (!display) return;
    for (KeyCode code : remapped) {
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display, code, 1, &none, 1);
    }
    for (Window w : parents) XDestroyWindow(display, w);
    XSync(display, False);
    // The plug-in may only have put a handler in place for the length of its own calls.
    EXPECT_EQ(XSetErrorHandler(onXError), &EditorHostTest::onXError) << "the X error handler was replaced";
    XCloseDisplay(display);
    EXPECT_EQ(xErrors, 0) << lastError;
}

Window EditorHostTest::makeParent(int x, int y) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = StructureNotifyMask;
    attributes.background_pixel = kParentColour;
    const Window w = XCreateWindow(display, DefaultRootWindow(display), x, y, 600, 500, 0, CopyFromParent,
                                   InputOutput, CopyFromParent, CWEventMask | CWBackPixel, &attributes);
    XMapWindow(display, w);
    const auto end = Clock::now() + std::chrono::seconds(2);
    XEvent ev;
    while (Clock::now() < end && !XCheckTypedWindowEvent(display, w, MapNotify, &ev)) sleepMs(1);
    parents.push_back(w);
    return w;
}

void EditorHostTest::destroyParent(Window w) {
    XDestroyWindow(display, w);
    XSync(display, False);
    std::erase(parents, w);
}

void EditorHostTest::prepare(Instance& fx) {
    fx.setSampleRate(44100.0f);
    fx.setBlockSize(256);
    fx.resume();
}

bool EditorHostTest::idleUntil(Instance& fx, const std::function<bool()>& done, int hz, int timeoutMs) {
    XSync(display, False);
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto period = std::chrono::microseconds(hz > 0 ? 1000000 / hz : 5000);
    auto next = Clock::now();
    while (true) {
        if (hz > 0) idle(fx);
        if (done()) return true;
        if (Clock::now() > end) return false;
        next += period;
        std::this_thread::sleep_until(next);
    }
}

void EditorHostTest::idleFor(Instance& fx, int hz, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    idleUntil(fx, [&] { return Clock::now() >= end; }, hz, ms + 1000);
}

void EditorHostTest::settle(Instance& fx, Window parentWindow) {
    // Mapped, drawn, presented: the window's middle is no longer the parent's background.
    idleUntil(fx, [&] {
        const auto children = childrenOf(parentWindow);
        if (children.size() != 1) return false;
        XWindowAttributes a{};
        return XGetWindowAttributes(display, children[0], &a) && a.map_state == IsViewable &&
               pixelsOf(children[0], {kWidth / 2, kHeight / 2, kWidth / 2 + 1, kHeight / 2 + 1})[0] != kParentColour;
    });
}

std::vector<Window> EditorHostTest::childrenOf(Window w) {
    Window root = 0, up = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> found;
    if (XQueryTree(display, w, &root, &up, &children, &count) && children) {
        found.assign(children, children + count);
        XFree(children);
    }
    return found;
}

int EditorHostTest::serverClients() {
    int count = 0;
    XResClient* clients = nullptr;
    XResQueryClients(display, &count, &clients);
    XFree(clients);
    return count;
}

std::vector<uint32_t> EditorHostTest::pixelsOf(Window w, const Area& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<uint32_t> pixels(size_t(width) * size_t(height), 0);
    XImage* image = XGetImage(display, w, area.left, area.top, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * size_t(width) + size_t(x)] = uint32_t(XGetPixel(image, x, y)) & 0xFFFFFFu;
    XDestroyImage(image);
    return pixels;
}

void EditorHostTest::moveTo(Window target, int x, int y) {
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, target, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, 0);
}

void EditorHostTest::click(Window target, int x, int y, unsigned int button) {
    moveTo(target, x, y);
    XTestFakeButtonEvent(display, button, True, 0);
    XTestFakeButtonEvent(display, button, False, 0);
    XSync(display, False);
}

void EditorHostTest::tap(KeySym keysym) {
    const KeyCode code = keycodeFor(keysym);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
    XSync(display, False);
}

KeyCode EditorHostTest::keycodeFor(KeySym keysym) {
    if (KeyCode code = XKeysymToKeycode(display, keysym)) return code;
    // Not in the server's keymap: an empty keycode is given the symbol.
    int low = 0, high = 0, perCode = 0;
    XDisplayKeycodes(display, &low, &high);
    KeySym* map = XGetKeyboardMapping(display, KeyCode(low), high - low + 1, &perCode);
    KeyCode free = 0;
    for (int code = high; code >= low && !free; --code) {
        bool empty = true;
        for (int i = 0; i < perCode; ++i) empty = empty && map[(code - low) * perCode + i] == NoSymbol;
        if (empty) free = KeyCode(code);
    }
    XFree(map);
    if (!free) return 0;
    KeySym syms[2] = {keysym, keysym};
    XChangeKeyboardMapping(display, free, 2, syms, 1);
    XSync(display, False);
    remapped.push_back(free);
    return free;
}

std::vector<HostCall> EditorHostTest::automationOf(int32_t index) const {
    std::vector<HostCall> found;
    for (const HostCall& c : host.calls())
        if (c.opcode == vst::audioMasterAutomate && c.index == index) found.push_back(c);
    return found;
}

// --- DISPLAY ------------------------------------------------------------------------------------

DisplayVariable::DisplayVariable() {
    if (const char* d = std::getenv("DISPLAY")) {
        had = true;
        saved = d;
    }
}

DisplayVariable::~DisplayVariable() { set(had ? saved.c_str() : nullptr); }

void DisplayVariable::set(const char* value) {
    if (value)
        setenv("DISPLAY", value, 1);
    else
        unsetenv("DISPLAY");
}

}  // namespace edhost
