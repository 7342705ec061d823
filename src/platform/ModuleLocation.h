// Where the code of this plug-in lives on disk: the file it was loaded from
// (the plug-in's shared library, or the program it is linked into).
#pragma once

#include <string>

namespace vexal::platform {

// The absolute path of that file; empty when the system cannot tell.
std::string ownModuleFile();
// Keeps the file that holds this code loaded for the rest of the process's
// life: for a thread of ours that must outlive the host's last call into us.
void keepOwnModuleLoaded();

}  // namespace vexal::platform
