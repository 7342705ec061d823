// Where the code of this plug-in lives on disk: the file it was loaded from
// (the plug-in's shared library, or the program it is linked into).
#pragma once

#include <string>

namespace vexal::platform {

// The absolute path of that file; empty when the system cannot tell.
std::string ownModuleFile();

}  // namespace vexal::platform
