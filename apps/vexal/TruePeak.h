// The true-peak figure libebur128 reports, computed with the same
// interpolation and arithmetic but over whole runs of frames at a time, so
// that it costs a fraction of libebur128's own per-sample filter. It is the
// largest magnitude of a polyphase interpolation of the signal, rounded to
// float as libebur128 rounds it: 4 times oversampled below 96 kHz, twice below
// 192 kHz, not at all above. The reported true peak is the larger of this and
// the sample peak.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexal::cli {

class TruePeakMeter {
public:
    TruePeakMeter(int32_t channels, int32_t sampleRate);

    // Interleaved frames, continuing the previous ones.
    void add(const double* interleaved, size_t frames);
    // The largest interpolated magnitude of one channel so far (0 when the
    // rate is not oversampled).
    double peak(int32_t channel) const { return static_cast<double>(peaks[static_cast<size_t>(channel)]); }

    // One sub-filter: the interpolated value at its phase is the sum, in this
    // order, of coeff[t] times the input `delay[t]` frames back.
    struct Phase {
        std::vector<double> coeff;
        std::vector<int32_t> delay;
    };
    const std::vector<Phase>& phases() const { return filter; }

private:
    void scanChannel(size_t channel, size_t frames);

    int32_t channels;
    int32_t history = 0;  // frames of the past that the sub-filters reach back
    std::vector<Phase> filter;
    std::vector<std::vector<float>> lines;  // per channel: history, then the frames being scanned
    std::vector<float> peaks;
};

}  // namespace vexal::cli
