// An independent true-peak reference for the tests: the signal (silence
// before and after) interpolated at 32 points per sample with a 320-tap
// Blackman-Harris-windowed sinc cut off at the Nyquist frequency, evaluated
// directly rather than as a polyphase filter bank. The 32× points are
// computed around every local maximum of a 4× pass that comes within 10 %
// of that pass's largest value (the 4× points read at most 7.7 % low near
// a peak of a signal below the Nyquist frequency); the reference is the
// largest magnitude among all points computed.
#pragma once

#include <vector>

namespace clitest {

// Linear, the largest of the channels; `interleaved` holds frames of `channels`.
double referenceTruePeak(const std::vector<double>& interleaved, int channels);

}  // namespace clitest
