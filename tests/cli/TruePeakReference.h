// An independent true-peak reference for the tests: the ideal band-limited
// reconstruction of the whole signal (with silence before and after) at 16
// points per sample, by zero-padding its discrete Fourier transform, with a
// parabola through the largest point of each crest and its neighbours. No
// filter, no window: everything up to the Nyquist frequency counts in full.
#pragma once

#include <vector>

namespace clitest {

// Linear, the largest of the channels; `interleaved` holds frames of `channels`.
double referenceTruePeak(const std::vector<double>& interleaved, int channels);

}  // namespace clitest
