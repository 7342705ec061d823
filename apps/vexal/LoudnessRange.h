// Loudness range (EBU Tech 3342) from short-term loudness values taken
// every 100 ms: the values above −70 LUFS, then those no more than 20 LU
// below their energy mean, and the distance from the 10th to the 95th
// percentile of what remains.
//
// libebur128's own figure takes a 3 s block once a second; on a short file
// that is a few dozen values, and a programme whose loudness changes on a
// beat is sampled at one phase of it (30 s of notes every 0.5 s read 4.9 LU
// where 10 values a second give 6.1). Ten a second is what ffmpeg's meter
// takes too; it reads the percentiles from a histogram of 0.1 LU bins, which
// on a short file with few distinct levels can move them by a few tenths
// (docs/vexal.md).
#pragma once

#include <ebur128.h>

#include <array>
#include <cstddef>
#include <vector>

namespace vexal::cli {

// Short-term loudness every 100 ms. libebur128's own short-term figure sums
// the last 3 s of samples at each call; its momentary one (the last 400 ms)
// costs less than a tenth of that, and at 100 ms marks the momentary
// energies give each 100 ms block's: p(t) = 4(m(t) − m(t − 1)) + p(t − 4).
// Thirty blocks make the short-term value.
class ShortTermLoudness {
public:
    // At each 100 ms mark of the frames `state` was given.
    void tick(ebur128_state* state);
    const std::vector<double>& series() const { return values; }  // LUFS, once 3 s are in

private:
    static constexpr size_t kBlocks = 30;
    std::array<double, kBlocks> blocks{};  // the last 30 block energies, a ring
    size_t ticks = 0;
    double lastMomentary = 0.0;
    std::vector<double> values;
};

// LU; 0 when fewer than two values pass the gates.
double loudnessRange(std::vector<double> shortTermLufs);

}  // namespace vexal::cli
