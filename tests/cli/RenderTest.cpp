// What `vexal process` writes: the plug-in's own output through its binary
// interface, aligned for the latency, in the file's format and rate, with a
// report that agrees with libebur128.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <sstream>

#include "CliHarness.h"
#include "engine/KernelVariant.h"
#include "host/TestHost.h"

using namespace clitest;

namespace {

// The 26 host values that `vexal params` reports for these settings.
std::vector<float> hostValuesFor(const std::vector<std::string>& settings) {
    std::vector<std::string> args = {"params"};
    args.insert(args.end(), settings.begin(), settings.end());
    const RunResult r = runVexal(args);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<float> values;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() < 4 || !std::isdigit(static_cast<unsigned char>(line[2]))) continue;
        values.push_back(std::stof(line.substr(line.find_last_of(' ') + 1)));
    }
    EXPECT_EQ(values.size(), 26u);
    return values;
}

// The dlopened plug-in run as a host runs it: the file's rate, the block
// size, the parameter values, off and on, then the input followed by
// `flush` frames of silence in blocks.
std::vector<std::vector<double>> pluginOutput(const Audio& in, const std::vector<float>& values,
                                              int32_t block, int64_t flush) {
    testhost::TestHost host;
    host.input1Connected = host.output1Connected = in.channels == 2;
    testhost::Instance fx(host);
    fx.setSampleRate(static_cast<float>(in.sampleRate));
    fx.setBlockSize(block);
    for (int32_t i = 0; i < static_cast<int32_t>(values.size()); ++i) fx.setParameter(i, values[i]);
    fx.suspend();
    fx.resume();
    std::vector<double> left = in.channel(0);
    std::vector<double> right = in.channel(in.channels - 1);
    left.resize(left.size() + static_cast<size_t>(flush), 0.0);
    right.resize(left.size(), 0.0);
    std::vector<double> outL, outR;
    fx.process(left, right, outL, outR, block);
    return {outL, outR};
}

int32_t latencyAt(float rate) {
    testhost::TestHost host;
    testhost::Instance fx(host);
    fx.setSampleRate(rate);
    return fx.effect()->initialDelay;
}

class Render : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(Render, BitIdenticalToThePluginThroughItsBinaryInterface) {
    struct Case {
        int32_t channels;
        int32_t rate;
        std::string block;
        std::vector<std::string> settings;
        const char* kernel;  // VEXAL_KERNEL for vexal (the plug-in here runs the chosen one)
    };
    const Case cases[] = {
        {2, 44100, "512", {"--set", "Drive=6", "--set", "Release=50", "--set", "L/R Link=50"}, "sse2"},
        {2, 44100, "100", {"--set", "TransShape=soft", "--set", "Quantize=on", "--set", "NoiseShape=type B"}, "portable"},
        {1, 44100, "512", {"--set", "Drive=9", "--set", "Leveller=-6"}, "avx2"},
        {2, 96000, "333", {"--set", "Drive=4", "--set", "Oversample=on"}, "avx512"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " ch, " + std::to_string(c.rate) + " Hz, block " + c.block + ", " +
                     c.kernel);
        // Double-precision files carry every bit of the plug-in's output.
        const Audio in = testSignal(c.rate, c.channels, 30011, SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
        writeAudio(dir / "in.wav", in);
        std::vector<std::string> args = {"process", dir / "in.wav", "-o", dir / "out.wav",
                                         "--json", "--quiet", "--block", c.block};
        args.insert(args.end(), c.settings.begin(), c.settings.end());
        const RunResult r = runVexalAs({"env", std::string("VEXAL_KERNEL=") + c.kernel}, args);
        ASSERT_EQ(r.status, 0) << r.err;
        // Every vectorised path of the renderer runs the variant asked for
        // (or the best below it the processor has).
        const std::string kernel = vexal::kernelVariantName(vexal::chooseKernelVariant(c.kernel));
        EXPECT_NE(r.out.find("\"kernel\": \"" + kernel + "\""), std::string::npos) << r.out;

        const int32_t latency = latencyAt(static_cast<float>(c.rate));
        const auto expected = pluginOutput(in, hostValuesFor(c.settings), std::stoi(c.block), latency);
        const Audio out = readAudio(dir / "out.wav");
        ASSERT_EQ(out.channels, c.channels);
        ASSERT_EQ(out.frames(), in.frames());
        for (int ch = 0; ch < c.channels; ++ch) {
            const std::vector<double> written = out.channel(ch);
            for (int64_t i = 0; i < out.frames(); ++i)
                ASSERT_EQ(written[i], expected[ch][i + latency]) << "channel " << ch << " frame " << i;
        }
    }
}

TEST_F(Render, AlignedOutputHasTheInputsLengthAndKeptLatencyIsTheRawOutput) {
    for (int64_t frames : {1, 100, 159, 160, 1024, 44101}) {
        SCOPED_TRACE(frames);
        const Audio in = testSignal(44100, 2, frames, SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
        writeAudio(dir / "in.wav", in);
        ASSERT_EQ(runVexal({"process", dir / "in.wav", "-o", dir / "aligned.wav", "--quiet"}).status, 0);
        ASSERT_EQ(runVexal({"process", dir / "in.wav", "-o", dir / "raw.wav", "--quiet", "--keep-latency"}).status, 0);
        const Audio aligned = readAudio(dir / "aligned.wav");
        const Audio raw = readAudio(dir / "raw.wav");
        EXPECT_EQ(aligned.frames(), frames);
        EXPECT_EQ(raw.frames(), frames);

        // The raw output is the plug-in's, start-up included; the aligned
        // output is the same signal 159 frames earlier.
        const auto plugin = pluginOutput(in, hostValuesFor({}), 512, 0);
        for (int64_t i = 0; i < frames; ++i) {
            ASSERT_EQ(raw.samples[2 * i], plugin[0][i]) << i;
            ASSERT_EQ(raw.samples[2 * i + 1], plugin[1][i]) << i;
        }
        for (int64_t i = 0; i + 159 < frames; ++i)
            ASSERT_EQ(aligned.samples[2 * i], raw.samples[2 * (i + 159)]) << i;
        // Program 0 does not requantize: what comes out before the first
        // input sample has passed the 159-frame delay is silence.
        for (int64_t i = 0; i < std::min<int64_t>(frames, 159); ++i) ASSERT_EQ(raw.samples[2 * i], 0.0) << i;
    }
}

TEST_F(Render, HighRateFilesRunAtTheirRateWithTheirLatency) {
    const Audio in = testSignal(96000, 2, 50000, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    writeAudio(dir / "in.flac", in);
    const RunResult r = runVexal({"process", dir / "in.flac", "-o", dir / "out.flac", "--json", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(jsonNumber(r.out, "", "sampleRate"), 96000);
    EXPECT_EQ(jsonNumber(r.out, "", "latency"), 287);
    const Audio out = readAudio(dir / "out.flac");
    EXPECT_EQ(out.sampleRate, 96000);
    EXPECT_EQ(out.frames(), 50000);
    EXPECT_EQ(out.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
}

TEST_F(Render, MonoFilesRunAsAMonoHostAndStayMono) {
    const Audio in = testSignal(44100, 1, 20000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeAudio(dir / "mono.wav", in);
    const RunResult r = runVexal({"process", dir / "mono.wav", "-o", dir / "out.wav", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Audio out = readAudio(dir / "out.wav");
    EXPECT_EQ(out.channels, 1);
    EXPECT_EQ(out.frames(), 20000);
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_NE(r.out.find("mono"), std::string::npos);
}

TEST_F(Render, ReportAgreesWithLibebur128OnTheWrittenFiles) {
    for (const char* format : {"pcm16", "float32"}) {
        SCOPED_TRACE(format);
        const Audio in = testSignal(44100, 2, 44100 * 5, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
        writeAudio(dir / "in.wav", in);
        const RunResult r = runVexal({"process", dir / "in.wav", "-o", dir / "out.wav", "--json",
                                      "--quiet", "--format", format, "--set", "Drive=8"});
        ASSERT_EQ(r.status, 0) << r.err;
        const Loudness input = loudnessOfFile(dir / "in.wav");
        const Loudness output = loudnessOfFile(dir / "out.wav");
        // libebur128 fed the same samples in other chunk sizes: the figures
        // agree to the last bits of a double (sums in the same order). The
        // true peak is our own meter's (TruePeakTest), and so is the loudness
        // range (CommandsTest, against EBU Tech 3342's cases).
        constexpr double kTolerance = 1e-9;
        EXPECT_NEAR(jsonNumber(r.out, "in", "samplePeakDbfs"), input.samplePeakDb, kTolerance);
        EXPECT_NEAR(jsonNumber(r.out, "in", "integratedLufs"), input.integrated, kTolerance);
        EXPECT_NEAR(jsonNumber(r.out, "out", "samplePeakDbfs"), output.samplePeakDb, kTolerance);
        EXPECT_NEAR(jsonNumber(r.out, "out", "integratedLufs"), output.integrated, kTolerance);
        EXPECT_LE(jsonNumber(r.out, "", "deepestGainReductionDb"), 0.0);
        EXPECT_GT(jsonNumber(r.out, "", "realTimeFactor"), 0.0);
    }
}

TEST_F(Render, FullScaleSineReportsZeroDbfsSamplePeak) {
    // 1 kHz at 48 kHz: the sample at 90° is exactly 1.0.
    Audio sine;
    sine.sampleRate = 48000;
    sine.channels = 2;
    sine.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    for (int i = 0; i < 48000; ++i) {
        const double v = i % 48 == 12 ? 1.0 : (i % 48 == 36 ? -1.0 : std::sin(2.0 * M_PI * i / 48.0));
        sine.samples.push_back(v);
        sine.samples.push_back(v);
    }
    writeAudio(dir / "sine.wav", sine);
    const RunResult json = runVexal({"process", dir / "sine.wav", "-o", dir / "out.wav", "--json", "--quiet"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(jsonNumber(json.out, "in", "samplePeakDbfs"), 0.0);
    const RunResult text = runVexal({"process", dir / "sine.wav", "-o", dir / "out.wav", "--quiet"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("sample peak         0.00 dBFS"), std::string::npos) << text.out;
}

TEST_F(Render, IntegerOutputWarnsAboutWordLength) {
    writeAudio(dir / "in.wav", testSignal(44100, 2, 5000, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const RunResult off = runVexal({"process", dir / "in.wav", "-o", dir / "a.wav", "--quiet"});
    EXPECT_NE(off.err.find("with Quantize off"), std::string::npos) << off.err;
    // At 24 bits rounding without dither lies below any converter's noise.
    const RunResult wide = runVexal({"process", dir / "in.wav", "-o", dir / "w.wav", "--quiet", "--format", "pcm24"});
    EXPECT_EQ(wide.err.find("Quantize off"), std::string::npos) << wide.err;
    const RunResult mismatch = runVexal({"process", dir / "in.wav", "-o", dir / "b.wav", "--quiet",
                                         "--set", "Quantize=on", "--set", "Bits=24"});
    EXPECT_NE(mismatch.err.find("16-bit PCM while Bits is 24"), std::string::npos) << mismatch.err;
    const RunResult matching = runVexal({"process", dir / "in.wav", "-o", dir / "c.wav", "--quiet",
                                         "--set", "Quantize=on", "--set", "Bits=16"});
    EXPECT_EQ(matching.err, "");
    const RunResult floating = runVexal({"process", dir / "in.wav", "-o", dir / "d.wav", "--quiet",
                                         "--format", "float32"});
    EXPECT_EQ(floating.err, "");
    EXPECT_EQ(readAudio(dir / "d.wav").format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

}  // namespace
