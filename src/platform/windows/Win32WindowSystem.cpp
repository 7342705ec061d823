#include "Win32WindowSystem.h"

#include "Win32Window.h"

namespace vexal::platform {

std::unique_ptr<NativeWindow> Win32WindowSystem::openWindow(void* parent, int32_t width, int32_t height) {
    return Win32Window::open(static_cast<HWND>(parent), width, height);
}

WindowSystem* win32WindowSystem() {
    static Win32WindowSystem system;
    return &system;
}

}  // namespace vexal::platform
