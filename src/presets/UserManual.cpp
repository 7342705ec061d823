#include "UserManual.h"

#include <filesystem>
#include <memory>

#include "platform/ModuleLocation.h"

namespace vexal {

namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

std::string findInstalledManual(const std::string& pluginFolder) {
    if (pluginFolder.empty()) return {};
    const fs::path folder(pluginFolder);
    const fs::path doc = fs::path("share") / "doc" / "zvk-vexal" / kManualFileName;
    for (const fs::path& candidate : {folder / ".." / ".." / doc, folder / kManualFileName, folder / doc})
        if (isFile(candidate)) return candidate.lexically_normal().string();
    return {};
}

std::string installedManualOfThisPlugin() {
    const std::string file = platform::ownModuleFile();
    if (file.empty()) return {};
    std::string found = findInstalledManual(fs::path(file).parent_path().string());
    if (!found.empty()) return found;
    std::error_code error;
    const fs::path target = fs::canonical(file, error);
    return error ? std::string() : findInstalledManual(target.parent_path().string());
}

std::string noHandlerMessage(const std::string& type) {
    const std::string shown = type.empty() ? std::string("this kind of") : type;
    std::string handler;
    if (contains(type, "htm"))
        handler = "a web browser";
    else if (contains(type, "pdf"))
        handler = "a PDF reader";
    else
        handler = "a program for " + shown + " files";
    return "Make sure " + handler + " is installed: no program opens " + shown + " documents.";
}

}  // namespace vexal
