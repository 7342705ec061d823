// The true (inter-sample) peak of a signal: the largest magnitude of the
// band-limited waveform its samples define, all content up to the Nyquist
// frequency included, within a few hundredths of a dB (see docs/vexal.md for
// the figures against a whole-signal reference).
//
// Three stages. A 4× polyphase interpolator with a short (48-tap) Kaiser-
// windowed sinc, in single precision, gives the waveform at four points per
// sample. Every local maximum of that stream within 35 % of the largest
// peak found so far is a candidate: near any peak the nearest of four points
// per sample reads at most π²/128 (7.7 %) low, and the short filter
// attenuates content close to the Nyquist frequency. A 256-tap Kaiser-
// windowed sinc at 32 points per sample then finds where the candidate's
// peak lies. Its height comes from the sinc sum itself over 2 × 8192 samples
// with a gentle taper (Kaiser, β 5): filters cut off at the Nyquist frequency
// attenuate what lies just below it, which a limiter's output is full of,
// and a shorter sum misses what bright material adds from afar. The sum is
// taken at the 32nd of a sample where it is largest and at the vertex of a
// parabola through that point and its neighbours.
#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/KernelVariant.h"

namespace vexal::cli {

class TruePeakMeter {
public:
    // The method, as the JSON report names it.
    static constexpr const char* kMethod =
        "4x polyphase windowed sinc (48 taps) to find the peaks, located at 32x with a 256-tap "
        "windowed sinc, each measured by the sinc sum over 16384 samples (Kaiser taper, beta 5)";
    static constexpr int kCoarseFactor = 4;
    static constexpr int kCoarseTaps = 48;  // per phase
    static constexpr int kFinePhases = 32;
    static constexpr int kFineTaps = 256;   // per phase
    static constexpr int kLongHalf = 8192;  // taps each side of the point

    explicit TruePeakMeter(int32_t channels);

    // The coarse interpolator and the scan's run maxima are built per
    // instruction set; the kernel variant chosen at load (VEXAL_KERNEL) picks
    // the copy unless a benchmark or test picks another. All give the same
    // bits.
    static void useVariant(KernelVariant variant);
    static KernelVariant variant();

    // Interleaved frames, continuing the previous ones. Non-finite samples
    // count as 0.
    void add(const double* interleaved, size_t frames);
    // The signal ends: the interpolation runs out over silence. Call once,
    // before peak().
    void finish();
    // Keeps the largest value per `frames` frames (the 4× points, and the
    // long sum where a peak was measured) for envelope(); call before add().
    void traceEvery(int64_t frames) { binFrames = frames; }
    // Per bin, the largest of the channels, linear.
    std::vector<float> envelope() const;
    // The true peak of one channel, linear.
    double peak(int32_t channel) const { return channelState[static_cast<size_t>(channel)].peak; }

private:
    struct Channel {
        std::vector<double> line;      // the input from absolute index `origin` on
        std::vector<float> lineFloat;  // the same in single precision, for the coarse points
        int64_t origin = 0;
        int64_t next = 0;  // first input index whose coarse points are not yet scanned
        std::vector<float> coarse[kCoarseFactor - 1];
        std::vector<float> runMaxima;  // of the coarse points, per run of frames
        double before2 = 0.0, before1 = 0.0;  // the last two magnitudes of the coarse stream
        double peak = 0.0;
        std::vector<float> bins;  // traceEvery()
    };
    void note(Channel& c, int64_t frame, double value) const;

    void scan(Channel& c, bool final);
    void refine(Channel& c, int64_t coarseIndex);
    // The long filter's value at a point of the 32× grid.
    double valueAt(const Channel& c, int64_t fineIndex) const;
    // The long sum's value at a point in 32nds of a sample. Its taps far
    // from the point reduce to four sums per sample, kept in `far`.
    struct FarCache {
        int64_t sample = INT64_MIN;
        double sums[4] = {};
    };
    double exactAt(const Channel& c, double fine, FarCache& far) const;
    void farSums(const Channel& c, int64_t n, double (&sums)[4]) const;

    std::vector<Channel> channelState;
    int32_t channels;
    bool finished = false;
    int64_t binFrames = 0;
};

}  // namespace vexal::cli
