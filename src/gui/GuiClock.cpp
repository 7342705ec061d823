#include "GuiClock.h"

#include <atomic>

#include "platform/NativeWindow.h"

namespace vexal {

namespace {
std::atomic<uint32_t (*)()> tickSource{nullptr};
}

uint32_t guiTicks() {
    uint32_t (*source)() = tickSource.load(std::memory_order_relaxed);
    return source ? source() : platform::tickCount();
}

void setGuiTickSource(uint32_t (*source)()) { tickSource.store(source, std::memory_order_relaxed); }

}  // namespace vexal
