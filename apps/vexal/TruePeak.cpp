#include "TruePeak.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/KernelVariant.h"
#include "engine/WideLoops.h"

namespace vexal::cli {

namespace {

constexpr int kFine = TruePeakMeter::kFinePhases;
constexpr int kCoarse = TruePeakMeter::kCoarseFactor;
constexpr int kSpacing = kFine / kCoarse;  // fine points per coarse step
constexpr int kCoarseTaps = TruePeakMeter::kCoarseTaps;
constexpr int kFineTaps = TruePeakMeter::kFineTaps;
constexpr int kLongHalf = TruePeakMeter::kLongHalf;
// Input kept before the first unscanned sample and needed after the last
// scanned one: the long sum's reach plus the two samples a refinement may move.
constexpr int64_t kReach = kLongHalf + 8;
constexpr double kCandidateRatio = 0.65;  // of the peak so far, for a coarse point
constexpr double kRefineRatio = 0.9;     // for the long filter's coarse points

double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 100 && term > 1e-17 * sum; ++k) {
        const double half = x / (2.0 * k);
        term *= half * half;
        sum += term;
    }
    return sum;
}

// Phase j (0 … 31) of a Kaiser-windowed sinc cut off at the Nyquist
// frequency: the value j/32 of a sample after input n is the sum over t of
// coeff[t] · x[n − taps/2 + 1 + t]. Each phase is scaled to pass a constant exactly.
std::vector<double> windowedSinc(int taps, double beta, int j) {
    std::vector<double> coeff(static_cast<size_t>(taps));
    const double half = taps / 2;
    double sum = 0.0;
    for (int t = 0; t < taps; ++t) {
        const double u = static_cast<double>(j) / kFine - static_cast<double>(t - (taps / 2 - 1));
        const double r = u / half;
        const double window = besselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / besselI0(beta);
        const double sinc = u == 0.0 ? 1.0 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
        coeff[static_cast<size_t>(t)] = sinc * window;
        sum += coeff[static_cast<size_t>(t)];
    }
    for (double& c : coeff) c /= sum;
    return coeff;
}

struct Filters {
    std::array<std::array<float, kCoarseTaps>, kCoarse - 1> coarse{};  // phases 1/4, 2/4, 3/4
    std::array<std::array<double, kFineTaps>, kFine> fine{};            // phase 0 unused
    Filters() {
        for (int p = 1; p < kCoarse; ++p) {
            const std::vector<double> c = windowedSinc(kCoarseTaps, 8.0, p * kSpacing);  // ~80 dB
            std::copy(c.begin(), c.end(), coarse[static_cast<size_t>(p - 1)].begin());
        }
        for (int j = 1; j < kFine; ++j) {
            const std::vector<double> c = windowedSinc(kFineTaps, 7.5, j);  // ~75 dB
            std::copy(c.begin(), c.end(), fine[static_cast<size_t>(j)].begin());
        }
    }
};

const Filters& filters() {
    static const Filters f;
    return f;
}

// The long sum's taper, per tap k (−kLongHalf < k ≤ kLongHalf) from the
// sample nearest the point, with the alternating sign of the sinc folded
// in: the sinc at v − k is (−1)^k sin(πv) / (π(v − k)). Taps within kNear
// are divided out for each point. Beyond, 1/(v − k) is the series
// −Σ v^p / k^(p+1) (|v| ≤ 1), whose fifth term is below 10⁻⁸ of the first:
// four sums per sample, shared by every point around it.
constexpr int kNear = 64;
constexpr int kMoments = 4;
struct LongTaper {
    std::array<double, 2 * kLongHalf> signedWindow{};  // zero beyond kNear
    std::array<double, 2 * kLongHalf> farOverK{};      // signed window / k, zero within kNear
    std::array<double, 2 * kLongHalf> inverseK{};
    LongTaper() {
        for (int i = 0; i < 2 * kLongHalf; ++i) {
            const int k = i - kLongHalf + 1;
            const double r = k / (kLongHalf + 1.0);
            constexpr double beta = 5.0;  // a gentle taper: the sum stays close to the whole one
            const double w = (k % 2 == 0 ? 1.0 : -1.0) *
                             besselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / besselI0(beta);
            const auto at = static_cast<size_t>(i);
            if (std::abs(k) <= kNear) {
                signedWindow[at] = w;
            } else {
                farOverK[at] = w / k;
                inverseK[at] = 1.0 / k;
            }
        }
    }
};

const LongTaper& longTaper() {
    static const LongTaper t;
    return t;
}

#pragma GCC diagnostic ignored "-Wpsabi"
using Doubles = double __attribute__((vector_size(64)));
using Floats = float __attribute__((vector_size(64)));
constexpr size_t kLanes = 8;
constexpr size_t kFloatLanes = 16;
// Eight vectors of outputs side by side keep eight independent chains of
// additions in flight.
constexpr size_t kChains = 8;

template <typename V, typename T>
[[gnu::always_inline]] inline V load(const T* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// out[i] = Σ coeff[t] · x[i + t], t ascending, in every variant: the lanes
// of the vector ones sum exactly as the portable loop does.
[[gnu::always_inline]] inline void interpolateScalar(const float* x, size_t from, size_t count, const float* coeff,
                                                     float* out) {
    for (size_t i = from; i < count; ++i) {
        float acc = 0.0f;
        for (int t = 0; t < kCoarseTaps; ++t) acc += x[i + t] * coeff[t];
        out[i] = acc;
    }
}

using Interpolate = void (*)(const float*, size_t, const float*, float*);

// The vector variants: one body (CoarseInterpolator.inc), compiled for each
// instruction set with the widest register V it has, so that the chains'
// accumulators stay in registers.
#if defined(__x86_64__) && defined(__GNUC__)
namespace avx512 {
using V = float __attribute__((vector_size(64)));
#define VEXAL_COARSE_TARGET __attribute__((target("avx512f")))
#include "CoarseInterpolator.inc"
#undef VEXAL_COARSE_TARGET
}  // namespace avx512
namespace avx2 {
using V = float __attribute__((vector_size(32)));
#define VEXAL_COARSE_TARGET __attribute__((target("avx2")))
#include "CoarseInterpolator.inc"
#undef VEXAL_COARSE_TARGET
}  // namespace avx2
#endif
namespace sse2 {
using V = float __attribute__((vector_size(16)));
#define VEXAL_COARSE_TARGET
#include "CoarseInterpolator.inc"
#undef VEXAL_COARSE_TARGET
}  // namespace sse2

void interpolatePortable(const float* x, size_t n, const float* c, float* out) {
    interpolateScalar(x, 0, n, c, out);
}

Interpolate interpolatorFor(KernelVariant v) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (v == KernelVariant::avx512) return avx512::interpolate;
    if (v == KernelVariant::avx2) return avx2::interpolate;
#endif
    return v == KernelVariant::portable ? interpolatePortable : sse2::interpolate;
}

KernelVariant current = selectedKernelVariant();
Interpolate interpolate = interpolatorFor(current);

// The largest magnitude of the coarse points of each run of kRun frames.
constexpr size_t kRun = 16;
void runMaximaLoop(const float* x, const float* a, const float* b, const float* d, size_t count, float* maxima) {
    for (size_t from = 0; from < count; from += kRun) {
        const size_t to = std::min(count, from + kRun);
        float m = 0.0f;
        for (size_t i = from; i < to; ++i) {
            const float v = std::max(std::max(std::fabs(x[i]), std::fabs(a[i])), std::max(std::fabs(b[i]), std::fabs(d[i])));
            m = std::max(m, v);
        }
        maxima[from / kRun] = m;
    }
}

// One value of the long filter: partial sums in lanes, then added up.
double dot(const double* x, const double* coeff) {
    Doubles acc[2] = {};
    for (int t = 0; t < kFineTaps; t += 2 * static_cast<int>(kLanes)) {
        acc[0] += load<Doubles>(x + t) * load<Doubles>(coeff + t);
        acc[1] += load<Doubles>(x + t + kLanes) * load<Doubles>(coeff + t + kLanes);
    }
    double sum = 0.0;
    for (size_t k = 0; k < kLanes; ++k) sum += acc[0][k] + acc[1][k];
    return sum;
}

int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

void TruePeakMeter::useVariant(KernelVariant variant) {
    current = variant;
    interpolate = interpolatorFor(variant);
}

KernelVariant TruePeakMeter::variant() { return current; }

void TruePeakMeter::note(Channel& c, int64_t frame, double value) const {
    if (binFrames <= 0 || frame < 0) return;
    const auto bin = static_cast<size_t>(frame / binFrames);
    if (bin >= c.bins.size()) c.bins.resize(bin + 1, 0.0f);
    c.bins[bin] = std::max(c.bins[bin], static_cast<float>(value));
}

std::vector<float> TruePeakMeter::envelope() const {
    std::vector<float> all;
    for (const Channel& c : channelState) {
        if (c.bins.size() > all.size()) all.resize(c.bins.size(), 0.0f);
        for (size_t i = 0; i < c.bins.size(); ++i) all[i] = std::max(all[i], c.bins[i]);
    }
    return all;
}

TruePeakMeter::TruePeakMeter(int32_t channels) : channelState(static_cast<size_t>(channels)), channels(channels) {
    filters();
    for (Channel& c : channelState) {
        // Silence before the start.
        c.line.assign(static_cast<size_t>(kReach), 0.0);
        c.lineFloat.assign(static_cast<size_t>(kReach), 0.0f);
        c.origin = -kReach;
    }
}

void TruePeakMeter::add(const double* interleaved, size_t frames) {
    if (frames == 0 || finished) return;
    for (size_t ch = 0; ch < channelState.size(); ++ch) {
        Channel& c = channelState[ch];
        const size_t had = c.line.size();
        c.line.resize(had + frames);
        c.lineFloat.resize(had + frames);
        for (size_t i = 0; i < frames; ++i) {
            const double v = interleaved[i * static_cast<size_t>(channels) + ch];
            c.line[had + i] = std::isfinite(v) ? v : 0.0;
            c.lineFloat[had + i] = static_cast<float>(c.line[had + i]);
        }
        scan(c, false);
    }
}

void TruePeakMeter::finish() {
    if (finished) return;
    finished = true;
    for (Channel& c : channelState) {
        // Silence after the end, until the interpolation has died out.
        c.line.resize(c.line.size() + static_cast<size_t>(3 * kReach), 0.0);
        c.lineFloat.resize(c.line.size(), 0.0f);
        scan(c, true);
    }
}

void TruePeakMeter::scan(Channel& c, bool final) {
    const int64_t end = c.origin + static_cast<int64_t>(c.line.size()) - kReach;
    if (end > c.next) {
        const auto count = static_cast<size_t>(end - c.next);
        const float* x = c.lineFloat.data() + (c.next - c.origin) - (kCoarseTaps / 2 - 1);
        for (int p = 1; p < kCoarse; ++p) {
            c.coarse[p - 1].resize(count);
            interpolate(x, count, filters().coarse[static_cast<size_t>(p - 1)].data(), c.coarse[p - 1].data());
        }
        // The coarse stream in time order: the sample, then the three points
        // after it. Runs of frames whose points all stay below the candidate
        // level are passed over, keeping only their last two points.
        const double* samples = c.line.data() + (c.next - c.origin);
        const float* sampleFloats = x + (kCoarseTaps / 2 - 1);
        c.runMaxima.resize((count + kRun - 1) / kRun);
        runWide<runMaximaLoop>(current, sampleFloats, c.coarse[0].data(), c.coarse[1].data(), c.coarse[2].data(),
                               count, c.runMaxima.data());
        for (size_t run = 0; run * kRun < count; ++run) {
            const size_t from = run * kRun, to = std::min(count, from + kRun);
            note(c, c.next + static_cast<int64_t>(from), c.runMaxima[run]);
            // Single-precision maxima: passed over only when clearly below.
            if (c.runMaxima[run] < kCandidateRatio * c.peak * (1.0 - 1e-5)) {
                const double first = std::fabs(samples[from]);
                if (c.before1 > 0.0 && c.before1 >= kCandidateRatio * c.peak && c.before1 >= c.before2 &&
                    c.before1 >= first)
                    refine(c, (c.next + static_cast<int64_t>(from)) * kCoarse - 1);
                c.before2 = std::fabs(static_cast<double>(c.coarse[1][to - 1]));
                c.before1 = std::fabs(static_cast<double>(c.coarse[2][to - 1]));
                continue;
            }
            for (size_t i = from; i < to; ++i) {
                const double values[kCoarse] = {samples[i], c.coarse[0][i], c.coarse[1][i], c.coarse[2][i]};
                for (int p = 0; p < kCoarse; ++p) {
                    const double v = std::fabs(values[p]);
                    if (c.before1 > 0.0 && c.before1 >= kCandidateRatio * c.peak && c.before1 >= c.before2 &&
                        c.before1 >= v)
                        refine(c, (c.next + static_cast<int64_t>(i)) * kCoarse + p - 1);
                    c.before2 = c.before1;
                    c.before1 = v;
                }
            }
        }
        c.next = end;
    }
    if (final) return;
    // Keep what the next scan reaches back to.
    const int64_t keepFrom = c.next - kReach;
    const auto drop = static_cast<std::ptrdiff_t>(keepFrom - c.origin);
    c.line.erase(c.line.begin(), c.line.begin() + drop);
    c.lineFloat.erase(c.lineFloat.begin(), c.lineFloat.begin() + drop);
    c.origin = keepFrom;
}

double TruePeakMeter::valueAt(const Channel& c, int64_t fineIndex) const {
    const int64_t n = floorDiv(fineIndex, kFine);
    const auto j = static_cast<size_t>(fineIndex - n * kFine);
    const double* x = c.line.data() + (n - c.origin);
    if (j == 0) return *x;
    return dot(x - (kFineTaps / 2 - 1), filters().fine[j].data());
}

void TruePeakMeter::farSums(const Channel& c, int64_t n, double (&sums)[4]) const {
    const double* x = c.line.data() + (n - c.origin) - (kLongHalf - 1);
    const double* a = longTaper().farOverK.data();
    const double* r = longTaper().inverseK.data();
    Doubles acc[kMoments] = {};
    for (int i = 0; i < 2 * kLongHalf; i += static_cast<int>(kLanes)) {
        const Doubles inverse = load<Doubles>(r + i);
        Doubles term = load<Doubles>(x + i) * load<Doubles>(a + i);
        for (int p = 0; p < kMoments; ++p) {
            acc[p] += term;
            term *= inverse;
        }
    }
    for (int p = 0; p < kMoments; ++p) {
        sums[p] = 0.0;
        for (size_t l = 0; l < kLanes; ++l) sums[p] += acc[p][l];
    }
}

double TruePeakMeter::exactAt(const Channel& c, double fine, FarCache& far) const {
    // From a sample within a sample of the point; the points of one
    // refinement share it and its far sums.
    const double position = fine / kFine;
    if (far.sample == INT64_MIN || std::fabs(position - static_cast<double>(far.sample)) > 1.0) {
        far.sample = static_cast<int64_t>(std::llround(position));
        farSums(c, far.sample, far.sums);
    }
    const int64_t n = far.sample;
    const double v = position - static_cast<double>(n);
    const double* x = c.line.data() + (n - c.origin);
    // sin(πv) from the nearest whole number, where it keeps its precision.
    const double whole = std::round(v);
    if (v == whole) return x[static_cast<int64_t>(whole)];
    const double sine = std::sin(std::numbers::pi * (v - whole)) * (static_cast<int64_t>(whole) % 2 ? -1.0 : 1.0);
    const double* w = longTaper().signedWindow.data() + (kLongHalf - 1);
    double near = 0.0;
    for (int k = -kNear; k <= kNear; ++k) near += x[k] * w[k] / (v - k);
    const double beyond = far.sums[0] + v * (far.sums[1] + v * (far.sums[2] + v * far.sums[3]));
    return sine / std::numbers::pi * (near - beyond);
}

void TruePeakMeter::refine(Channel& c, int64_t coarseIndex) {
    // The short filter may put the largest coarse point one step off. The
    // 256-tap filter finds where the peak is; only the long sum, which
    // reaches the content near the Nyquist frequency the filters attenuate,
    // says how high it is.
    int64_t centre = coarseIndex;
    double largest = -1.0;
    for (int64_t k = coarseIndex - 2; k <= coarseIndex + 2; ++k) {
        const double v = std::fabs(valueAt(c, k * kSpacing));
        if (v > largest) {
            largest = v;
            centre = k;
        }
    }
    if (largest < kRefineRatio * c.peak) return;

    // The peak lies within one coarse step of its largest coarse point.
    constexpr int kPoints = 2 * kSpacing + 1;
    const int64_t first = centre * kSpacing - kSpacing;
    int best = 0;
    double bestValue = -1.0;
    for (int k = 0; k < kPoints; ++k) {
        const double v = std::fabs(valueAt(c, first + k));
        if (v > bestValue) {
            bestValue = v;
            best = k;
        }
    }
    // Up the long sum's own slope from there, a 32nd of a sample at a time,
    // then a parabola through the largest and its neighbours, and the sum
    // at its vertex.
    FarCache far;
    auto exact = [&](int64_t fine) { return exactAt(c, static_cast<double>(fine), far); };
    int64_t at = first + best;
    double b = exact(at), a = exact(at - 1), d = exact(at + 1);
    const double sign = b < 0.0 ? -1.0 : 1.0;
    for (int steps = 0; steps < 2 * kSpacing; ++steps) {
        if (sign * a > sign * b) {
            d = b, b = a, a = exact(--at - 1);
        } else if (sign * d > sign * b) {
            a = b, b = d, d = exact(++at + 1);
        } else {
            break;
        }
    }
    a *= sign, b *= sign, d *= sign;
    double measured = std::max({a, b, d});
    const double curvature = a - 2.0 * b + d;
    if (b >= a && b >= d && curvature < 0.0) {
        const double offset = 0.5 * (a - d) / curvature;  // within half a step of `at`
        measured = std::max(measured, std::fabs(exactAt(c, static_cast<double>(at) + offset, far)));
    }
    c.peak = std::max(c.peak, measured);
    note(c, floorDiv(at, kFine), measured);
}

}  // namespace vexal::cli
