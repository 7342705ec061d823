#include "ParameterHelp.h"

namespace vexal::cli {

namespace {

const ParameterExplanation kExplanations[26] = {
    {"-12.04 to 0 dB",
     "The gain after the limiter: the level its peaks stay under (the limiter holds the driven signal at 0 dBFS), "
     "unless AutoOut replaces it."},
    {"-24.08 to +24.08 dB",
     "The gain in front of the limiter: whatever it lifts above 0 dBFS is limited, so it sets how loud and how "
     "dense the result is."},
    {"0 to 0.5 (shown with the label ms)",
     "The share of the gain that follows only the fast brickwall envelope rather than the program-dependent "
     "release: more lets transients recover at once."},
    {"1 to 1000 ms",
     "The release time of the slowest of the eight envelope followers (the fastest releases in 2 ms): longer is "
     "smoother, shorter is louder with more pumping."},
    {"hard, med, soft",
     "The length of the smoothing of the brickwall envelope (8, 16 or 64 samples at 44.1 and 48 kHz, doubled per "
     "rate class): hard follows each peak closest, soft rounds the gain changes for less distortion."},
    {"0 to 100",
     "How far the two channels' envelope followers share one detector: 100 gives both the same gain movement and "
     "keeps the stereo image, 0 lets each channel limit on its own."},
    {"off, on",
     "Also detects the peaks between the samples, estimated at the half-sample points (with 0.1 % to spare): "
     "this lowers inter-sample peaks but does not bound them; bright material can still decode a few tenths "
     "of a dB over, which --ceiling-dbtp measures and corrects."},
    {"I, II",
     "One or two cascaded stages in each envelope follower: II releases more smoothly after an overload; the peak "
     "limiting is the same."},
    {"off, on",
     "Off bypasses the limiter: the input passes without Drive, leveller, limiting or Output, delayed by the "
     "latency."},
    {"K-12, K-14, K-20",
     "The editor's K-meter scale and the level of the calibration noise; no effect on the audio otherwise."},
    {"8, 16, 24", "The word length the requantizer reduces the output to while Quantize is on."},
    {"off, type A, type B, type C",
     "The requantizer's noise shaping (at 44.1, 48, 88.2, 96, 176.4 and 192 kHz): moves the dither noise to where "
     "it is heard least; off leaves plain triangular dither."},
    {"off, left, l+r uncor, right",
     "Replaces the output with pink noise at the K-scale's reference level, on the left, both (uncorrelated) or "
     "the right channel, to calibrate monitoring."},
    {"-oo to 0 dB (0 dB: off)",
     "The threshold of a slow (1 s) linked gain stage in front of the limiter that pulls the driven signal down "
     "while its smoothed peak level is above it; its top position, 0 dB, switches it off."},
    {"off, on",
     "Lets the output peak meter read the peaks between the samples as well; no effect on the audio."},
    {"off, on",
     "Sets the output gain to the inverse of Drive in place of Output, so that Drive can be compared at equal "
     "level."},
    {"off, on",
     "Reduces the output to Bits with triangular dither and NoiseShape, for a fixed-point master of that word "
     "length."},
    {"off, on",
     "While Quantize is on, fades the requantized output, dither included, to exact zero within 10 ms when the "
     "programme falls silent."},
    {"peak, k-system", "The ballistics of the editor's level meters; no effect on the audio."},
    {"24dB, 12dB", "The range of the editor's gain-reduction meter; no effect on the audio."},
    {"(none), 1, 2, 12, L, 1L, 2L, 12L",
     "Which parts of the gain reduction the meter shows: 1 the release, 2 the peaks, L the leveller; no effect on "
     "the audio."},
    {"pre, post",
     "Whether the input meter shows the signal after Drive (pre) or the input itself (post); no effect on the "
     "audio."},
    {"none", "Unused; kept in programs."},
    {"none", "Unused; kept in programs."},
    {"none", "Unused; kept in programs."},
    {"none", "Marks the parameter layout of stored programs, so that older programs are converted on loading."},
};

}  // namespace

const ParameterExplanation& explanationOf(int32_t index) { return kExplanations[index]; }

}  // namespace vexal::cli
