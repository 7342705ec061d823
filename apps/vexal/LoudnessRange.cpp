#include "LoudnessRange.h"

#include <algorithm>
#include <cmath>

namespace vexal::cli {

void ShortTermLoudness::tick(ebur128_state* state) {
    double momentary = -HUGE_VAL;
    ebur128_loudness_momentary(state, &momentary);
    // Back from LUFS to the weighted mean square (−0.691 is K-weighting's offset).
    const double energy = std::isfinite(momentary) ? std::pow(10.0, (momentary + 0.691) / 10.0) : 0.0;
    const double fourBack = ticks >= 4 ? blocks[(ticks - 4) % kBlocks] : 0.0;
    blocks[ticks % kBlocks] = std::max(0.0, 4.0 * (energy - lastMomentary) + fourBack);
    lastMomentary = energy;
    ++ticks;
    if (ticks < kBlocks) return;
    double sum = 0.0;
    for (double b : blocks) sum += b;
    values.push_back(sum > 0.0 ? -0.691 + 10.0 * std::log10(sum / kBlocks) : -HUGE_VAL);
}

double loudnessRange(std::vector<double> values) {
    std::erase_if(values, [](double v) { return !(v > -70.0); });
    if (values.size() < 2) return 0.0;
    double energy = 0.0;
    for (double v : values) energy += std::pow(10.0, v / 10.0);
    const double gate = 10.0 * std::log10(energy / static_cast<double>(values.size())) - 20.0;
    std::erase_if(values, [gate](double v) { return v < gate; });
    if (values.size() < 2) return 0.0;
    std::sort(values.begin(), values.end());
    auto percentile = [&](double p) {
        return values[static_cast<size_t>(std::lround(p * static_cast<double>(values.size() - 1)))];
    };
    return percentile(0.95) - percentile(0.10);
}

}  // namespace vexal::cli
