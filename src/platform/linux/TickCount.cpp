#include <chrono>

#include "platform/NativeWindow.h"

namespace vexal::platform {

uint32_t tickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace vexal::platform
