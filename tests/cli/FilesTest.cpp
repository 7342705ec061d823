// What vexal does with awkward inputs and outputs: formats a container
// cannot hold, truncated and non-finite inputs, existing outputs, links
// and permissions, lossy outputs that decode above the ceiling.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "CliHarness.h"

using namespace clitest;

namespace {

class Files : public ::testing::Test {
protected:
    TempDir dir;
    std::vector<std::string> process(const std::string& in, const std::string& out) {
        return {"process", in, "-o", out, "--quiet", "--json"};
    }
};

TEST_F(Files, AnInputFormatTheContainerCannotHoldBecomesTheNearestItCan) {
    struct Case {
        int32_t inputFormat;
        const char* input;
        const char* output;
        int32_t written;
        const char* said;  // in the warning; "" for none
    };
    const Case cases[] = {
        {SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, "in.mp3", "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24,
         "cannot hold the input's MP3; writing 24-bit PCM"},
        {SF_FORMAT_OGG | SF_FORMAT_VORBIS, "in.ogg", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
         "cannot hold the input's Vorbis; writing 24-bit PCM"},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, "in.wav", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
         "cannot hold the input's 32-bit float; writing 24-bit PCM"},
        {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, "in.wav", "out.aiff", SF_FORMAT_AIFF | SF_FORMAT_DOUBLE, ""},
        {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "in.flac", "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.input) + " -> " + c.output);
        writeAudio(dir / c.input, testSignal(48000, 2, 9600, c.inputFormat, 0.5));
        const RunResult r = runVexal({"process", dir / c.input, "-o", dir / c.output, "--quiet",
                                      "--set", "Quantize=on", "--set", "Bits=24"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readAudio(dir / c.output).format, c.written);
        if (*c.said)
            EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        else
            EXPECT_EQ(r.err.find("cannot hold"), std::string::npos) << r.err;
    }
}

TEST_F(Files, ATruncatedWavIsNamedWithWhatIsMissingAndFailsWhenStrict) {
    writeAudio(dir / "whole.wav", testSignal(44100, 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    // Half of the data cut off; the header still announces one second.
    const std::string bytes = readBytes(dir / "whole.wav");
    std::ofstream(dir / "cut.wav", std::ios::binary) << bytes.substr(0, bytes.size() - 44100 * 2);

    const RunResult whole = runVexal({"process", dir / "whole.wav", "-o", dir / "a.wav", "--quiet",
                                      "--set", "Quantize=on"});
    EXPECT_EQ(whole.err, "");
    const RunResult cut = runVexal({"process", dir / "cut.wav", "-o", dir / "b.wav", "--quiet",
                                    "--set", "Quantize=on"});
    EXPECT_EQ(cut.status, 0);
    EXPECT_NE(cut.err.find("cut.wav: truncated: the data ends 0.500 s (22050 frames) before its header says"),
              std::string::npos) << cut.err;
    EXPECT_EQ(readAudio(dir / "b.wav").frames(), 22050);
    const RunResult strict = runVexal({"process", dir / "cut.wav", "-o", dir / "c.wav", "--quiet", "--strict"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_NE(strict.err.find("cut.wav: truncated"), std::string::npos) << strict.err;
    EXPECT_FALSE(fileExists(dir / "c.wav"));

    // A streaming writer's header (sizes all ones): read to the end, no warning.
    std::string streaming = bytes;
    const size_t data = streaming.find("data");
    streaming.replace(data + 4, 4, "\xff\xff\xff\xff");
    streaming.replace(4, 4, "\xff\xff\xff\xff");
    std::ofstream(dir / "streaming.wav", std::ios::binary) << streaming;
    const RunResult stream = runVexal({"process", dir / "streaming.wav", "-o", dir / "d.wav", "--quiet", "--strict",
                                       "--set", "Quantize=on"});
    EXPECT_EQ(stream.status, 0) << stream.err;
    EXPECT_EQ(stream.err, "");
    EXPECT_EQ(readAudio(dir / "d.wav").samples, readAudio(dir / "a.wav").samples);

    // A header stating half the data: all of it is read, with a warning.
    std::string under = bytes;
    const uint32_t half = 44100 * 2;
    under.replace(data + 4, 4, std::string(reinterpret_cast<const char*>(&half), 4));
    std::ofstream(dir / "under.wav", std::ios::binary) << under;
    const RunResult more = runVexal({"process", dir / "under.wav", "-o", dir / "e.wav", "--quiet",
                                     "--set", "Quantize=on"});
    EXPECT_EQ(more.status, 0) << more.err;
    EXPECT_NE(more.err.find("under.wav: the header states 0.500 s but the data goes on for 0.500 s (22050 frames) "
                            "more; rendering all of it"),
              std::string::npos)
        << more.err;
    EXPECT_EQ(readAudio(dir / "e.wav").samples, readAudio(dir / "a.wav").samples);
}

TEST_F(Files, OddHeadersAreNamedAndSilenceReadsMinusInfinity) {
    Audio slow = testSignal(44100, 2, 100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    slow.sampleRate = 1;
    writeAudio(dir / "slow.wav", slow);
    const RunResult r = runVexal({"analyze", dir / "slow.wav"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("slow.wav: cannot measure loudness at 1 Hz"), std::string::npos) << r.err;

    Audio none = testSignal(44100, 2, 0, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeAudio(dir / "none.wav", none);
    const RunResult empty = runVexal({"process", dir / "none.wav", "-o", dir / "out.wav", "--ceiling-dbtp", "-1"});
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_NE(empty.out.find("-oo dBTP"), std::string::npos) << empty.out;
    EXPECT_EQ(empty.out.find("1000"), std::string::npos) << empty.out;
}

TEST_F(Files, NonFiniteSamplesAreCountedOnceAndLeftOutOfThePeaks) {
    Audio in = testSignal(44100, 2, 10000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.5);
    double finitePeak = 0.0;
    for (double v : in.samples) finitePeak = std::max(finitePeak, std::fabs(v));
    in.samples[100] = std::numeric_limits<double>::quiet_NaN();
    in.samples[2001] = std::numeric_limits<double>::infinity();
    in.samples[5000] = -std::numeric_limits<double>::infinity();
    writeAudio(dir / "in.wav", in);
    const RunResult r = runVexal(process(dir / "in.wav", dir / "out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "vexal: warning: " + dir / "in.wav" + ": 3 samples are NaN or infinite; the input's figures count them as 0\n");
    EXPECT_NEAR(jsonNumber(r.out, "in", "samplePeakDbfs"), 20.0 * std::log10(finitePeak), 1e-6);
    EXPECT_TRUE(std::isfinite(jsonNumber(r.out, "in", "truePeakDbtp")));
}

TEST_F(Files, AnExistingOutputKeepsItsModeAndLinksAndNoClobberKeepsIt) {
    writeAudio(dir / "in.wav", testSignal(44100, 1, 3000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    std::ofstream(dir / "kept.wav") << "old";
    ASSERT_EQ(chmod((dir / "kept.wav").c_str(), 0640), 0);
    std::ofstream(dir / "real.wav") << "old";
    ASSERT_EQ(symlink("real.wav", (dir / "link.wav").c_str()), 0);
    ASSERT_EQ(symlink("new.wav", (dir / "dangling.wav").c_str()), 0);

    for (const char* name : {"kept.wav", "link.wav", "dangling.wav"})
        ASSERT_EQ(runVexal({"process", dir / "in.wav", "-o", dir / name, "--quiet"}).status, 0) << name;
    struct stat st{};
    ASSERT_EQ(stat((dir / "kept.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // Written through the links to the files they name.
    for (const char* link : {"link.wav", "dangling.wav"}) {
        ASSERT_EQ(lstat((dir / link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
    }
    EXPECT_EQ(readAudio(dir / "real.wav").frames(), 3000);
    EXPECT_EQ(readAudio(dir / "new.wav").frames(), 3000);

    const std::string before = readBytes(dir / "kept.wav");
    std::ofstream(dir / "other.wav") << "precious";
    const RunResult refused = runVexal({"process", dir / "in.wav", "-o", dir / "other.wav", "--quiet", "--no-clobber"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("other.wav: exists; --no-clobber keeps it"), std::string::npos) << refused.err;
    EXPECT_EQ(readBytes(dir / "other.wav"), "precious");
    EXPECT_EQ(runVexal({"process", dir / "in.wav", "-o", dir / "fresh.wav", "--quiet", "--no-clobber"}).status, 0);
    EXPECT_EQ(readBytes(dir / "kept.wav"), before);
}

TEST_F(Files, ALossyOutputThatDecodesAboveTheCeilingIsNamed) {
    // Limited hard at full scale: the encoder's ringing goes over.
    writeAudio(dir / "in.wav", testSignal(44100, 2, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.9));
    const RunResult r = runVexal({"process", dir / "in.wav", "-o", dir / "out.ogg", "--quiet", "--json",
                                  "--set", "Drive=12"});
    ASSERT_EQ(r.status, 0) << r.err;
    const double decoded = jsonNumber(r.out, "out", "truePeakDbtp");
    ASSERT_GT(decoded, 0.0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "decodes to a true peak of %+.2f dBTP", decoded);
    EXPECT_NE(r.err.find(dir / "out.ogg: " + expected), std::string::npos) << r.err;
    // Well under the ceiling: no word.
    const RunResult quiet = runVexal({"process", dir / "in.wav", "-o", dir / "soft.ogg", "--quiet",
                                      "--set", "Output=-6"});
    EXPECT_EQ(quiet.err, "");
}

}  // namespace
