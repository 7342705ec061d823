// File dialogs and document opening through stand-ins for zenity, kdialog,
// xdg-open and xdg-mime: shell scripts in a temporary folder that is the
// whole PATH while a test runs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <algorithm>
#include <thread>

#include "platform/ChildProcess.h"

namespace {

using namespace vexal::platform;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A name a user may well give a preset: spaces and letters beyond ASCII.
const std::string kChosen = "/tmp/My Presets/R\xc3\xa9glage \xc3\xbc \xe2\x82\xac.zvk";

class ChildProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vexal-child-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        savedPath = std::getenv("PATH");
        setenv("PATH", folder.c_str(), 1);
        // What must not reach the children.
        setenv("LD_LIBRARY_PATH", "/opt/host/lib", 1);
        setenv("LD_PRELOAD", "/opt/host/lib/libnothing.so", 1);
        setenv("VEXAL_CHILD_MARK", "kept", 1);
    }
    void TearDown() override {
        setenv("PATH", savedPath.c_str(), 1);
        unsetenv("LD_LIBRARY_PATH");
        unsetenv("LD_PRELOAD");
        unsetenv("VEXAL_CHILD_MARK");
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // A stand-in program: `body` runs under /bin/sh with $OUT as the test folder.
    void script(const std::string& name, const std::string& body) {
        const fs::path path = fs::path(folder) / name;
        std::ofstream(path) << "#!/bin/sh\nOUT='" << folder << "'\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    // The stand-in records its arguments (one a line) and its environment.
    static std::string recording(const std::string& then) {
        return "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$OUT/args\"\n/usr/bin/env > \"$OUT/env\"\n" +
               then;
    }
    std::vector<std::string> lines(const std::string& name) const {
        std::ifstream in(fs::path(folder) / name);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);) result.push_back(line);
        return result;
    }
    bool exists(const std::string& name) const { return fs::exists(fs::path(folder) / name); }

    template <class Request, class State>
    static State waitFor(Request& request, std::string& text, State running) {
        const auto end = Clock::now() + std::chrono::seconds(5);
        State state = request.poll(text);
        while (state == running && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            state = request.poll(text);
        }
        return state;
    }
    FileDialog::State finish(FileDialog& dialog, std::string& path) {
        return waitFor(dialog, path, FileDialog::State::running);
    }
    DocumentOpener::State finish(DocumentOpener& opener, std::string& detail) {
        return waitFor(opener, detail, DocumentOpener::State::running);
    }

    static FileDialogRequest loadRequest() {
        FileDialogRequest request;
        request.mode = FileDialogRequest::Mode::load;
        request.title = "Load preset";
        request.extension = "zvk";
        request.filterName = "ZVK Vexal preset";
        request.folder = "/tmp/My Presets";
        return request;
    }

    std::string folder;
    std::string savedPath;
};

struct DialogCase {
    const char* name;
    const char* body;  // the zenity stand-in
    FileDialog::State state;
    bool hasPath;
};

const DialogCase kDialogs[] = {
    {"chosen", "printf '%s\\n' \"$CHOSEN\"", FileDialog::State::chosen, true},
    {"chosen without a newline", "printf '%s' \"$CHOSEN\"", FileDialog::State::chosen, true},
    {"cancelled", "exit 1", FileDialog::State::cancelled, false},
    {"success without a path", "exit 0", FileDialog::State::failed, false},
    {"two lines", "printf 'a\\nb\\n'", FileDialog::State::failed, false},
    {"error status", "printf '/x\\n'; exit 5", FileDialog::State::failed, false},
    {"killed", "kill -9 $$", FileDialog::State::failed, false},
};

TEST_F(ChildProcessTest, TheDialogsAnswerIsItsExitStatusAndTheLineItPrinted) {
    setenv("CHOSEN", kChosen.c_str(), 1);
    for (const DialogCase& c : kDialogs) {
        SCOPED_TRACE(c.name);
        script("zenity", c.body);
        auto dialog = startFileDialog(loadRequest());
        ASSERT_TRUE(dialog);
        std::string path = "untouched";
        EXPECT_EQ(finish(*dialog, path), c.state);
        EXPECT_EQ(path, c.hasPath ? kChosen : "untouched");
        // The answer stays as it is.
        EXPECT_EQ(dialog->poll(path), c.state);
    }
    unsetenv("CHOSEN");
}

struct ArgumentCase {
    const char* name;
    const char* program;
    FileDialogRequest::Mode mode;
    const char* folder;
    const char* fileName;
    std::vector<std::string> arguments;
};

const ArgumentCase kArguments[] = {
    {"zenity load", "zenity", FileDialogRequest::Mode::load, "/tmp/My Presets", "",
     {"--file-selection", "--title=Load preset", "--filename=/tmp/My Presets/",
      "--file-filter=ZVK Vexal preset | *.zvk"}},
    {"zenity save", "zenity", FileDialogRequest::Mode::save, "/tmp/My Presets/", "Gl\xc3\xa4tten.zvk",
     {"--file-selection", "--title=Load preset", "--save", "--confirm-overwrite",
      "--filename=/tmp/My Presets/Gl\xc3\xa4tten.zvk", "--file-filter=ZVK Vexal preset | *.zvk"}},
    {"zenity without a start", "zenity", FileDialogRequest::Mode::load, "", "",
     {"--file-selection", "--title=Load preset", "--file-filter=ZVK Vexal preset | *.zvk"}},
    {"kdialog load", "kdialog", FileDialogRequest::Mode::load, "/tmp/My Presets", "",
     {"--title", "Load preset", "--getopenfilename", "/tmp/My Presets/", "ZVK Vexal preset (*.zvk)"}},
    {"kdialog save", "kdialog", FileDialogRequest::Mode::save, "/tmp", "a b.zvk",
     {"--title", "Load preset", "--getsavefilename", "/tmp/a b.zvk", "ZVK Vexal preset (*.zvk)"}},
};

TEST_F(ChildProcessTest, ZenityElseKdialogGetsTheTitleStartAndFilterWithoutTheHostsLibraryPath) {
    for (const ArgumentCase& c : kArguments) {
        SCOPED_TRACE(c.name);
        fs::remove(fs::path(folder) / "zenity");
        fs::remove(fs::path(folder) / "args");
        script(c.program, recording("printf '/chosen\\n'"));
        FileDialogRequest request = loadRequest();
        request.mode = c.mode;
        request.folder = c.folder;
        request.fileName = c.fileName;
        auto dialog = startFileDialog(request);
        ASSERT_TRUE(dialog);
        std::string path;
        ASSERT_EQ(finish(*dialog, path), FileDialog::State::chosen);
        EXPECT_EQ(path, "/chosen");
        EXPECT_EQ(lines("args"), c.arguments);
        const auto environment = lines("env");
        for (const std::string& entry : environment) {
            EXPECT_FALSE(entry.starts_with("LD_LIBRARY_PATH=")) << entry;
            EXPECT_FALSE(entry.starts_with("LD_PRELOAD=")) << entry;
        }
        EXPECT_NE(std::find(environment.begin(), environment.end(), "VEXAL_CHILD_MARK=kept"), environment.end());
    }
}

TEST_F(ChildProcessTest, AnAnswerLargerThanAPipeHoldsIsReadWhole) {
    // 200 000 bytes in one write: the dialog waits on the full pipe until
    // we read, as on any pipe, instead of failing with EAGAIN.
    script("zenity", "/usr/bin/printf '/%0199999d\\n' 0");
    auto dialog = startFileDialog(loadRequest());
    ASSERT_TRUE(dialog);
    std::string path;
    ASSERT_EQ(finish(*dialog, path), FileDialog::State::chosen);
    EXPECT_EQ(path, "/" + std::string(199999, '0'));
}

TEST_F(ChildProcessTest, WithoutZenityOrKdialogTheDialogIsUnavailable) {
    auto dialog = startFileDialog(loadRequest());
    ASSERT_TRUE(dialog);
    std::string path;
    EXPECT_EQ(dialog->poll(path), FileDialog::State::unavailable);
    EXPECT_TRUE(path.empty());
}

TEST_F(ChildProcessTest, AProgramThatCannotStartIsAFailure) {
    // On PATH and executable, but nothing the system can run.
    std::ofstream(fs::path(folder) / "zenity") << "\x7f" "ELF garbage";
    fs::permissions(fs::path(folder) / "zenity", fs::perms::owner_all);
    auto dialog = startFileDialog(loadRequest());
    ASSERT_TRUE(dialog);
    std::string path;
    EXPECT_EQ(finish(*dialog, path), FileDialog::State::failed);
}

// Processes of the group that have not ended (a zombie left to an init that
// does not reap counts as ended).
int liveMembersOf(pid_t group) {
    int live = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        if (!std::getline(stat, text)) continue;
        // pid (comm) state ppid pgrp ...
        const size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(text.substr(close + 2));
        char state = 0;
        long ppid = 0, pgrp = 0;
        fields >> state >> ppid >> pgrp;
        if (pgrp == group && state != 'Z' && state != 'X') ++live;
    }
    return live;
}

struct EndingCase {
    const char* name;
    const char* body;
};

const EndingCase kEndings[] = {
    {"ends on SIGTERM", "echo $$ > \"$OUT/pid\"\n/bin/sleep 30\n"},
    {"ignores SIGTERM", "trap '' TERM\necho $$ > \"$OUT/pid\"\n/bin/sleep 30\n"},
};

TEST_F(ChildProcessTest, PollingARunningDialogNeverWaitsAndClosingItEndsAndReapsItsProcesses) {
    for (const EndingCase& c : kEndings) {
        SCOPED_TRACE(c.name);
        fs::remove(fs::path(folder) / "pid");
        script("zenity", c.body);
        auto dialog = startFileDialog(loadRequest());
        ASSERT_TRUE(dialog);
        const auto end = Clock::now() + std::chrono::seconds(5);
        // The shell makes the file before it writes the number.
        while (lines("pid").empty() && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_FALSE(lines("pid").empty());
        std::string path;
        for (int i = 0; i < 20; ++i) EXPECT_EQ(dialog->poll(path), FileDialog::State::running);
        const pid_t pid = std::stoi(lines("pid").at(0));
        EXPECT_EQ(getpgid(pid), pid) << "a process group of its own";

        const auto before = Clock::now();
        dialog.reset();
        const auto took = Clock::now() - before;
        // SIGTERM, ~100 ms of grace, SIGKILL: well under half a second either way.
        EXPECT_LT(took, std::chrono::milliseconds(500));
        // Reaped (no zombie of ours), and the whole group gone (the script's sleep too).
        EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
        // SIGKILL is delivered asynchronously: allow the group a moment to die.
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (liveMembersOf(pid) != 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(liveMembersOf(pid), 0);
    }
}

TEST_F(ChildProcessTest, TheChildKeepsNoneOfOurDescriptors) {
    // Without O_CLOEXEC, as a host may have opened it.
    const std::string marker = folder + "/host-file";
    std::ofstream(marker) << "x";
    const int leaky = open(marker.c_str(), O_RDONLY);
    ASSERT_GE(leaky, 0);
    script("zenity", "/bin/ls -l /proc/$$/fd > \"$OUT/fds\"\nprintf '/x\\n'");
    auto dialog = startFileDialog(loadRequest());
    std::string path;
    ASSERT_EQ(finish(*dialog, path), FileDialog::State::chosen);
    close(leaky);
    const std::vector<std::string> fds = lines("fds");
    ASSERT_FALSE(fds.empty());
    for (const std::string& line : fds) EXPECT_EQ(line.find("host-file"), std::string::npos) << line;
}

struct OpenCase {
    const char* name;
    const char* opener;   // the xdg-open stand-in's body, null: none on PATH
    const char* mime;     // the xdg-mime stand-in's body, null: none on PATH
    DocumentOpener::State state;
    const char* detail;
};

const OpenCase kOpens[] = {
    {"opened", "exit 0", nullptr, DocumentOpener::State::opened, ""},
    {"no handler, type known", "exit 3", "[ \"$1 $2\" = 'query filetype' ] && printf 'application/x-vexal-test\\n'",
     DocumentOpener::State::noHandler, "application/x-vexal-test"},
    {"no handler, type unknown", "exit 3", "exit 4", DocumentOpener::State::noHandler, "pdf"},
    {"no handler, no xdg-mime", "exit 3", nullptr, DocumentOpener::State::noHandler, "pdf"},
    {"the file went away", "exit 2", nullptr, DocumentOpener::State::missing, ""},
    {"the handler failed", "exit 4", nullptr, DocumentOpener::State::failed, ""},
    {"no xdg-open", nullptr, nullptr, DocumentOpener::State::failed, "xdg-open"},
};

TEST_F(ChildProcessTest, OpeningADocumentAnswersWhatXdgOpenReported) {
    const std::string document = folder + "/Bedienungsanleitung f\xc3\xbcr Vexal.pdf";
    std::ofstream(document) << "%PDF";
    for (const OpenCase& c : kOpens) {
        SCOPED_TRACE(c.name);
        fs::remove(fs::path(folder) / "xdg-open");
        fs::remove(fs::path(folder) / "xdg-mime");
        fs::remove(fs::path(folder) / "args");
        if (c.opener) script("xdg-open", recording(c.opener));
        if (c.mime) script("xdg-mime", c.mime);
        auto opener = startOpenDocument(document);
        ASSERT_TRUE(opener);
        std::string detail;
        EXPECT_EQ(finish(*opener, detail), c.state);
        if (c.state == DocumentOpener::State::noHandler || c.state == DocumentOpener::State::failed) {
            EXPECT_EQ(detail, c.detail);
        }
        if (c.opener) {
            EXPECT_EQ(lines("args"), std::vector<std::string>{document});
        }
    }
}

TEST_F(ChildProcessTest, AMissingDocumentStartsNothingAndANameLikeAnOptionIsNoOption) {
    script("xdg-open", recording("exit 0"));
    auto missing = startOpenDocument(folder + "/not there.pdf");
    ASSERT_TRUE(missing);
    std::string detail;
    EXPECT_EQ(missing->poll(detail), DocumentOpener::State::missing);
    EXPECT_FALSE(exists("args"));

    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    std::ofstream("--help") << "text";
    auto opener = startOpenDocument("--help");
    fs::current_path(previous);
    ASSERT_TRUE(opener);
    EXPECT_EQ(finish(*opener, detail), DocumentOpener::State::opened);
    EXPECT_EQ(lines("args"), std::vector<std::string>{"./--help"});
}

TEST_F(ChildProcessTest, ClosingWhileXdgOpenRunsEndsOnlyXdgOpen) {
    // xdg-open waits on a viewer that must outlive the editor.
    script("xdg-open", "/bin/sleep 30 &\necho $! > \"$OUT/viewer\"\necho $$ > \"$OUT/pid\"\nwait");
    const std::string document = folder + "/manual.pdf";
    std::ofstream(document) << "%PDF";
    auto opener = startOpenDocument(document);
    ASSERT_TRUE(opener);
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (!(exists("pid") && exists("viewer")) && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(exists("pid") && exists("viewer"));
    std::string detail;
    EXPECT_EQ(opener->poll(detail), DocumentOpener::State::running);
    const pid_t pid = std::stoi(lines("pid").at(0));
    const pid_t viewer = std::stoi(lines("viewer").at(0));
    opener.reset();
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(kill(viewer, 0), 0) << "the viewer still runs";
    kill(viewer, SIGKILL);
}

}  // namespace
