#include "X11WindowSystem.h"

#include <cstdint>

namespace vexal::platform {

std::unique_ptr<NativeWindow> X11WindowSystem::openWindow(void* parent, int32_t width, int32_t height) {
    const auto id = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
    return X11Window::open(options, id, width, height);
}

WindowSystem& linuxWindowSystem() {
    static X11WindowSystem system;
    return system;
}

}  // namespace vexal::platform
