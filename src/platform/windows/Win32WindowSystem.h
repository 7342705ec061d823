// The window system of the Windows build: child windows of the host's HWND.
#pragma once

#include "platform/NativeWindow.h"

namespace vexal::platform {

class Win32WindowSystem final : public WindowSystem {
public:
    // `parent` is the host's HWND.
    std::unique_ptr<NativeWindow> openWindow(void* parent, int32_t width, int32_t height) override;
};

// The process-wide instance the plug-in's entry installs with setWindowSystem.
WindowSystem* win32WindowSystem();

}  // namespace vexal::platform
