// File dialogs (GetOpenFileNameW / GetSaveFileNameW) and documents opened
// with the shell's "open" verb. Both are answers of the system's own modal
// calls, made on the host's UI thread at the first poll.
#include "platform/ChildProcess.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <new>
#include <vector>

#include "platform/PathNames.h"
#include "WideText.h"

namespace vexal::platform {

namespace {

// "<name> (*.ext)\0*.ext\0\0" for the dialog's filter list.
std::wstring filterOf(const FileDialogRequest& request) {
    std::wstring filter;
    if (request.extension.empty()) return filter;
    const std::wstring pattern = L"*." + toWide(request.extension);
    filter = toWide(request.filterName) + L" (" + pattern + L")";
    filter.push_back(L'\0');
    filter += pattern;
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    return filter;
}

class CommonFileDialog final : public FileDialog {
public:
    explicit CommonFileDialog(const FileDialogRequest& r) : request(r) {}

    State poll(std::string& path) override {
        if (answered) return answer(path);
        answered = true;
        std::vector<wchar_t> file(32768, L'\0');
        const std::wstring proposed = toWide(request.fileName);
        if (proposed.size() < file.size()) std::copy(proposed.begin(), proposed.end(), file.begin());
        const std::wstring filter = filterOf(request);
        const std::wstring title = toWide(request.title);
        const std::wstring folder = toWide(request.folder);
        const std::wstring extension = toWide(request.extension);
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = GetActiveWindow();
        dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = static_cast<DWORD>(file.size());
        dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
        dialog.lpstrTitle = title.c_str();
        dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
        BOOL chosen;
        if (request.mode == FileDialogRequest::Mode::save) {
            dialog.Flags |= OFN_OVERWRITEPROMPT;
            chosen = GetSaveFileNameW(&dialog);
        } else {
            dialog.Flags |= OFN_FILEMUSTEXIST;
            chosen = GetOpenFileNameW(&dialog);
        }
        if (chosen) {
            result = State::chosen;
            chosenPath = fromWide(file.data(), wcsnlen(file.data(), file.size()));
            if (chosenPath.empty()) result = State::failed;  // not text of this code page
        } else {
            result = CommDlgExtendedError() == 0 ? State::cancelled : State::failed;
        }
        return answer(path);
    }

private:
    State answer(std::string& path) {
        if (result == State::chosen) path = chosenPath;
        return result;
    }

    FileDialogRequest request;
    bool answered = false;
    State result = State::failed;
    std::string chosenPath;
};

std::string extensionOf(const std::string& path) {
    const size_t separator = lastPathSeparator(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator) ||
        dot + 1 == path.size())
        return {};
    return path.substr(dot + 1);
}

class ShellDocumentOpener final : public DocumentOpener {
public:
    explicit ShellDocumentOpener(const std::string& path) {
        const std::wstring wide = toWide(path);
        if (wide.empty()) {
            state = State::failed;
            return;
        }
        const auto code = reinterpret_cast<intptr_t>(
            ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        // Values above 32 mean success; the small ones are the shell's reasons.
        if (code > 32) {
            state = State::opened;
        } else if (code == SE_ERR_NOASSOC || code == SE_ERR_ASSOCINCOMPLETE) {
            state = State::noHandler;
            detail = extensionOf(path);
        } else if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            state = State::missing;
        } else {
            state = State::failed;
        }
    }

    State poll(std::string& text) override {
        if (state == State::noHandler || state == State::failed) text = detail;
        return state;
    }

private:
    State state = State::failed;
    std::string detail;
};

}  // namespace

std::unique_ptr<FileDialog> startFileDialog(const FileDialogRequest& request) {
    return std::unique_ptr<FileDialog>(new (std::nothrow) CommonFileDialog(request));
}

std::unique_ptr<DocumentOpener> startOpenDocument(const std::string& path) {
    return std::unique_ptr<DocumentOpener>(new (std::nothrow) ShellDocumentOpener(path));
}

}  // namespace vexal::platform
