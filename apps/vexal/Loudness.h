// Loudness and peak figures as libebur128 gives them, computed on a worker
// thread so that the input's and the output's analyses run beside the
// rendering.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <ebur128.h>

#include "AudioFile.h"
#include "LoudnessRange.h"
#include "TruePeak.h"

namespace vexal::cli {

struct LoudnessFigures {
    double samplePeak = 0.0;  // linear, largest of the channels
    double truePeak = 0.0;    // linear, largest of the channels
    double integrated = 0.0;  // LUFS (−inf for silence)
    double range = 0.0;       // LU (EBU Tech 3342, see LoudnessRange.h)
    // Per 100 ms: sample peak and true peak (linear; the true peak from the
    // meter's 4× points, or its measurement where it measured a peak), and
    // short-term loudness (LUFS, from 3 s on: value i ends at (i + 30) / 10 s).
    std::vector<float> peakTrace, truePeakTrace;
    std::vector<double> shortTermTrace;
    // libebur128's state at the end, for the loudness of several files
    // measured as one programme (an album).
    std::shared_ptr<ebur128_state> gating;
};

// The integrated loudness of several files as one programme; LUFS.
double loudnessTogether(const std::vector<const LoudnessFigures*>& files);

class LoudnessAnalyser {
public:
    // Throws ProcessingError, naming `path`, when libebur128 cannot analyse
    // this layout.
    LoudnessAnalyser(int32_t channels, int32_t sampleRate, const std::string& path = "");
    ~LoudnessAnalyser();
    LoudnessAnalyser(const LoudnessAnalyser&) = delete;
    LoudnessAnalyser& operator=(const LoudnessAnalyser&) = delete;

    // A buffer of `samples` values to fill and hand over with add(): a spent
    // one when there is one, so that a long render does not fault in fresh
    // memory for every chunk. Its contents are unspecified.
    std::vector<double> buffer(size_t samples);
    // Hands over interleaved frames; waits while too many are queued.
    void add(std::vector<double> interleaved);
    // Waits for the queued frames and reads the figures.
    LoudnessFigures finish();

private:
    void run();

    std::shared_ptr<ebur128_state> state;
    int32_t channels;
    size_t tick;              // frames in 100 ms
    size_t untilTick;         // frames to the next 100 ms mark
    ShortTermLoudness shortTerm;
    float tickPeak = 0.0f;
    std::vector<float> peakTrace;
    TruePeakMeter truePeak;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<double>> queue;
    std::vector<std::vector<double>> spare;  // analysed buffers, kept for reuse
    bool done = false;
    std::thread worker;
};

// Analyses a whole file (used for encoded outputs, whose samples are only
// known after decoding). Throws ProcessingError.
LoudnessFigures analyseFile(const std::string& path);

// The same with what `vexal analyze` reports beside the figures.
struct FileAnalysis {
    AudioInfo info;
    int64_t frames = 0;            // read
    int64_t missingFrames = 0;     // announced by the header beyond the data
    int64_t unstatedFrames = 0;    // in the data beyond what the header states
    int64_t nonFiniteSamples = 0;  // NaN and infinity, counted as 0
    LoudnessFigures figures;
};
FileAnalysis analyseInput(const std::string& path);

}  // namespace vexal::cli
