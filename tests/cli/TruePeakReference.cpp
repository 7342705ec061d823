#include "TruePeakReference.h"

#include <algorithm>
#include <cmath>

namespace clitest {

namespace {

constexpr int kFactor = 16;  // points per sample

// Complex numbers as interleaved pairs; std::complex's products with their
// guards against infinities would cost more than all the rest.
struct Transform {
    size_t n;
    std::vector<size_t> swaps;  // bit-reversal pairs
    std::vector<double> twiddles;  // per stage, e^(−2πik/length) for k < length/2, as pairs

    explicit Transform(size_t size) : n(size) {
        for (size_t i = 1, j = 0; i < n; ++i) {
            size_t bit = n >> 1;
            for (; j & bit; bit >>= 1) j ^= bit;
            j ^= bit;
            if (i < j) swaps.insert(swaps.end(), {i, j});
        }
        for (size_t half = 1; half < n; half <<= 1)
            for (size_t k = 0; k < half; ++k) {
                // Each twiddle computed directly: no drift over long transforms.
                const double angle = -M_PI * static_cast<double>(k) / static_cast<double>(half);
                twiddles.insert(twiddles.end(), {std::cos(angle), std::sin(angle)});
            }
    }

    // In place, n pairs; `inverse` without the 1/n.
    void run(std::vector<double>& z, bool inverse) const {
        for (size_t s = 0; s < swaps.size(); s += 2) {
            std::swap(z[2 * swaps[s]], z[2 * swaps[s + 1]]);
            std::swap(z[2 * swaps[s] + 1], z[2 * swaps[s + 1] + 1]);
        }
        const double sign = inverse ? -1.0 : 1.0;
        const double* w = twiddles.data();
        for (size_t half = 1; half < n; w += 2 * half, half <<= 1)
            for (size_t start = 0; start < n; start += 2 * half)
                for (size_t k = 0; k < half; ++k) {
                    double* p = z.data() + 2 * (start + k);
                    double* q = p + 2 * half;
                    const double cr = w[2 * k], ci = sign * w[2 * k + 1];
                    const double vr = q[0] * cr - q[1] * ci, vi = q[0] * ci + q[1] * cr;
                    q[0] = p[0] - vr;
                    q[1] = p[1] - vi;
                    p[0] += vr;
                    p[1] += vi;
                }
    }
};

double channelPeak(const std::vector<double>& x) {
    if (x.empty()) return 0.0;
    // Silence on both sides, 8192 samples at least, so that the periodic
    // interpolation of a transform differs from the sinc sum over the
    // silence-padded signal only in the far tails of the sinc.
    size_t m = 1;
    while (m < x.size() + 16384) m <<= 1;
    const Transform transform(m);
    std::vector<double> spectrum(2 * m, 0.0);
    const size_t offset = (m - x.size()) / 2;
    for (size_t i = 0; i < x.size(); ++i) spectrum[2 * (offset + i)] = std::isfinite(x[i]) ? x[i] : 0.0;
    transform.run(spectrum, false);

    // Phase p of 16 is the signal delayed by −p/16 of a sample: bin k turned
    // by e^(2πik p/16m) (k counted from −m/2), the Nyquist bin, split evenly
    // between its two images, scaled by cos(πp/16). Two phases per inverse
    // transform, as its real and imaginary parts.
    std::vector<double> points(m * kFactor);
    std::vector<double> z(2 * m);
    for (int p = 0; p < kFactor; p += 2) {
        for (size_t k = 0; k < m; ++k) {
            const double bin = k < m / 2 ? static_cast<double>(k) : static_cast<double>(k) - static_cast<double>(m);
            const double xr = spectrum[2 * k], xi = spectrum[2 * k + 1];
            double ar, ai, br, bi;  // the bin at phases p and p + 1
            if (k == m / 2) {
                ar = xr * std::cos(M_PI * p / kFactor), ai = xi * std::cos(M_PI * p / kFactor);
                br = xr * std::cos(M_PI * (p + 1) / kFactor), bi = xi * std::cos(M_PI * (p + 1) / kFactor);
            } else {
                const double a = 2.0 * M_PI * bin * p / (static_cast<double>(m) * kFactor);
                const double b = 2.0 * M_PI * bin * (p + 1) / (static_cast<double>(m) * kFactor);
                ar = xr * std::cos(a) - xi * std::sin(a), ai = xr * std::sin(a) + xi * std::cos(a);
                br = xr * std::cos(b) - xi * std::sin(b), bi = xr * std::sin(b) + xi * std::cos(b);
            }
            z[2 * k] = ar - bi;  // A + iB
            z[2 * k + 1] = ai + br;
        }
        transform.run(z, true);
        for (size_t n = 0; n < m; ++n) {
            points[n * kFactor + p] = z[2 * n] / static_cast<double>(m);
            points[n * kFactor + p + 1] = z[2 * n + 1] / static_cast<double>(m);
        }
    }

    double peak = 0.0;
    const size_t count = points.size();
    for (size_t i = 0; i < count; ++i) {
        const double b = std::fabs(points[i]);
        if (b < peak) continue;
        peak = b;
        // A parabola through the largest point of a crest and its neighbours.
        const double a = std::fabs(points[(i + count - 1) % count]);
        const double d = std::fabs(points[(i + 1) % count]);
        const double curvature = a - 2.0 * b + d;
        if (b >= a && b >= d && curvature < 0.0) peak = std::max(peak, b - 0.125 * (a - d) * (a - d) / curvature);
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
