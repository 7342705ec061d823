// GDI+ is started once, on first use (never from DllMain, where it must not
// be), and stays up for the life of the process.
#pragma once

namespace vexal::windows {

// False when GDI+ cannot start: images and text are then left out.
bool gdiplusReady();

}  // namespace vexal::windows
