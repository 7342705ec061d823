// Where a path's last component starts. Windows takes both '\' and '/'
// between folders; elsewhere '\' is an ordinary character of a name.
#pragma once

#include <string>

namespace vexal::platform {

// The position of the last folder separator in `path`, or npos.
inline size_t lastPathSeparator(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.rfind('/');
#endif
}

}  // namespace vexal::platform
