// The file dialogs of the preset bar: each starts the toolkit's asynchronous
// file selector and returns at once; the file is read or written when the
// answer arrives at idle. A load or save that fails says why in the window.
#include <sys/stat.h>

#include <string>

#include "CPresetSystemEditor.h"
#include "gui/CFrame.h"
#include "gui/CNewFileSelector.h"
#include "platform/PathNames.h"
#include "presets/ProgramNameText.h"

namespace vexal {

namespace {

struct FileKind {
    const char* filter;
    const char* extension;
    const char* saveTitle;
    const char* loadTitle;
    const char* reversedLoadTitle;
    const char* noun;
};
constexpr FileKind kPresetFiles{"ZVK Preset", "zvk", "Save preset", "Load preset",
                                "Load preset (endian-reversed)", "preset"};
constexpr FileKind kBankFiles{"ZVK Bank", "zvb", "Save bank", "Load bank",
                              "Load bank (endian-reversed)", "bank"};

// The file's name as the message shows it: the part after the last folder separator,
// kept short on a whole character.
std::string shownName(const char* path) {
    std::string name(path);
    const size_t slash = platform::lastPathSeparator(name);
    if (slash != std::string::npos && slash + 1 < name.size()) name.erase(0, slash + 1);
    name.resize(textPrefixBytes(name.c_str(), 96));
    return name;
}

// The helper's reason as a sentence: "is a folder, not a file" reads
// "This is a folder, not a file.", "does not exist" "The file does not exist."
std::string sentence(const std::string& problem) {
    const bool aKind = problem.starts_with("is a ") || problem.starts_with("is not");
    return (aKind ? "This " : "The file ") + problem + ".";
}

}  // namespace

void CPresetSystemEditor::loadBankFile(bool reversed) { runFileDialog(true, false, reversed); }
void CPresetSystemEditor::saveBankFile() { runFileDialog(true, true, false); }
void CPresetSystemEditor::loadPresetFile(bool reversed) { runFileDialog(false, false, reversed); }
void CPresetSystemEditor::savePresetFile() { runFileDialog(false, true, false); }

void CPresetSystemEditor::runFileDialog(bool bank, bool save, bool reversed) {
    if (!frame) return;
    const FileKind& kind = bank ? kBankFiles : kPresetFiles;
    CNewFileSelector* selector =
        CNewFileSelector::create(frame, save ? CNewFileSelector::kSelectSaveFile : CNewFileSelector::kSelectFile);
    if (!selector) return;
    selector->setTitle(save ? kind.saveTitle : reversed ? kind.reversedLoadTitle : kind.loadTitle);
    selector->addFileExtension(kind.filter, kind.extension);
    selector->setInitialDirectory(currentDirectory());
    if (save) selector->setDefaultSaveName(bank ? currentBankFile() : currentPresetFile());
    lastDialog = selector->getRequest();
    // The frame ends a dialog still open when the window closes, without
    // calling back, so the callback never outlives the window.
    selector->run([this, bank, save, reversed](CNewFileSelector*, const char* path) {
        if (path) fileDialogAnswered(bank, save, reversed, path);
    });
    selector->forget();
}

void CPresetSystemEditor::fileDialogAnswered(bool bank, bool save, bool reversed, const char* path) {
    const FileKind& kind = bank ? kBankFiles : kPresetFiles;
    struct stat old {};
    const bool existed = save && ::stat(path, &old) == 0 && S_ISREG(old.st_mode);
    bool done;
    if (save)
        done = bank ? saveBankFileTo(path) : savePresetFileTo(path);
    else
        done = bank ? loadBankFileFrom(path, reversed) : loadPresetFileFrom(path, reversed);
    if (!frame) return;
    frame->redrawAll();
    if (done) return;
    std::string text = "\"";
    text += shownName(path);
    text += "\": ";
    if (!store().fileProblem().empty())
        text += sentence(store().fileProblem());
    else if (save)
        text += "The file could not be written.";
    else
        text += std::string("This is not a ZVK ") + kind.noun + " file, or it is damaged; no program was changed.";
    if (existed) text += " The file as it was is kept.";
    std::string caption = save ? "Could not save " : "Could not load ";
    caption += kind.noun;
    frame->showMessage(text.c_str(), caption.c_str());
}

}  // namespace vexal
