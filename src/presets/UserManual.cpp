#include "UserManual.h"

#include <filesystem>
#include <memory>

#include "../gui/CFrame.h"
#include "../platform/ModuleLocation.h"
#include "CPresetSystemEditor.h"
#include "PresetBarControls.h"

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

// --- the manual button ---------------------------------------------------------------------

std::string CPresetSystemEditor::manualPath() {
    std::string path;
    if (settings && !settings->readString(platform::SettingsKey::main, "ManualPath", path, 4096)) path.clear();
    return path;
}

std::string CPresetSystemEditor::installedManualPath() { return installedManualOfThisPlugin(); }

void CPresetSystemEditor::openUserManual() {
    // The stored location first (an address is handed on as it is); a stale
    // one does not hide the manual installed with the plug-in.
    std::string path = manualPath();
    if (path.empty() || !(platform::isDocumentAddress(path) || isFile(path))) path = installedManualPath();
    if (manualButton) manualButton->clearPressed();
    if (!frame) return;
    if (path.empty()) {
        frame->showMessage(kManualNotOpened, "");
        return;
    }
    manualOpener = platform::startOpenDocument(path);
    if (!manualOpener) frame->showMessage(kManualNotOpened, "");
}

void CPresetSystemEditor::pollManualOpener() {
    if (!manualOpener) return;
    std::string detail;
    using State = platform::DocumentOpener::State;
    const State state = manualOpener->poll(detail);
    if (state == State::running) return;
    manualOpener.reset();
    if (!frame || state == State::opened) return;
    if (state == State::noHandler)
        frame->showMessage(noHandlerMessage(detail).c_str(), kManualNoHandlerCaption);
    else
        frame->showMessage(kManualNotOpened, "");
}

}  // namespace vexal
