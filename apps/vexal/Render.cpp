#include "Render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

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
    // Without dither, rounding to 16 bits or fewer is audible on fades; at
    // 24 bits it lies below any converter's own noise.
    if (!quantizeOn && bits <= 16)
        result.warnings.push_back(result.output + ": writing " + std::to_string(bits) +
                                  "-bit PCM with Quantize off (no dither)");
    else if (pluginBits != bits)
        result.warnings.push_back(result.output + ": writing " + std::to_string(bits) +
                                  "-bit PCM while Bits is " + std::to_string(pluginBits));
}

// Keeps the deepest gain the meters report, per 100 ms as well, and the
// last read-out.
void takeMeters(EffectHost& host, RenderResult& result, int64_t frame) {
    result.finalMeters = host.readMeters();
    for (int c = 0; c < 2; ++c)
        result.deepestGain[c] = std::min(result.deepestGain[c], result.finalMeters.gain[c]);
    const auto bin = static_cast<size_t>(frame / std::max(1, result.sampleRate / 10));
    if (bin >= result.gainTrace.size()) result.gainTrace.resize(bin + 1, 1.0f);
    result.gainTrace[bin] =
        std::min({result.gainTrace[bin], result.finalMeters.gain[0], result.finalMeters.gain[1]});
}

// The settings, then off and on again as a host switches an effect before
// playback: the render starts from a reset engine with every gain at its target.
void prepareHost(EffectHost& host, const AudioInfo& info, const RenderOptions& options,
                 RenderResult& result) {
    host.setSampleRate(info.sampleRate);
    host.setBlockSize(options.blockSize);
    applySettings(host, options.settings);
    host.suspend();
    host.resume();
    result.latency = host.latency();
    result.aligned = !options.keepLatency;
    result.program = host.currentProgram();
    for (const ProgramName& p : availablePrograms(host))
        if (p.index == result.program) result.programName = p.name;
    if (info.sampleRate < 5000 || info.sampleRate > 200000)
        result.warnings.push_back(result.input + ": " + std::to_string(info.sampleRate) +
                                  " Hz is outside 5000 to 200000 Hz; the plug-in computes as at 44100 Hz");
}

// What the plug-in is fed: the file's frames, then `flush` frames of silence,
// in chunks of whole blocks, split into channel buffers.
class Stream {
public:
    Stream(InputFile& input, int64_t chunk, int64_t flush)
        : input(input), channels(input.info().channels), chunk(chunk), flushLeft(flush),
          interleaved(static_cast<size_t>(chunk * channels)) {}

    // The next chunk into in[0] and in[1]; 0 frames at the end. The frames
    // read from the file also go to the input's analysis.
    int64_t next(std::vector<double> (&in)[2], LoudnessAnalyser& analysis) {
        int64_t filled = 0;
        while (filled < chunk && !atEnd) {
            const int64_t n = input.read(interleaved.data() + filled * channels, chunk - filled);
            atEnd = n == 0;
            filled += n;
        }
        framesRead += filled;
        if (filled > 0) {
            // The plug-in gets the samples as they are; the input's figures
            // are of the finite ones.
            std::vector<double> copy = analysis.buffer(static_cast<size_t>(filled * channels));
            for (int64_t i = 0; i < filled * channels; ++i) {
                const double v = interleaved[static_cast<size_t>(i)];
                const bool finite = std::isfinite(v);
                nonFinite += finite ? 0 : 1;
                copy[static_cast<size_t>(i)] = finite ? v : 0.0;
            }
            analysis.add(std::move(copy));
        }
        for (int64_t i = 0; i < filled; ++i)
            for (int c = 0; c < channels; ++c) in[c][i] = interleaved[i * channels + c];
        const int64_t flush = std::min(chunk - filled, flushLeft);
        for (int c = 0; c < channels; ++c)
            std::fill(in[c].begin() + filled, in[c].begin() + filled + flush, 0.0);
        flushLeft -= flush;
        return filled + flush;
    }

    int64_t read() const { return framesRead; }
    int64_t nonFiniteSamples() const { return nonFinite; }

private:
    InputFile& input;
    int32_t channels;
    int64_t chunk;
    int64_t flushLeft;
    std::vector<double> interleaved;
    int64_t framesRead = 0;
    int64_t nonFinite = 0;
    bool atEnd = false;
};

void processChunk(EffectHost& host, std::vector<double> (&in)[2], std::vector<double> (&out)[2],
                  int64_t frames, int32_t blockSize, int64_t done, RenderResult& result) {
    for (int64_t pos = 0; pos < frames; pos += blockSize) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(blockSize, frames - pos));
        host.process(in[0].data() + pos, in[1].data() + pos, out[0].data() + pos,
                     out[1].data() + pos, n);
        takeMeters(host, result, done + pos);
    }
}

// Writes frames [from, to) of the channel buffers through `interleaved`; what
// the file holds goes to the output's analysis. Without a file (analyze
// --through) the plug-in's output itself is analysed.
void writeChunk(OutputFile* output, std::vector<double> (&out)[2], int32_t channels, int64_t from,
                int64_t to, std::vector<double>& interleaved, LoudnessAnalyser& analysis) {
    const int64_t frames = to - from;
    if (frames <= 0) return;
    interleaved.resize(static_cast<size_t>(frames * channels));
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) interleaved[i * channels + c] = out[c][from + i];
    std::vector<double> stored = analysis.buffer(interleaved.size());
    if (!output) {
        std::copy(interleaved.begin(), interleaved.end(), stored.begin());
        analysis.add(std::move(stored));
        return;
    }
    output->write(interleaved.data(), frames, stored.data());
    if (output->storesExactly()) analysis.add(std::move(stored));
}

// A file whose data ends before its header says: a warning, or with
// --strict an error.
void checkWhole(const InputFile& input, const RenderOptions& options, RenderResult& result) {
    if (const int64_t more = input.unstatedFrames(); more > 0) {
        char text[200];
        std::snprintf(text, sizeof text,
                      ": the header states %.3f s but the data goes on for %.3f s (%lld frames) more; rendering all of it",
                      static_cast<double>(input.info().frames) / input.info().sampleRate,
                      static_cast<double>(more) / input.info().sampleRate, static_cast<long long>(more));
        result.warnings.push_back(result.input + text);
    }
    const int64_t missing = input.missingFrames();
    if (missing <= 0) return;
    char text[160];
    std::snprintf(text, sizeof text, ": truncated: the data ends %.3f s (%lld frames) before its header says",
                  static_cast<double>(missing) / input.info().sampleRate, static_cast<long long>(missing));
    if (options.strict) throw ProcessingError(result.input + text + " (--strict)");
    result.warnings.push_back(result.input + text + "; rendering what is there");
}

// Lossy encoding adds peaks of its own, measured on the decoded file.
void checkDecodedPeak(const OutputFile& output, const RenderOptions& options, RenderResult& result) {
    if (output.storesExactly()) return;
    const double truePeak = 20.0 * std::log10(result.out.truePeak);
    if (!(truePeak > options.ceilingDbtp)) return;
    char text[200];
    std::snprintf(text, sizeof text,
                  ": decodes to a true peak of %+.2f dBTP, above the ceiling of %+.2f dBTP "
                  "(lossy encoding adds peaks; lower Output or the ceiling)",
                  truePeak, options.ceilingDbtp);
    result.warnings.push_back(result.output + text);
}

}  // namespace

RenderResult renderFile(const std::string& inputPath, const std::string& outputPath,
                        const RenderOptions& options, Progress& progress,
                        std::unique_ptr<OutputFile>* uncommitted) {
    const auto started = std::chrono::steady_clock::now();
    RenderResult result;
    result.input = inputPath;
    result.output = outputPath;

    InputFile input(inputPath);
    const AudioInfo& info = input.info();
    result.sampleRate = info.sampleRate;
    result.channels = info.channels;
    result.inputFormat = describeFormat(info.format);
    checkWhole(input, options, result);
    const bool writing = !outputPath.empty();
    std::string formatNote;
    const int32_t format = writing ? outputFormatFor(outputPath, info.format, options.format, &formatNote)
                                   : (SF_FORMAT_RAW | SF_FORMAT_DOUBLE);
    result.outputFormat = describeFormat(format);
    if (!formatNote.empty()) result.warnings.push_back(formatNote);

    EffectHost host(info.channels == 1);
    prepareHost(host, info, options, result);
    if (writing) warnAboutWordLength(host, result, format);

    std::unique_ptr<OutputFile> file;
    if (writing)
        file = std::make_unique<OutputFile>(outputPath, format, info.sampleRate, info.channels, options.existing);
    LoudnessAnalyser inputAnalysis(info.channels, info.sampleRate, inputPath);
    LoudnessAnalyser outputAnalysis(info.channels, info.sampleRate, inputPath);

    const int64_t chunk = chunkFramesFor(options.blockSize);
    std::vector<double> in[2], out[2], interleavedOut;
    for (int c = 0; c < 2; ++c) {
        in[c].resize(static_cast<size_t>(chunk));
        out[c].resize(static_cast<size_t>(chunk));
    }
    // Aligned: silence after the end flushes the latency out, and as many
    // frames are dropped at the start.
    const int64_t latency = result.aligned ? result.latency : 0;
    Stream stream(input, chunk, latency);
    int64_t dropLeft = latency;
    progress.begin(inputPath, info.frames, info.sampleRate);
    int64_t processed = 0;
    while (const int64_t frames = stream.next(in, inputAnalysis)) {
        processChunk(host, in, out, frames, options.blockSize, processed, result);
        processed += frames;
        const int64_t skip = std::min(dropLeft, frames);
        dropLeft -= skip;
        writeChunk(file.get(), out, info.channels, skip, frames, interleavedOut, outputAnalysis);
        result.frames += frames - skip;
        progress.update(stream.read());
    }

    result.in = inputAnalysis.finish();
    result.nonFiniteSamples = stream.nonFiniteSamples();
    if (result.nonFiniteSamples > 0)
        result.warnings.push_back(inputPath + ": " + std::to_string(result.nonFiniteSamples) +
                                  " samples are NaN or infinite; the input's figures count them as 0");
    if (!file) {
        result.out = outputAnalysis.finish();
    } else {
        file->close();
        // Encoded outputs are analysed as a decoder reads them back.
        result.out = file->storesExactly() ? outputAnalysis.finish() : analyseFile(file->temporaryPath());
        checkDecodedPeak(*file, options, result);
        if (uncommitted)
            *uncommitted = std::move(file);
        else
            file->commit();
    }
    progress.end();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

}  // namespace vexal::cli
