#include "BlockConvolver.h"

#include <cmath>
#include <type_traits>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "ChannelPair.h"

namespace vexal {

FftTwiddles::FftTwiddles() {
    for (int32_t k = 0; k < kMaxFftSize / 2; ++k) {
        const long double angle = 2.0L * 3.14159265358979323846264338327950288L * k / kMaxFftSize;
        cosine[k] = static_cast<double>(cosl(angle));
        sine[k] = static_cast<double>(sinl(angle));
        int32_t r = 0;
        for (int32_t bit = 0; bit < 8; ++bit) r |= ((k >> bit) & 1) << (7 - bit);
        reversed[k] = static_cast<uint8_t>(r);
    }
}

namespace {
constexpr int32_t kPairs = 256;
}

void BlockConvolver::attach(double* storage, const FftTwiddles* tw) {
    double* p = storage;
    block = p, p += 2 * kPairs;
    ready = p, p += 2 * kPairs;
    tail = p, p += 2 * kPairs;
    scratch = p, p += 2 * 2 * kPairs;  // z re, z im
    work = p, p += 2 * 2 * (kPairs + 2);   // y re, y im
    taps = p, p += kPairs;
    spectrumRe = p, p += kPairs + 2;
    spectrumIm = p, p += kPairs + 2;
    tapPairs = p, p += 2 * kPairs;
    splitCos = p, p += 2 * (kPairs + 2);
    splitSin = p, p += 2 * (kPairs + 2);
    binRe = p, p += 2 * (kPairs + 2);
    binIm = p, p += 2 * (kPairs + 2);
    twiddles = tw;
}

void BlockConvolver::clear() {
    for (int32_t i = 0; i < 2 * kPairs; ++i) block[i] = ready[i] = tail[i] = 0.0;
    position = 0;
}

// Below this length a direct convolution is cheaper than a transform pair
// (measured: bench BM_Convolver*).
constexpr int32_t kFftFromLength = 64;

void BlockConvolver::setKernel(const double* source, int32_t length) {
    n = length;
    logN = 0;
    while ((1 << logN) < n) ++logN;
    for (int32_t i = 0; i < n; ++i) {
        taps[i] = source[i];
        tapPairs[2 * i] = tapPairs[2 * i + 1] = source[i];
    }
    // Transform of the taps zero-extended to 2n, scaled by 1/(4n) so that the
    // split, merge and unscaled inverse need no further scaling.
    const int32_t m = 2 * n;
    const long double pi = 3.14159265358979323846264338327950288L;
    for (int32_t k = 0; k <= n; ++k) {
        long double re = 0.0L, im = 0.0L;
        for (int32_t i = 0; i < n; ++i) {
            const long double angle = 2.0L * pi * ((static_cast<int64_t>(k) * i) % m) / m;
            re += taps[i] * cosl(angle);
            im -= taps[i] * sinl(angle);
        }
        spectrumRe[k] = static_cast<double>(re / (4 * n));
        spectrumIm[k] = static_cast<double>(im / (4 * n));
        const int32_t stride = kMaxFftSize / m;
        splitCos[2 * k] = splitCos[2 * k + 1] = k < n ? twiddles->cosine[k * stride] : -1.0;
        splitSin[2 * k] = splitSin[2 * k + 1] = k < n ? twiddles->sine[k * stride] : 0.0;
        binRe[2 * k] = binRe[2 * k + 1] = spectrumRe[k];
        binIm[2 * k] = binIm[2 * k + 1] = spectrumIm[k];
    }
    fftOn = n >= kFftFromLength;
}

// The same sums with the length known at compile time (fully unrolled for
// the short kernels of TransShape hard and med).
template <class V, int N>
inline void convolveDirectSized(const double* tapPairs, const double* block, double* ready,
                                double* tail) {
#pragma GCC unroll 32
    for (int32_t j = 0; j < 2 * N - 1; ++j) {
        const int32_t lo = j - N + 1 > 0 ? j - N + 1 : 0;
        const int32_t hi = j < N - 1 ? j : N - 1;
        V acc = V::both(0.0);
#pragma GCC unroll 32
        for (int32_t i = lo; i <= hi; ++i)
            acc = acc + V::load(tapPairs + 2 * i) * V::load(block + 2 * (j - i));
        if (j < N)
            (acc + V::load(tail + 2 * j)).store(ready + 2 * j);
        else
            acc.store(tail + 2 * (j - N));
    }
    V::both(0.0).store(tail + 2 * (N - 1));
}

#if defined(__x86_64__) && defined(__GNUC__) && VEXAL_HAVE_SSE2
// The same sums four outputs at a time (8 lanes: j … j+3, left and right).
// Each lane adds exactly the terms of its own sum, in the same i order, onto
// the same +0 start: a term outside a lane's range is not added (masked), so
// every bit matches the pair-wise loop.
template <int N>
__attribute__((target("avx512f"))) void convolveDirectWide(const double* taps, const double* block,
                                                           double* ready, double* tail) {
    alignas(64) double sums[2 * 2 * N];
#pragma GCC unroll 16
    for (int32_t j0 = 0; j0 < 2 * N - 1; j0 += 4) {
        __m512d acc = _mm512_setzero_pd();
        const int32_t iLo = j0 - N + 1 > 0 ? j0 - N + 1 : 0;
        const int32_t iHi = j0 + 3 < N - 1 ? j0 + 3 : N - 1;
#pragma GCC unroll 32
        for (int32_t i = iLo; i <= iHi; ++i) {
            __mmask8 m = 0;
            for (int32_t g = 0; g < 4; ++g) {
                const int32_t age = j0 + g - i;
                if (age >= 0 && age <= N - 1 && j0 + g <= 2 * N - 2) m |= static_cast<__mmask8>(3 << (2 * g));
            }
            const __m512d values = _mm512_maskz_loadu_pd(m, block + 2 * (j0 - i));
            acc = _mm512_mask_add_pd(acc, m, acc, _mm512_mul_pd(_mm512_set1_pd(taps[i]), values));
        }
        _mm512_store_pd(sums + 2 * j0, acc);
    }
    for (int32_t j = 0; j < N; ++j)
        _mm_store_pd(ready + 2 * j, _mm_add_pd(_mm_load_pd(sums + 2 * j), _mm_load_pd(tail + 2 * j)));
    for (int32_t j = N; j < 2 * N - 1; ++j) _mm_store_pd(tail + 2 * (j - N), _mm_load_pd(sums + 2 * j));
    _mm_store_pd(tail + 2 * (N - 1), _mm_setzero_pd());
}

// The same sums two outputs at a time (4 lanes: j and j + 1, left and right).
// Both lanes add their terms in the same i order onto the same +0 start; at
// the ends of the range, where only one lane has a term, the other adds +0,
// which leaves its sum as it is (a sum here is never −0). So every bit
// matches the pair-wise loop.
template <int N>
__attribute__((target("avx2"))) void convolveDirectQuad(const double* taps, const double* block,
                                                        double* ready, double* tail) {
    const __m256d lowLane = _mm256_castsi256_pd(_mm256_set_epi64x(0, 0, -1, -1));
    const __m256d highLane = _mm256_castsi256_pd(_mm256_set_epi64x(-1, -1, 0, 0));
    auto lo = [](int32_t j) { return j - N + 1 > 0 ? j - N + 1 : 0; };
    auto hi = [](int32_t j) { return j < N - 1 ? j : N - 1; };
#pragma GCC unroll 32
    for (int32_t j0 = 0; j0 < 2 * N - 1; j0 += 2) {
        __m256d acc = _mm256_setzero_pd();
        const int32_t lo0 = lo(j0), hi0 = hi(j0);
        const int32_t lo1 = j0 + 1 < 2 * N - 1 ? lo(j0 + 1) : N, hi1 = j0 + 1 < 2 * N - 1 ? hi(j0 + 1) : -1;
        if (lo0 < lo1) {  // the first term of lane j only (the other half reads within the buffer)
            const __m256d term = _mm256_mul_pd(_mm256_set1_pd(taps[lo0]), _mm256_loadu_pd(block + 2 * (j0 - lo0)));
            acc = _mm256_add_pd(acc, _mm256_and_pd(term, lowLane));
        }
        const int32_t from = lo0 > lo1 ? lo0 : lo1, to = hi0 < hi1 ? hi0 : hi1;
#pragma GCC unroll 32
        for (int32_t i = from; i <= to; ++i)
            acc = _mm256_add_pd(acc, _mm256_mul_pd(_mm256_set1_pd(taps[i]), _mm256_loadu_pd(block + 2 * (j0 - i))));
        if (hi1 > hi0) {  // the last term of lane j + 1 only: block[0] for it, nothing for lane j
            const __m256d values = _mm256_insertf128_pd(_mm256_setzero_pd(), _mm_load_pd(block), 1);
            const __m256d term = _mm256_mul_pd(_mm256_set1_pd(taps[hi1]), values);
            acc = _mm256_add_pd(acc, _mm256_and_pd(term, highLane));
        }
        const __m128d first = _mm256_castpd256_pd128(acc), second = _mm256_extractf128_pd(acc, 1);
        if (j0 < N)
            _mm_store_pd(ready + 2 * j0, _mm_add_pd(first, _mm_load_pd(tail + 2 * j0)));
        else
            _mm_store_pd(tail + 2 * (j0 - N), first);
        if (j0 + 1 < N)
            _mm_store_pd(ready + 2 * (j0 + 1), _mm_add_pd(second, _mm_load_pd(tail + 2 * (j0 + 1))));
        else if (j0 + 1 < 2 * N - 1)
            _mm_store_pd(tail + 2 * (j0 + 1 - N), second);
    }
    _mm_store_pd(tail + 2 * (N - 1), _mm_setzero_pd());
}

#define VEXAL_HAVE_WIDE_DIRECT 1
#else
#define VEXAL_HAVE_WIDE_DIRECT 0
#endif

template <class V>
void BlockConvolver::convolveDirectFrom(const double* values) {
#if VEXAL_HAVE_WIDE_DIRECT
    // Measured: pays at 32. At 8 the four-lane sums were faster inside the
    // kernel (program 0: 23.1 against 23.6 ns per frame) while each block was
    // summed right after its last value was stored; at 16 as well. Not
    // measured again since the chunk's blocks are summed where they stand.
    if (std::is_same_v<V, SsePair> && avx512) {
        if (n == 32) return convolveDirectWide<32>(taps, values, ready, tail);
    }
    if (std::is_same_v<V, SsePair> && avx2) {
        if (n == 8) return convolveDirectQuad<8>(taps, values, ready, tail);
        if (n == 16) return convolveDirectQuad<16>(taps, values, ready, tail);
        if (n == 32) return convolveDirectQuad<32>(taps, values, ready, tail);
    }
#endif
    if (n == 8) return convolveDirectSized<V, 8>(tapPairs, values, ready, tail);
    if (n == 16) return convolveDirectSized<V, 16>(tapPairs, values, ready, tail);
    // Outputs 0 … N − 1 first (they read the previous tail), then the new tail.
    for (int32_t j = 0; j < 2 * n - 1; ++j) {
        const int32_t lo = j - n + 1 > 0 ? j - n + 1 : 0;
        const int32_t hi = j < n - 1 ? j : n - 1;
        V acc = V::both(0.0);
        for (int32_t i = lo; i <= hi; ++i)
            acc = acc + V::load(tapPairs + 2 * i) * V::load(values + 2 * (j - i));
        if (j < n)
            (acc + V::load(tail + 2 * j)).store(ready + 2 * j);
        else
            acc.store(tail + 2 * (j - n));
    }
    V::both(0.0).store(tail + 2 * (n - 1));
}

#if defined(__x86_64__) && defined(__GNUC__) && VEXAL_HAVE_SSE2
template <int LogN>
__attribute__((target("avx2"))) inline void reversePairOrder(double* re, double* im, const FftTwiddles& tw) {
    constexpr int32_t n = 1 << LogN;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t j = tw.reversed[i] >> (8 - LogN);
        if (j > i) {
            const __m128d ar = _mm_load_pd(re + 2 * i), ai = _mm_load_pd(im + 2 * i);
            _mm_store_pd(re + 2 * i, _mm_load_pd(re + 2 * j));
            _mm_store_pd(im + 2 * i, _mm_load_pd(im + 2 * j));
            _mm_store_pd(re + 2 * j, ar);
            _mm_store_pd(im + 2 * j, ai);
        }
    }
}

// First stage (one twiddle, 1 + 0i): pairs as in the generic routine (SSE2
// only, so that both the AVX2 and the SSE2 paths may call it).
template <int LogN, bool Inverse>
__attribute__((always_inline)) inline void firstStagePairs(double* re, double* im, const FftTwiddles& tw) {
    constexpr int32_t n = 1 << LogN;
    for (int32_t i = 0; i < n; i += 2) {
        const __m128d wr = _mm_set1_pd(tw.cosine[0]);
        const __m128d wi = _mm_set1_pd(Inverse ? tw.sine[0] : -tw.sine[0]);
        const __m128d br = _mm_load_pd(re + 2 * i + 2), bi = _mm_load_pd(im + 2 * i + 2);
        const __m128d tr = _mm_sub_pd(_mm_mul_pd(wr, br), _mm_mul_pd(wi, bi));
        const __m128d ti = _mm_add_pd(_mm_mul_pd(wr, bi), _mm_mul_pd(wi, br));
        const __m128d ar = _mm_load_pd(re + 2 * i), ai = _mm_load_pd(im + 2 * i);
        _mm_store_pd(re + 2 * i + 2, _mm_sub_pd(ar, tr));
        _mm_store_pd(im + 2 * i + 2, _mm_sub_pd(ai, ti));
        _mm_store_pd(re + 2 * i, _mm_add_pd(ar, tr));
        _mm_store_pd(im + 2 * i, _mm_add_pd(ai, ti));
    }
}

template <int LogN, bool Inverse>
__attribute__((target("avx2"))) inline void laterStagesAvx2(double* re, double* im, const FftTwiddles& tw) {
    constexpr int32_t n = 1 << LogN;
    for (int32_t len = 4; len <= n; len <<= 1) {
        const int32_t half = len / 2;
        const int32_t stride = kMaxFftSize / len;
        for (int32_t j = 0; j < half; j += 2) {
            const double c0 = tw.cosine[j * stride], c1 = tw.cosine[(j + 1) * stride];
            const double s0 = tw.sine[j * stride], s1 = tw.sine[(j + 1) * stride];
            const __m256d wr = _mm256_set_pd(c1, c1, c0, c0);
            const __m256d wi = Inverse ? _mm256_set_pd(s1, s1, s0, s0) : _mm256_set_pd(-s1, -s1, -s0, -s0);
            for (int32_t i = j; i < n; i += len) {
                double* pr = re + 2 * i;
                double* pi = im + 2 * i;
                double* qr = re + 2 * (i + half);
                double* qi = im + 2 * (i + half);
                const __m256d br = _mm256_loadu_pd(qr), bi = _mm256_loadu_pd(qi);
                const __m256d tr = _mm256_sub_pd(_mm256_mul_pd(wr, br), _mm256_mul_pd(wi, bi));
                const __m256d ti = _mm256_add_pd(_mm256_mul_pd(wr, bi), _mm256_mul_pd(wi, br));
                const __m256d ar = _mm256_loadu_pd(pr), ai = _mm256_loadu_pd(pi);
                _mm256_storeu_pd(qr, _mm256_sub_pd(ar, tr));
                _mm256_storeu_pd(qi, _mm256_sub_pd(ai, ti));
                _mm256_storeu_pd(pr, _mm256_add_pd(ar, tr));
                _mm256_storeu_pd(pi, _mm256_add_pd(ai, ti));
            }
        }
    }
}

// complexFft on the paired layout with two butterflies per 4-lane vector from
// the third stage on (adjacent j: the pairs of i and i + 1 sit side by side,
// each lane with its own twiddle). Every lane does the pair-wise operations in
// the same order, so the bits are those of complexFft<SsePair>.
template <int LogN, bool Inverse>
__attribute__((target("avx2"))) void complexFftAvx2(double* re, double* im, const FftTwiddles& tw) {
    reversePairOrder<LogN>(re, im, tw);
    firstStagePairs<LogN, Inverse>(re, im, tw);
    laterStagesAvx2<LogN, Inverse>(re, im, tw);
}

template <class V, int LogN, bool Inverse>
inline void transform(double* re, double* im, const FftTwiddles& tw, bool avx2) {
    if constexpr (std::is_same_v<V, SsePair> && LogN >= 2) {
        if (avx2) return complexFftAvx2<LogN, Inverse>(re, im, tw);
    }
    complexFft<V, LogN, Inverse>(re, im, tw);
}
#else
template <class V, int LogN, bool Inverse>
inline void transform(double* re, double* im, const FftTwiddles& tw, bool) {
    complexFft<V, LogN, Inverse>(re, im, tw);
}
#endif

#if defined(__x86_64__) && defined(__GNUC__) && VEXAL_HAVE_SSE2
namespace {

// One bin as a pair of lanes, or two adjacent bins as four.
typedef double Lanes2 __attribute__((vector_size(16)));
typedef double Lanes4 __attribute__((vector_size(32)));
typedef double Lanes2Memory __attribute__((vector_size(16), aligned(8)));
typedef double Lanes4Memory __attribute__((vector_size(32), aligned(8)));

// Inlined into the AVX2 routine below, where four lanes are one register.
#define VEXAL_LANES_INLINE __attribute__((always_inline)) inline

template <class T>
VEXAL_LANES_INLINE T loadLanes(const double* p) {
    if constexpr (sizeof(T) == 16)
        return *reinterpret_cast<const Lanes2Memory*>(p);
    else
        return *reinterpret_cast<const Lanes4Memory*>(p);
}

template <class T>
VEXAL_LANES_INLINE void storeLanes(double* p, T x) {
    if constexpr (sizeof(T) == 16)
        *reinterpret_cast<Lanes2Memory*>(p) = x;
    else
        *reinterpret_cast<Lanes4Memory*>(p) = x;
}

// Bins i + 1 and i (in that order) from the pairs stored at p (bins i, i + 1).
VEXAL_LANES_INLINE Lanes4 loadMirrored(const double* p) {
    const Lanes4 x = loadLanes<Lanes4>(p);
    return __builtin_shufflevector(x, x, 2, 3, 0, 1);
}

// The split of convolveFftSized (bin k from z[k] and the conjugate of its
// mirror zc), times the kernel's bin h, for as many lanes as T holds.
template <class T>
VEXAL_LANES_INLINE void splitBin(T zkr, T zki, T zcr, T zcImag, T c, T s, T hr, T hi, T& yr, T& yi) {
    const T zci = T{} - zcImag;
    const T ar = zkr + zcr, ai = zki + zci;
    const T br = zkr - zcr, bi = zki - zci;
    const T xr = ar + (c * bi - s * br);
    const T xi = ai - (c * br + s * bi);
    yr = xr * hr - xi * hi;
    yi = xr * hi + xi * hr;
}

// The merge of convolveFftSized: bin k from y[k] and the conjugate of y[n − k].
template <class T>
VEXAL_LANES_INLINE void mergeBin(T ykr, T yki, T ycr, T ycImag, T c, T s, T& zr, T& zi) {
    const T yci = T{} - ycImag;
    const T pr = ykr + ycr, pi = yki + yci;
    const T qr = ykr - ycr, qi = yki - yci;
    zr = pr - (c * qi + s * qr);
    zi = pi + (c * qr - s * qi);
}

// The transform's stages from the second on (len ≥ 4), two butterflies per
// four lanes (adjacent j), as laterStagesAvx2 does them.
template <int LogN, bool Inverse>
VEXAL_LANES_INLINE void laterStagesLanes(double* re, double* im, const FftTwiddles& tw) {
    constexpr int32_t n = 1 << LogN;
    for (int32_t len = 4; len <= n; len <<= 1) {
        const int32_t half = len / 2;
        const int32_t stride = kMaxFftSize / len;
        for (int32_t j = 0; j < half; j += 2) {
            const double c0 = tw.cosine[j * stride], c1 = tw.cosine[(j + 1) * stride];
            const double s0 = tw.sine[j * stride], s1 = tw.sine[(j + 1) * stride];
            const Lanes4 wr = {c0, c0, c1, c1};
            const Lanes4 wi = Inverse ? Lanes4{s0, s0, s1, s1} : Lanes4{-s0, -s0, -s1, -s1};
            for (int32_t i = j; i < n; i += len) {
                double* pr = re + 2 * i;
                double* pi = im + 2 * i;
                double* qr = re + 2 * (i + half);
                double* qi = im + 2 * (i + half);
                const Lanes4 br = loadLanes<Lanes4>(qr), bi = loadLanes<Lanes4>(qi);
                const Lanes4 tr = wr * br - wi * bi;
                const Lanes4 ti = wr * bi + wi * br;
                const Lanes4 ar = loadLanes<Lanes4>(pr), ai = loadLanes<Lanes4>(pi);
                storeLanes(qr, ar - tr);
                storeLanes(qi, ai - ti);
                storeLanes(pr, ar + tr);
                storeLanes(pi, ai + ti);
            }
        }
    }
}

#undef VEXAL_LANES_INLINE

}  // namespace

// convolveFftSized<SsePair> with the same operations on every lane:
// the packing writes straight into bit-reversed order and does the forward
// transform's first stage on the way (its partners are the zero extension,
// whose butterfly term w·0 is exactly +0); split and merge take two bins per
// vector, and the merge writes in the inverse transform's bit-reversed order.
template <int LogN>
__attribute__((always_inline)) inline void BlockConvolver::convolveFftFolded() {
    constexpr int32_t half = 1 << LogN;  // complex points; 2·half real values
    constexpr int32_t shift = 8 - LogN;
    const FftTwiddles& tw = *twiddles;
    double* zr = scratch;
    double* zi = scratch + 2 * kPairs;
    double* yr = work;
    double* yi = work + 2 * (kPairs + 2);

    const Lanes2 zero = {0.0, 0.0};
    for (int32_t m = 0; m < half / 2; ++m) {
        const int32_t p = tw.reversed[m] >> shift;  // even; p + 1 is m + half/2, a zero
        const Lanes2 xr = loadLanes<Lanes2>(block + 4 * m), xi = loadLanes<Lanes2>(block + 4 * m + 2);
        storeLanes(zr + 2 * p, __builtin_shufflevector(xr + zero, xr - zero, 0, 1, 2, 3));
        storeLanes(zi + 2 * p, __builtin_shufflevector(xi + zero, xi - zero, 0, 1, 2, 3));
    }
    laterStagesLanes<LogN, false>(zr, zi, tw);

    // Split: bins 0, n − 1 and n one at a time, 1 … n − 2 two at a time
    // (each bin is written once, from z only).
    const int32_t singles[3] = {0, half - 1, half};
    for (const int32_t k : singles) {
        const int32_t a = k & (half - 1), b = (half - k) & (half - 1);
        Lanes2 r, i;
        splitBin(loadLanes<Lanes2>(zr + 2 * a), loadLanes<Lanes2>(zi + 2 * a), loadLanes<Lanes2>(zr + 2 * b),
                 loadLanes<Lanes2>(zi + 2 * b), loadLanes<Lanes2>(splitCos + 2 * k),
                 loadLanes<Lanes2>(splitSin + 2 * k), loadLanes<Lanes2>(binRe + 2 * k),
                 loadLanes<Lanes2>(binIm + 2 * k), r, i);
        storeLanes(yr + 2 * k, r);
        storeLanes(yi + 2 * k, i);
    }
    for (int32_t k = 1; k < half - 1; k += 2) {
        Lanes4 r, i;
        splitBin(loadLanes<Lanes4>(zr + 2 * k), loadLanes<Lanes4>(zi + 2 * k),
                 loadMirrored(zr + 2 * (half - k - 1)), loadMirrored(zi + 2 * (half - k - 1)),
                 loadLanes<Lanes4>(splitCos + 2 * k), loadLanes<Lanes4>(splitSin + 2 * k),
                 loadLanes<Lanes4>(binRe + 2 * k), loadLanes<Lanes4>(binIm + 2 * k), r, i);
        storeLanes(yr + 2 * k, r);
        storeLanes(yi + 2 * k, i);
    }

    // Merge, two bins at a time; bins k and k + 1 (k even) land half/2 apart.
    for (int32_t k = 0; k < half; k += 2) {
        Lanes4 r, i;
        mergeBin(loadLanes<Lanes4>(yr + 2 * k), loadLanes<Lanes4>(yi + 2 * k),
                 loadMirrored(yr + 2 * (half - k - 1)), loadMirrored(yi + 2 * (half - k - 1)),
                 loadLanes<Lanes4>(splitCos + 2 * k), loadLanes<Lanes4>(splitSin + 2 * k), r, i);
        const int32_t p = tw.reversed[k] >> shift;
        storeLanes(zr + 2 * p, __builtin_shufflevector(r, r, 0, 1));
        storeLanes(zi + 2 * p, __builtin_shufflevector(i, i, 0, 1));
        storeLanes(zr + 2 * (p + half / 2), __builtin_shufflevector(r, r, 2, 3));
        storeLanes(zi + 2 * (p + half / 2), __builtin_shufflevector(i, i, 2, 3));
    }
    firstStagePairs<LogN, true>(zr, zi, tw);
    laterStagesLanes<LogN, true>(zr, zi, tw);

    // y[2m] = Re z[m], y[2m+1] = Im z[m]: the first n values plus the old
    // tail out, the next n − 1 and a 0 the new tail.
    for (int32_t m = 0; m < half / 2; ++m) {
        const Lanes4 y = __builtin_shufflevector(loadLanes<Lanes2>(zr + 2 * m), loadLanes<Lanes2>(zi + 2 * m), 0, 1, 2, 3);
        storeLanes(ready + 4 * m, y + loadLanes<Lanes4>(tail + 4 * m));
    }
    for (int32_t m = half / 2; m < half - 1; ++m)
        storeLanes(tail + 4 * (m - half / 2),
                   __builtin_shufflevector(loadLanes<Lanes2>(zr + 2 * m), loadLanes<Lanes2>(zi + 2 * m), 0, 1, 2, 3));
    storeLanes(tail + 2 * (half - 2), loadLanes<Lanes2>(zr + 2 * (half - 1)));
    storeLanes(tail + 2 * (half - 1), zero);
}

// Built for AVX2 only: for SSE2 the same route measured slower than the
// generic one (vexal_compare, heavy at 192 kHz: 132 against 83 ns per frame,
// the four-lane values going through memory in halves).
template <int LogN>
__attribute__((target("avx2"))) void BlockConvolver::convolveFftAvx2() {
    convolveFftFolded<LogN>();
}
#endif

template <class V, int LogN>
void BlockConvolver::convolveFftSized() {
#if defined(__x86_64__) && defined(__GNUC__) && VEXAL_HAVE_SSE2
    if constexpr (std::is_same_v<V, SsePair> && LogN >= 3) {
        if (avx2) return convolveFftAvx2<LogN>();
    }
#endif
    constexpr int32_t half = 1 << LogN;  // complex points; 2·half real values
    constexpr int32_t stride = kMaxFftSize / (2 * half);
    double* zr = scratch;
    double* zi = scratch + 2 * kPairs;
    double* yr = work;
    double* yi = work + 2 * (kPairs + 2);
    // Pack x[2m] + i·x[2m+1]; the upper half of x is the zero extension.
    for (int32_t m = 0; m < half / 2; ++m) {
        V::load(block + 4 * m).store(zr + 2 * m);
        V::load(block + 4 * m + 2).store(zi + 2 * m);
    }
    for (int32_t m = half / 2; m < half; ++m) {
        V::both(0.0).store(zr + 2 * m);
        V::both(0.0).store(zi + 2 * m);
    }
    transform<V, LogN, false>(zr, zi, *twiddles, avx2);

    // Split into the real transform's bins 0 … half, times the kernel's bins.
    for (int32_t k = 0; k <= half; ++k) {
        const int32_t a = k & (half - 1), b = (half - k) & (half - 1);
        const V c = V::both(k < half ? twiddles->cosine[k * stride] : -1.0);
        const V s = V::both(k < half ? twiddles->sine[k * stride] : 0.0);
        const V zkr = V::load(zr + 2 * a), zki = V::load(zi + 2 * a);
        const V zcr = V::load(zr + 2 * b), zci = V::both(0.0) - V::load(zi + 2 * b);
        const V ar = zkr + zcr, ai = zki + zci;
        const V br = zkr - zcr, bi = zki - zci;
        const V xr = ar + (c * bi - s * br);
        const V xi = ai - (c * br + s * bi);
        const V hr = V::both(spectrumRe[k]), hi = V::both(spectrumIm[k]);
        (xr * hr - xi * hi).store(yr + 2 * k);
        (xr * hi + xi * hr).store(yi + 2 * k);
    }
    // Merge back into half complex points and transform back.
    for (int32_t k = 0; k < half; ++k) {
        const V c = V::both(twiddles->cosine[k * stride]);
        const V s = V::both(twiddles->sine[k * stride]);
        const V ykr = V::load(yr + 2 * k), yki = V::load(yi + 2 * k);
        const V ycr = V::load(yr + 2 * (half - k)), yci = V::both(0.0) - V::load(yi + 2 * (half - k));
        const V pr = ykr + ycr, pi = yki + yci;
        const V qr = ykr - ycr, qi = yki - yci;
        (pr - (c * qi + s * qr)).store(zr + 2 * k);
        (pi + (c * qr - s * qi)).store(zi + 2 * k);
    }
    transform<V, LogN, true>(zr, zi, *twiddles, avx2);

    // y[2m] = Re z[m], y[2m+1] = Im z[m]; y[0 … n−1] out, y[n … 2n−2] tail.
    const int32_t len = 2 * half;  // = 2n
    for (int32_t j = 0; j < len / 2; ++j) {
        const V y = V::load((j & 1 ? zi : zr) + 2 * (j >> 1));
        (y + V::load(tail + 2 * j)).store(ready + 2 * j);
    }
    for (int32_t j = len / 2; j < len - 1; ++j)
        V::load((j & 1 ? zi : zr) + 2 * (j >> 1)).store(tail + 2 * (j - len / 2));
    V::both(0.0).store(tail + 2 * (len / 2 - 1));
}

template <class V>
void BlockConvolver::convolveFft() {
    switch (logN) {
        case 2: convolveFftSized<V, 2>(); break;
        case 3: convolveFftSized<V, 3>(); break;
        case 4: convolveFftSized<V, 4>(); break;
        case 5: convolveFftSized<V, 5>(); break;
        case 6: convolveFftSized<V, 6>(); break;
        case 7: convolveFftSized<V, 7>(); break;
        default: convolveFftSized<V, 8>(); break;
    }
}

template void BlockConvolver::convolveDirectFrom<ScalarPair>(const double*);
template void BlockConvolver::convolveFft<ScalarPair>();
#if VEXAL_HAVE_SSE2
template void BlockConvolver::convolveDirectFrom<SsePair>(const double*);
template void BlockConvolver::convolveFft<SsePair>();
#endif

}  // namespace vexal
