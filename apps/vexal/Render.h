// One file through the plug-in: read, process in host-sized blocks at the
// file's own rate, align for the latency, write, and gather the figures of
// the report.
#pragma once

#include <cstdint>
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
    MeterReadout finalMeters{};
    double seconds = 0.0;  // reading, processing, writing and analysis
    std::vector<std::string> warnings;
};

// Throws ProcessingError (file problems) or UsageError (settings).
RenderResult renderFile(const std::string& input, const std::string& output,
                        const RenderOptions& options, Progress& progress);

}  // namespace vexal::cli
