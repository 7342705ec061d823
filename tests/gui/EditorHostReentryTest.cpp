// A host that calls back into us from inside our callbacks, on whichever
// thread we made them: closing the editor, closing and reopening it, or
// deleting the effect. Which thread every callback comes from. And a window
// the host hides draws and presents nothing.
#include "EditorHostFixture.h"

#include <optional>

namespace edhost {
namespace {

enum class Action { close, reopen, remove };
enum class Pumped { byHostIdle, byFallback };

struct ReentryCase {
    const char* name;
    int32_t opcode;  // the callback inside which the host acts
    Pumped pumped;
    Action action;
};

constexpr int32_t kAutomate = vst::audioMasterAutomate;
constexpr int32_t kBegin = vst::audioMasterBeginEdit;
constexpr int32_t kEnd = vst::audioMasterEndEdit;
constexpr int32_t kUpdate = vst::audioMasterUpdateDisplay;
constexpr Area kDriveKnob{52, 349, 108, 404};

const ReentryCase kReentry[] = {
    {"automate, host idle: close", kAutomate, Pumped::byHostIdle, Action::close},
    {"automate, host idle: close and reopen", kAutomate, Pumped::byHostIdle, Action::reopen},
    {"automate, host idle: delete", kAutomate, Pumped::byHostIdle, Action::remove},
    {"automate, fallback thread: close", kAutomate, Pumped::byFallback, Action::close},
    {"automate, fallback thread: close and reopen", kAutomate, Pumped::byFallback, Action::reopen},
    {"automate, fallback thread: delete", kAutomate, Pumped::byFallback, Action::remove},
    {"begin edit, host idle: close and reopen", kBegin, Pumped::byHostIdle, Action::reopen},
    {"begin edit, host idle: delete", kBegin, Pumped::byHostIdle, Action::remove},
    {"end edit, host idle: close", kEnd, Pumped::byHostIdle, Action::close},
    {"end edit, after the fallback: close and reopen", kEnd, Pumped::byFallback, Action::reopen},
    {"end edit, after the fallback: delete", kEnd, Pumped::byFallback, Action::remove},
    {"update display, host idle: close and reopen", kUpdate, Pumped::byHostIdle, Action::reopen},
    {"update display, after the fallback: delete", kUpdate, Pumped::byFallback, Action::remove},
};

struct Counts {
    size_t descriptors, threads;
    int clients;
    bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << c.descriptors << " descriptors, " << c.threads << " threads, " << c.clients << " X clients";
}

TEST_F(EditorHostTest, AHostThatClosesReopensOrDeletesUsFromInsideACallbackLeavesNothingBroken) {
    const Window parent = makeParent();
    const auto counts = [&] {
        XSync(display, False);
        return Counts{descriptorCount(), threadCount(), serverClients()};
    };
    {
        Instance warm(host);  // Xlib's one-time set-up is not a leak
        ASSERT_EQ(open(warm, parent), 1);
        settle(warm, parent);
    }
    const Counts before = counts();
    for (const ReentryCase& c : kReentry) {
        SCOPED_TRACE(c.name);
        std::optional<Instance> fx(std::in_place, host);
        prepare(*fx);
        ASSERT_EQ(open(*fx, parent), 1);
        settle(*fx, parent);
        vst::AEffect* const effect = fx->effect();
        std::atomic<bool> fired{false}, acted{false}, deleted{false};
        std::atomic<intptr_t> reopened{-1};
        host.hook = [&](vst::AEffect* e, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t&) {
            if (e != effect || opcode != c.opcode || fired.exchange(true)) return false;
            effect->dispatcher(effect, vst::effEditIdle, 0, 0, nullptr, 0.0f);  // hosts do: ignored inside our pump
            switch (c.action) {
                case Action::close: effect->dispatcher(effect, vst::effEditClose, 0, 0, nullptr, 0.0f); break;
                case Action::reopen:
                    effect->dispatcher(effect, vst::effEditClose, 0, 0, nullptr, 0.0f);
                    reopened = effect->dispatcher(effect, vst::effEditOpen, 0, 0, windowId(parent), 0.0f);
                    break;
                case Action::remove:
                    effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
                    deleted = true;
                    break;
            }
            acted = true;
            return false;
        };
        int hz = c.pumped == Pumped::byHostIdle ? 60 : 0;
        if (hz == 0) std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the fallback takes over
        const Window editor = childrenOf(parent).at(0);
        if (c.opcode == kUpdate)
            click(editor, 362, 453);  // the rocker: the next program
        else if (c.opcode == kAutomate)
            click(editor, kPowerSwitch.centreX(), kPowerSwitch.centreY());
        else
            click(editor, kDriveKnob.centreX(), kDriveKnob.centreY());  // a gesture without a change
        if (hz == 0 && c.opcode != kAutomate) {
            // Made on the fallback thread, the callback waits for the host's next call.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_FALSE(fired.load()) << "delivered from our thread";
            hz = 60;
        }
        ASSERT_TRUE(idleUntil(*fx, [&] { return acted.load(); }, hz, 5000)) << "the callback never came";
        if (deleted) fx->forgetEffect();
        XSync(display, False);
        switch (c.action) {
            case Action::close:
                EXPECT_TRUE(childrenOf(parent).empty()) << "closed, yet on the screen";
                idleFor(*fx, hz, 150);
                EXPECT_TRUE(childrenOf(parent).empty());
                break;
            case Action::reopen:
                EXPECT_EQ(reopened.load(), 1);
                EXPECT_TRUE(idleUntil(*fx, [&] {
                    const auto now = childrenOf(parent);
                    return now.size() == 1 &&
                           pixelsOf(now[0], {kWidth / 2, kHeight / 2, kWidth / 2 + 1, kHeight / 2 + 1})[0] != kParentColour;
                }, hz, 5000)) << "reopened, yet not one drawn window on the screen";
                break;
            case Action::remove:
                EXPECT_TRUE(deleted.load());
                EXPECT_TRUE(childrenOf(parent).empty());
                break;
        }
        host.hook = nullptr;
        fx.reset();
        // The fallback thread of a deleted effect ends by itself, just after.
        const auto end = Clock::now() + std::chrono::seconds(2);
        while (counts() != before && Clock::now() < end) sleepMs(5);
        EXPECT_EQ(counts(), before);
        host.clearCalls();
    }
}

TEST_F(EditorHostTest, OnlyAutomationComesFromOurThreadAndEveryGestureIsBalanced) {
    const Window parent = makeParent();
    for (const bool closeFirst : {false, true}) {
        SCOPED_TRACE(closeFirst ? "the host closes before idling again" : "the host idles again");
        Instance fx(host);
        prepare(fx);
        ASSERT_EQ(open(fx, parent), 1);
        settle(fx, parent);
        const Window editor = childrenOf(parent).at(0);
        const auto ui = std::this_thread::get_id();
        host.clearCalls();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the host falls silent
        // A click on Power (no gesture) and a drag of Drive, both handled by the fallback thread.
        const auto handled = [&](int32_t parameter) {
            return idleUntil(fx, [&] { return !automationOf(parameter).empty(); }, 0, 5000);
        };
        click(editor, kPowerSwitch.centreX(), kPowerSwitch.centreY());
        ASSERT_TRUE(handled(kPowerParameter)) << "the fallback did not handle the click";
        moveTo(editor, 80, 376);
        XTestFakeButtonEvent(display, 1, True, 0);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        moveTo(editor, 80, 330);
        XSync(display, False);
        ASSERT_TRUE(handled(kDriveParameter)) << "the fallback did not handle the drag";
        XTestFakeButtonEvent(display, 1, False, 0);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(host.countCalls(kBegin), 0) << "a gesture reached the host from our thread";
        if (closeFirst)
            fx.dispatch(vst::effEditClose);
        else
            idleFor(fx, 60, 100);
        int open = 0;
        for (const HostCall& call : host.calls()) {
            if (call.opcode != kAutomate)
                EXPECT_EQ(call.thread, ui) << "callback " << call.opcode << " from a thread of ours";
            if (call.opcode == kBegin) ++open;
            if (call.opcode == kEnd) {
                --open;
                EXPECT_GE(open, 0) << "an end without its beginning";
            }
        }
        EXPECT_EQ(open, 0) << "gestures left open at the host";
        EXPECT_EQ(host.countCalls(kBegin), 1) << "the drag's gesture was not delivered";
        fx.dispatch(vst::effEditClose);
    }
}

enum class Hiding { parentUnmapped, covered };

struct HiddenCase {
    const char* name;
    Hiding how;
};

const HiddenCase kHidden[] = {
    {"the host unmaps its window", Hiding::parentUnmapped},
    {"another window covers it entirely", Hiding::covered},
};

TEST_F(EditorHostTest, AHiddenWindowPresentsNothingAndAWholePictureWhenShownAgain) {
    PresentCounter presents;
    // Idles at 30 Hz for `ms` while the drive changes each time: something to draw at every idle.
    const auto changingFor = [&](Instance& fx, int ms) {
        int round = 0;
        idleUntil(fx, [&] {
            fx.setParameter(kDriveParameter, (++round % 2) ? 0.3f : 0.6f);
            return round * 33 >= ms;
        }, 30, ms + 1000);
    };
    for (const HiddenCase& c : kHidden) {
        SCOPED_TRACE(c.name);
        const Window parent = makeParent();
        Instance fx(host);
        prepare(fx);
        AudioThread audio(fx.effect());
        ASSERT_EQ(open(fx, parent), 1);
        settle(fx, parent);
        presents.reset();
        changingFor(fx, 300);
        presents.update();
        ASSERT_GT(presents.presents, 5) << "nothing to see";
        Window cover = 0;
        if (c.how == Hiding::parentUnmapped) {
            XUnmapWindow(display, parent);
        } else {
            XSetWindowAttributes a{};
            a.override_redirect = True;
            a.background_pixel = 0;
            cover = XCreateWindow(display, DefaultRootWindow(display), 50, 50, 800, 700, 0, CopyFromParent,
                                  InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
            XMapRaised(display, cover);
        }
        XSync(display, False);
        idleFor(fx, 30, 400);  // time to notice
        presents.reset();
        changingFor(fx, 500);
        presents.update();
        EXPECT_EQ(presents.presents, 0) << "presented while hidden";
        if (c.how == Hiding::parentUnmapped)
            XMapWindow(display, parent);
        else
            XDestroyWindow(display, cover);
        XSync(display, False);
        presents.reset();
        EXPECT_TRUE(idleUntil(fx, [&] {
            presents.update();
            return presents.pixels >= int64_t(kWidth) * kHeight;
        }, 30, 3000)) << "no whole picture when shown again";
        fx.dispatch(vst::effEditClose);
        destroyParent(parent);
    }
}

}  // namespace
}  // namespace edhost
