// Xlib for our X11 files. X.h defines `KeyPress` as a macro (the event type),
// which would rename our KeyPress struct in any declaration that follows it:
// the platform interface is read first, and the struct is spelt KeyInput
// where Xlib is in view.
#pragma once

#include "platform/NativeWindow.h"

namespace vexal::platform {
using KeyInput = KeyPress;
}  // namespace vexal::platform

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
