#include "Render.h"

#include <algorithm>
#include <chrono>

#include "UsageError.h"
#include "core/ParameterTable.h"

namespace vexal::cli {

namespace {

// Frames read, processed and written at a time: a whole number of blocks, so
// that the plug-in sees the same block partition as a host fed the stream.
int64_t chunkFramesFor(int32_t blockSize) {
    constexpr int64_t kTarget = 32768;
    return std::max<int64_t>(1, kTarget / blockSize) * blockSize;
}

void warnAboutWordLength(EffectHost& host, RenderResult& result, int32_t outputFormat) {
    const int32_t bits = pcmBits(outputFormat);
    if (!bits) return;
    const bool quantizeOn = stepIndex(host.getParameter(kQuantize), 2) == 1;
    static constexpr int32_t kBitsBySteps[3] = {8, 16, 24};
    const int32_t pluginBits = kBitsBySteps[stepIndex(host.getParameter(kBits), 3)];
    if (!quantizeOn)
        result.warnings.push_back(result.output + ": writing " + std::to_string(bits) +
                                  "-bit PCM with Quantize off (no dither)");
    else if (pluginBits != bits)
        result.warnings.push_back(result.output + ": writing " + std::to_string(bits) +
                                  "-bit PCM while Bits is " + std::to_string(pluginBits));
}

// Keeps the deepest gain the meters report and the last read-out.
void takeMeters(EffectHost& host, RenderResult& result) {
    result.finalMeters = host.readMeters();
    for (int c = 0; c < 2; ++c)
        result.deepestGain[c] = std::min(result.deepestGain[c], result.finalMeters.gain[c]);
}

}  // namespace

RenderResult renderFile(const std::string& inputPath, const std::string& outputPath,
                        const RenderOptions& options, Progress& progress) {
    const auto started = std::chrono::steady_clock::now();
    RenderResult result;
    result.input = inputPath;
    result.output = outputPath;

    InputFile input(inputPath);
    const AudioInfo& info = input.info();
    const int32_t channels = info.channels;
    result.sampleRate = info.sampleRate;
    result.channels = channels;
    result.inputFormat = describeFormat(info.format);

    const int32_t format = outputFormatFor(outputPath, info.format, options.format);
    result.outputFormat = describeFormat(format);

    EffectHost host(channels == 1);
    host.setSampleRate(info.sampleRate);
    host.setBlockSize(options.blockSize);
    applySettings(host, options.settings);
    // Off and on again, as a host switches an effect before playback: the
    // render starts from a reset engine with every gain at its target.
    host.suspend();
    host.resume();
    result.latency = host.latency();
    result.aligned = !options.keepLatency;
    result.program = host.currentProgram();
    for (const ProgramName& p : availablePrograms(host))
        if (p.index == result.program) result.programName = p.name;
    warnAboutWordLength(host, result, format);
    if (info.sampleRate < 5000 || info.sampleRate > 200000)
        result.warnings.push_back(inputPath + ": " + std::to_string(info.sampleRate) +
                                  " Hz is outside 5000 to 200000 Hz; the plug-in computes as at 44100 Hz");

    OutputFile output(outputPath, format, info.sampleRate, channels);
    LoudnessAnalyser inputAnalysis(channels, info.sampleRate);
    LoudnessAnalyser outputAnalysis(channels, info.sampleRate);

    const int64_t chunk = chunkFramesFor(options.blockSize);
    std::vector<double> interleaved(static_cast<size_t>(chunk * channels));
    std::vector<double> in[2], out[2];
    for (int c = 0; c < 2; ++c) {
        in[c].resize(static_cast<size_t>(chunk));
        out[c].resize(static_cast<size_t>(chunk));
    }
    int64_t flushLeft = result.aligned ? result.latency : 0;
    int64_t dropLeft = flushLeft;
    int64_t framesRead = 0;
    bool atEnd = false;
    progress.begin(inputPath, info.frames, info.sampleRate);

    for (;;) {
        int64_t filled = 0;
        while (filled < chunk && !atEnd) {
            const int64_t n = input.read(interleaved.data() + filled * channels, chunk - filled);
            atEnd = n == 0;
            filled += n;
        }
        framesRead += filled;
        if (filled > 0)
            inputAnalysis.add(std::vector<double>(interleaved.begin(),
                                                  interleaved.begin() + filled * channels));
        for (int64_t i = 0; i < filled; ++i)
            for (int c = 0; c < channels; ++c) in[c][i] = interleaved[i * channels + c];
        // After the end, silence flushes the latency out of the plug-in.
        const int64_t flush = std::min(chunk - filled, flushLeft);
        for (int c = 0; c < channels; ++c)
            std::fill(in[c].begin() + filled, in[c].begin() + filled + flush, 0.0);
        filled += flush;
        flushLeft -= flush;
        if (filled == 0) break;

        for (int64_t pos = 0; pos < filled; pos += options.blockSize) {
            const auto n = static_cast<int32_t>(std::min<int64_t>(options.blockSize, filled - pos));
            host.process(in[0].data() + pos, in[1].data() + pos, out[0].data() + pos,
                         out[1].data() + pos, n);
            takeMeters(host, result);
        }

        const int64_t skip = std::min(dropLeft, filled);
        dropLeft -= skip;
        const int64_t keep = filled - skip;
        if (keep > 0) {
            for (int64_t i = 0; i < keep; ++i)
                for (int c = 0; c < channels; ++c) interleaved[i * channels + c] = out[c][skip + i];
            std::vector<double> stored(static_cast<size_t>(keep * channels));
            output.write(interleaved.data(), keep, stored.data());
            if (output.storesExactly()) outputAnalysis.add(std::move(stored));
            result.frames += keep;
        }
        progress.update(framesRead);
    }

    result.in = inputAnalysis.finish();
    output.close();
    // Encoded outputs are analysed as a decoder reads them back.
    result.out = output.storesExactly() ? outputAnalysis.finish()
                                        : analyseFile(output.temporaryPath());
    output.commit();
    progress.end();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

}  // namespace vexal::cli
