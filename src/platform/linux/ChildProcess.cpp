// File dialogs through zenity (else kdialog) and documents through xdg-open,
// each a child process polled from the editor's idle.
#include "platform/ChildProcess.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <new>

#include "Subprocess.h"

namespace vexal::platform {

namespace {

// Where the dialog starts: the folder's contents, with the proposed name.
std::string startPath(const FileDialogRequest& request) {
    std::string path = request.folder;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + request.fileName;
}

std::vector<std::string> zenityArguments(const FileDialogRequest& request) {
    std::vector<std::string> arguments{"--file-selection", "--title=" + request.title};
    if (request.mode == FileDialogRequest::Mode::save) {
        arguments.emplace_back("--save");
        arguments.emplace_back("--confirm-overwrite");
    }
    const std::string start = startPath(request);
    if (!start.empty()) arguments.push_back("--filename=" + start);
    if (!request.extension.empty())
        arguments.push_back("--file-filter=" + request.filterName + " | *." + request.extension);
    return arguments;
}

std::vector<std::string> kdialogArguments(const FileDialogRequest& request) {
    std::vector<std::string> arguments{"--title", request.title};
    arguments.emplace_back(request.mode == FileDialogRequest::Mode::save ? "--getsavefilename"
                                                                         : "--getopenfilename");
    const std::string start = startPath(request);
    arguments.push_back(start.empty() ? "." : start);
    if (!request.extension.empty())
        arguments.push_back(request.filterName + " (*." + request.extension + ")");
    return arguments;
}

class ChildFileDialog final : public FileDialog {
public:
    explicit ChildFileDialog(const FileDialogRequest& request) {
        if (std::string zenity = findOnPath("zenity"); !zenity.empty()) {
            started = child.start(zenity, zenityArguments(request), Subprocess::Output::capture,
                                  Subprocess::Ending::group);
        } else if (std::string kdialog = findOnPath("kdialog"); !kdialog.empty()) {
            started = child.start(kdialog, kdialogArguments(request), Subprocess::Output::capture,
                                  Subprocess::Ending::group);
        } else {
            available = false;
        }
    }

    State poll(std::string& path) override {
        if (!available) return State::unavailable;
        if (!started) return State::failed;
        if (!child.poll()) return State::running;
        if (child.exitStatus() == 1) return State::cancelled;
        std::string answer = child.output();
        if (!answer.empty() && answer.back() == '\n') answer.pop_back();
        // A success without a path, or a path over several lines, is no choice we can use.
        if (child.exitStatus() != 0 || child.overflowed() || answer.empty() ||
            answer.find('\n') != std::string::npos)
            return State::failed;
        path = std::move(answer);
        return State::chosen;
    }

private:
    Subprocess child;
    bool available = true;
    bool started = false;
};

// xdg-open's exit statuses.
constexpr int kOpenFileMissing = 2;
constexpr int kOpenNoHandler = 3;
// Asking for the MIME type is a courtesy: after this long the extension does.
constexpr auto kMimeQueryLimit = std::chrono::seconds(2);

std::string extensionOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == path.size())
        return {};
    if (dot == (slash == std::string::npos ? 0 : slash + 1)) return {};  // a hidden file's name
    return path.substr(dot + 1);
}

class ChildDocumentOpener final : public DocumentOpener {
public:
    explicit ChildDocumentOpener(const std::string& path) : document(path) {
        struct stat info{};
        // An address is xdg-open's to resolve; only a file can be missing here.
        if (!isDocumentAddress(path) && stat(path.c_str(), &info) != 0) {
            state = State::missing;
            return;
        }
        const std::string opener = findOnPath("xdg-open");
        if (opener.empty()) {
            fail("xdg-open");
            return;
        }
        // A name that begins with '-' must not read as an option.
        const std::string argument = path.starts_with("-") ? "./" + path : path;
        // The program that opens the document may outlive us: only xdg-open
        // itself is ended when the editor closes.
        if (!open.start(opener, {argument}, Subprocess::Output::discard, Subprocess::Ending::leader))
            fail({});
    }

    State poll(std::string& text) override {
        if (state == State::running) advance();
        if (state == State::noHandler || state == State::failed) text = detail;
        return state;
    }

private:
    void fail(std::string why) {
        state = State::failed;
        detail = std::move(why);
    }

    void advance() {
        if (querying) {
            const bool timedOut = std::chrono::steady_clock::now() - queryStart > kMimeQueryLimit;
            if (!query.poll() && !timedOut) return;
            std::string type = query.running() ? std::string() : query.output();
            query.terminate();
            while (!type.empty() && (type.back() == '\n' || type.back() == ' ')) type.pop_back();
            detail = query.exitStatus() == 0 && !type.empty() && type.find('\n') == std::string::npos
                         ? type
                         : extensionOf(document);
            state = State::noHandler;
            return;
        }
        if (!open.poll()) return;
        switch (open.exitStatus()) {
            case 0: state = State::opened; break;
            case kOpenFileMissing: state = State::missing; break;
            case kOpenNoHandler: startTypeQuery(); break;
            default: fail({}); break;
        }
    }

    void startTypeQuery() {
        const std::string mime = findOnPath("xdg-mime");
        const std::string argument = document.starts_with("-") ? "./" + document : document;
        if (!mime.empty() && query.start(mime, {"query", "filetype", argument}, Subprocess::Output::capture,
                                         Subprocess::Ending::group)) {
            querying = true;
            queryStart = std::chrono::steady_clock::now();
            return;
        }
        detail = extensionOf(document);
        state = State::noHandler;
    }

    std::string document;
    Subprocess open;
    Subprocess query;
    bool querying = false;
    std::chrono::steady_clock::time_point queryStart;
    State state = State::running;
    std::string detail;
};

}  // namespace

std::unique_ptr<FileDialog> startFileDialog(const FileDialogRequest& request) {
    try {
        return std::make_unique<ChildFileDialog>(request);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<DocumentOpener> startOpenDocument(const std::string& path) {
    try {
        return std::make_unique<ChildDocumentOpener>(path);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace vexal::platform
