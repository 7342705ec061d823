// What the editor host tests share: the built plug-in loaded through the test
// host, a connection of the test's own that plays the host's windowing side
// (it makes top-level parent windows, reads the window tree and injects input
// with XTEST), and bounded waits that keep the editor pumped the way a host
// does, with effEditIdle. Any X error reaching the process's handler — on our
// connection or the plug-in's — fails the test, and afterwards the handler
// must still be the test's own.
#pragma once

// Before Xlib, whose macros (KeyPress, None, Bool) would rename their names.
#include <gtest/gtest.h>

#include "host/AllocationGuard.h"
#include "host/TestHost.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xproto.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace edhost {

using testhost::HostCall;
using testhost::Instance;
using testhost::TestHost;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 524;
constexpr int kHeight = 462;

struct Area {
    int left, top, right, bottom;
    int centreX() const { return (left + right) / 2; }
    int centreY() const { return (top + bottom) / 2; }
};
constexpr Area kPowerSwitch{245, 400, 280, 435};
constexpr Area kDriveField{43, 409, 117, 427};
constexpr int32_t kPowerParameter = 8;
constexpr int32_t kDriveParameter = 1;
// The parent window's background, seen where the editor has not drawn.
constexpr uint32_t kParentColour = 0x203040;

size_t entriesIn(const char* folder);
inline size_t threadCount() { return entriesIn("/proc/self/task"); }
inline size_t descriptorCount() { return entriesIn("/proc/self/fd"); }
void sleepMs(int ms);

// Processes stereo noise in 256-frame blocks on a thread of its own until stopped.
class AudioThread {
public:
    explicit AudioThread(vst::AEffect* fx, float level = 0.5f);
    ~AudioThread() { stop(); }
    void stop();
    uint64_t blocks() const { return processed.load(); }
    // Waits (at most 5 s) until `more` further blocks have been processed.
    bool advances(uint64_t more) const;

private:
    std::atomic<bool> running{true};
    std::atomic<uint64_t> processed{0};
    std::thread worker;
};

class EditorHostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A mapped top-level window, as a host makes one to hold an editor.
    Window makeParent(int x = 100, int y = 80);
    void destroyParent(Window w);
    static void* windowId(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

    // An instance prepared to process at 44.1 kHz in 256-frame blocks and resumed.
    static void prepare(Instance& fx);
    intptr_t open(Instance& fx, Window parentWindow) { return fx.dispatch(vst::effEditOpen, 0, 0, windowId(parentWindow)); }
    static void idle(Instance& fx) { fx.dispatch(vst::effEditIdle); }
    // Calls effEditIdle at `hz` (0: never) until `done` holds or `timeoutMs` has passed.
    bool idleUntil(Instance& fx, const std::function<bool()>& done, int hz = 60, int timeoutMs = 2000);
    // Idles at `hz` for `ms`.
    void idleFor(Instance& fx, int hz, int ms);
    // Idles until the editor's window is on the screen and drawn.
    void settle(Instance& fx, Window parentWindow);

    std::vector<Window> childrenOf(Window w);
    int serverClients();
    // The window's pixels as the server holds them (0x00RRGGBB).
    std::vector<uint32_t> pixelsOf(Window w, const Area& area = {0, 0, kWidth, kHeight});

    // Input through XTEST, at coordinates of `target`.
    void moveTo(Window target, int x, int y);
    void click(Window target, int x, int y, unsigned int button = 1);
    void tap(KeySym keysym);
    KeyCode keycodeFor(KeySym keysym);

    // Automation the host received for `index`, in order.
    std::vector<HostCall> automationOf(int32_t index) const;

    TestHost host;
    Display* display = nullptr;
    std::vector<Window> parents;
    std::vector<KeyCode> remapped;

public:
    static int xErrors;
    static std::string lastError;
    static int onXError(Display*, XErrorEvent* error);
};

// An X server of a test's own (Xvfb on a free display from :200 up), which
// the test may stop, resume or kill while the editor is open on it.
class PrivateServer {
public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    bool running() const { return pid > 0; }
    const char* name() const { return display.c_str(); }
    void stop();    // SIGSTOP: it accepts connections (the kernel does) but answers nothing
    void resume();  // SIGCONT
    void kill();    // gone, its connections broken

    // A connection of the host's own to it, and a mapped window on it; the
    // connection survives the server's end quietly and is never used after.
    Display* host = nullptr;
    Window makeParent();

private:
    pid_t pid = -1;
    std::string display;
};

// Counts what every client presents to the server (PutImage and MIT-SHM's
// ShmPutImage requests) through the RECORD extension, with the areas' pixels.
class PresentCounter {
public:
    PresentCounter();
    ~PresentCounter();
    // Takes in what the server has recorded so far.
    void update();
    void reset();
    int presents = 0;
    int64_t pixels = 0;

private:
    static void intercepted(XPointer self, XRecordInterceptData* data);
    Display* control = nullptr;
    Display* data = nullptr;
    unsigned long context = 0;
    int shmOpcode = 0;
};

// Restores DISPLAY when a case has changed it.
class DisplayVariable {
public:
    DisplayVariable();
    ~DisplayVariable();
    void set(const char* value);  // null: unset

private:
    bool had = false;
    std::string saved;
};

}  // namespace edhost
