// What the X11 tests share: a connection of the test's own that plays the
// host (it makes the top-level parent window and injects input with XTEST),
// a recorder of the window's events, and bounded waits. Any X error that
// reaches the process's handler fails the test.
#pragma once

// Before Xlib, whose macros (KeyPress, None, Bool) would rename their names.
#include <gtest/gtest.h>

#include "platform/NativeWindow.h"
#include "platform/linux/X11Window.h"

#include <X11/extensions/XTest.h>

#include <functional>
#include <string>
#include <vector>

namespace x11test {

using vexal::platform::KeyInput;
using vexal::platform::PixelRect;

constexpr int kWidth = 524;
constexpr int kHeight = 462;

struct Recorded {
    enum class Kind { down, up, moved, left, wheel, key, exposed };
    Kind kind;
    int32_t x = 0;
    int32_t y = 0;
    uint32_t buttons = 0;
    float distance = 0;
    KeyInput key{};
    PixelRect area{};
};

class Recorder : public vexal::platform::WindowEvents {
public:
    void mouseDown(int32_t x, int32_t y, uint32_t b) override { add({Recorded::Kind::down, x, y, b}); }
    void mouseUp(int32_t x, int32_t y, uint32_t b) override { add({Recorded::Kind::up, x, y, b}); }
    void mouseMoved(int32_t x, int32_t y, uint32_t b) override { add({Recorded::Kind::moved, x, y, b}); }
    void mouseLeft() override { add({Recorded::Kind::left}); }
    void wheel(int32_t x, int32_t y, float d, uint32_t b) override {
        add({Recorded::Kind::wheel, x, y, b, d});
    }
    bool keyDown(const KeyInput& key) override {
        Recorded r{Recorded::Kind::key};
        r.key = key;
        add(r);
        return true;
    }
    void exposed(const PixelRect& area) override {
        Recorded r{Recorded::Kind::exposed};
        r.area = area;
        add(r);
    }

    std::vector<Recorded> of(Recorded::Kind kind) const;
    size_t count(Recorded::Kind kind) const { return of(kind).size(); }
    void clear() { events.clear(); }

    std::vector<Recorded> events;

private:
    void add(const Recorded& r) { events.push_back(r); }
};

class X11Test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A mapped top-level window of the given depth (24 or 32), as a host makes one.
    Window makeParent(int depth = 24, int x = 100, int y = 80);
    std::unique_ptr<vexal::platform::X11Window> openChild(Window parentWindow, bool sharedMemory = true,
                                                          bool inputMethod = true);
    bool serverHasSharedMemory() const;

    // Pumps until `done` holds or 2 s have passed; false when the window went away.
    bool pumpUntil(vexal::platform::NativeWindow& window, Recorder& recorder,
                   const std::function<bool()>& done);
    // Waits until the window has been exposed, then forgets what it recorded.
    void settle(vexal::platform::NativeWindow& window, Recorder& recorder);

    // Input through XTEST, at window coordinates of `target`.
    void moveTo(Window target, int x, int y);
    void button(unsigned int number, bool press, unsigned long delayMs = 0);
    void click(Window target, int x, int y, unsigned int number = 1);
    void key(KeySym keysym, bool press);
    // A keycode that types `keysym` (and `shifted` with Shift), made when the keymap has none.
    KeyCode keycodeFor(KeySym keysym, KeySym shifted = NoSymbol);

    Display* host = nullptr;
    Window parent = 0;
    std::vector<KeyCode> remapped;

public:
    // X errors that reached the process's handler in this test.
    static int xErrors;
};

}  // namespace x11test
