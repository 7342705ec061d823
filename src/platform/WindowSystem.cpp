#include <atomic>

#include "NativeWindow.h"

namespace vexal::platform {

namespace {
// Set by the plug-in's entry, read when an editor opens, possibly on another thread.
std::atomic<WindowSystem*> installed{nullptr};
}  // namespace

WindowSystem* windowSystem() { return installed.load(std::memory_order_acquire); }

void setWindowSystem(WindowSystem* system) { installed.store(system, std::memory_order_release); }

}  // namespace vexal::platform
