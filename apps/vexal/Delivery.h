// Delivery runs: a true-peak ceiling (--ceiling-dbtp) and a loudness target
// (--target-lufs) reached with the plug-in's own Output, Drive and
// Oversample, by rendering, measuring the written file and rendering again,
// in at most six passes: one to measure, up to three to bracket the Drive a
// target needs and narrow it, one to land on the target by Output, and one
// to spare for what dither and encoding move.
#pragma once

#include <string>
#include <vector>

#include "Render.h"

namespace vexal::cli {

constexpr int kMaxDeliveryPasses = 6;
// What the loudness may miss the target by.
constexpr double kLoudnessTolerance = 0.2;

// Renders `input` to `output` under options.ceilingDbtp (and
// options.targetLufs when set). The pass that meets both is written; when
// none does, the closest is written with a warning, or with options.strict
// nothing is written and ProcessingError names what was reached.
RenderResult deliverFile(const std::string& input, const std::string& output, const RenderOptions& options,
                         Progress& progress);

// An album (--album): one Drive, Output and Oversample for every track, so
// that the tracks keep their relative levels; every track stays under the
// ceiling and the loudness of all tracks as one programme meets the target.
struct Track {
    std::string input, output;
};
std::vector<RenderResult> deliver(const std::vector<Track>& tracks, const RenderOptions& options,
                                  Progress& progress);

}  // namespace vexal::cli
