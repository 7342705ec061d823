// Runs the built vexal binary as a subprocess and reads and writes the audio
// files the tests give it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace clitest {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// A fresh folder, removed with everything in it. Its "config" subfolder
// becomes the VEXAL_CONFIG_DIR of the test and of every vexal it runs, unless
// the folder is only for scratch files.
class TempDir {
public:
    explicit TempDir(bool configHome = true);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    const std::string& str() const { return path; }
    std::vector<std::string> list() const;  // file names, sorted

private:
    std::string path;
};

RunResult runVexal(const std::vector<std::string>& args);
// vexal run through `prefix` (e.g. setpriv and its options, to run it as another user).
RunResult runVexalAs(const std::vector<std::string>& prefix, const std::vector<std::string>& args);

struct Audio {
    int32_t sampleRate = 0;
    int32_t channels = 0;
    int32_t format = 0;
    std::vector<double> samples;  // interleaved
    int64_t frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
    std::vector<double> channel(int c) const;
};

// libsndfile format codes, e.g. SF_FORMAT_WAV | SF_FORMAT_DOUBLE.
void writeAudio(const std::string& path, const Audio& audio);
Audio readAudio(const std::string& path);

// A test signal: a chirp with bursts that a few dB of Drive push over the
// ceiling; deterministic.
Audio testSignal(int32_t sampleRate, int32_t channels, int64_t frames, int32_t format,
                 double peak = 0.9);

struct Loudness {
    double samplePeakDb, truePeakDb, integrated, range;
};
// libebur128 over a whole file, run here independently of vexal.
Loudness loudnessOfFile(const std::string& path);

// Reads "key": number inside the object named `object` ("" for the top
// level) of the first entry of vexal's JSON report. null reads as −inf.
double jsonNumber(const std::string& json, const std::string& object, const std::string& key);

std::string readBytes(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace clitest
