#include "TruePeak.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/WideLoops.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace vexal::cli {

namespace {

// libebur128's interpolator: a 49-tap sinc, Hann-windowed, split into one
// sub-filter per phase, coefficients below 1e-6 left out. The expressions
// are evaluated as libebur128 evaluates them, so that every coefficient is
// the same double.
constexpr int kTaps = 49;
constexpr double kNegligible = 0.000001;

std::vector<TruePeakMeter::Phase> designFilter(int factor) {
    std::vector<TruePeakMeter::Phase> phases(static_cast<size_t>(factor));
    for (int j = 0; j < kTaps; ++j) {
        const double m = static_cast<double>(j) - static_cast<double>(kTaps - 1) / 2.0;
        double c = 1.0;
        if (std::fabs(m) > kNegligible)
            c = std::sin(m * std::numbers::pi / factor) / (m * std::numbers::pi / factor);
        c *= 0.5 * (1 - std::cos(2 * std::numbers::pi * j / (kTaps - 1)));
        if (std::fabs(c) > kNegligible) {
            TruePeakMeter::Phase& phase = phases[static_cast<size_t>(j % factor)];
            phase.coeff.push_back(c);
            phase.delay.push_back(j / factor);
        }
    }
    return phases;
}

int oversamplingFor(int32_t sampleRate) {
    if (sampleRate < 96000) return 4;
    if (sampleRate < 192000) return 2;
    return 1;
}

// Each value is summed in double in tap order and rounded to float, exactly
// as libebur128 does it one value at a time; here eight consecutive values
// are summed side by side in vector lanes, which changes no lane's order. The
// peak keeps a lane per value and ignores NaN (the comparison is false), as
// libebur128's comparison does.
// The helpers below are always inlined, so no vector crosses a call and
// GCC's note on the vector calling convention does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
using Doubles = double __attribute__((vector_size(64)));
using Floats = float __attribute__((vector_size(32)));
constexpr size_t kLanes = 8;

[[gnu::always_inline]] inline Doubles widened(const float* x) {
    Floats f;
    std::memcpy(&f, x, sizeof f);
    return __builtin_convertvector(f, Doubles);
}

[[gnu::always_inline]] inline Floats largerMagnitude(Floats peak, Doubles acc) {
    const Floats v = __builtin_convertvector(acc, Floats);
    const Floats magnitude = v < 0.0f ? -v : v;
    return magnitude > peak ? magnitude : peak;
}

template <int Taps>
[[gnu::always_inline]] inline float phasePeak(const float* x, size_t frames, const double* coeff,
                                              const int32_t* delay, int32_t taps) {
    const int32_t count = Taps > 0 ? Taps : taps;
    Floats lanesA = {}, lanesB = {};
    size_t n = 0;
    for (; n + 2 * kLanes <= frames; n += 2 * kLanes) {
        Doubles a = {}, b = {};
        for (int32_t t = 0; t < count; ++t) {
            const float* src = x + n - delay[t];
            a += widened(src) * coeff[t];
            b += widened(src + kLanes) * coeff[t];
        }
        lanesA = largerMagnitude(lanesA, a);
        lanesB = largerMagnitude(lanesB, b);
    }
    float peak = 0.0f;
    for (size_t i = 0; i < kLanes; ++i) {
        peak = lanesA[i] > peak ? lanesA[i] : peak;
        peak = lanesB[i] > peak ? lanesB[i] : peak;
    }
    for (; n < frames; ++n) {
        double acc = 0.0;
        for (int32_t t = 0; t < count; ++t) acc += static_cast<double>(x[n - delay[t]]) * coeff[t];
        const float v = std::fabs(static_cast<float>(acc));
        peak = v > peak ? v : peak;
    }
    return peak;
}

// The tap counts of 4× and 2× oversampling get loops unrolled at build time.
VEXAL_WIDE float phasePeakOf1(const float* x, size_t frames, const double* coeff, const int32_t* delay) {
    return phasePeak<1>(x, frames, coeff, delay, 1);
}
VEXAL_WIDE float phasePeakOf12(const float* x, size_t frames, const double* coeff, const int32_t* delay) {
    return phasePeak<12>(x, frames, coeff, delay, 12);
}
VEXAL_WIDE float phasePeakOf24(const float* x, size_t frames, const double* coeff, const int32_t* delay) {
    return phasePeak<24>(x, frames, coeff, delay, 24);
}
VEXAL_WIDE float phasePeakOfAny(const float* x, size_t frames, const double* coeff, const int32_t* delay,
                                int32_t taps) {
    return phasePeak<0>(x, frames, coeff, delay, taps);
}

float phasePeak(const float* x, size_t frames, const TruePeakMeter::Phase& phase) {
    const auto taps = static_cast<int32_t>(phase.coeff.size());
    switch (taps) {
        case 1: return phasePeakOf1(x, frames, phase.coeff.data(), phase.delay.data());
        case 12: return phasePeakOf12(x, frames, phase.coeff.data(), phase.delay.data());
        case 24: return phasePeakOf24(x, frames, phase.coeff.data(), phase.delay.data());
        default: return phasePeakOfAny(x, frames, phase.coeff.data(), phase.delay.data(), taps);
    }
}

// libebur128 scans with flush-to-zero on: values too small for a normal
// float become 0 in the same places here.
class FlushToZeroScope {
public:
#if defined(__SSE2__)
    FlushToZeroScope() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8000u); }
    ~FlushToZeroScope() { _mm_setcsr(saved); }

private:
    unsigned saved;
#endif
};

}  // namespace

TruePeakMeter::TruePeakMeter(int32_t channels, int32_t sampleRate)
    : channels(channels), peaks(static_cast<size_t>(channels), 0.0f) {
    const int factor = oversamplingFor(sampleRate);
    if (factor == 1) return;
    filter = designFilter(factor);
    for (const Phase& phase : filter)
        for (int32_t d : phase.delay) history = std::max(history, d);
    lines.assign(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(history), 0.0f));
}

void TruePeakMeter::add(const double* interleaved, size_t frames) {
    if (filter.empty() || frames == 0) return;
    FlushToZeroScope flushToZero;
    for (size_t c = 0; c < lines.size(); ++c) {
        std::vector<float>& line = lines[c];
        line.resize(static_cast<size_t>(history) + frames);
        float* x = line.data() + history;
        for (size_t i = 0; i < frames; ++i)
            x[i] = static_cast<float>(interleaved[i * static_cast<size_t>(channels) + c]);
        scanChannel(c, frames);
        // The last frames are the next run's past.
        std::copy(line.end() - history, line.end(), line.begin());
    }
}

void TruePeakMeter::scanChannel(size_t channel, size_t frames) {
    const float* x = lines[channel].data() + history;
    float& peak = peaks[channel];
    for (const Phase& phase : filter) {
        const float p = phasePeak(x, frames, phase);
        peak = p > peak ? p : peak;
    }
}

}  // namespace vexal::cli
