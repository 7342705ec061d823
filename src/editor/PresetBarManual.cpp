// The preset bar's manual button: opens the user manual with the desktop's
// program for it and says in the window when that fails.
#include <filesystem>
#include <string>

#include "CPresetSystemEditor.h"
#include "PresetBarControls.h"
#include "gui/CFrame.h"
#include "platform/ChildProcess.h"
#include "presets/UserManual.h"

namespace vexal {

namespace {

bool isFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

// --- the manual button ---------------------------------------------------------------------

std::string CPresetSystemEditor::manualPath() {
    std::string path;
    if (!settingsStore().readString(platform::SettingsKey::main, "ManualPath", path, 4096)) path.clear();
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
