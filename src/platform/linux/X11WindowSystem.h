// The X11 window system: each window opens its own connection to the display
// named by DISPLAY, so the object itself holds nothing but its options.
#pragma once

#include "X11Window.h"
#include "platform/NativeWindow.h"

namespace vexal::platform {

class X11WindowSystem final : public WindowSystem {
public:
    explicit X11WindowSystem(const X11Options& options = {}) : options(options) {}
    // `parent` is an X window id.
    std::unique_ptr<NativeWindow> openWindow(void* parent, int32_t width, int32_t height) override;

private:
    X11Options options;
};

// The process-wide instance the plug-in's entry installs with setWindowSystem.
WindowSystem& linuxWindowSystem();

}  // namespace vexal::platform
