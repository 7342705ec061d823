// The editor's child window on Windows. Its window procedure runs on the
// thread that made the window (the host's UI thread, from the host's message
// loop); it queues input for the next pumpEvents, paints from the window's
// own copy of the last picture presented, gives the window the keyboard focus
// on every press and runs the window's timer. What the procedure reaches is
// found through a process-wide list of live windows, never through a pointer
// left in the window, so a message that arrives after the object has gone
// finds nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/NativeWindow.h"

namespace vexal::platform {

struct Win32WindowLink;

class Win32Window final : public NativeWindow {
public:
    // Null when `parent` is not a window or ours cannot be made.
    static std::unique_ptr<Win32Window> open(HWND parent, int32_t width, int32_t height);
    ~Win32Window() override;

    bool pumpEvents(WindowEvents& events) override;
    void present(const uint8_t* pixels, int32_t stride, const PixelRect& area) override;
    void takeKeyboardFocus() override;
    void returnKeyboardFocus() override;
    bool isShowing() const override;
    void dismiss() override;
    void setTimer(uint32_t periodMs, void (*tick)(void* context), void* context) override;
    // MessageBoxW with an OK button, owned by this window.
    bool showAlert(const char* text, const char* caption) override;

    HWND handle() const;

private:
    explicit Win32Window(std::shared_ptr<Win32WindowLink> link) : link(std::move(link)) {}
    // Destroys the window now on its own thread, or asks that thread to.
    void destroyWindow();
    // No tick starts after this, and none is running.
    void stopTicks();

    std::shared_ptr<Win32WindowLink> link;
    bool wasShowing = true;
};

// The name of our window class (registered once per module, on first use,
// and unregistered when the module unloads).
const wchar_t* editorWindowClass();

}  // namespace vexal::platform
