#include "Win32WindowSystem.h"

namespace vexal::platform {

WindowSystem* win32WindowSystem() { return nullptr; }

}  // namespace vexal::platform
