// The usage texts: one for vexal as a whole, one per command.
#pragma once

#include <string>

namespace vexal::cli {

extern const char* const kUsage;

// The help of one command by its name; nullptr for an unknown name.
const char* commandHelp(const std::string& command);

// "vexal 1.0 (ZVK Vexal by Ortelwerk)".
std::string versionText();

}  // namespace vexal::cli
