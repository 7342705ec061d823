// One file through the plug-in: read, process in host-sized blocks at the
// file's own rate, align for the latency, write, and gather the figures of
// the report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AudioFile.h"
#include "EffectHost.h"
#include "Loudness.h"
#include "Programs.h"
#include "Progress.h"

namespace vexal::cli {

struct RenderOptions {
    Settings settings;
    int32_t blockSize = 512;
    bool keepLatency = false;
    SampleFormat format = SampleFormat::asInput;
    Existing existing = Existing::replace;  // --no-clobber keeps an existing output
    bool strict = false;                    // a truncated input is an error, not a warning
    double ceilingDbtp = 0.0;               // lossy outputs decoding above it get a warning
    bool hasCeiling = false;                // --ceiling-dbtp: the written file's true peak at most ceilingDbtp
    bool hasTarget = false;                 // --target-lufs
    double targetLufs = 0.0;
    std::string plotPath;  // --plot: the figures over time drawn into this PNG
};

// One render of a delivery run (--ceiling-dbtp, --target-lufs): the
// settings it used and what the written file measured.
struct DeliveryPass {
    double outputDb = 0.0;
    double driveDb = 0.0;
    bool oversample = false;
    double truePeakDbtp = 0.0;
    double integratedLufs = 0.0;
};

struct RenderResult {
    std::string input;
    std::string output;
    int32_t sampleRate = 0;
    int32_t channels = 0;
    int64_t frames = 0;
    int32_t latency = 0;
    bool aligned = true;
    int32_t program = 0;
    std::string programName;
    std::string inputFormat;
    std::string outputFormat;
    LoudnessFigures in;
    LoudnessFigures out;
    int64_t nonFiniteSamples = 0;  // NaN and infinity in the input, counted as 0 by its analysis
    float deepestGain[2] = {1.0f, 1.0f};  // smallest gain the meters reported, L and R
    std::vector<float> gainTrace;          // per 100 ms, the smallest gain of L and R, linear
    MeterReadout finalMeters{};
    double seconds = 0.0;  // reading, processing, writing and analysis
    std::vector<std::string> warnings;
    // A delivery run: every pass, the one written, and what was changed.
    std::vector<DeliveryPass> passes;  // with --album, the album's figures
    bool album = false;
    double ceilingDbtp = 0.0;
    bool hasTarget = false;
    double targetLufs = 0.0;
    int32_t passWritten = -1;
    std::string changed;
    bool reached = true;
};

// Throws ProcessingError (file problems) or UsageError (settings). An empty
// `output` renders without writing: the plug-in's output is analysed. With
// `uncommitted`, the written output is handed over complete but not yet
// renamed over the target (commit() does that; dropping it removes it).
RenderResult renderFile(const std::string& input, const std::string& output,
                        const RenderOptions& options, Progress& progress,
                        std::unique_ptr<OutputFile>* uncommitted = nullptr);

}  // namespace vexal::cli
