// File dialogs and document opening, run as child processes (zenity, then
// kdialog; xdg-open) so that the host's UI thread never waits on them. Each
// request is polled from the editor's idle; destroying it ends the child.
#pragma once

#include <memory>
#include <string>

namespace vexal::platform {

struct FileDialogRequest {
    enum class Mode { load, save };
    Mode mode = Mode::load;
    std::string title;          // shown as the dialog's title
    std::string extension;      // without the dot, e.g. "zvk"
    std::string filterName;     // e.g. "ZVK Vexal preset"
    std::string folder;         // where the dialog starts; may be empty
    std::string fileName;       // proposed name (save) or selection; may be empty
};

class FileDialog {
public:
    enum class State {
        running,      // no answer yet
        chosen,       // `path` holds the user's choice
        cancelled,    // the user closed the dialog without a choice
        unavailable,  // no dialog program is installed
        failed,       // the program could not be started or ended abnormally
    };
    virtual ~FileDialog() = default;  // ends a dialog that is still open
    // Never blocks.
    virtual State poll(std::string& path) = 0;
};

// Null only when the request itself cannot be made (out of memory).
std::unique_ptr<FileDialog> startFileDialog(const FileDialogRequest& request);

class DocumentOpener {
public:
    enum class State {
        running,
        opened,     // the handler took the document
        noHandler,  // nothing is installed that opens this type; `detail` names the type
        missing,    // the document does not exist
        failed,     // the opener could not be started or reported an error
    };
    virtual ~DocumentOpener() = default;
    virtual State poll(std::string& detail) = 0;
};

// `path` is a file, or an address (http:, https:, file:) handed on as it is.
std::unique_ptr<DocumentOpener> startOpenDocument(const std::string& path);

// True for the addresses startOpenDocument hands on without looking for a file.
bool isDocumentAddress(const std::string& path);

}  // namespace vexal::platform
