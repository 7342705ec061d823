#include "CNewFileSelector.h"

#include "CFrame.h"

namespace vexal {

CNewFileSelector* CNewFileSelector::create(CFrame* frame, Style style) {
    return frame ? new CNewFileSelector(frame, style) : nullptr;
}

CNewFileSelector::CNewFileSelector(CFrame* f, Style style) : frame(f) {
    request.mode = style == kSelectSaveFile ? platform::FileDialogRequest::Mode::save
                                            : platform::FileDialogRequest::Mode::load;
}

CNewFileSelector::~CNewFileSelector() = default;

void CNewFileSelector::addFileExtension(const char* description, const char* extension) {
    request.filterName = description ? description : "";
    request.extension = extension ? extension : "";
}

bool CNewFileSelector::run(Callback cb) {
    if (!frame || dialog) return false;
    callback = std::move(cb);
    dialog = platform::startFileDialog(request);
    if (!dialog || !frame->addSelector(this)) {
        dialog.reset();
        frame->showMessage("The file dialog could not be started.", "File dialog");
        return false;
    }
    return true;
}

bool CNewFileSelector::poll() {
    if (!dialog) return true;
    using State = platform::FileDialog::State;
    switch (dialog->poll(answer)) {
        case State::running:
            return false;
        case State::chosen:
            dialog.reset();
            if (callback) callback(this, answer.c_str());
            return true;
        case State::cancelled:
            dialog.reset();
            if (callback) callback(this, nullptr);
            return true;
        case State::unavailable:
            dialog.reset();
            frame->showMessage("No file dialog program was found. Install zenity or kdialog.",
                               "File dialog");
            return true;
        case State::failed:
            break;
    }
    dialog.reset();
    frame->showMessage("The file dialog could not be started.", "File dialog");
    return true;
}

void CNewFileSelector::abandon() {
    dialog.reset();
    callback = nullptr;
    forget();
}

}  // namespace vexal
