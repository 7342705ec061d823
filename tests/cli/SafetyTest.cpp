// Errors and safety: one clear line on stderr naming the file and the
// problem, exit status 2 for usage and 1 for processing, inputs never
// overwritten, no partial output, and a batch that goes on past a bad file.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "CliHarness.h"

using namespace clitest;

namespace {

class Safety : public ::testing::Test {
protected:
    void SetUp() override { writeAudio(dir / "in.wav", testSignal(44100, 2, 8000, SF_FORMAT_WAV | SF_FORMAT_PCM_16)); }
    void writeText(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    static int lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    TempDir dir;
};

TEST_F(Safety, UsageErrorsExitWithTwoAndOneLine) {
    const std::string in = dir / "in.wav";
    const std::string out = dir / "out.wav";
    struct Case {
        std::vector<std::string> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{}, "no command"},
        {{"mix"}, "unknown command"},
        {{"process", in, "-o", out, "--loud"}, "--loud"},
        {{"process", in}, "-o OUT or --out-dir"},
        {{"process", in, "-o", out, "--out-dir", dir.str()}, "-o OUT or --out-dir"},
        {{"process", in, in, "-o", out}, "--out-dir for several"},
        {{"process", "-o", out}, "no input"},
        {{"process", in, "-o", out, "--block", "0"}, "--block"},
        {{"process", in, "-o", out, "--ceiling-dbtp", "0.5"}, "--ceiling-dbtp: \"0.5\" is not a number from -20 to 0"},
        {{"process", in, "-o", out, "--target-lufs", "loud"}, "--target-lufs"},
        {{"process", in, "-o", out, "--album"}, "--album needs --target-lufs or --ceiling-dbtp"},
        {{"process", in, "-o", out, "--block"}, "needs a value"},
        {{"process", in, "-o", out, "--format", "pcm8"}, "pcm8"},
        {{"process", in, "-o", out, "--program", "99"}, "99"},
        {{"process", in, "-o", out, "--program", "No Such Program"}, "No Such Program"},
        {{"process", in, "-o", out, "--program", "loud"}, "\"loud\" is ambiguous: \"Loudness 1\", \"Loudness 2\", \"Loudness 3\", \"Loud Love\", \"Loud It Up\""},
        {{"help", "mix"}, "help: no command \"mix\""},
        {{"analyze"}, "analyze: no input file"},
        {{"analyze", in, "--set", "Drive=3"}, "settings apply only with --through"},
        {{"analyze", in, "--through", "--set", "Drive=99"}, "out of range"},
        {{"process", in, "-o", out, "--set", "Loudness=3"}, "Loudness"},
        {{"process", in, "-o", out, "--set", "Drive=30"}, "out of range"},
        {{"process", in, "-o", out, "--set", "Drive=-25"}, "out of range"},
        {{"process", in, "-o", out, "--set", "Release=0.5"}, "out of range"},
        {{"process", in, "-o", out, "--set", "L/R Link=101"}, "out of range"},
        {{"process", in, "-o", out, "--set", "Leveller=1"}, "out of range"},
        {{"process", in, "-o", out, "--set", "Drive=loud"}, "not a number"},
        {{"process", in, "-o", out, "--set", "NoiseShape=type D"}, "type D"},
        {{"process", in, "-o", out, "--set", "Drive"}, "NAME=VALUE"},
        {{"process", in, "-o", out, "--set", "dummy=1"}, "--raw"},
        {{"process", in, "-o", out, "--raw", "26=0.5"}, "26"},
        {{"process", in, "-o", out, "--raw", "1=1.5"}, "1.5"},
        {{"process", in, "-o", dir / "out.xyz"}, ".xyz"},
        {{"process", in, "-o", dir.str()}, "is a folder; name the output file"},
        {{"process", in, "-o", dir.str() + "/"}, "or use --out-dir"},
        {{"process", in, "-o", dir / "out"}, "has no extension to choose the output format by; add one"},
        {{"process", in, "-o", dir / "out.flac", "--format", "float32"}, "float"},
        {{"process", in, "-o", out, "--chunk", dir / "missing.bin"}, "missing.bin"},
        {{"process", in, "-o", out, "--chunk", in}, "refused"},
        {{"process", in, "-o", out, "--preset", in}, "preset"},
        {{"process", in, "-o", out, "--bank", in}, "bank"},
        {{"params", "--keep-latency"}, "--keep-latency"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const RunResult r = runVexal(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fileExists(out));
    }
    EXPECT_EQ(dir.list(), std::vector<std::string>{"in.wav"});
}

TEST_F(Safety, NeverWritesOverAnInput) {
    const std::string before = readBytes(dir / "in.wav");
    ASSERT_EQ(symlink((dir / "in.wav").c_str(), (dir / "link.wav").c_str()), 0);
    ASSERT_EQ(link((dir / "in.wav").c_str(), (dir / "hard.wav").c_str()), 0);
    for (const std::string& target : {dir / "in.wav", dir / "link.wav", dir / "hard.wav",
                                      dir.str() + "/./in.wav"}) {
        SCOPED_TRACE(target);
        const RunResult r = runVexal({"process", dir / "in.wav", "-o", target, "--quiet"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("is an input file"), std::string::npos) << r.err;
    }
    // The input's own folder as the output folder.
    const RunResult r = runVexal({"process", dir / "in.wav", "--out-dir", dir.str(), "--quiet"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readBytes(dir / "in.wav"), before);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"hard.wav", "in.wav", "link.wav"}));
}

TEST_F(Safety, AFailureLeavesNoFileAndKeepsTheExistingOne) {
    writeText("corrupt.wav", "RIFF\x10\x00\x00\x00WAVEjunk that is not audio at all");
    writeText("existing.wav", "precious");
    struct Case {
        std::string input;
        std::string output;
        const char* mentions;
    };
    for (const Case& c : {Case{dir / "corrupt.wav", dir / "existing.wav", "corrupt.wav"},
                          Case{dir / "absent.wav", dir / "existing.wav", "absent.wav"},
                          Case{dir / "in.wav", dir / "no/such/folder/out.wav", "out.wav"}}) {
        SCOPED_TRACE(c.input + " -> " + c.output);
        const RunResult r = runVexal({"process", c.input, "-o", c.output, "--quiet"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(readBytes(dir / "existing.wav"), "precious");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"corrupt.wav", "existing.wav", "in.wav"}));
}

TEST_F(Safety, ABatchGoesOnPastABadFile) {
    writeAudio(dir / "b.wav", testSignal(44100, 1, 3000, SF_FORMAT_WAV | SF_FORMAT_PCM_24));
    writeAudio(dir / "surround.wav", testSignal(44100, 6, 3000, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    writeText("bad.wav", "not audio");
    const RunResult r = runVexal({"process", dir / "in.wav", dir / "bad.wav", dir / "surround.wav",
                                  dir / "b.wav", "--out-dir", dir / "out", "--quiet", "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 2 + 2) << r.err;  // two failures, two warnings about the word length
    EXPECT_NE(r.err.find("bad.wav: cannot read audio"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("surround.wav: 6 channels"), std::string::npos) << r.err;
    EXPECT_EQ(readAudio(dir / "out/in.wav").frames(), 8000);
    EXPECT_EQ(readAudio(dir / "out/b.wav").frames(), 3000);
    EXPECT_FALSE(fileExists(dir / "out/bad.wav"));
    EXPECT_FALSE(fileExists(dir / "out/surround.wav"));
    // The JSON report lists every input, with the error of the bad ones.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + 4 + 1) << r.out;
    EXPECT_NE(r.out.find("\"error\": "), std::string::npos);
}

TEST_F(Safety, TwoInputsOfOneNameDoNotOverwriteEachOther) {
    ASSERT_EQ(mkdir((dir / "second").c_str(), 0755), 0);
    writeAudio(dir / "second/in.wav", testSignal(44100, 1, 100, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const RunResult r = runVexal({"process", dir / "in.wav", dir / "second/in.wav", "--out-dir",
                                  dir / "out", "--quiet", "--set", "Quantize=on"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("already written by this run"), std::string::npos) << r.err;
    EXPECT_EQ(readAudio(dir / "out/in.wav").channels, 2);
}

TEST_F(Safety, AnInterruptedRenderLeavesNoFile) {
    // Two minutes of audio take long enough to be interrupted while writing.
    writeAudio(dir / "long.wav", testSignal(44100, 2, 44100 * 120, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const std::string in = dir / "long.wav";
    const std::string out = dir / "out.wav";
    const char* argv[] = {VEXAL_BINARY, "process", in.c_str(), "-o", out.c_str(), "--quiet", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, VEXAL_BINARY, &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (WIFSIGNALED(status)) {
        EXPECT_EQ(WTERMSIG(status), SIGINT);
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"in.wav", "long.wav"}));
    } else {
        // Finished before the signal: then the output is complete.
        EXPECT_EQ(readAudio(out).frames(), 44100 * 120);
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"in.wav", "long.wav", "out.wav"}));
    }
}

}  // namespace
