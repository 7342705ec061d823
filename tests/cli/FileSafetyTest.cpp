// vexal's files under full disks, odd files, write protection and signals:
// a save or render that fails says so in one line with status 1 and leaves
// the old file byte for byte; preset, bank and chunk paths are regular files
// or refused at once; a signal in any pass leaves no temporary file.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "../support/SmallFilesystem.h"
#include "CliHarness.h"
#include "CommandLine.h"
#include "Commands.h"
#include "UsageError.h"
#include "platform/FileReplacement.h"

using namespace clitest;
using vexal::platform::testhook::FaultAt;

namespace {

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

class FileSafety : public ::testing::Test {
protected:
    void SetUp() override {
        writeAudio(dir / "in.wav", testSignal(44100, 2, 8000, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    }
    void TearDown() override { vexal::platform::testhook::clearFault(); }
    void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    TempDir dir;
};

TEST_F(FileSafety, PresetBankAndChunkPathsAreRegularFilesOrRefusedAtOnce) {
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    } const cases[] = {
        {{"--preset", dir / "pipe"}, 2, dir / "pipe" + ": is a named pipe, not a file"},
        {{"--bank", dir / "pipe"}, 2, dir / "pipe" + ": is a named pipe, not a file"},
        {{"--chunk", dir / "pipe"}, 2, dir / "pipe" + ": is a named pipe, not a file"},
        {{"--chunk", "/dev/zero"}, 2, "/dev/zero: is a device, not a file"},
        {{"--bank", "/dev/zero"}, 2, "/dev/zero: is a device, not a file"},
        {{"--preset", dir / "folder"}, 2, dir / "folder" + ": is a folder, not a file"},
        {{"--save-preset", dir / "pipe"}, 1, dir / "pipe" + ": preset not saved: is a named pipe, not a file"},
        {{"--save-bank", "/dev/null"}, 1, "/dev/null: bank not saved: is a device, not a file"},
        {{"--save-chunk", dir / "folder"}, 1, dir / "folder" + ": chunk not saved: is a folder, not a file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        std::vector<std::string> args{"params"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = runVexal(args);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "vexal: " + c.says + (c.status == 2 ? " (vexal --help shows the usage)\n" : "\n"));
    }
    struct stat st {};
    ASSERT_EQ(lstat((dir / "pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"folder", "in.wav", "pipe"}));
}

// Old files of every kind vexal writes over.
struct OldFiles {
    explicit OldFiles(const std::string& folder) : folder(folder) {
        for (const char* name : kNames) std::ofstream(folder + "/" + name, std::ios::binary) << "old " << name;
    }
    void expectKept() const {
        for (const char* name : kNames) EXPECT_EQ(readBytes(folder + "/" + name), std::string("old ") + name) << name;
    }
    static constexpr const char* kNames[] = {"mine.zvk", "mine.zvb", "mine.chunk", "out.wav"};
    std::string folder;
};

std::vector<std::vector<std::string>> writersInto(const std::string& folder, const std::string& input) {
    return {{"params", "--save-preset", folder + "/mine.zvk"},
            {"params", "--save-bank", folder + "/mine.zvb"},
            {"params", "--save-chunk", folder + "/mine.chunk"},
            {"process", input, "-o", folder + "/out.wav", "--quiet"},
            {"process", input, "-o", folder + "/out.wav", "--quiet", "--ceiling-dbtp", "-1"}};
}

vexal::cli::CommandLine parsed(const std::vector<std::string>& words) {
    std::vector<std::string> all{"vexal"};
    all.insert(all.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& w : all) argv.push_back(w.data());
    return vexal::cli::parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST_F(FileSafety, ASaveOrRenderOntoAFullDiskKeepsTheOldFile) {
    // Injected into the file helper, in this process: a full disk at the
    // first byte, half way, and at the flush after the audio was written.
    const OldFiles old(dir.str());
    for (const auto& [where, after] : {std::pair{FaultAt::write, size_t{0}}, std::pair{FaultAt::write, size_t{600}},
                                       std::pair{FaultAt::flush, size_t{0}}}) {
        for (const std::vector<std::string>& words : writersInto(dir.str(), dir / "in.wav")) {
            SCOPED_TRACE(words[1] + " " + words[2]);
            if (words[0] == "process" && where == FaultAt::write) continue;  // libsndfile writes the audio itself
            vexal::platform::testhook::injectFault(where, ENOSPC, after);
            const vexal::cli::CommandLine line = parsed(words);
            if (line.command == vexal::cli::Command::params) {
                try {
                    vexal::cli::runParams(line);
                    ADD_FAILURE() << "saved on a full disk";
                } catch (const vexal::cli::ProcessingError& e) {
                    EXPECT_NE(std::string(e.what()).find("not saved: cannot be written: no space left on device"),
                              std::string::npos) << e.what();
                }
            } else {
                EXPECT_EQ(vexal::cli::runProcess(line), 1);
            }
            vexal::platform::testhook::clearFault();
        }
    }
    old.expectKept();
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"in.wav", "mine.chunk", "mine.zvb", "mine.zvk", "out.wav"}));

    // A file system that is really full: vexal itself, one line, status 1.
    const std::string small = dir / "small";
    ASSERT_EQ(mkdir(small.c_str(), 0755), 0);
    EXPECT_SMALL_FILESYSTEM_PASSES(testsupport::withSmallFilesystem(small, 64 * 1024, [&] {
        const OldFiles onSmall(small);
        testsupport::fillUp(small);
        for (const std::vector<std::string>& words : writersInto(small, dir / "in.wav")) {
            SCOPED_TRACE(words[1] + " " + words[2]);
            const RunResult r = runVexal(words);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(lineCount(r.err), 1) << r.err;
            EXPECT_NE(r.err.find("no space left on device"), std::string::npos) << r.err;
        }
        onSmall.expectKept();
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(small)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"filler", "mine.chunk", "mine.zvb", "mine.zvk", "out.wav"}));
    }));
}

TEST_F(FileSafety, AWriteProtectedFileIsKeptUnlessForcedAndNeverChangesOwner) {
    const OldFiles old(dir.str());
    for (const char* name : OldFiles::kNames) ASSERT_EQ(chmod((dir / name).c_str(), 0444), 0);
    for (const std::vector<std::string>& words : writersInto(dir.str(), dir / "in.wav")) {
        SCOPED_TRACE(words[1] + " " + words[2]);
        const RunResult r = runVexal(words);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(lineCount(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(": is write-protected; --force replaces it\n"), std::string::npos) << r.err;
    }
    old.expectKept();
    for (std::vector<std::string> words : writersInto(dir.str(), dir / "in.wav")) {
        words.push_back("--force");
        EXPECT_EQ(runVexal(words).status, 0) << words[1];
    }
    for (const char* name : OldFiles::kNames) {
        struct stat st {};
        ASSERT_EQ(stat((dir / name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0444u) << name;
        EXPECT_NE(readBytes(dir / name), std::string("old ") + name) << name;
    }
    EXPECT_EQ(runVexal({"process", dir / "in.wav", "-o", dir / "x.wav", "--force", "--no-clobber"}).status, 2);

    // Someone else's file in a folder everybody may write: an ordinary user
    // may not write it, and even --force does not make it theirs.
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) return;
    ASSERT_EQ(chmod(dir.str().c_str(), 0777), 0);
    writeText(dir / "theirs.wav", "root's");
    ASSERT_EQ(chmod((dir / "theirs.wav").c_str(), 0644), 0);
    const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const RunResult refused = runVexalAs(asNobody, {"process", dir / "in.wav", "-o", dir / "theirs.wav", "--quiet"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "vexal: " + dir / "theirs.wav" + ": is write-protected; --force replaces it\n");
    const RunResult forced =
        runVexalAs(asNobody, {"process", dir / "in.wav", "-o", dir / "theirs.wav", "--quiet", "--force"});
    EXPECT_EQ(forced.status, 1);
    EXPECT_NE(forced.err.find("belongs to another user"), std::string::npos) << forced.err;
    struct stat st {};
    ASSERT_EQ(stat((dir / "theirs.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(readBytes(dir / "theirs.wav"), "root's");
    EXPECT_EQ(dir.list().size(), 6u);  // no temporary left
}

// Starts vexal, waits until it has made `temporaries` temporary files beside
// its output (one per pass of a delivery; a pass that is not the best so far
// drops its own, so they are counted as they appear), then sends `signal`.
void interruptInPass(const std::string& folder, const std::vector<std::string>& args, int temporaries, int signal) {
    std::vector<char*> argv{const_cast<char*>(VEXAL_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, VEXAL_BINARY, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::set<std::string> names;
    int seen = 0;
    while (seen < temporaries && std::chrono::steady_clock::now() < end) {
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.path().filename().string().starts_with(".out.wav.vexal-")) names.insert(e.path().filename());
        seen = static_cast<int>(names.size());
        if (waitpid(pid, nullptr, WNOHANG) == pid) FAIL() << "ended before pass " << temporaries;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(seen, temporaries);
    kill(pid, signal);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), signal);
}

TEST_F(FileSafety, ASignalInAnyPassOfADeliveryLeavesNoTemporary) {
    // 40 s of a dynamic signal that −3 LUFS under −1 dBTP cannot reach: two
    // passes, the programme's Drive and the top of Drive's range.
    writeAudio(dir / "long.wav", testSignal(44100, 2, 44100 * 40, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.5));
    writeText(dir / "out.wav", "the delivery of last week");
    const std::vector<std::string> args = {"process", dir / "long.wav", "-o", dir / "out.wav", "--quiet",
                                           "--target-lufs", "-3"};
    const int signals[] = {SIGINT, SIGTERM};
    for (int pass = 1; pass <= 2; ++pass) {
        SCOPED_TRACE(pass);
        interruptInPass(dir.str(), args, pass, signals[pass - 1]);
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"in.wav", "long.wav", "out.wav"}));
        EXPECT_EQ(readBytes(dir / "out.wav"), "the delivery of last week");
    }
}

}  // namespace
