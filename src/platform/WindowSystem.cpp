#include <atomic>

#include "NativeWindow.h"

namespace vexal::platform {

namespace {
std::atomic<WindowSystem*> installed{nullptr};
}

WindowSystem* windowSystem() { return installed.load(std::memory_order_acquire); }
void setWindowSystem(WindowSystem* system) { installed.store(system, std::memory_order_release); }

}  // namespace vexal::platform
