#include "CliHarness.h"

#include <ebur128.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace clitest {

namespace fs = std::filesystem;

TempDir::TempDir(bool configHome) {
    std::string pattern = (fs::temp_directory_path() / "vexal-cli-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path = pattern;
    if (!configHome) return;
    fs::create_directory(path + "/config");
    setenv("VEXAL_CONFIG_DIR", (path + "/config").c_str(), 1);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::vector<std::string> TempDir::list() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path))
        if (entry.path().filename() != "config") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

}  // namespace

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fileExists(const std::string& path) { return fs::exists(path); }

RunResult runVexal(const std::vector<std::string>& args) { return runVexalAs({}, args); }

RunResult runVexalAs(const std::vector<std::string>& prefix, const std::vector<std::string>& args) {
    const TempDir capture(false);
    std::string command;
    for (const std::string& word : prefix) command.append(shellQuoted(word)).append(" ");
    command += shellQuoted(VEXAL_BINARY);
    for (const std::string& arg : args) command.append(" ").append(shellQuoted(arg));
    command.append(" >").append(shellQuoted(capture / "out"));
    command.append(" 2>").append(shellQuoted(capture / "err")).append(" </dev/null");
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readBytes(capture / "out");
    result.err = readBytes(capture / "err");
    return result;
}

std::vector<double> Audio::channel(int c) const {
    std::vector<double> values(static_cast<size_t>(frames()));
    for (size_t i = 0; i < values.size(); ++i) values[i] = samples[i * channels + c];
    return values;
}

void writeAudio(const std::string& path, const Audio& audio) {
    SF_INFO info{};
    info.samplerate = audio.sampleRate;
    info.channels = audio.channels;
    info.format = audio.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error(path + ": " + sf_strerror(nullptr));
    // Integer formats: round to the grid here rather than let libsndfile scale.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_double(file, audio.samples.data(), audio.frames());
    sf_close(file);
}

Audio readAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw std::runtime_error(path + ": " + sf_strerror(nullptr));
    Audio audio;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
    audio.samples.resize(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t n = sf_readf_double(file, audio.samples.data(), info.frames);
    audio.samples.resize(static_cast<size_t>(n * info.channels));
    sf_close(file);
    return audio;
}

Audio testSignal(int32_t sampleRate, int32_t channels, int64_t frames, int32_t format, double peak) {
    Audio audio;
    audio.sampleRate = sampleRate;
    audio.channels = channels;
    audio.format = format;
    audio.samples.resize(static_cast<size_t>(frames * channels));
    uint32_t noise = 12345u;
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double chirp = std::sin(2.0 * M_PI * (60.0 * t + 400.0 * t * t));
        const double burst = (i % 4410) < 300 ? 1.0 : 0.35;  // a transient every 0.1 s at 44.1 kHz
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double n = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
            audio.samples[i * channels + c] = peak * burst * (0.8 * chirp + 0.2 * n) * (c ? 0.9 : 1.0);
        }
    }
    return audio;
}

Loudness loudnessOfFile(const std::string& path) {
    const Audio audio = readAudio(path);
    ebur128_state* state =
        ebur128_init(audio.channels, audio.sampleRate,
                     EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_double(state, audio.samples.data(), static_cast<size_t>(audio.frames()));
    Loudness l{};
    double samplePeak = 0.0, truePeak = 0.0;
    for (int c = 0; c < audio.channels; ++c) {
        double p = 0.0;
        ebur128_sample_peak(state, c, &p);
        samplePeak = std::max(samplePeak, p);
        ebur128_true_peak(state, c, &p);
        truePeak = std::max(truePeak, p);
    }
    ebur128_loudness_global(state, &l.integrated);
    ebur128_loudness_range(state, &l.range);
    ebur128_destroy(&state);
    l.samplePeakDb = 20.0 * std::log10(samplePeak);
    l.truePeakDb = 20.0 * std::log10(truePeak);
    return l;
}

double jsonNumber(const std::string& json, const std::string& object, const std::string& key) {
    size_t from = 0;
    if (!object.empty()) {
        std::string head = "\"";
        head += object;
        head += "\": {";
        from = json.find(head);
        if (from == std::string::npos) throw std::runtime_error(std::string("no object ").append(object));
    }
    std::string field = "\"";
    field += key;
    field += "\": ";
    const size_t at = json.find(field, from);
    if (at == std::string::npos) throw std::runtime_error(std::string("no key ").append(key));
    const char* value = json.c_str() + at + key.size() + 4;
    if (std::string(value, 4) == "null") return -std::numeric_limits<double>::infinity();
    return std::strtod(value, nullptr);
}

}  // namespace clitest
