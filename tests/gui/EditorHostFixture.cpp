#include "EditorHostFixture.h"

#include <X11/extensions/XRes.h>
#include <X11/extensions/record.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
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

// --- a server of the test's own ---------------------------------------------------------------

namespace {
void quietExit(Display*, void*) {}

std::string lockFile(const std::string& display) { return "/tmp/.X" + display.substr(1) + "-lock"; }

long lockOwner(const std::string& display) {
    long owner = 0;
    if (std::FILE* lock = std::fopen(lockFile(display).c_str(), "r")) {
        if (std::fscanf(lock, "%ld", &owner) != 1) owner = 0;
        std::fclose(lock);
    }
    return owner;
}

// A lock file whose server is gone (killed servers leave theirs behind) is removed.
bool displayInUse(const std::string& display) {
    if (access(lockFile(display).c_str(), F_OK) != 0) return false;
    const long owner = lockOwner(display);
    if (owner > 0 && (::kill(pid_t(owner), 0) == 0 || errno != ESRCH)) return true;
    std::remove(lockFile(display).c_str());
    std::remove(("/tmp/.X11-unix/X" + display.substr(1)).c_str());
    return false;
}
}  // namespace

PrivateServer::PrivateServer() {
    for (int n = 200; n < 260 && pid < 0; ++n) {
        display = ":" + std::to_string(n);
        if (displayInUse(display)) continue;
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
        std::string screen = "800x600x24";
        const char* argv[] = {"Xvfb", display.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                              "-noreset", nullptr};
        pid_t child = -1;
        const int spawned = posix_spawnp(&child, "Xvfb", &files, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&files);
        if (spawned != 0) return;
        // Up to 5 s to answer; another server may have taken the number first.
        for (int i = 0; i < 500 && !host; ++i) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) break;
            // The server answering must be ours: another run may have taken the number first.
            if (lockOwner(display) == child) host = XOpenDisplay(display.c_str());
            if (!host) sleepMs(10);
        }
        if (host) {
            pid = child;
            XSetIOErrorExitHandler(host, quietExit, nullptr);
        } else {
            ::kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }
}

PrivateServer::~PrivateServer() {
    if (pid > 0 && host) {
        XCloseDisplay(host);
    } else if (host) {
        // Its server is gone: the connection cannot be closed through Xlib.
        static auto* lost = new std::vector<Display*>;  // reachable until the very end
        close(ConnectionNumber(host));
        lost->push_back(host);
    }
    kill();
}

void PrivateServer::stop() {
    if (pid > 0) ::kill(pid, SIGSTOP);
}

void PrivateServer::resume() {
    if (pid > 0) ::kill(pid, SIGCONT);
}

void PrivateServer::kill() {
    if (pid <= 0) return;
    ::kill(pid, SIGCONT);
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
    displayInUse(display);  // what the killed server could not remove
}

Window PrivateServer::makeParent() {
    XSetWindowAttributes attributes{};
    attributes.event_mask = StructureNotifyMask;
    attributes.background_pixel = kParentColour;
    const Window w = XCreateWindow(host, DefaultRootWindow(host), 20, 20, 600, 500, 0, CopyFromParent,
                                   InputOutput, CopyFromParent, CWEventMask | CWBackPixel, &attributes);
    XMapWindow(host, w);
    const auto end = Clock::now() + std::chrono::seconds(2);
    XEvent ev;
    while (Clock::now() < end && !XCheckTypedWindowEvent(host, w, MapNotify, &ev)) sleepMs(1);
    return w;
}

// --- presents as the server sees them ---------------------------------------------------------

PresentCounter::PresentCounter() {
    control = XOpenDisplay(nullptr);
    data = XOpenDisplay(nullptr);
    if (!control || !data) return;
    int event = 0, error = 0;
    XQueryExtension(control, "MIT-SHM", &shmOpcode, &event, &error);
    XRecordRange* range = XRecordAllocRange();
    range->core_requests.first = range->core_requests.last = X_PutImage;
    if (shmOpcode) {
        range->ext_requests.ext_major.first = range->ext_requests.ext_major.last = static_cast<unsigned char>(shmOpcode);
        range->ext_requests.ext_minor.first = range->ext_requests.ext_minor.last = 3;  // X_ShmPutImage
    }
    XRecordClientSpec clients = XRecordAllClients;
    context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(control, False);
    XRecordEnableContextAsync(data, context, &PresentCounter::intercepted, reinterpret_cast<XPointer>(this));
}

PresentCounter::~PresentCounter() {
    if (control && context) {
        XRecordDisableContext(control, context);
        XSync(control, False);
        update();
        XRecordFreeContext(control, context);
    }
    if (data) XCloseDisplay(data);
    if (control) XCloseDisplay(control);
}

void PresentCounter::update() {
    if (!data) return;
    XSync(control, False);
    XRecordProcessReplies(data);
}

void PresentCounter::reset() {
    update();
    presents = 0;
    pixels = 0;
}

void PresentCounter::intercepted(XPointer self, XRecordInterceptData* d) {
    auto* counter = reinterpret_cast<PresentCounter*>(self);
    if (d->category == XRecordFromClient && d->data && d->data_len >= 6) {
        const unsigned char* request = d->data;
        uint16_t width = 0, height = 0;
        // PutImage: width and height at 12; ShmPutImage: the area's at 20; a
        // big request (length 0) has four bytes more of length before them.
        const bool big = request[2] == 0 && request[3] == 0;
        const size_t at = (request[0] == X_PutImage ? 12 : 20) + (big ? 4 : 0);
        std::memcpy(&width, request + at, 2);
        std::memcpy(&height, request + at + 2, 2);
        if (d->client_swapped) {
            width = uint16_t(width << 8 | width >> 8);
            height = uint16_t(height << 8 | height >> 8);
        }
        ++counter->presents;
        counter->pixels += int64_t(width) * height;
    }
    XRecordFreeData(d);
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
