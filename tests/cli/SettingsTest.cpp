// Settings by name: --set is the inverse of the value texts `vexal params`
// shows; programs, presets, banks and chunks reach the plug-in's preset
// system; the demo renders.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "CliHarness.h"
#include "host/TestHost.h"

using namespace clitest;

namespace {

struct ParamLine {
    std::string text;
    float hostValue = 0.0f;
};

// The value text and host value `vexal params` shows for one parameter.
ParamLine paramLine(const RunResult& r, int index) {
    std::istringstream lines(r.out);
    std::string line;
    const std::string head = (index < 10 ? "  " : " ") + std::to_string(index) + "  ";
    while (std::getline(lines, line)) {
        if (line.rfind(head, 0) != 0) continue;
        // index(4) name(15) value(11) label(6) host value
        ParamLine p;
        p.text = line.substr(20, 10);
        p.text.erase(p.text.find_last_not_of(' ') + 1);
        p.hostValue = std::stof(line.substr(line.find_last_of(' ') + 1));
        return p;
    }
    ADD_FAILURE() << "no line for parameter " << index << " in\n" << r.out;
    return {};
}

ParamLine afterSet(int index, const std::string& assignment) {
    const RunResult r = runVexal({"params", "--set", assignment});
    EXPECT_EQ(r.status, 0) << assignment << ": " << r.err;
    return paramLine(r, index);
}

class Settings : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(Settings, SetIsTheInverseOfTheContinuousValueTexts) {
    struct Case {
        int index;
        const char* name;
        std::vector<double> values;
    };
    const Case cases[] = {
        {0, "Output", {0.0, -0.1, -3.0, -6.5, -12.0411}},
        {1, "Drive", {-24.0823, -6.0, 0.0, 0.5, 4.0, 6.0, 12.5, 24.08239}},
        {2, "Transient", {0.0, 0.02, 0.125, 0.3, 0.5}},
        {3, "Release", {1.0, 2.5, 50.0, 120.0, 200.0, 999.0, 1000.0}},
        {5, "L/R Link", {0.0, 33.0, 50.0, 66.6, 100.0}},
        {13, "Leveller", {-40.0, -12.0411, -6.0, -0.5}},
    };
    for (const Case& c : cases)
        for (double asked : c.values) {
            std::ostringstream assignment;
            assignment << c.name << "=" << asked;
            SCOPED_TRACE(assignment.str());
            const ParamLine shown = afterSet(c.index, assignment.str());
            // The host value is a float: one step of it can move the text by
            // more than its last digit (Drive: 48 dB per unit, a float step
            // near 0.6 is 6e-8, so up to 3e-6 dB), and the text cuts digits
            // rather than rounding. The nearest text is within one unit of
            // its last digit plus that step.
            const size_t point = shown.text.find('.');
            const double lastDigit = std::pow(10.0, -static_cast<double>(shown.text.size() - point - 1));
            EXPECT_NEAR(std::stod(shown.text), asked, lastDigit + 3e-6) << shown.text;
        }
    // Round numbers that a float host value can show exactly.
    EXPECT_EQ(afterSet(3, "Release=120").text, "120.0000");
    EXPECT_EQ(afterSet(3, "Release=120 ms").text, "120.0000");
    EXPECT_EQ(afterSet(5, "L/R Link=50").text, "50.00000");
    EXPECT_EQ(afterSet(13, "Leveller=-6").text, "-6.00000");
    EXPECT_EQ(afterSet(0, "Output=-3dB").text, "-3.00000");
    EXPECT_EQ(afterSet(1, "Drive=0").text, "0.000000");
    EXPECT_EQ(afterSet(1, "Drive=0").hostValue, 0.5f);
    // What params shows at the ends sets the ends.
    EXPECT_EQ(afterSet(0, "Output=-12.0411").hostValue, 0.0f);
    EXPECT_EQ(afterSet(1, "Drive=24.08239").hostValue, 1.0f);
    EXPECT_EQ(afterSet(3, "Release=1000").hostValue, 1.0f);
    // Leveller's top position is 0 dB, "off"; its bottom is -oo.
    EXPECT_EQ(afterSet(13, "Leveller=off").hostValue, 1.0f);
    EXPECT_EQ(afterSet(13, "Leveller=0").hostValue, 1.0f);
    EXPECT_EQ(afterSet(13, "Leveller=0").text, "0.000000");
    EXPECT_EQ(afterSet(13, "Leveller=-oo").hostValue, 0.0f);
}

TEST_F(Settings, SetSelectsEveryStepByItsText) {
    testhost::TestHost host;
    testhost::Instance fx(host);
    for (int index = 0; index < 22; ++index) {
        // The step texts as the plug-in shows them, through its binary interface.
        std::vector<std::string> texts;
        for (int step = 0; step < 8; ++step) {
            fx.setParameter(index, (step + 0.5f) / 8.0f);
            const std::string text = fx.parameterDisplay(index);
            if (texts.empty() || texts.back() != text) texts.push_back(text);
        }
        if (index <= 3 || index == 5 || index == 13) continue;  // continuous
        for (const std::string& text : texts) {
            SCOPED_TRACE(fx.parameterName(index) + "=" + text);
            const ParamLine shown = afterSet(index, fx.parameterName(index) + "=" + text);
            EXPECT_EQ(shown.text, text);
            fx.setParameter(index, shown.hostValue);
            EXPECT_EQ(fx.parameterDisplay(index), text);
        }
    }
    EXPECT_EQ(afterSet(11, "noiseshape=TYPE B").text, "type B");
    EXPECT_EQ(afterSet(10, "Bits=24").text, "24");
}

TEST_F(Settings, SetsApplyAfterTheProgramInTheirOrder) {
    const RunResult r = runVexal({"params", "--program", "CD Master 1", "--set", "Drive=3",
                                  "--set", "Drive=5", "--raw", "5=0.25"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("program 8 \"CD Master 1\""), std::string::npos) << r.out;
    EXPECT_EQ(paramLine(r, 1).text.substr(0, 4), "5.00");
    EXPECT_EQ(paramLine(r, 5).hostValue, 0.25f);
    EXPECT_EQ(paramLine(r, 11).text, "type B");  // from the program
}

TEST_F(Settings, ProgramsAreThePluginsFactoryPrograms) {
    testhost::TestHost host;
    testhost::Instance fx(host);
    const RunResult r = runVexal({"programs"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);  // header
    int count = 0;
    while (std::getline(lines, line)) {
        const std::string name = fx.stringRequest(vst::effGetProgramNameIndexed, count);
        EXPECT_EQ(line.substr(0, 5 + name.size()), (count < 10 ? "  " : " ") + std::to_string(count) + "  " + name);
        ++count;
    }
    EXPECT_EQ(count, 24);
    EXPECT_NE(r.out.find(" 8  CD Master 1 "), std::string::npos);
    EXPECT_NE(r.out.find("23  Total Disorder "), std::string::npos);
    // By number and by name alike.
    EXPECT_EQ(paramLine(runVexal({"params", "--program", "23"}), 1).text, "12.04119");
    EXPECT_EQ(paramLine(runVexal({"params", "--program", "total disorder"}), 1).text, "12.04119");
    // The start of one name only.
    EXPECT_NE(runVexal({"params", "--program", "cd master 3"}).out.find("program 10 \"CD Master 3 [recon]\""),
              std::string::npos);
    EXPECT_NE(runVexal({"params", "--program", "TOTAL"}).out.find("program 23 "), std::string::npos);
}

TEST_F(Settings, PresetBankAndChunkFilesCarryTheSettings) {
    const RunResult saved = runVexal({"params", "--program", "Game 2", "--set", "Drive=7",
                                      "--save-preset", dir / "p.zvk", "--save-bank", dir / "b.zvb",
                                      "--save-chunk", dir / "c.bin"});
    ASSERT_EQ(saved.status, 0) << saved.err;
    const std::string drive = paramLine(saved, 1).text;

    // A preset loads into the current program.
    const RunResult preset = runVexal({"params", "--preset", dir / "p.zvk"});
    EXPECT_EQ(paramLine(preset, 1).text, drive);
    EXPECT_EQ(paramLine(preset, 10).text, "8");
    // A bank ends on program 0, and holds the changed program 12.
    const RunResult bank = runVexal({"params", "--bank", dir / "b.zvb", "--program", "12"});
    EXPECT_EQ(paramLine(bank, 1).text, drive);
    // The chunk restores the bank and the selected program.
    const RunResult chunk = runVexal({"params", "--chunk", dir / "c.bin"});
    EXPECT_NE(chunk.out.find("program 12 \"Game 2\""), std::string::npos) << chunk.out;
    EXPECT_EQ(paramLine(chunk, 1).text, drive);
}

TEST_F(Settings, UserStateIsReadNeverWrittenAndIgnoredOnRequest) {
    const std::string config = dir / "config";
    auto configFiles = [&] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::recursive_directory_iterator(config)) names.push_back(e.path().string());
        return names;
    };
    writeAudio(dir / "in.wav", testSignal(44100, 2, 2000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    ASSERT_EQ(runVexal({"params", "--set", "Drive=7", "--save-preset", dir / "p.zvk", "--save-bank", dir / "b.zvb"}).status, 0);
    EXPECT_NE(runVexal({"params", "--preset", dir / "in.wav"}).status, 0);  // a failed load
    EXPECT_NE(runVexal({"params", "--bank", dir / "missing.zvb"}).status, 0);
    EXPECT_EQ(runVexal({"params", "--preset", "p.zvk"}).status, 2);  // relative, not found here
    EXPECT_EQ(runVexal({"params", "--preset", dir / "p.zvk", "--bank", dir / "b.zvb"}).status, 0);
    EXPECT_EQ(runVexal({"process", dir / "in.wav", "-o", dir / "out.wav", "--quiet", "--preset", dir / "p.zvk"}).status, 0);
    EXPECT_EQ(configFiles(), std::vector<std::string>{});

    // A stored default program is what a new instance starts with, unless
    // --no-user-state.
    std::filesystem::copy_file(dir / "p.zvk", config + "/DefaultPreset");
    EXPECT_EQ(paramLine(runVexal({"params"}), 1).text.substr(0, 5), "7.000");
    EXPECT_EQ(paramLine(runVexal({"params", "--no-user-state"}), 1).text, "0.000000");
    EXPECT_EQ(configFiles(), std::vector<std::string>{config + "/DefaultPreset"});
}

TEST_F(Settings, DemoWritesItsFilesAndReports) {
    const RunResult r = runVexal({"demo", dir / "demo", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Audio in = readAudio(dir / "demo/demo-in.wav");
    const Audio out = readAudio(dir / "demo/demo-out.wav");
    EXPECT_EQ(in.sampleRate, 44100);
    EXPECT_EQ(in.channels, 2);
    EXPECT_EQ(in.frames(), 15 * 44100);
    EXPECT_EQ(out.frames(), in.frames());
    EXPECT_NE(r.out.find("program 9 \"CD Master 2\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("deepest gain reduction"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

}  // namespace
