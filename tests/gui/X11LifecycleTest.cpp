// Opening and closing: a host that destroys its window first, many editors
// opened and closed in a row, and no display to open on. Nothing may reach
// the process's X error handler (the fixture fails the test if it does).
#include "X11Fixture.h"

#include "platform/linux/X11WindowSystem.h"

#include <X11/extensions/XRes.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace x11test {
namespace {

using namespace vexal::platform;

size_t entriesIn(const char* folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

// Shared memory segments this process created and that still exist.
size_t ownSegments() {
    std::ifstream table("/proc/sysvipc/shm");
    std::string line;
    std::getline(table, line);  // header
    size_t n = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        long key = 0, id = 0, perms = 0, size = 0, cpid = 0;
        fields >> key >> id >> perms >> size >> cpid;
        if (cpid == getpid()) ++n;
    }
    return n;
}

int serverClients(Display* display) {
    int count = 0;
    XResClient* clients = nullptr;
    XResQueryClients(display, &count, &clients);
    XFree(clients);
    return count;
}

unsigned int childrenOf(Display* display, Window window) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    if (children) XFree(children);
    return count;
}

enum class FirstCall { pump, present, focus };

struct GoneCase {
    const char* name;
    FirstCall first;
};

const GoneCase kGone[] = {
    {"pumped first", FirstCall::pump},
    {"presented first", FirstCall::present},
    {"focused first", FirstCall::focus},
};

TEST_F(X11Test, AHostThatDestroysItsWindowFirstLeavesAWindowThatIsGoneQuietly) {
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4, 0x40);
    for (const GoneCase& c : kGone) {
        SCOPED_TRACE(c.name);
        const Window hostWindow = makeParent();
        auto window = openChild(hostWindow);
        ASSERT_TRUE(window);
        Recorder recorder;
        settle(*window, recorder);
        XDestroyWindow(host, hostWindow);
        XSync(host, False);
        switch (c.first) {
            case FirstCall::pump: break;
            case FirstCall::present: window->present(pixels.data(), kWidth * 4, {0, 0, kWidth, kHeight}); break;
            case FirstCall::focus: window->takeKeyboardFocus(); break;
        }
        EXPECT_FALSE(pumpUntil(*window, recorder, [] { return false; }));
        // Gone, it is left alone: every call is harmless.
        EXPECT_FALSE(window->pumpEvents(recorder));
        window->present(pixels.data(), kWidth * 4, {0, 0, kWidth, kHeight});
        window->takeKeyboardFocus();
        window->returnKeyboardFocus();
        window.reset();
        if (hostWindow == parent) parent = 0;
    }
}

TEST_F(X11Test, FiftyOpenAndCloseCyclesLeaveNoConnectionDescriptorThreadSegmentOrWindow) {
    makeParent();
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4, 0x80);
    const auto cycle = [&] {
        auto window = openChild(parent);
        ASSERT_TRUE(window);
        Recorder recorder;
        settle(*window, recorder);
        window->present(pixels.data(), kWidth * 4, {0, 0, kWidth, kHeight});
        window->takeKeyboardFocus();
        window->returnKeyboardFocus();
    };
    cycle();  // Xlib's one-time set-up (locale and input method tables) is not a leak
    XSync(host, False);
    const size_t fds = entriesIn("/proc/self/fd");
    const size_t threads = entriesIn("/proc/self/task");
    const size_t segments = ownSegments();
    const int clients = serverClients(host);
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        cycle();
        if (HasFatalFailure()) return;
    }
    XSync(host, False);
    EXPECT_EQ(entriesIn("/proc/self/fd"), fds);
    EXPECT_EQ(entriesIn("/proc/self/task"), threads);
    EXPECT_EQ(ownSegments(), segments);
    EXPECT_EQ(serverClients(host), clients);
    EXPECT_EQ(childrenOf(host, parent), 0u);
}

TEST_F(X11Test, TwoWindowsOpenAtOnceEachOnItsOwnConnection) {
    makeParent();
    const int clients = serverClients(host);
    auto a = openChild(parent);
    ASSERT_TRUE(a);
    Recorder ra, rb;
    settle(*a, ra);
    const Window second = makeParent(24, 300, 200);
    auto b = openChild(second);
    ASSERT_TRUE(b);
    EXPECT_EQ(serverClients(host), clients + 2);
    settle(*b, rb);
    click(b->xWindow(), 7, 9, 1);
    ASSERT_TRUE(pumpUntil(*b, rb, [&] { return rb.count(Recorded::Kind::up) == 1; }));
    EXPECT_TRUE(a->pumpEvents(ra));
    EXPECT_EQ(ra.count(Recorded::Kind::down), 0u);
    a.reset();
    b.reset();
    XDestroyWindow(host, second);
    XSync(host, False);
    EXPECT_EQ(serverClients(host), clients);
}

int handlerOfTheCase(Display*, XErrorEvent*) {
    ++X11Test::xErrors;
    return 0;
}

TEST_F(X11Test, OurFailedRequestsNeverReachNorReplaceTheProcesssErrorHandler) {
    makeParent();
    const XErrorHandler fixtures = XSetErrorHandler(handlerOfTheCase);
    Recorder recorder;
    auto window = openChild(parent);
    ASSERT_TRUE(window);
    settle(*window, recorder);
    // From here every request of ours fails: the window went with its parent.
    XDestroyWindow(host, parent);
    XSync(host, False);
    parent = 0;
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4, 0x40);
    window->present(pixels.data(), kWidth * 4, {0, 0, kWidth, kHeight});
    window->takeKeyboardFocus();
    window->returnKeyboardFocus();
    EXPECT_FALSE(window->pumpEvents(recorder));
    window.reset();
    XSync(host, False);
    EXPECT_EQ(XSetErrorHandler(fixtures), &handlerOfTheCase) << "the handler was replaced";
}

// Restores DISPLAY when a case has changed it.
class DisplayVariable {
public:
    DisplayVariable() {
        if (const char* d = std::getenv("DISPLAY")) saved = d;
    }
    ~DisplayVariable() {
        if (saved)
            setenv("DISPLAY", saved->c_str(), 1);
        else
            unsetenv("DISPLAY");
    }

private:
    std::optional<std::string> saved;
};

TEST_F(X11Test, NoWindowWithoutADisplayOrAUsableParent) {
    makeParent();
    const Window destroyed = XCreateSimpleWindow(host, parent, 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(host, destroyed);
    XSetWindowAttributes attributes{};
    const Window inputOnly = XCreateWindow(host, parent, 0, 0, 10, 10, 0, 0, InputOnly, CopyFromParent, 0, &attributes);
    XSync(host, False);
    const auto id = [](Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); };
    const size_t fds = entriesIn("/proc/self/fd");
    const int clients = serverClients(host);

    struct Case {
        const char* name;
        const char* display;  // null: unset
        void* parentId;
        int32_t width;
    } cases[] = {
        {"DISPLAY unset", nullptr, id(parent), kWidth},
        {"DISPLAY empty", "", id(parent), kWidth},
        {"no server on the display", ":987", id(parent), kWidth},
        {"parent 0", std::getenv("DISPLAY"), nullptr, kWidth},
        {"parent destroyed", std::getenv("DISPLAY"), id(destroyed), kWidth},
        {"parent input-only", std::getenv("DISPLAY"), id(inputOnly), kWidth},
        {"zero width", std::getenv("DISPLAY"), id(parent), 0},
    };
    const std::string display = std::getenv("DISPLAY");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DisplayVariable restore;
        if (c.display)
            setenv("DISPLAY", std::string(c.display) == display ? display.c_str() : c.display, 1);
        else
            unsetenv("DISPLAY");
        EXPECT_EQ(linuxWindowSystem().openWindow(c.parentId, c.width, kHeight), nullptr);
    }
    XSync(host, False);
    EXPECT_EQ(entriesIn("/proc/self/fd"), fds);
    EXPECT_EQ(serverClients(host), clients);
    EXPECT_EQ(childrenOf(host, parent), 1u);  // the input-only window
    // And through the same interface, with all in order, a window opens.
    EXPECT_NE(linuxWindowSystem().openWindow(id(parent), kWidth, kHeight), nullptr);
}

}  // namespace
}  // namespace x11test
