// Programme-like test material for the benchmarks: a pink-noise bed with
// drum-like hits (a falling low sine and a noise burst) whose peaks reach
// about 6 dB over full scale, long enough (20 s and more) that input, output
// and the limiter's work do not stay in the processor's caches.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace benchsignal {

struct Stereo {
    std::vector<double> l, r;
};

inline Stereo programme(double rate, double seconds) {
    const size_t n = static_cast<size_t>(rate * seconds);
    Stereo s{std::vector<double>(n), std::vector<double>(n)};
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    auto white = [&seed]() {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return static_cast<double>(seed >> 11) * 0x1p-52 - 1.0;
    };
    // Pink bed: white noise through three one-poles spread over the octaves.
    double bed[2][3] = {};
    const double pole[3] = {std::exp(-2 * M_PI * 40 / rate), std::exp(-2 * M_PI * 600 / rate),
                            std::exp(-2 * M_PI * 6000 / rate)};
    const double weight[3] = {0.9, 0.35, 0.15};
    const size_t beat = static_cast<size_t>(rate * 0.5);  // 120 beats per minute
    for (size_t i = 0; i < n; ++i) {
        double x[2];
        for (int c = 0; c < 2; ++c) {
            const double w = white();
            x[c] = 0.0;
            for (int k = 0; k < 3; ++k) {
                bed[c][k] = pole[k] * bed[c][k] + (1 - pole[k]) * w;
                x[c] += weight[k] * bed[c][k] * 1.6;
            }
            x[c] += 0.02 * w;
        }
        // A kick on every beat, a snare on every second one.
        const size_t inBeat = i % beat;
        const double t = inBeat / rate;
        const double kick = 1.2 * std::exp(-t * 18.0) * std::sin(2 * M_PI * (50.0 * t + 40.0 * (1 - std::exp(-t * 30.0)) / 30.0));
        const double snare = ((i / beat) % 2 == 1) ? 0.7 * std::exp(-t * 35.0) * white() : 0.0;
        s.l[i] = x[0] + kick + snare;
        s.r[i] = x[1] + 0.9 * kick + snare;
    }
    return s;
}

}  // namespace benchsignal
