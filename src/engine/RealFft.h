// Fixed-size real transforms for the block convolver: 2N real values (N = 8 …
// 256) through one N-point complex transform and a split step, both lanes of a
// channel pair at once. Twiddles e^(−2πik/512) are computed once; a transform
// of size M reads every (512/M)-th entry. Sizes are template arguments so that
// each gets its own unrolled routine.
#pragma once

#include <cstdint>

namespace vexal {

constexpr int32_t kMaxFftSize = 512;  // real points: 2 × kMaxSmoothLen

struct FftTwiddles {
    alignas(16) double cosine[kMaxFftSize / 2];
    alignas(16) double sine[kMaxFftSize / 2];  // sin(2πk/512), so e^(−iθ) = cos − i·sin
    // Bit reversal of 8-bit indices; a transform of 2^b points shifts right by 8 − b.
    uint8_t reversed[kMaxFftSize / 2];
    // The twiddles of the stage of len points (2 … 256), j = 0 … len/2 − 1, at
    // pair len/2 − 1 + j, each held for both lanes of a channel pair.
    alignas(32) double stageCos[kMaxFftSize];
    alignas(32) double stageSin[kMaxFftSize];
    FftTwiddles();
};

// The transform's steps on as many lanes as T holds (a channel pair, or
// wider vectors of them). Every route to the convolution goes through these,
// so every lane does the same operations in the same order.
#define VEXAL_FFT_STEP __attribute__((always_inline)) inline

// One radix-2 butterfly: a + w·b and a − w·b.
template <class T>
VEXAL_FFT_STEP void butterfly(T wr, T wi, T& ar, T& ai, T& br, T& bi) {
    const T tr = wr * br - wi * bi;
    const T ti = wr * bi + wi * br;
    br = ar - tr;
    bi = ai - ti;
    ar = ar + tr;
    ai = ai + ti;
}

// The split into the real transform's bin k from z[k] and the conjugate of
// its mirror zc (twiddle c, s), times the kernel's bin h.
template <class T>
VEXAL_FFT_STEP void splitBin(T zkr, T zki, T zcr, T zcImag, T c, T s, T hr, T hi, T& yr, T& yi) {
    const T zci = T{} - zcImag;
    const T ar = zkr + zcr, ai = zki + zci;
    const T br = zkr - zcr, bi = zki - zci;
    const T xr = ar + (c * bi - s * br);
    const T xi = ai - (c * br + s * bi);
    yr = xr * hr - xi * hi;
    yi = xr * hi + xi * hr;
}

// The merge back into complex point k from y[k] and the conjugate of y[n − k].
template <class T>
VEXAL_FFT_STEP void mergeBin(T ykr, T yki, T ycr, T ycImag, T c, T s, T& zr, T& zi) {
    const T yci = T{} - ycImag;
    const T pr = ykr + ycr, pi = yki + yci;
    const T qr = ykr - ycr, qi = yki - yci;
    zr = pr - (c * qi + s * qr);
    zi = pi + (c * qr - s * qi);
}

// In-place radix-2 complex transform of n = 2^LogN pairs (forward: e^(−i…),
// inverse: e^(+i…), unscaled). re and im hold n pairs each.
template <class V, int LogN, bool Inverse>
inline void complexFft(double* re, double* im, const FftTwiddles& tw) {
    constexpr int32_t n = 1 << LogN;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t j = tw.reversed[i] >> (8 - LogN);
        if (j > i) {
            const V ar = V::load(re + 2 * i), ai = V::load(im + 2 * i);
            V::load(re + 2 * j).store(re + 2 * i);
            V::load(im + 2 * j).store(im + 2 * i);
            ar.store(re + 2 * j);
            ai.store(im + 2 * j);
        }
    }
    for (int32_t len = 2; len <= n; len <<= 1) {
        const int32_t half = len / 2;
        const int32_t stride = kMaxFftSize / len;
        for (int32_t j = 0; j < half; ++j) {
            const V wr = V::both(tw.cosine[j * stride]);
            const V wi = V::both(Inverse ? tw.sine[j * stride] : -tw.sine[j * stride]);
            for (int32_t i = j; i < n; i += len) {
                double* pr = re + 2 * i;
                double* pi = im + 2 * i;
                double* qr = re + 2 * (i + half);
                double* qi = im + 2 * (i + half);
                V ar = V::load(pr), ai = V::load(pi), br = V::load(qr), bi = V::load(qi);
                butterfly(wr, wi, ar, ai, br, bi);
                br.store(qr);
                bi.store(qi);
                ar.store(pr);
                ai.store(pi);
            }
        }
    }
}

}  // namespace vexal
