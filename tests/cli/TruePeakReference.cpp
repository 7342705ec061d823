#include "TruePeakReference.h"

#include <algorithm>
#include <cmath>

namespace clitest {

namespace {

constexpr int kHalf = 160;     // taps each side of the point
constexpr int kFactor = 32;    // points per sample
constexpr int kCoarse = 4;

// sinc(u) · Blackman-Harris window over |u| < kHalf.
double kernel(double u) {
    if (std::fabs(u) >= kHalf) return 0.0;
    const double a = M_PI * (u / kHalf + 1.0);  // 0 … 2π across the window
    const double window = 0.35875 - 0.48829 * std::cos(a) + 0.14128 * std::cos(2 * a) - 0.01168 * std::cos(3 * a);
    const double sinc = u == 0.0 ? 1.0 : std::sin(M_PI * u) / (M_PI * u);
    return sinc * window;
}

struct Table {
    // taps[j][k]: weight of x[n − kHalf + 1 + k] for the point j/32 after n.
    std::vector<std::vector<double>> taps;
    Table() : taps(kFactor, std::vector<double>(2 * kHalf)) {
        for (int j = 0; j < kFactor; ++j)
            for (int k = 0; k < 2 * kHalf; ++k)
                taps[j][k] = kernel(static_cast<double>(j) / kFactor - (k - kHalf + 1));
    }
};

const Table& table() {
    static const Table t;
    return t;
}

// The value j/32 of a sample after x[n] of a zero-padded signal.
double pointAt(const std::vector<double>& x, long n, int j) {
    const std::vector<double>& w = table().taps[j];
    double sum = 0.0;
    const long first = n - kHalf + 1;
    for (long k = std::max(0L, -first); k < 2 * kHalf && first + k < static_cast<long>(x.size()); ++k)
        sum += w[k] * x[first + k];
    return sum;
}

double channelPeak(const std::vector<double>& x) {
    const long n = static_cast<long>(x.size());
    // The 4× pass over the signal and the interpolation's tail.
    const long points = (n + kHalf) * kCoarse;
    std::vector<double> coarse(points, 0.0);
    for (int p = 0; p < kCoarse; ++p) {
        const std::vector<double>& w = table().taps[p * kFactor / kCoarse];
        // Element-wise over the points, tap by tap: vectorizes without reordering any sum.
        std::vector<double> acc(n + kHalf, 0.0);
        for (int k = 0; k < 2 * kHalf; ++k) {
            const long shift = k - kHalf + 1;
            const long from = std::max(0L, -shift), to = std::min(n + kHalf, n - shift);
            for (long i = from; i < to; ++i) acc[i] += w[k] * x[i + shift];
        }
        for (long i = 0; i < n + kHalf; ++i) coarse[i * kCoarse + p] = std::fabs(acc[i]);
    }
    const double largest = *std::max_element(coarse.begin(), coarse.end());
    double peak = largest;
    for (long k = 1; k + 1 < points; ++k) {
        if (coarse[k] < 0.9 * largest || coarse[k] < coarse[k - 1] || coarse[k] < coarse[k + 1]) continue;
        for (long q = k * (kFactor / kCoarse) - kFactor / kCoarse; q <= (k + 1) * (kFactor / kCoarse); ++q)
            peak = std::max(peak, std::fabs(pointAt(x, q / kFactor, static_cast<int>(q % kFactor))));
    }
    return peak;
}

}  // namespace

double referenceTruePeak(const std::vector<double>& interleaved, int channels) {
    double peak = 0.0;
    const size_t frames = interleaved.size() / static_cast<size_t>(channels);
    for (int c = 0; c < channels; ++c) {
        std::vector<double> x(frames);
        for (size_t i = 0; i < frames; ++i) x[i] = interleaved[i * channels + c];
        peak = std::max(peak, channelPeak(x));
    }
    return peak;
}

}  // namespace clitest
