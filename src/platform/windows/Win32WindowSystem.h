// The window system of the Windows build.
#pragma once

#include "../NativeWindow.h"

namespace vexal::platform {

// Null while the Windows editor window does not exist: every effEditOpen then
// answers 0 and the host offers no editor.
WindowSystem* win32WindowSystem();

}  // namespace vexal::platform
