// Input through the window, as a user gives it: clicks injected with XTEST
// reach the host as automation, and keys reach a value field exactly once,
// whether they come as X events, as effEditKeyDown from the host, or both.
#include "EditorHostFixture.h"

#include <X11/keysym.h>

namespace edhost {
namespace {

// The host's virtual key numbers.
constexpr intptr_t kVirtualBack = 1;
constexpr intptr_t kVirtualReturn = 4;

TEST_F(EditorHostTest, AClickOnPowerReachesTheHostAsAutomationOfParameter8) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    const Window editor = childrenOf(parent).at(0);
    // Twice: off and on again (or on and off).
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const float before = fx.getParameter(kPowerParameter);
        const float expected = before >= 0.5f ? 0.25f : 0.75f;
        host.clearCalls();
        click(editor, kPowerSwitch.centreX(), kPowerSwitch.centreY());
        ASSERT_TRUE(idleUntil(fx, [&] { return !automationOf(kPowerParameter).empty(); }));
        idleFor(fx, 60, 50);
        const auto automation = automationOf(kPowerParameter);
        ASSERT_EQ(automation.size(), 1u);
        EXPECT_EQ(automation[0].opt, expected);
        EXPECT_EQ(automation[0].thread, std::this_thread::get_id());
        EXPECT_EQ(fx.getParameter(kPowerParameter), expected);
        EXPECT_EQ(host.countCalls(vst::audioMasterAutomate), 1) << "no other parameter moved";
    }
    fx.dispatch(vst::effEditClose);
}

// How each key reaches the editor.
enum class Route { window, host, bothHostFirst, bothWindowFirst };

struct KeyCase {
    const char* name;
    Route route;
};

const KeyCase kKeyCases[] = {
    {"X events", Route::window},
    {"effEditKeyDown", Route::host},
    {"both, the host's first", Route::bothHostFirst},
    {"both, the X event first", Route::bothWindowFirst},
};

struct Key {
    KeySym keysym;
    char character;
    intptr_t virtualKey;
};

TEST_F(EditorHostTest, KeysReachTheDriveFieldExactlyOnceWhicheverWayTheyCome) {
    const Window parent = makeParent();
    const Key backspace{XK_BackSpace, 8, kVirtualBack};
    const Key typed[] = {{XK_minus, '-', 0}, {XK_3, '3', 0}, {XK_period, '.', 0}, {XK_5, '5', 0},
                         {XK_Return, 13, kVirtualReturn}};
    const float expected = (-3.5f + 24.0f) / 48.0f;
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.name);
        Instance fx(host);
        prepare(fx);
        ASSERT_EQ(open(fx, parent), 1);
        settle(fx, parent);
        const Window editor = childrenOf(parent).at(0);
        // No field has the focus: the host keeps its keys.
        EXPECT_EQ(fx.dispatch(vst::effEditKeyDown, '3', 0), 0);
        EXPECT_EQ(fx.dispatch(vst::effEditKeyUp, '3', 0), 0);
        host.clearCalls();
        click(editor, kDriveField.centreX(), kDriveField.centreY());
        ASSERT_TRUE(idleUntil(fx, [&] { return fx.dispatch(vst::effEditKeyUp, 0, 0) == 1; }))
            << "the field did not start editing";
        // effEditKeyDown answers 1 while the field edits; the X event's Return
        // has closed it before the host's copy of that Return comes.
        std::vector<intptr_t> answers, expectedAnswers;
        const auto press = [&](const Key& k) {
            const auto fromHost = [&] {
                answers.push_back(fx.dispatch(vst::effEditKeyDown, k.character, k.virtualKey));
                expectedAnswers.push_back(c.route == Route::bothWindowFirst && k.keysym == XK_Return ? 0 : 1);
            };
            switch (c.route) {
                case Route::window: tap(k.keysym); break;
                case Route::host: fromHost(); break;
                case Route::bothHostFirst: fromHost(); tap(k.keysym); break;
                case Route::bothWindowFirst: tap(k.keysym); idle(fx); fromHost(); break;
            }
            idle(fx);
        };
        // The field shows the current text with the caret at its end.
        for (int i = 0; i < 12; ++i) press(backspace);
        for (const Key& k : typed) press(k);
        ASSERT_TRUE(idleUntil(fx, [&] { return !automationOf(kDriveParameter).empty(); }));
        idleFor(fx, 60, 100);
        const auto automation = automationOf(kDriveParameter);
        ASSERT_EQ(automation.size(), 1u);
        EXPECT_FLOAT_EQ(automation[0].opt, expected);
        EXPECT_FLOAT_EQ(fx.getParameter(kDriveParameter), expected);
        EXPECT_EQ(answers, expectedAnswers);
        // Enter committed: the focus is back with the host.
        EXPECT_EQ(fx.dispatch(vst::effEditKeyDown, '3', 0), 0);
        EXPECT_EQ(fx.dispatch(vst::effEditKeyUp, '3', 0), 0);
        fx.dispatch(vst::effEditClose);
    }
}

}  // namespace
}  // namespace edhost

namespace edhost {
namespace {

TEST_F(EditorHostTest, AClickOnTheRockersRightHalfSelectsTheNextProgram) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    const std::string second = fx.stringRequest(vst::effGetProgramNameIndexed, 1);
    ASSERT_FALSE(second.empty());
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    const Window editor = childrenOf(parent).at(0);
    host.clearCalls();
    click(editor, 362, 453);  // the next-program half of the rocker (340, 447, 370, 460)
    ASSERT_TRUE(idleUntil(fx, [&] { return host.countCalls(vst::audioMasterUpdateDisplay) > 0; }));
    EXPECT_EQ(fx.stringRequest(vst::effGetProgramName), second);
    fx.dispatch(vst::effEditClose);
}

}  // namespace
}  // namespace edhost

namespace edhost {
namespace {

Window focusHolder(Display* display) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

TEST_F(EditorHostTest, EnterAndEscapeGiveTheKeyboardBackToTheWindowThatHadIt) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    const Window editor = childrenOf(parent).at(0);
    struct Case {
        const char* name;
        KeySym key;
        bool holderGone;  // the window that had the keyboard is destroyed meanwhile
    } const cases[] = {
        {"Enter", XK_Return, false},
        {"Escape", XK_Escape, false},
        {"Enter, the holder gone", XK_Return, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The host's own window (not the plug-in's parent) has the keyboard.
        const Window holder = makeParent(700, 60);
        XSetInputFocus(display, holder, RevertToParent, CurrentTime);
        XSync(display, False);
        ASSERT_EQ(focusHolder(display), holder);
        click(editor, kDriveField.centreX(), kDriveField.centreY());
        ASSERT_TRUE(idleUntil(fx, [&] { return fx.dispatch(vst::effEditKeyUp, 0, 0) == 1; }));
        EXPECT_EQ(focusHolder(display), editor) << "the field took the keyboard";
        if (c.holderGone) destroyParent(holder);
        tap(c.key);
        const Window expected = c.holderGone ? parent : holder;
        EXPECT_TRUE(idleUntil(fx, [&] { return focusHolder(display) == expected; }))
            << "focus is with 0x" << std::hex << focusHolder(display);
        EXPECT_EQ(fx.dispatch(vst::effEditKeyUp, 0, 0), 0);
        if (!c.holderGone) destroyParent(holder);
    }
    fx.dispatch(vst::effEditClose);
}

TEST_F(EditorHostTest, RightAndMiddleClicksOnAValueFieldLeaveItUnfocused) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    const Window editor = childrenOf(parent).at(0);
    for (unsigned int button : {3u, 2u}) {
        click(editor, kDriveField.centreX(), kDriveField.centreY(), button);
        idleFor(fx, 60, 150);
        EXPECT_EQ(fx.dispatch(vst::effEditKeyUp, 0, 0), 0) << "button " << button;
        EXPECT_EQ(fx.dispatch(vst::effEditKeyDown, '3', 0), 0);
        EXPECT_NE(focusHolder(display), editor);
    }
    fx.dispatch(vst::effEditClose);
}

}  // namespace
}  // namespace edhost
