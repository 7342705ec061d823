#include <windows.h>

#include "platform/NativeWindow.h"

namespace vexal::platform {

// The system's millisecond counter; it wraps after 49.7 days, and every
// difference is taken in 32-bit arithmetic.
uint32_t tickCount() { return GetTickCount(); }

}  // namespace vexal::platform
