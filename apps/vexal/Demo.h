// The built-in test programme: 15 s of stereo drums, bass and a pad at
// 44.1 kHz, transient-rich, peaking just under full scale, so that a
// program's Drive pushes it well above.
#pragma once

#include <vector>

namespace vexal::cli {

constexpr int kDemoSampleRate = 44100;
constexpr double kDemoSeconds = 15.0;

// Interleaved stereo frames.
std::vector<double> synthesizeDemo();

}  // namespace vexal::cli
