// Placeholder until the child-process layer lands.
#include "../ChildProcess.h"

namespace vexal::platform {

namespace {
struct NoDialog : FileDialog {
    State poll(std::string&) override { return State::unavailable; }
};
struct NoOpener : DocumentOpener {
    State poll(std::string&) override { return State::failed; }
};
}  // namespace

std::unique_ptr<FileDialog> startFileDialog(const FileDialogRequest&) { return std::make_unique<NoDialog>(); }
std::unique_ptr<DocumentOpener> startOpenDocument(const std::string&) { return std::make_unique<NoOpener>(); }

}  // namespace vexal::platform
