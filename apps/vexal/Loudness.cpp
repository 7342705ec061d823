#include "Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

#include "AudioFile.h"
#include "LoudnessRange.h"
#include "UsageError.h"

namespace vexal::cli {

namespace {
constexpr size_t kMaxQueued = 4;
}

LoudnessAnalyser::LoudnessAnalyser(int32_t channels, int32_t sampleRate, const std::string& path)
    : channels(channels), tick(std::max<size_t>(1, static_cast<size_t>(sampleRate) / 10)), untilTick(tick),
      truePeak(channels) {
    // libebur128's own true peak reads low on bright material (a short 4×
    // interpolator); TruePeakMeter measures it.
    state.reset(ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                             EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK),
                [](ebur128_state* s) { if (s) ebur128_destroy(&s); });
    if (!state)
        throw ProcessingError((path.empty() ? "" : path + ": ") + "cannot measure loudness at " +
                              std::to_string(sampleRate) + " Hz (libebur128 refuses the rate)");
    truePeak.traceEvery(static_cast<int64_t>(tick));
    worker = std::thread([this] { run(); });
}

LoudnessAnalyser::~LoudnessAnalyser() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        queue.clear();
    }
    changed.notify_all();
    if (worker.joinable()) worker.join();
}

std::vector<double> LoudnessAnalyser::buffer(size_t samples) {
    std::vector<double> reused;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!spare.empty()) {
            reused = std::move(spare.back());
            spare.pop_back();
        }
    }
    reused.resize(samples);
    return reused;
}

void LoudnessAnalyser::add(std::vector<double> interleaved) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return queue.size() < kMaxQueued; });
    queue.push_back(std::move(interleaved));
    lock.unlock();
    changed.notify_all();
}

void LoudnessAnalyser::run() {
    for (;;) {
        std::vector<double> frames;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return done || !queue.empty(); });
            if (queue.empty()) return;
            frames = std::move(queue.front());
            queue.pop_front();
        }
        changed.notify_all();
        const size_t count = frames.size() / static_cast<size_t>(channels);
        // In pieces ending every 100 ms, where the short-term loudness (the
        // last 3 s) is read for the loudness range.
        for (size_t at = 0; at < count;) {
            const size_t n = std::min(count - at, untilTick);
            const double* piece = frames.data() + at * static_cast<size_t>(channels);
            ebur128_add_frames_double(state.get(), piece, n);
            for (size_t i = 0; i < n * static_cast<size_t>(channels); ++i)
                tickPeak = std::max(tickPeak, static_cast<float>(std::fabs(piece[i])));
            at += n;
            untilTick -= n;
            if (untilTick > 0) continue;
            untilTick = tick;
            shortTerm.tick(state.get());
            peakTrace.push_back(tickPeak);
            tickPeak = 0.0f;
        }
        truePeak.add(frames.data(), count);
        std::lock_guard<std::mutex> lock(mutex);
        if (spare.size() < kMaxQueued) spare.push_back(std::move(frames));
    }
}

LoudnessFigures LoudnessAnalyser::finish() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    changed.notify_all();
    worker.join();
    truePeak.finish();
    LoudnessFigures f;
    for (int32_t c = 0; c < channels; ++c) {
        double peak = 0.0;
        if (ebur128_sample_peak(state.get(), static_cast<unsigned>(c), &peak) != EBUR128_SUCCESS) continue;
        f.samplePeak = std::max(f.samplePeak, peak);
        f.truePeak = std::max(f.truePeak, std::max(truePeak.peak(c), peak));
    }
    ebur128_loudness_global(state.get(), &f.integrated);
    f.range = loudnessRange(shortTerm.series());
    f.peakTrace = peakTrace;
    if (untilTick != tick) f.peakTrace.push_back(tickPeak);
    f.truePeakTrace = truePeak.envelope();
    f.truePeakTrace.resize(f.peakTrace.size(), 0.0f);
    for (size_t i = 0; i < f.peakTrace.size(); ++i) f.truePeakTrace[i] = std::max(f.truePeakTrace[i], f.peakTrace[i]);
    f.shortTermTrace = shortTerm.series();
    f.gating = state;
    return f;
}

double loudnessTogether(const std::vector<const LoudnessFigures*>& files) {
    std::vector<ebur128_state*> states;
    for (const LoudnessFigures* f : files)
        if (f->gating) states.push_back(f->gating.get());
    double loudness = -HUGE_VAL;
    if (!states.empty()) ebur128_loudness_global_multiple(states.data(), states.size(), &loudness);
    return loudness;
}

FileAnalysis analyseInput(const std::string& path) {
    InputFile file(path);
    FileAnalysis a;
    a.info = file.info();
    a.missingFrames = file.missingFrames();
    a.unstatedFrames = file.unstatedFrames();
    LoudnessAnalyser analyser(a.info.channels, a.info.sampleRate, path);
    constexpr int64_t kChunk = 65536;
    for (;;) {
        std::vector<double> frames = analyser.buffer(static_cast<size_t>(kChunk * a.info.channels));
        const int64_t n = file.read(frames.data(), kChunk);
        if (n == 0) break;
        frames.resize(static_cast<size_t>(n * a.info.channels));
        for (double& v : frames)
            if (!std::isfinite(v)) {
                v = 0.0;
                ++a.nonFiniteSamples;
            }
        a.frames += n;
        analyser.add(std::move(frames));
    }
    a.figures = analyser.finish();
    return a;
}

LoudnessFigures analyseFile(const std::string& path) { return analyseInput(path).figures; }

}  // namespace vexal::cli
