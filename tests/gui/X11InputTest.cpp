// Input injected with XTEST reaches the window as the toolkit's events:
// coordinates, button and modifier bits, double clicks, wheel, motion, keys.
#include "X11Fixture.h"

namespace x11test {
namespace {

using namespace vexal::platform;
using Kind = Recorded::Kind;

struct ClickCase {
    const char* name;
    unsigned int button;
    KeySym modifier;  // held during the click, NoSymbol for none
    int x, y;
    uint32_t bits;
};

const ClickCase kClicks[] = {
    {"left", 1, NoSymbol, 10, 20, kInputLeft},
    {"middle", 2, NoSymbol, 523, 461, kInputMiddle},
    {"right", 3, NoSymbol, 300, 200, kInputRight},
    {"shift-left", 1, XK_Shift_L, 0, 0, kInputLeft | kInputShift},
    {"control-left", 1, XK_Control_L, 100, 400, kInputLeft | kInputControl},
    {"alt-right", 3, XK_Alt_L, 250, 50, kInputRight | kInputAlt},
};

TEST_F(X11Test, ClicksArriveAtTheirPositionWithButtonAndModifierBits) {
    makeParent();
    auto window = openChild(parent);
    ASSERT_TRUE(window);
    Recorder recorder;
    settle(*window, recorder);
    for (const ClickCase& c : kClicks) {
        SCOPED_TRACE(c.name);
        recorder.clear();
        if (c.modifier != NoSymbol) key(c.modifier, true);
        click(window->xWindow(), c.x, c.y, c.button);
        if (c.modifier != NoSymbol) key(c.modifier, false);
        ASSERT_TRUE(pumpUntil(*window, recorder, [&] { return recorder.count(Kind::up) == 1; }));
        const auto downs = recorder.of(Kind::down);
        const auto ups = recorder.of(Kind::up);
        ASSERT_EQ(downs.size(), 1u);
        ASSERT_EQ(ups.size(), 1u);
        EXPECT_EQ(downs[0].x, c.x);
        EXPECT_EQ(downs[0].y, c.y);
        EXPECT_EQ(downs[0].buttons, c.bits);
        EXPECT_EQ(ups[0].x, c.x);
        EXPECT_EQ(ups[0].y, c.y);
        EXPECT_EQ(ups[0].buttons, c.bits);
    }
}

struct DoubleClickCase {
    const char* name;
    unsigned int secondButton;
    int dx, dy;               // second press relative to the first
    unsigned long delayMs;    // server-side delay before the second press
    bool isDouble;
};

const DoubleClickCase kDoubleClicks[] = {
    {"same place", 1, 0, 0, 0, true},
    {"4 pixels away", 1, 4, -4, 0, true},
    {"5 pixels away", 1, 5, 0, 0, false},
    {"other button", 3, 0, 0, 0, false},
    {"after 450 ms", 1, 0, 0, 450, false},
};

TEST_F(X11Test, DoubleClickIsTwoPressesOfOneButtonWithin400MsAnd4Pixels) {
    makeParent();
    auto window = openChild(parent);
    ASSERT_TRUE(window);
    Recorder recorder;
    settle(*window, recorder);
    int row = 0;
    for (const DoubleClickCase& c : kDoubleClicks) {
        SCOPED_TRACE(c.name);
        recorder.clear();
        // Each case far from the last, so no case pairs with the one before.
        const int x = 40 + 90 * row++, y = 100;
        click(window->xWindow(), x, y, 1);
        moveTo(window->xWindow(), x + c.dx, y + c.dy);
        button(c.secondButton, true, c.delayMs);
        button(c.secondButton, false);
        XSync(host, False);
        ASSERT_TRUE(pumpUntil(*window, recorder, [&] { return recorder.count(Kind::up) == 2; }));
        const auto downs = recorder.of(Kind::down);
        ASSERT_EQ(downs.size(), 2u);
        EXPECT_EQ(downs[0].buttons & kInputDoubleClick, 0u);
        EXPECT_EQ((downs[1].buttons & kInputDoubleClick) != 0, c.isDouble);
    }
    // A third press right after a double click starts anew.
    recorder.clear();
    for (int i = 0; i < 3; ++i) click(window->xWindow(), 300, 300, 1);
    ASSERT_TRUE(pumpUntil(*window, recorder, [&] { return recorder.count(Kind::up) == 3; }));
    const auto downs = recorder.of(Kind::down);
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ(downs[0].buttons, kInputLeft);
    EXPECT_EQ(downs[1].buttons, kInputLeft | kInputDoubleClick);
    EXPECT_EQ(downs[2].buttons, kInputLeft);
}

TEST_F(X11Test, WheelNotchesAreOneUpOrDownAndHorizontalWheelIsIgnored) {
    makeParent();
    auto window = openChild(parent);
    ASSERT_TRUE(window);
    Recorder recorder;
    settle(*window, recorder);
    click(window->xWindow(), 30, 40, 4);
    click(window->xWindow(), 31, 41, 5);
    click(window->xWindow(), 32, 42, 6);
    click(window->xWindow(), 33, 43, 7);
    key(XK_Shift_L, true);
    click(window->xWindow(), 34, 44, 4);
    key(XK_Shift_L, false);
    click(window->xWindow(), 35, 45, 1);  // marks the end
    ASSERT_TRUE(pumpUntil(*window, recorder, [&] { return recorder.count(Kind::up) == 1; }));
    const auto wheels = recorder.of(Kind::wheel);
    ASSERT_EQ(wheels.size(), 3u);
    EXPECT_EQ(wheels[0].distance, 1.0f);
    EXPECT_EQ(wheels[0].x, 30);
    EXPECT_EQ(wheels[0].y, 40);
    EXPECT_EQ(wheels[0].buttons, 0u);
    EXPECT_EQ(wheels[1].distance, -1.0f);
    EXPECT_EQ(wheels[1].x, 31);
    EXPECT_EQ(wheels[2].distance, 1.0f);
    EXPECT_EQ(wheels[2].buttons, kInputShift);
    // Wheel buttons make no clicks of their own.
    EXPECT_EQ(recorder.count(Kind::down), 1u);
}

TEST_F(X11Test, MotionIsCompressedToTheLatestPositionWithHeldButtonsAndLeavingIsReported) {
    makeParent();
    auto window = openChild(parent);
    ASSERT_TRUE(window);
    Recorder recorder;
    settle(*window, recorder);
    moveTo(window->xWindow(), 200, 200);
    button(1, true);
    for (int i = 1; i <= 20; ++i) moveTo(window->xWindow(), 200 + i, 200 + 2 * i);
    XSync(host, False);
    ASSERT_TRUE(pumpUntil(*window, recorder, [&] {
        const auto moves = recorder.of(Kind::moved);
        return !moves.empty() && moves.back().x == 220;
    }));
    const auto moves = recorder.of(Kind::moved);
    EXPECT_LT(moves.size(), 20u);
    EXPECT_EQ(moves.back().y, 240);
    EXPECT_EQ(moves.back().buttons, kInputLeft);
    button(1, false);
    recorder.clear();
    moveTo(window->xWindow(), 600, 200);  // over the parent, outside the window
    ASSERT_TRUE(pumpUntil(*window, recorder, [&] { return recorder.count(Kind::left) == 1; }));
    EXPECT_EQ(recorder.count(Kind::left), 1u);
}

struct KeyCase {
    const char* name;
    KeySym keysym;
    KeySym shifted;      // for keysyms the keymap lacks
    KeySym modifier;     // held, NoSymbol for none
    uint32_t character;
    int32_t virtualKey;
    uint32_t modifiers;
};

const KeyCase kKeys[] = {
    {"a", XK_a, NoSymbol, NoSymbol, 'a', kKeyNone, 0},
    {"shift a", XK_a, NoSymbol, XK_Shift_L, 'A', kKeyNone, kInputShift},
    {"control a", XK_a, NoSymbol, XK_Control_L, 'a', kKeyNone, kInputControl},
    {"digit", XK_7, NoSymbol, NoSymbol, '7', kKeyNone, 0},
    {"space", XK_space, NoSymbol, NoSymbol, ' ', kKeyNone, 0},
    {"e acute", XK_eacute, XK_Eacute, NoSymbol, 0xe9, kKeyNone, 0},
    {"E acute", XK_eacute, XK_Eacute, XK_Shift_L, 0xc9, kKeyNone, kInputShift},
    {"unicode keysym", 0x1000416, 0x1000416, NoSymbol, 0x416, kKeyNone, 0},
    {"BackSpace", XK_BackSpace, NoSymbol, NoSymbol, 0, kKeyBack, 0},
    {"Tab", XK_Tab, NoSymbol, NoSymbol, 0, kKeyTab, 0},
    {"Return", XK_Return, NoSymbol, NoSymbol, 0, kKeyReturn, 0},
    {"KP_Enter", XK_KP_Enter, NoSymbol, NoSymbol, 0, kKeyEnter, 0},
    {"Escape", XK_Escape, NoSymbol, NoSymbol, 0, kKeyEscape, 0},
    {"Home", XK_Home, NoSymbol, NoSymbol, 0, kKeyHome, 0},
    {"End", XK_End, NoSymbol, NoSymbol, 0, kKeyEnd, 0},
    {"Left", XK_Left, NoSymbol, NoSymbol, 0, kKeyLeft, 0},
    {"Up", XK_Up, NoSymbol, NoSymbol, 0, kKeyUp, 0},
    {"Right", XK_Right, NoSymbol, NoSymbol, 0, kKeyRight, 0},
    {"shift Down", XK_Down, NoSymbol, XK_Shift_L, 0, kKeyDown, kInputShift},
    {"Delete", XK_Delete, NoSymbol, NoSymbol, 0, kKeyDelete, 0},
    {"Page Up", XK_Page_Up, NoSymbol, NoSymbol, 0, kKeyPageUp, 0},
    {"Page Down", XK_Page_Down, NoSymbol, NoSymbol, 0, kKeyPageDown, 0},
};

TEST_F(X11Test, KeysArriveOnceAsCharactersOrVirtualKeysWhileTheWindowHasTheFocus) {
    makeParent();
    for (const bool inputMethod : {true, false}) {
        SCOPED_TRACE(inputMethod ? "through the input method" : "through XLookupString");
        auto window = openChild(parent, true, inputMethod);
        ASSERT_TRUE(window);
        Recorder recorder;
        settle(*window, recorder);
        // Keymap changes first, so that no case meets a mapping change halfway.
        for (const KeyCase& c : kKeys) keycodeFor(c.keysym, c.shifted);

        // The host's window has the keyboard; the field takes it, then gives it back.
        XSetInputFocus(host, parent, RevertToParent, CurrentTime);
        XSync(host, False);
        window->takeKeyboardFocus();
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(host, &focus, &revert);
        EXPECT_EQ(focus, window->xWindow());

        for (const KeyCase& c : kKeys) {
            SCOPED_TRACE(c.name);
            recorder.clear();
            if (c.modifier != NoSymbol) key(c.modifier, true);
            key(c.keysym, true);
            key(c.keysym, false);
            if (c.modifier != NoSymbol) key(c.modifier, false);
            // The marker: a click after the key has surely been delivered.
            click(window->xWindow(), 5, 5, 1);
            ASSERT_TRUE(pumpUntil(*window, recorder, [&] { return recorder.count(Kind::up) == 1; }));
            const auto keys = recorder.of(Kind::key);
            ASSERT_EQ(keys.size(), 1u);
            EXPECT_EQ(keys[0].key.character, c.character);
            EXPECT_EQ(keys[0].key.virtualKey, c.virtualKey);
            EXPECT_EQ(keys[0].key.modifiers, c.modifiers);
        }

        window->returnKeyboardFocus();
        XGetInputFocus(host, &focus, &revert);
        EXPECT_EQ(focus, parent);
    }
}

TEST_F(X11Test, ReturningTheFocusLeavesItWhereTheUserHasMovedIt) {
    makeParent();
    Window other = XCreateSimpleWindow(host, DefaultRootWindow(host), 800, 10, 50, 50, 0, 0, 0);
    XMapWindow(host, other);
    auto window = openChild(parent);
    ASSERT_TRUE(window);
    Recorder recorder;
    settle(*window, recorder);
    window->takeKeyboardFocus();
    XSetInputFocus(host, other, RevertToParent, CurrentTime);
    XSync(host, False);
    window->returnKeyboardFocus();
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(host, &focus, &revert);
    EXPECT_EQ(focus, other);
    XDestroyWindow(host, other);
}

}  // namespace
}  // namespace x11test
