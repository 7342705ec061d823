// Which manual locations are addresses rather than files: the same on every
// platform (each platform's document opener hands them on as they are).
#include <algorithm>
#include <cctype>
#include <string>

#include "ChildProcess.h"

namespace vexal::platform {

bool isDocumentAddress(const std::string& path) {
    std::string scheme = path.substr(0, std::min<size_t>(path.size(), 8));
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme.starts_with("http:") || scheme.starts_with("https:") || scheme.starts_with("file:");
}

}  // namespace vexal::platform
