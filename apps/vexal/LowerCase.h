// Case-insensitive matching of names the user types (programs, parameter
// values, file extensions): ASCII only, as those names are.
#pragma once

#include <cctype>
#include <string>

namespace vexal::cli {

inline std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace vexal::cli
