// The editor's window through the plug-in's binary interface, as a host sees
// it: its size, where it is made, what opening and closing leave behind, a
// host that destroys its window first, and no display to open on.
#include "EditorHostFixture.h"

#include <cmath>

namespace edhost {
namespace {

void expectWindowRect(Instance& fx) {
    vst::ERect* r = nullptr;
    ASSERT_EQ(fx.dispatch(vst::effEditGetRect, 0, 0, &r), 1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->left, 0);
    EXPECT_EQ(r->top, 0);
    EXPECT_EQ(r->right - r->left, kWidth);
    EXPECT_EQ(r->bottom - r->top, kHeight);
}

// What an instance has been through before the host opens its editor.
enum class Before { nothing, prepared, suspended };

struct OpenCase {
    const char* name;
    Before before;
};

const OpenCase kOpenCases[] = {
    {"before any sample rate is set", Before::nothing},
    {"prepared and resumed", Before::prepared},
    {"after suspend", Before::suspended},
};

TEST_F(EditorHostTest, OpenMakesOneChildWindowOfTheAnsweredSizeAtTheOrigin) {
    const Window parent = makeParent();
    for (const OpenCase& c : kOpenCases) {
        SCOPED_TRACE(c.name);
        Instance fx(host);
        ASSERT_TRUE(fx);
        if (c.before != Before::nothing) prepare(fx);
        if (c.before == Before::suspended) {
            std::vector<float> in(2048, 0.25f), outL, outR;
            fx.process(in, in, outL, outR, 256);
            fx.suspend();
        }
        expectWindowRect(fx);
        ASSERT_EQ(open(fx, parent), 1);
        const auto children = childrenOf(parent);
        ASSERT_EQ(children.size(), 1u);
        XWindowAttributes a{};
        ASSERT_TRUE(XGetWindowAttributes(display, children[0], &a));
        EXPECT_EQ(a.x, 0);
        EXPECT_EQ(a.y, 0);
        EXPECT_EQ(a.width, kWidth);
        EXPECT_EQ(a.height, kHeight);
        expectWindowRect(fx);
        settle(fx, parent);
        // The window is drawn and answers a click.
        EXPECT_NE(pixelsOf(children[0], kPowerSwitch), std::vector<uint32_t>(35 * 35, kParentColour));
        const float power = fx.getParameter(kPowerParameter);
        click(children[0], kPowerSwitch.centreX(), kPowerSwitch.centreY());
        EXPECT_TRUE(idleUntil(fx, [&] { return fx.getParameter(kPowerParameter) != power; }));
        fx.dispatch(vst::effEditClose);
        XSync(display, False);
        EXPECT_TRUE(childrenOf(parent).empty());
        expectWindowRect(fx);
        host.clearCalls();
    }
}

TEST_F(EditorHostTest, CloseWithoutOpenAndOpenTwice) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    const int clients = serverClients();
    const size_t threads = threadCount();
    fx.dispatch(vst::effEditClose);  // nothing open: nothing happens
    fx.dispatch(vst::effEditIdle);
    EXPECT_EQ(serverClients(), clients);
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    ASSERT_EQ(open(fx, parent), 1);  // the first window makes way for the second
    settle(fx, parent);
    XSync(display, False);
    EXPECT_EQ(childrenOf(parent).size(), 1u);
    EXPECT_EQ(serverClients(), clients + 1);
    EXPECT_EQ(threadCount(), threads + 1);  // one idle fallback, not two
    fx.dispatch(vst::effEditClose);
    fx.dispatch(vst::effEditClose);
    XSync(display, False);
    EXPECT_TRUE(childrenOf(parent).empty());
    EXPECT_EQ(serverClients(), clients);
    EXPECT_EQ(threadCount(), threads);
}

TEST_F(EditorHostTest, AHostThatDeletesTheInstanceWithTheWindowOpenLeavesNothingBehind) {
    const Window parent = makeParent();
    const int clients = serverClients();
    const size_t threads = threadCount();
    {
        Instance fx(host);
        prepare(fx);
        ASSERT_EQ(open(fx, parent), 1);
        settle(fx, parent);
        // No idle calls: the fallback keeps the window alive, then the host
        // deletes the effect without closing the window.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        fx.close();
    }
    XSync(display, False);
    EXPECT_TRUE(childrenOf(parent).empty());
    EXPECT_EQ(serverClients(), clients);
    EXPECT_EQ(threadCount(), threads);
}

struct Counts {
    size_t descriptors, threads;
    int clients;
    bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << c.descriptors << " descriptors, " << c.threads << " threads, " << c.clients << " X clients";
}

TEST_F(EditorHostTest, FiftyOpenCloseCyclesLeaveNoConnectionDescriptorThreadOrWindow) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    const auto cycle = [&] {
        ASSERT_EQ(open(fx, parent), 1);
        settle(fx, parent);
        fx.dispatch(vst::effEditClose);
    };
    cycle();  // Xlib's one-time set-up (locale and input method tables) is not a leak
    XSync(display, False);
    const Counts before{descriptorCount(), threadCount(), serverClients()};
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        cycle();
        if (HasFatalFailure()) return;
    }
    XSync(display, False);
    EXPECT_EQ((Counts{descriptorCount(), threadCount(), serverClients()}), before);
    EXPECT_TRUE(childrenOf(parent).empty());
}

TEST_F(EditorHostTest, TwoInstancesOpenAtOnceEachOnItsOwnConnection) {
    const Window first = makeParent(40, 40);
    const Window second = makeParent(420, 200);
    Instance a(host), b(host);
    prepare(a);
    prepare(b);
    const Counts before{descriptorCount(), threadCount(), serverClients()};
    ASSERT_EQ(open(a, first), 1);
    ASSERT_EQ(open(b, second), 1);
    settle(a, first);
    settle(b, second);
    EXPECT_EQ(serverClients(), before.clients + 2);
    EXPECT_EQ(threadCount(), before.threads + 2);
    // A click in the second window changes the second instance only.
    const float powerA = a.getParameter(kPowerParameter), powerB = b.getParameter(kPowerParameter);
    click(childrenOf(second).at(0), kPowerSwitch.centreX(), kPowerSwitch.centreY());
    EXPECT_TRUE(idleUntil(b, [&] {
        idle(a);
        return b.getParameter(kPowerParameter) != powerB;
    }));
    EXPECT_EQ(a.getParameter(kPowerParameter), powerA);
    a.dispatch(vst::effEditClose);
    b.dispatch(vst::effEditClose);
    XSync(display, False);
    EXPECT_EQ((Counts{descriptorCount(), threadCount(), serverClients()}), before);
}

struct GoneCase {
    const char* name;
    int idleHz;  // how the host keeps the editor pumped after destroying its window; 0: not at all
};

const GoneCase kGoneCases[] = {
    {"host idle continues", 30},
    {"no idle: the fallback meets the destroyed window", 0},
};

TEST_F(EditorHostTest, AHostThatDestroysItsWindowBeforeCloseLeavesNothingBroken) {
    Instance fx(host);
    prepare(fx);
    AudioThread audio(fx.effect());
    const size_t threads = threadCount();
    const int clients = serverClients();
    for (const GoneCase& c : kGoneCases) {
        SCOPED_TRACE(c.name);
        const Window parent = makeParent();
        ASSERT_EQ(open(fx, parent), 1);
        settle(fx, parent);
        destroyParent(parent);
        // Long enough for the fallback to take over when the host is silent.
        idleFor(fx, c.idleHz, 400);
        fx.dispatch(vst::effEditClose);
        XSync(display, False);
        EXPECT_EQ(serverClients(), clients);
        EXPECT_EQ(threadCount(), threads);
        expectWindowRect(fx);
        EXPECT_TRUE(audio.advances(20));
    }
}

struct NoDisplayCase {
    const char* name;
    const char* display;  // null: unset
};

const NoDisplayCase kNoDisplay[] = {
    {"DISPLAY unset", nullptr},
    {"DISPLAY empty", ""},
    {"no server on the display", ":987"},
};

TEST_F(EditorHostTest, NoDisplayToOpenOnAnswersZeroAndChangesNothingElse) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    AudioThread audio(fx.effect());
    ASSERT_TRUE(audio.advances(10));
    const Counts before{descriptorCount(), threadCount(), serverClients()};
    for (const NoDisplayCase& c : kNoDisplay) {
        SCOPED_TRACE(c.name);
        host.clearCalls();
        {
            DisplayVariable restore;
            restore.set(c.display);
            EXPECT_EQ(open(fx, parent), 0);
            fx.dispatch(vst::effEditIdle);
            EXPECT_EQ(fx.dispatch(vst::effEditKeyDown, 'a', 0), 0);
            expectWindowRect(fx);
            fx.dispatch(vst::effEditClose);
        }
        XSync(display, False);
        EXPECT_TRUE(childrenOf(parent).empty());
        EXPECT_EQ((Counts{descriptorCount(), threadCount(), serverClients()}), before);
        EXPECT_TRUE(audio.advances(20)) << "the effect stopped processing";
        EXPECT_EQ(host.countCalls(vst::audioMasterAutomate), 0);
    }
    // With the display back, the same instance opens.
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    fx.dispatch(vst::effEditClose);
}

}  // namespace
}  // namespace edhost
