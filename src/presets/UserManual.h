// Finding the user manual installed with the plug-in, and the messages shown
// when it cannot be opened.
#pragma once

#include <string>

namespace vexal {

constexpr const char* kManualFileName = "manual.html";
constexpr const char* kManualNotOpened = "Could not open user manual";
constexpr const char* kManualNoHandlerCaption = "Could not open manual file";

// The installed manual for a plug-in file in pluginFolder: installed under
// PREFIX/lib/vst it is PREFIX/share/doc/zvk-vexal/manual.html; beside the
// plug-in it is manual.html or share/doc/zvk-vexal/manual.html (the build
// tree, a per-user install). Empty when none of them is a file.
std::string findInstalledManual(const std::string& pluginFolder);

// The installed manual of this plug-in, looked for beside the file it was
// loaded from and, when that is a link, beside the file it points to.
std::string installedManualOfThisPlugin();

// The message for a document type no installed program opens (a MIME type or
// an extension), naming the kind of program that is missing.
std::string noHandlerMessage(const std::string& type);

}  // namespace vexal
