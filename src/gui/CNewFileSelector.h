// An asynchronous file dialog: run() starts it and returns at once; the frame
// polls it from the editor's pump, and the callback gets the chosen path (or
// null when the user cancelled) on the UI thread. Closing the editor ends a
// dialog still open, without calling back. Where no dialog program exists the
// window says so and nothing else happens.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "CBaseObject.h"
#include "platform/ChildProcess.h"

namespace vexal {

class CFrame;

class CNewFileSelector : public CBaseObject {
public:
    enum Style { kSelectFile, kSelectSaveFile };
    using Callback = std::function<void(CNewFileSelector* selector, const char* path)>;

    static CNewFileSelector* create(CFrame* frame, Style style);
    ~CNewFileSelector() override;

    void setTitle(const char* title) { request.title = title ? title : ""; }
    void addFileExtension(const char* description, const char* extension);
    void setInitialDirectory(const char* folder) { request.folder = folder ? folder : ""; }
    void setDefaultSaveName(const char* name) { request.fileName = name ? name : ""; }
    const platform::FileDialogRequest& getRequest() const { return request; }

    // False when a dialog could not be started at all.
    bool run(Callback callback);
    // Called by the frame; true once the dialog has answered (or failed).
    bool poll();
    // The editor closes: end the dialog without calling back.
    void abandon();

private:
    CNewFileSelector(CFrame* frame, Style style);

    CFrame* frame;
    platform::FileDialogRequest request;
    std::unique_ptr<platform::FileDialog> dialog;
    Callback callback;
    std::string answer;
};

}  // namespace vexal
