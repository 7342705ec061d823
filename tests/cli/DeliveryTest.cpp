// Delivery runs: --ceiling-dbtp holds on the written file, measured by the
// independent reference (the ideal reconstruction), and vexal's figure is
// within 0.05 dB of it; --target-lufs lands within 0.2 LU by libebur128; at
// 44.1, 48 and 96 kHz, in 16- and 24-bit files, on the demo programme,
// drums, speech-like bursts, bright cymbal-like noise, a bright dense mix
// (stereo, mono and in antiphase) and bursts just below the Nyquist
// frequency. Every programme runs at every rate; the word
// lengths alternate, so that each programme and each rate meet both.
#include <ebur128.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "CliHarness.h"
#include "Demo.h"
#include "TruePeakReference.h"

using namespace clitest;

namespace {

constexpr double kSeconds = 2.0;

struct Programme {
    const char* name;
    std::function<double(double t, int rate, uint32_t& noise)> sample;
    int rightIs = 0;  // 0: its own signal; 1: the left one; −1: the left one inverted
};

double white(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
}

// Kick and snare at 120 beats per minute.
double drums(double t, int, uint32_t& noise) {
    const double beat = std::fmod(t, 0.5);
    const double kick = std::sin(2 * M_PI * (50 * beat + 200 * (1 - std::exp(-beat * 30)) / 30)) * std::exp(-beat * 8);
    const double off = std::fmod(t + 0.25, 1.0);
    const double snare = off < 0.2 ? white(noise) * std::exp(-off * 25) : 0.0;
    return 0.7 * kick + 0.5 * snare;
}

// Voiced syllables at four a second, 150 Hz with harmonics and a breath of noise, with pauses.
double speech(double t, int, uint32_t& noise) {
    const double syllable = std::fmod(t, 0.25) / 0.25;
    const double envelope = std::fmod(t, 2.0) > 1.5 ? 0.0 : std::pow(std::sin(M_PI * syllable), 2);
    double voiced = 0.0;
    for (int k = 1; k <= 12; ++k) voiced += std::sin(2 * M_PI * 150 * k * t) / k;
    return envelope * (0.35 * voiced + 0.05 * white(noise));
}

// Struck cymbals: the first difference of noise, decaying.
double cymbal(double t, int, uint32_t& noise) {
    static thread_local double previous = 0.0;
    const double n = white(noise);
    const double bright = n - previous;
    previous = n;
    return 0.45 * bright * std::exp(-std::fmod(t, 0.75) * 3);
}

// Dense and bright: clipped rising noise over a square wave built sample by
// sample (its harmonics fold back below the Nyquist frequency; at 2437 Hz
// none lands on it with any strength).
double brightMix(double t, int rate, uint32_t& noise) {
    static thread_local double previous = 0.0;
    const double n = white(noise);
    const double rising = std::clamp(2.0 * (n - previous), -1.0, 1.0);
    previous = n;
    const double square = std::fmod(t * 2437.0, 1.0) < 0.5 ? 1.0 : -1.0;
    (void)rate;
    return 0.35 * rising + 0.3 * square;
}

// Bursts of a tone at 0.49 of the rate over a 1 kHz one: the hardest
// content for filters cut off at the Nyquist frequency.
double nearNyquist(double t, int rate, uint32_t&) {
    const double burst = std::pow(std::sin(M_PI * std::fmod(t * 3.0, 1.0)), 2);
    return 0.45 * burst * std::sin(2 * M_PI * 0.49 * rate * t + 0.3) + 0.35 * std::sin(2 * M_PI * 1000 * t);
}

Audio synthesize(const Programme& p, int rate) {
    Audio a;
    a.sampleRate = rate;
    a.channels = 2;
    a.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    const auto frames = static_cast<int64_t>(kSeconds * rate);
    uint32_t noise[2] = {1u, 2u};
    for (int64_t i = 0; i < frames; ++i) {
        const double left = p.sample(static_cast<double>(i) / rate, rate, noise[0]);
        a.samples.push_back(left);
        a.samples.push_back(p.rightIs ? p.rightIs * left : p.sample(static_cast<double>(i) / rate, rate, noise[1]));
    }
    return a;
}

// The demo programme's samples, at each rate.
Audio demo(int rate) {
    Audio a;
    a.sampleRate = rate;
    a.channels = 2;
    a.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    const std::vector<double> all = vexal::cli::synthesizeDemo();
    a.samples.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(2 * kSeconds * rate));
    return a;
}

struct Case {
    std::string name;
    int rate;
    const char* format;  // pcm16 or pcm24
};

std::vector<Case> cases() {
    std::vector<Case> all;
    int k = 0;
    for (const char* name : {"demo", "drums", "speech", "cymbal", "bright", "mono", "antiphase", "nyquist"})
        for (int rate : {44100, 48000, 96000}) all.push_back({name, rate, k++ % 2 ? "pcm24" : "pcm16"});
    return all;
}

Audio input(const Case& c) {
    static const Programme programmes[] = {{"drums", drums},         {"speech", speech},
                                           {"cymbal", cymbal},       {"bright", brightMix},
                                           {"mono", brightMix, 1},   {"antiphase", brightMix, -1},
                                           {"nyquist", nearNyquist}};
    if (c.name == "demo") return demo(c.rate);
    for (const Programme& p : programmes)
        if (c.name == p.name) return synthesize(p, c.rate);
    return {};
}

RunResult deliver(const TempDir& dir, const Case& c, const std::vector<std::string>& goal) {
    writeAudio(dir / "in.wav", input(c));
    std::vector<std::string> args = {"process", dir / "in.wav", "-o", dir / "out.wav", "--quiet", "--json",
                                     "--program", "CD Master 2", "--format", c.format,
                                     "--set", std::string("Bits=") + (c.format == std::string("pcm16") ? "16" : "24")};
    args.insert(args.end(), goal.begin(), goal.end());
    return runVexal(args);
}

int passes(const std::string& json) {
    const size_t at = json.find("\"passes\": [");
    int n = 0;
    for (size_t i = json.find("{\"outputDb\"", at); i != std::string::npos && i < json.find("]}", at);
         i = json.find("{\"outputDb\"", i + 1))
        ++n;
    return n;
}

class Delivery : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(Delivery, TheCeilingHoldsOnTheWrittenFile) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.rate) + " " + c.format);
        const RunResult r = deliver(dir, c, {"--ceiling-dbtp", "-1"});
        ASSERT_EQ(r.status, 0) << r.err;
        const Audio out = readAudio(dir / "out.wav");
        const double reference = 20.0 * std::log10(referenceTruePeak(out.samples, 2));
        EXPECT_LE(reference, -1.0);
        EXPECT_NEAR(jsonNumber(r.out, "out", "truePeakDbtp"), reference, 0.05);
        EXPECT_LE(passes(r.out), 2);
        std::printf("ceiling  %-7s %6d %s: %+.3f dBTP (reference), %d passes\n", c.name.c_str(), c.rate, c.format,
                    reference, passes(r.out));
    }
}

TEST_F(Delivery, TheLoudnessTargetIsMetUnderTheCeiling) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.rate) + " " + c.format);
        const RunResult r = deliver(dir, c, {"--target-lufs", "-14", "--ceiling-dbtp", "-1"});
        ASSERT_EQ(r.status, 0) << r.err;
        const Loudness l = loudnessOfFile(dir / "out.wav");
        EXPECT_NEAR(l.integrated, -14.0, 0.2);
        EXPECT_LE(jsonNumber(r.out, "out", "truePeakDbtp"), -1.0);
        EXPECT_LE(passes(r.out), 6);
        std::printf("target   %-7s %6d %s: %.3f LUFS (libebur128), %+.3f dBTP, %d passes\n", c.name.c_str(), c.rate,
                    c.format, l.integrated, jsonNumber(r.out, "out", "truePeakDbtp"), passes(r.out));
    }
}

TEST_F(Delivery, SaysWhatItChangedAndSetsAutoOutOff) {
    // AutoOut would replace Output by the inverse of Drive: delivery needs Output.
    const RunResult r = deliver(dir, {"drums", 44100, "pcm24"}, {"--ceiling-dbtp", "-1.5", "--set", "AutoOut=on"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"changed\": \"Output -0.01 -> -"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Oversample off -> on, AutoOut on -> off\""), std::string::npos) << r.out;
    EXPECT_LE(jsonNumber(r.out, "out", "truePeakDbtp"), -1.5);
}

TEST_F(Delivery, AnUnreachableTargetWritesTheClosestOrWithStrictNothing) {
    // −3 LUFS under −1 dBTP: a 2 dB peak-to-loudness ratio, beyond any Drive.
    const Case c{"speech", 44100, "pcm16"};
    const RunResult r = deliver(dir, c, {"--target-lufs", "-3"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Shown at the top of Drive's range, and the limit named.
    EXPECT_NE(r.err.find("cannot reach -3.0 LUFS under -1.00 dBTP: the ceiling stops it: at Drive +24.08 dB the "
                         "loudest under -1.00 dBTP is "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("\"reached\": false"), std::string::npos);
    // The closest under the ceiling: the pass with the most Drive.
    EXPECT_LE(jsonNumber(r.out, "out", "truePeakDbtp"), -1.0);
    EXPECT_NE(r.out.find("Drive +6.02 -> +24.08 dB"), std::string::npos) << r.out;
    EXPECT_LE(passes(r.out), 6);
    std::remove((dir / "out.wav").c_str());
    const RunResult strict = deliver(dir, c, {"--target-lufs", "-3", "--strict"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_NE(strict.err.find("--strict: nothing written"), std::string::npos) << strict.err;
    EXPECT_FALSE(fileExists(dir / "out.wav"));
}

// Quiet and wide: plucked notes from -45 to -9 dBFS over 8 s, as an
// acoustic recording; the target needs far more Drive than the programme's.
Audio quietAndWide(int rate) {
    Audio a;
    a.sampleRate = rate;
    a.channels = 2;
    a.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    const int64_t frames = 8 * rate;
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const int note = static_cast<int>(t * 2.0);
        const double since = t - note * 0.5;
        const double level = std::pow(10.0, (-45.0 + 36.0 * ((note * 7) % 16) / 15.0) / 20.0);
        const double f = 110.0 * std::pow(2.0, ((note * 5) % 12) / 12.0);
        double v = 0.0;
        for (int k = 1; k <= 6; ++k) v += std::sin(2 * M_PI * f * k * t) * std::exp(-since * (3.0 + k)) / k;
        a.samples.push_back(level * v);
        a.samples.push_back(level * 0.9 * v);
    }
    return a;
}

TEST_F(Delivery, AQuietWideProgrammeReachesItsTargetByDrive) {
    writeAudio(dir / "quiet.wav", quietAndWide(48000));
    const RunResult r = runVexal({"process", dir / "quiet.wav", "-o", dir / "out.wav", "--quiet", "--json", "--program",
                                  "CD Master 2", "--target-lufs", "-16"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(loudnessOfFile(dir / "out.wav").integrated, -16.0, 0.2);
    EXPECT_LE(20.0 * std::log10(referenceTruePeak(readAudio(dir / "out.wav").samples, 2)), -1.0);
    EXPECT_NE(r.out.find("\"reached\": true"), std::string::npos) << r.out;
    EXPECT_LE(passes(r.out), 6);
    std::printf("quiet and wide at -16: %d passes\n", passes(r.out));
}

TEST_F(Delivery, ACeilingLeavesACompliantFileAtItsLevelAndSilenceIsWrittenWithAWarning) {
    // Peaks near -4 dBTP: the programme's Output stays.
    Audio quiet = input({"drums", 44100, "pcm24"});
    for (double& v : quiet.samples) v *= 0.2;
    writeAudio(dir / "quiet.wav", quiet);
    const RunResult r = runVexal({"process", dir / "quiet.wav", "-o", dir / "out.wav", "--quiet", "--json",
                                  "--program", "CD Master 2", "--ceiling-dbtp", "-1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_LT(jsonNumber(r.out, "out", "truePeakDbtp"), -3.0);
    EXPECT_EQ(passes(r.out), 1);
    EXPECT_NE(r.out.find("\"changed\": \"Oversample off -> on\""), std::string::npos) << r.out;

    // Silence with a target, in a batch: named, written, and the next file rendered.
    Audio silence = quiet;
    std::fill(silence.samples.begin(), silence.samples.end(), 0.0);
    writeAudio(dir / "silence.wav", silence);
    const RunResult batch = runVexal({"process", dir / "silence.wav", dir / "quiet.wav", "--out-dir", dir / "out",
                                      "--quiet", "--program", "CD Master 2", "--target-lufs", "-14"});
    EXPECT_EQ(batch.status, 0) << batch.err;
    EXPECT_NE(batch.err.find(dir / "silence.wav: silent: no loudness target can be reached; written with the ceiling alone"),
              std::string::npos)
        << batch.err;
    // As the programme renders it: its dither, nothing more.
    const Audio written = readAudio(dir / "out/silence.wav");
    EXPECT_EQ(written.frames(), silence.frames());
    for (double v : written.samples) ASSERT_LT(std::fabs(v), 1e-3);
    EXPECT_NEAR(loudnessOfFile(dir / "out/quiet.wav").integrated, -14.0, 0.2);
    const RunResult strict = runVexal({"process", dir / "silence.wav", "-o", dir / "strict.wav", "--quiet",
                                       "--target-lufs", "-14", "--strict"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_NE(strict.err.find("silent: no loudness target can be reached"), std::string::npos) << strict.err;
    EXPECT_FALSE(fileExists(dir / "strict.wav"));
}

TEST_F(Delivery, LossyOutputsMeetTargetAndCeilingAsTheyDecode) {
    writeAudio(dir / "in.wav", input({"bright", 48000, "pcm24"}));
    for (const char* ext : {"ogg", "mp3"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir / (std::string("out.") + ext);
        const RunResult r = runVexal({"process", dir / "in.wav", "-o", out, "--quiet", "--json", "--program",
                                      "CD Master 2", "--target-lufs", "-14", "--ceiling-dbtp", "-1"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("\"reached\": true"), std::string::npos) << r.out;
        EXPECT_NEAR(loudnessOfFile(out).integrated, -14.0, 0.2);
        EXPECT_LE(20.0 * std::log10(referenceTruePeak(readAudio(out).samples, 2)), -1.0);
        std::printf("%s: %d passes\n", ext, passes(r.out));
    }
}

double albumLoudness(const std::vector<std::string>& paths) {
    std::vector<ebur128_state*> states;
    for (const std::string& path : paths) {
        const Audio a = readAudio(path);
        states.push_back(ebur128_init(2, static_cast<unsigned long>(a.sampleRate), EBUR128_MODE_I));
        ebur128_add_frames_double(states.back(), a.samples.data(), static_cast<size_t>(a.frames()));
    }
    double loudness = 0.0;
    ebur128_loudness_global_multiple(states.data(), states.size(), &loudness);
    for (ebur128_state*& s : states) ebur128_destroy(&s);
    return loudness;
}

TEST_F(Delivery, AnAlbumMeetsTheTargetTogetherAndKeepsItsRelativeLevels) {
    std::vector<std::string> args = {"process"};
    const char* names[] = {"demo", "drums", "speech"};
    for (const char* name : names) {
        Audio a = input({name, 44100, "pcm24"});
        if (std::string(name) == "drums")
            for (double& v : a.samples) v *= 0.5;  // a quieter track
        writeAudio(dir / (std::string(name) + ".wav"), a);
        args.push_back(dir / (std::string(name) + ".wav"));
    }
    const std::vector<std::string> tail = {"--out-dir", dir / "album", "--album", "--target-lufs", "-14",
                                           "--program", "CD Master 2", "--format", "pcm24", "--set", "Bits=24",
                                           "--json", "--quiet"};
    args.insert(args.end(), tail.begin(), tail.end());
    const RunResult r = runVexal(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> outputs;
    for (const char* name : names) outputs.push_back(dir / ("album/" + std::string(name) + ".wav"));
    EXPECT_NEAR(albumLoudness(outputs), -14.0, 0.2);
    for (size_t i = 0; i < outputs.size(); ++i) {
        EXPECT_LE(20.0 * std::log10(referenceTruePeak(readAudio(outputs[i]).samples, 2)), -1.0) << outputs[i];
        // One Drive and Output for all: the tracks keep their order and
        // roughly their distances in loudness.
        const double in = loudnessOfFile(args[1 + i]).integrated, out = loudnessOfFile(outputs[i]).integrated;
        const double firstIn = loudnessOfFile(args[1]).integrated, firstOut = loudnessOfFile(outputs[0]).integrated;
        EXPECT_NEAR(out - firstOut, in - firstIn, 1.5) << outputs[i];
    }
    // Every track's report shows the same passes.
    const size_t first = r.out.find("\"delivery\"");
    const std::string passes = r.out.substr(first, r.out.find("]}", first) - first);
    for (size_t at = r.out.find("\"delivery\"", first + 1); at != std::string::npos;
         at = r.out.find("\"delivery\"", at + 1))
        EXPECT_EQ(r.out.substr(at, passes.size()), passes);
    EXPECT_NE(passes.find("\"album\": true"), std::string::npos);
}

}  // namespace
