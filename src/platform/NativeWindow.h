// The editor's window on the screen, behind a small interface so that the
// toolkit and the editor never see the windowing system. One NativeWindow per
// open editor; it is created, pumped and destroyed on the thread that drives
// the editor (the host's UI thread, or the idle fallback thread while the host
// has stopped calling idle, always under the editor's mutex).
#pragma once

#include <cstdint>
#include <memory>

namespace vexal::platform {

// Window pixels, right and bottom exclusive.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Mouse buttons and modifier keys as one bit set.
enum InputBits : uint32_t {
    kInputLeft = 1u << 0,
    kInputMiddle = 1u << 1,
    kInputRight = 1u << 2,
    kInputShift = 1u << 3,
    kInputControl = 1u << 4,
    kInputAlt = 1u << 5,
    kInputDoubleClick = 1u << 6,
};

// The VST 2.4 virtual key numbers the toolkit understands (0: a plain character).
enum VirtualKey : int32_t {
    kKeyNone = 0,
    kKeyBack = 1,
    kKeyTab = 2,
    kKeyReturn = 4,
    kKeyEscape = 6,
    kKeySpace = 7,
    kKeyEnd = 9,
    kKeyHome = 10,
    kKeyLeft = 11,
    kKeyUp = 12,
    kKeyRight = 13,
    kKeyDown = 14,
    kKeyPageUp = 15,
    kKeyPageDown = 16,
    kKeyEnter = 19,
    kKeyDelete = 22,
};

struct KeyPress {
    uint32_t character = 0;  // Unicode code point of a typed character, 0 for none
    int32_t virtualKey = kKeyNone;
    uint32_t modifiers = 0;  // kInputShift, kInputControl, kInputAlt
};

// What a window reports; called from inside NativeWindow::pumpEvents only.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void mouseDown(int32_t x, int32_t y, uint32_t buttons) = 0;
    virtual void mouseUp(int32_t x, int32_t y, uint32_t buttons) = 0;
    virtual void mouseMoved(int32_t x, int32_t y, uint32_t buttons) = 0;
    virtual void mouseLeft() = 0;
    // distance: +1 per notch away from the user (up), −1 toward.
    virtual void wheel(int32_t x, int32_t y, float distance, uint32_t buttons) = 0;
    // Answers true when a view used the key.
    virtual bool keyDown(const KeyPress& key) = 0;
    // The area must be presented again (the server lost it).
    virtual void exposed(const PixelRect& area) = 0;
    // Visible again after being hidden (unmapped or covered): nothing drawn
    // meanwhile has reached the screen.
    virtual void shown() {}
};

class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    // Delivers every pending event; answers false once the window is gone
    // (for instance when the host destroyed its parent window first).
    virtual bool pumpEvents(WindowEvents& events) = 0;
    // Shows `area` of an image of the window's size: 32-bit pixels 0x00RRGGBB
    // (cairo's RGB24/ARGB32 layout), `stride` bytes per row.
    virtual void present(const uint8_t* pixels, int32_t stride, const PixelRect& area) = 0;
    // A text field takes the keyboard while it edits, and gives it back after.
    virtual void takeKeyboardFocus() = 0;
    virtual void returnKeyboardFocus() = 0;
    // False while the window cannot be seen (it or a window it is in is
    // unmapped, or others cover it entirely): nothing need be drawn then.
    virtual bool isShowing() const { return true; }
    // Takes the window off the screen at once; the object itself may still be
    // inside pumpEvents and goes later. Nothing is shown or reported after.
    virtual void dismiss() {}
    // Shows a message (UTF-8 texts) in the system's own message box, where
    // the window system has one, and answers true; the box is shown from
    // the window's thread, and the caller never waits for it.
    virtual bool showAlert(const char* text, const char* caption) {
        (void)text;
        (void)caption;
        return false;
    }
    // Window systems with a timer of their own call `tick(context)` every
    // `periodMs` on the thread that owns the window, from its message loop,
    // until the window goes; others ignore this (the host's idle and the
    // fallback thread drive them).
    virtual void setTimer(uint32_t periodMs, void (*tick)(void* context), void* context) {
        (void)periodMs;
        (void)tick;
        (void)context;
    }
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // A child window of the host's window `parent`, at (0, 0), of a fixed size;
    // null when there is no display to show it on or the parent is unusable.
    virtual std::unique_ptr<NativeWindow> openWindow(void* parent, int32_t width,
                                                     int32_t height) = 0;
};

// The window system the plug-in's entry installs; null in programs that only
// render offscreen (the renderer, unit tests).
WindowSystem* windowSystem();
void setWindowSystem(WindowSystem* system);

// Milliseconds of the steady clock, truncated to 32 bits; differences are
// taken in 32-bit arithmetic.
uint32_t tickCount();

}  // namespace vexal::platform
