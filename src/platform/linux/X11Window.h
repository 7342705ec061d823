// The editor's child window on an X server, on a Display connection of its
// own: opened with the window, closed when it is destroyed, so that nothing
// of ours is left in the host's connection or in the server afterwards.
// Requests that can fail (on the host's window, or on ours once the host has
// destroyed it) are checked through XCB; when the connection is lost the
// window is gone and nothing more is asked of the server.
#pragma once

#include "X11Headers.h"

#include <memory>

#include "X11Connection.h"
#include "X11Input.h"
#include "X11Presenter.h"
#include "platform/NativeWindow.h"

namespace vexal::platform {

struct X11Options {
    // Off: always the plain XPutImage path (tests and measurements).
    bool sharedMemory = true;
    // Off: keys through XLookupString, as when no input method can be opened.
    bool inputMethod = true;
};

class X11Window final : public NativeWindow {
public:
    // Null when the display cannot be opened or `parent` is not a usable window.
    static std::unique_ptr<X11Window> open(const X11Options& options, Window parent, int32_t width,
                                           int32_t height);
    ~X11Window() override;

    bool pumpEvents(WindowEvents& events) override;
    void present(const uint8_t* pixels, int32_t stride, const PixelRect& area) override;
    void takeKeyboardFocus() override;
    void returnKeyboardFocus() override;
    bool isShowing() const override { return !gone && viewable && !obscured; }
    void dismiss() override;

    Window xWindow() const { return window; }
    bool usesSharedMemory() const { return presenter.sharedMemory(); }

private:
    X11Window(std::unique_ptr<X11Connection> connection, Window parent, int32_t width, int32_t height);
    bool create(const X11Options& options);
    bool createWindow(int depth);
    void drainEvents(WindowEvents& events);
    void checkViewable(WindowEvents& events);
    void setShowing(bool nowViewable, bool nowObscured, WindowEvents& events);
    // Notes a failed request: the window or the connection may be gone.
    void forget(const X11Result& result);
    xcb_connection_t* c() const { return connection->xcb(); }
    void openInputContext(bool wanted);
    void dispatch(XEvent& event, WindowEvents& events);
    void buttonPressed(const XButtonEvent& event, WindowEvents& events);
    void keyPressed(XKeyEvent& event, WindowEvents& events);
    void setFocus(Window target);
    // A window that can take the keyboard focus: there, and viewable.
    bool stillExists(Window w);
    Window inputFocus();

    std::unique_ptr<X11Connection> connection;
    Display* display;
    Window parent;
    Window window = 0;
    uint32_t gc = 0;
    XIM inputMethod = nullptr;
    XIC inputContext = nullptr;
    int32_t width;
    int32_t height;
    bool gone = false;  // destroyed by the host, dismissed, or the server lost: never touched again
    bool viewable = true;  // mapped with all its ancestors
    bool obscured = false;  // entirely covered by other windows
    uint32_t lastViewableCheck = 0;
    Window focusBefore = None;  // who held the keyboard before a text field took it
    DoubleClickDetector clicks;
    X11Presenter presenter;
};

}  // namespace vexal::platform
