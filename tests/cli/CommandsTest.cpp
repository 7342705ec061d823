// The commands around process: analyze, params --explain, help and
// --version.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "CliHarness.h"
#include "Options.h"

using namespace clitest;

namespace {

class Commands : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(Commands, AnalyzeReportsWhatProcessReportsAndWritesNothing) {
    writeAudio(dir / "in.wav", testSignal(48000, 2, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_24));
    const std::vector<std::string> settings = {"--program", "cd master 3", "--set", "Drive=5"};
    std::vector<std::string> process = {"process", dir / "in.wav", "-o", dir / "out.wav", "--format", "float32",
                                        "--json", "--quiet"};
    process.insert(process.end(), settings.begin(), settings.end());
    const RunResult rendered = runVexal(process);
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    std::remove((dir / "out.wav").c_str());

    const RunResult plain = runVexal({"analyze", dir / "in.wav", "--json"});
    std::vector<std::string> through = {"analyze", dir / "in.wav", "--through", "--json", "--quiet"};
    through.insert(through.end(), settings.begin(), settings.end());
    const RunResult passed = runVexal(through);
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(passed.status, 0) << passed.err;
    for (const char* key : {"samplePeakDbfs", "truePeakDbtp", "integratedLufs", "loudnessRangeLu"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(jsonNumber(plain.out, "in", key), jsonNumber(rendered.out, "in", key));
        EXPECT_EQ(jsonNumber(passed.out, "in", key), jsonNumber(rendered.out, "in", key));
        // The plug-in's output before the file's float rounding: within it.
        EXPECT_NEAR(jsonNumber(passed.out, "out", key), jsonNumber(rendered.out, "out", key), 1e-5);
    }
    EXPECT_NE(passed.out.find("\"output\": null"), std::string::npos);
    EXPECT_NE(plain.out.find("\"truePeakMethod\": "), std::string::npos);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"in.wav"});

    const RunResult text = runVexal({"analyze", dir / "in.wav"});
    EXPECT_NE(text.out.find("  48000 Hz, stereo, 1.000 s, 24-bit PCM\n  sample peak"), std::string::npos) << text.out;
    // A truncated file is named here too.
    const std::string bytes = readBytes(dir / "in.wav");
    std::ofstream(dir / "cut.wav", std::ios::binary) << bytes.substr(0, bytes.size() - 48000 * 6 / 4);
    const RunResult cut = runVexal({"analyze", dir / "cut.wav"});
    EXPECT_EQ(cut.status, 0);
    EXPECT_NE(cut.err.find("cut.wav: truncated: the data ends 0.250 s (12000 frames)"), std::string::npos) << cut.err;
}

// The loudness range of the synthetic cases of EBU Tech 3342: 1 kHz stereo
// tones, 20 s at each level in turn (at 24 kHz, to keep the test short); the
// range is the difference of the loudest and quietest levels, within ±1 LU
// (the document's tolerance). The renderer's figure lands within 0.01 LU.
TEST_F(Commands, LoudnessRangeMeetsTheSyntheticCasesOfTech3342) {
    struct Case {
        std::vector<double> levelsDbfs;
        double range;
    };
    for (const Case& c : {Case{{-20, -30}, 10}, Case{{-20, -15}, 5}, Case{{-40, -20}, 20},
                          Case{{-50, -35, -20, -35, -50}, 15}}) {
        Audio a;
        a.sampleRate = 24000;
        a.channels = 2;
        a.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        int64_t n = 0;
        for (double level : c.levelsDbfs)
            for (int64_t i = 0; i < 20 * 24000; ++i, ++n) {
                const double v = std::pow(10.0, level / 20.0) * std::sin(2 * M_PI * 1000.0 * static_cast<double>(n) / 24000);
                a.samples.insert(a.samples.end(), {v, v});
            }
        writeAudio(dir / "tones.wav", a);
        const RunResult r = runVexal({"analyze", dir / "tones.wav", "--json"});
        ASSERT_EQ(r.status, 0) << r.err;
        const double range = jsonNumber(r.out, "", "loudnessRangeLu");
        EXPECT_NEAR(range, c.range, 0.05) << c.levelsDbfs.size() << " levels";
        std::printf("levels %zu, expected %.0f LU: %.2f LU\n", c.levelsDbfs.size(), c.range, range);
    }
}

TEST_F(Commands, ExplainSaysWhatEveryParameterDoesAsTheDocsDo) {
    const RunResult r = runVexal({"params", "--explain"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream docsFile(VEXAL_DOCS_DIR "/vexal.md");
    std::stringstream docs;
    docs << docsFile.rdbuf();
    std::istringstream lines(r.out);
    std::string line, name;
    int index = -1, explained = 0;
    while (std::getline(lines, line)) {
        if (line.size() > 4 && line[2] != ' ' && std::isdigit(static_cast<unsigned char>(line[2]))) {
            index = std::stoi(line.substr(0, 4));
            name = line.substr(5, line.find(' ', 5) - 5);
            continue;
        }
        if (line.rfind("     ", 0) != 0 || index < 0) continue;
        const size_t colon = line.find(": ");
        ASSERT_NE(colon, std::string::npos) << line;
        const std::string row = "| " + std::to_string(index) + " | `" + name + "` | " + line.substr(5, colon - 5) +
                                " | " + line.substr(colon + 2) + " |";
        EXPECT_NE(docs.str().find(row), std::string::npos) << "docs/vexal.md has no row\n" << row;
        ++explained;
    }
    EXPECT_EQ(explained, 26);
}

// The option table drives both the parser and the help: every option a
// command takes is in that command's help, a switch refuses a value and an
// option with a value wants one.
TEST_F(Commands, EveryOptionIsInItsCommandsHelpWithItsArity) {
    using vexal::cli::Command;
    const std::pair<Command, const char*> commands[] = {
        {Command::process, "process"}, {Command::analyze, "analyze"}, {Command::programs, "programs"},
        {Command::params, "params"},   {Command::demo, "demo"},       {Command::snapshot, "snapshot"}};
    for (const vexal::cli::Option& option : vexal::cli::kOptions) {
        const std::string name(option.name);
        SCOPED_TRACE(name);
        const char* first = nullptr;
        for (const auto& [command, word] : commands) {
            if (!option.takenBy(command)) continue;
            if (!first) first = word;
            const std::string help = runVexal({"help", word}).out;
            const std::string shown = option.takesValue() ? name + " " + std::string(option.value) : name;
            size_t at = help.find(shown);
            while (at != std::string::npos && std::string(" ])\n").find(help[at + shown.size()]) == std::string::npos)
                at = help.find(shown, at + 1);
            EXPECT_NE(at, std::string::npos) << word << " help:\n" << help;
        }
        ASSERT_NE(first, nullptr) << "no command takes it";
        const RunResult r = option.takesValue() ? runVexal({first, name}) : runVexal({first, name + "=1"});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "vexal: " + name + (option.takesValue() ? " needs a value" : " takes no value") +
                             " (vexal --help shows the usage)\n");
    }
}

TEST_F(Commands, HelpForEveryCommandAndTheVersion) {
    for (const char* command : {"process", "analyze", "programs", "params", "demo"}) {
        SCOPED_TRACE(command);
        const RunResult help = runVexal({"help", command});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("usage: vexal ") + command, 0), 0u) << help.out;
        EXPECT_EQ(runVexal({command, "--help"}).out, help.out);
    }
    const RunResult general = runVexal({"help"});
    EXPECT_EQ(general.status, 0);
    EXPECT_EQ(runVexal({"--help"}).out, general.out);
    EXPECT_NE(general.out.find("analyze FILE..."), std::string::npos);
    const RunResult version = runVexal({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vexal 1.0 (ZVK Vexal by Ortelwerk)\n");
}

}  // namespace
