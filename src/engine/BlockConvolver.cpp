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
    for (int32_t len = 2; len <= kMaxFftSize / 2; len <<= 1)
        for (int32_t j = 0; j < len / 2; ++j) {
            const int32_t at = 2 * (len / 2 - 1 + j);
            stageCos[at] = stageCos[at + 1] = cosine[j * (kMaxFftSize / len)];
            stageSin[at] = stageSin[at + 1] = sine[j * (kMaxFftSize / len)];
        }
    stageCos[kMaxFftSize - 2] = stageCos[kMaxFftSize - 1] = 0.0;
    stageSin[kMaxFftSize - 2] = stageSin[kMaxFftSize - 1] = 0.0;
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

// Outputs 0 … n − 1 first (they read the previous tail), then the new tail.
// Inlined with the length as a constant, the loops unroll fully (the short
// kernels of TransShape hard and med).
template <class V>
__attribute__((always_inline)) inline void convolveDirectPairs(const double* tapPairs, const double* block,
                                                               double* ready, double* tail, int32_t n) {
#pragma GCC unroll 32
    for (int32_t j = 0; j < 2 * n - 1; ++j) {
        const int32_t lo = j - n + 1 > 0 ? j - n + 1 : 0;
        const int32_t hi = j < n - 1 ? j : n - 1;
        V acc = V::both(0.0);
#pragma GCC unroll 32
        for (int32_t i = lo; i <= hi; ++i)
            acc = acc + V::load(tapPairs + 2 * i) * V::load(block + 2 * (j - i));
        if (j < n)
            (acc + V::load(tail + 2 * j)).store(ready + 2 * j);
        else
            acc.store(tail + 2 * (j - n));
    }
    V::both(0.0).store(tail + 2 * (n - 1));
}

// Any other length, out of line: convolveDirectFrom stays a short dispatch.
template <class V>
__attribute__((noinline)) void convolveDirectAny(const double* tapPairs, const double* block, double* ready,
                                                 double* tail, int32_t n) {
    convolveDirectPairs<V>(tapPairs, block, ready, tail, n);
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

// The same sums for N = 8 taken value by value: block[k] (both channels, in
// both halves) meets every tap pair it contributes to, k from 7 down to 0,
// so each output still adds its terms in increasing i onto +0. Vector p holds
// outputs 2p and 2p + 1; at an even k the four tap pairs line up with four
// vectors whole, at an odd k the first and last reach only one half (masked
// after the product, so no other value enters). Output 15 gets no term and
// stays +0: the tail's final 0.
__attribute__((target("avx2"))) void convolveDirectEight(const double* tapPairs, const double* block,
                                                         double* ready, double* tail) {
    const __m256d lowLane = _mm256_castsi256_pd(_mm256_set_epi64x(0, 0, -1, -1));
    const __m256d highLane = _mm256_castsi256_pd(_mm256_set_epi64x(-1, -1, 0, 0));
    const __m256d first = _mm256_broadcast_sd(tapPairs), last = _mm256_broadcast_sd(tapPairs + 14);
    __m256d acc[8];
    for (int32_t p = 0; p < 8; ++p) acc[p] = _mm256_setzero_pd();
#pragma GCC unroll 8
    for (int32_t k = 7; k >= 0; --k) {
        const __m256d v = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(block + 2 * k));
        if (k % 2 == 0) {
#pragma GCC unroll 4
            for (int32_t m = 0; m < 4; ++m)
                acc[k / 2 + m] = _mm256_add_pd(acc[k / 2 + m], _mm256_mul_pd(_mm256_loadu_pd(tapPairs + 4 * m), v));
        } else {
            const int32_t p0 = (k - 1) / 2;
            acc[p0] = _mm256_add_pd(acc[p0], _mm256_and_pd(_mm256_mul_pd(first, v), highLane));
#pragma GCC unroll 4
            for (int32_t m = 1; m < 4; ++m)
                acc[p0 + m] = _mm256_add_pd(acc[p0 + m], _mm256_mul_pd(_mm256_loadu_pd(tapPairs + 4 * m - 2), v));
            acc[p0 + 4] = _mm256_add_pd(acc[p0 + 4], _mm256_and_pd(_mm256_mul_pd(last, v), lowLane));
        }
    }
    for (int32_t p = 0; p < 4; ++p)
        _mm256_storeu_pd(ready + 4 * p, _mm256_add_pd(acc[p], _mm256_loadu_pd(tail + 4 * p)));
    for (int32_t p = 4; p < 8; ++p) _mm256_storeu_pd(tail + 4 * (p - 4), acc[p]);
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
        if (n == 8) return convolveDirectEight(tapPairs, values, ready, tail);
        if (n == 16) return convolveDirectQuad<16>(taps, values, ready, tail);
        if (n == 32) return convolveDirectQuad<32>(taps, values, ready, tail);
    }
#endif
    if (n == 8) return convolveDirectPairs<V>(tapPairs, values, ready, tail, 8);
    if (n == 16) return convolveDirectPairs<V>(tapPairs, values, ready, tail, 16);
    convolveDirectAny<V>(tapPairs, values, ready, tail, n);
}

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



// Points i, i + 1 … of p for as many as T holds (ascending), or i, i − 1 …
// (descending, the mirror images of an ascending run).
template <class T>
VEXAL_LANES_INLINE T ascending(const double* p, int32_t i) {
    return loadLanes<T>(p + 2 * i);
}
template <class T>
VEXAL_LANES_INLINE T descending(const double* p, int32_t i) {
    if constexpr (sizeof(T) == 16)
        return loadLanes<T>(p + 2 * i);
    else
        return loadMirrored(p + 2 * (i - 1));
}

// The twiddle of the stage of Len points at j (and j + 1 …), forward e^(−i…)
// or inverse e^(+i…), from the tables held per lane.
template <class T, int Len, bool Inverse>
VEXAL_LANES_INLINE void stageTwiddle(const FftTwiddles& tw, int32_t j, T& wr, T& wi) {
    wr = ascending<T>(tw.stageCos, Len / 2 - 1 + j);
    const T s = ascending<T>(tw.stageSin, Len / 2 - 1 + j);
    wi = Inverse ? s : -s;
}

// The stages of Len and 2·Len points in one pass (four points held: the
// first stage's two butterflies, then the second's), or of Len alone when
// it is the last; then the stages after them, up to Last points.
template <class T, int Len, int Last, bool Inverse>
VEXAL_LANES_INLINE void stagesFrom(double* re, double* im, const FftTwiddles& tw, int32_t n) {
    if constexpr (Len <= Last) {
        constexpr int32_t P = sizeof(T) / 16;
        constexpr int32_t h = Len / 2;
        constexpr bool two = 2 * Len <= Last;
        for (int32_t j = 0; j < h; j += P) {
            T w1r, w1i, w2r, w2i, w3r, w3i;
            stageTwiddle<T, Len, Inverse>(tw, j, w1r, w1i);
            if constexpr (two) {
                stageTwiddle<T, 2 * Len, Inverse>(tw, j, w2r, w2i);
                stageTwiddle<T, 2 * Len, Inverse>(tw, j + h, w3r, w3i);
            }
            for (int32_t i = j; i < n; i += (two ? 4 : 2) * h) {
                T r0 = ascending<T>(re, i), i0 = ascending<T>(im, i);
                T r1 = ascending<T>(re, i + h), i1 = ascending<T>(im, i + h);
                butterfly(w1r, w1i, r0, i0, r1, i1);
                if constexpr (two) {
                    T r2 = ascending<T>(re, i + 2 * h), i2 = ascending<T>(im, i + 2 * h);
                    T r3 = ascending<T>(re, i + 3 * h), i3 = ascending<T>(im, i + 3 * h);
                    butterfly(w1r, w1i, r2, i2, r3, i3);
                    butterfly(w2r, w2i, r0, i0, r2, i2);
                    butterfly(w3r, w3i, r1, i1, r3, i3);
                    storeLanes(re + 2 * (i + 2 * h), r2), storeLanes(im + 2 * (i + 2 * h), i2);
                    storeLanes(re + 2 * (i + 3 * h), r3), storeLanes(im + 2 * (i + 3 * h), i3);
                }
                storeLanes(re + 2 * i, r0), storeLanes(im + 2 * i, i0);
                storeLanes(re + 2 * (i + h), r1), storeLanes(im + 2 * (i + h), i1);
            }
        }
        stagesFrom<T, (two ? 4 : 2) * Len, Last, Inverse>(re, im, tw, n);
    }
}

// The forward transform's input in bit-reversed order and its stages of 2,
// 4 and 8 points, eight points per pass. Of the eight, the odd ones are the
// zero extension: the first stage's term w·0 is exactly +0, so the pair is
// x + 0, x − 0.
template <class T, int LogN>
VEXAL_LANES_INLINE void packFirstStages(const double* block, double* zr, double* zi, const FftTwiddles& tw) {
    constexpr int32_t n = 1 << LogN, P = sizeof(T) / 16;
    const Lanes2 zero = {0.0, 0.0};
    T w4r[2 / P], w4i[2 / P], w8r[4 / P], w8i[4 / P];
    for (int32_t j = 0; j < 2; j += P) stageTwiddle<T, 4, false>(tw, j, w4r[j / P], w4i[j / P]);
    for (int32_t j = 0; j < 4; j += P) stageTwiddle<T, 8, false>(tw, j, w8r[j / P], w8i[j / P]);
    for (int32_t b = 0; b < n; b += 8) {
        // Points b + 0, 2, 4, 6 hold x[m] for m = rev(b) + 0, n/4, n/8, 3n/8.
        const int32_t m = tw.reversed[b] >> (8 - LogN);
        T r[8 / P], i[8 / P];
        const int32_t from[4] = {m, m + n / 4, m + n / 8, m + 3 * n / 8};
#pragma GCC unroll 4
        for (int32_t q = 0; q < 4; ++q) {
            const Lanes2 xr = loadLanes<Lanes2>(block + 4 * from[q]), xi = loadLanes<Lanes2>(block + 4 * from[q] + 2);
            if constexpr (P == 1) {
                r[2 * q] = xr + zero, r[2 * q + 1] = xr - zero;
                i[2 * q] = xi + zero, i[2 * q + 1] = xi - zero;
            } else {
                r[q] = __builtin_shufflevector(xr + zero, xr - zero, 0, 1, 2, 3);
                i[q] = __builtin_shufflevector(xi + zero, xi - zero, 0, 1, 2, 3);
            }
        }
        // Points p and p + 2 (stage of 4), then p and p + 4 (stage of 8).
#pragma GCC unroll 8
        for (int32_t p = 0; p < 8; p += P)
            if (p % 4 < 2)
                butterfly(w4r[p % 2 / P], w4i[p % 2 / P], r[p / P], i[p / P], r[(p + 2) / P], i[(p + 2) / P]);
#pragma GCC unroll 4
        for (int32_t p = 0; p < 4; p += P)
            butterfly(w8r[p / P], w8i[p / P], r[p / P], i[p / P], r[(p + 4) / P], i[(p + 4) / P]);
#pragma GCC unroll 8
        for (int32_t v = 0; v < 8 / P; ++v) {
            storeLanes(zr + 2 * (b + P * v), r[v]);
            storeLanes(zi + 2 * (b + P * v), i[v]);
        }
    }
}

// The two points of an inverse first-stage butterfly, stored side by side
// at the bit-reversed position of the first (one point per two lanes).
template <class T>
VEXAL_LANES_INLINE void storeSideBySide(double* p, const int32_t* at, T sum, T difference) {
    if constexpr (sizeof(T) == 16) {
        storeLanes(p + 2 * at[0], sum);
        storeLanes(p + 2 * at[0] + 2, difference);
    } else {
        storeLanes(p + 2 * at[0], __builtin_shufflevector(sum, difference, 0, 1, 4, 5));
        storeLanes(p + 2 * at[1], __builtin_shufflevector(sum, difference, 2, 3, 6, 7));
    }
}

// A value of a table held per bin and lane: bins bin, bin + 1 … (up) or
// bin, bin − 1 ….
template <class T>
VEXAL_LANES_INLINE T binAt(const double* p, int32_t bin, bool up) {
    return up ? ascending<T>(p, bin) : descending<T>(p, bin);
}

}  // namespace

// splitBin for bin (and its neighbours, up or down) with the bin's tables.
template <class T>
VEXAL_LANES_INLINE void BlockConvolver::splitAt(T zr, T zi, T mirrorR, T mirrorI, int32_t bin, bool up, T& yr,
                                                T& yi) const {
    splitBin(zr, zi, mirrorR, mirrorI, binAt<T>(splitCos, bin, up), binAt<T>(splitSin, bin, up),
             binAt<T>(binRe, bin, up), binAt<T>(binIm, bin, up), yr, yi);
}

// The middle of the convolution for the points k (…), n/2 + k, n/2 − k and
// n − k, which need only each other: the forward transform's last stage
// (butterflies k and n/2 − k), the split into bins k, n − k, n/2 ± k, the
// product with the kernel's bins, the merge and the inverse transform's first
// stage (whose input, in bit-reversed order, pairs z[k] with z[n/2 + k]).
// k = n/4 gives each point twice and stores the same values twice.
template <class T, int LogN>
VEXAL_LANES_INLINE void BlockConvolver::middleQuad(int32_t k) {
    constexpr int32_t n = 1 << LogN, h = n / 2;
    const FftTwiddles& tw = *twiddles;
    const double* zr = scratch;
    const double* zi = scratch + 2 * kPairs;
    double* yr = work;
    double* yi = work + 2 * (kPairs + 2);
    T ar = ascending<T>(zr, k), ai = ascending<T>(zi, k);
    T br = ascending<T>(zr, h + k), bi = ascending<T>(zi, h + k);
    T cr = descending<T>(zr, h - k), ci = descending<T>(zi, h - k);
    T dr = descending<T>(zr, n - k), di = descending<T>(zi, n - k);
    T wr, wi;
    stageTwiddle<T, n, false>(tw, k, wr, wi);
    butterfly(wr, wi, ar, ai, br, bi);
    wr = descending<T>(tw.stageCos, h - 1 + h - k);
    wi = -descending<T>(tw.stageSin, h - 1 + h - k);
    butterfly(wr, wi, cr, ci, dr, di);

    // Bins k, n − k, n/2 + k, n/2 − k: z and its mirror, the bin's split
    // twiddle and the kernel's bin; then the merge, from y and its mirror.
    T ykr, yki, ynr, yni, yur, yui, ydr, ydi;
    splitAt(ar, ai, dr, di, k, true, ykr, yki);
    splitAt(dr, di, ar, ai, n - k, false, ynr, yni);
    splitAt(br, bi, cr, ci, h + k, true, yur, yui);
    splitAt(cr, ci, br, bi, h - k, false, ydr, ydi);
    mergeBin(ykr, yki, ynr, yni, binAt<T>(splitCos, k, true), binAt<T>(splitSin, k, true), ar, ai);
    mergeBin(ynr, yni, ykr, yki, binAt<T>(splitCos, n - k, false), binAt<T>(splitSin, n - k, false), dr, di);
    mergeBin(yur, yui, ydr, ydi, binAt<T>(splitCos, h + k, true), binAt<T>(splitSin, h + k, true), br, bi);
    mergeBin(ydr, ydi, yur, yui, binAt<T>(splitCos, h - k, false), binAt<T>(splitSin, h - k, false), cr, ci);

    const T one = T{} + tw.cosine[0], sine0 = T{} + tw.sine[0];
    butterfly(one, sine0, ar, ai, br, bi);
    butterfly(one, sine0, cr, ci, dr, di);
    constexpr int32_t shift = 8 - LogN;
    const int32_t up[2] = {tw.reversed[k] >> shift, tw.reversed[k + 1] >> shift};
    const int32_t down[2] = {tw.reversed[h - k] >> shift, tw.reversed[h - k - 1] >> shift};
    storeSideBySide(yr, up, ar, br);
    storeSideBySide(yi, up, ai, bi);
    storeSideBySide(yr, down, cr, dr);
    storeSideBySide(yi, down, ci, di);
}

// convolveFftSized<SsePair> with the same operations on every lane, in fewer
// passes over memory: packing with the first three forward stages, the
// forward stages two at a time, the middle (last forward stage to first
// inverse stage, see middleQuad), the inverse stages two at a time, the last
// inverse stage with the output. From n = 16; two points per vector for
// AVX2, one for SSE2.
template <class T, int LogN>
VEXAL_LANES_INLINE void BlockConvolver::convolveFftLanes() {
    constexpr int32_t n = 1 << LogN, h = n / 2, q = n / 4, P = sizeof(T) / 16;
    const FftTwiddles& tw = *twiddles;
    double* zr = scratch;
    double* zi = scratch + 2 * kPairs;
    double* yr = work;
    double* yi = work + 2 * (kPairs + 2);

    packFirstStages<T, LogN>(block, zr, zi, tw);
    stagesFrom<T, 16, h, false>(zr, zi, tw, n);

    // Bins 0, n/2 and n: the last forward stage's butterfly 0, the split,
    // the merge (bin n's mirror is 0, bin n/2's itself) and the inverse's
    // butterfly of z[0] and z[n/2].
    {
        Lanes2 ar = loadLanes<Lanes2>(zr), ai = loadLanes<Lanes2>(zi);
        Lanes2 br = loadLanes<Lanes2>(zr + 2 * h), bi = loadLanes<Lanes2>(zi + 2 * h);
        Lanes2 wr, wi;
        stageTwiddle<Lanes2, n, false>(tw, 0, wr, wi);
        butterfly(wr, wi, ar, ai, br, bi);
        Lanes2 y0r, y0i, ynr, yni, yhr, yhi;
        splitAt(ar, ai, ar, ai, 0, true, y0r, y0i);
        splitAt(ar, ai, ar, ai, n, true, ynr, yni);
        splitAt(br, bi, br, bi, h, true, yhr, yhi);
        mergeBin(y0r, y0i, ynr, yni, loadLanes<Lanes2>(splitCos), loadLanes<Lanes2>(splitSin), ar, ai);
        mergeBin(yhr, yhi, yhr, yhi, loadLanes<Lanes2>(splitCos + 2 * h), loadLanes<Lanes2>(splitSin + 2 * h), br,
                 bi);
        const Lanes2 one = Lanes2{} + tw.cosine[0], sine0 = Lanes2{} + tw.sine[0];
        butterfly(one, sine0, ar, ai, br, bi);
        const int32_t at[1] = {0};
        storeSideBySide(yr, at, ar, br);
        storeSideBySide(yi, at, ai, bi);
    }
    int32_t k = 1;
    if constexpr (P == 2)
        for (; k + 1 < q; k += 2) middleQuad<Lanes4, LogN>(k);
    for (; k <= q; ++k) middleQuad<Lanes2, LogN>(k);

    stagesFrom<T, 4, h, true>(yr, yi, tw, n);

    // The last inverse stage: butterfly j gives z[j] and z[n/2 + j], and
    // y[2m] = Re z[m], y[2m+1] = Im z[m]: the first n values plus the old
    // tail out, the next n − 1 and a 0 the new tail.
    for (int32_t j = 0; j < h; j += P) {
        T ar = ascending<T>(yr, j), ai = ascending<T>(yi, j);
        T br = ascending<T>(yr, h + j), bi = ascending<T>(yi, h + j);
        T wr, wi;
        stageTwiddle<T, n, true>(tw, j, wr, wi);
        butterfly(wr, wi, ar, ai, br, bi);
        if constexpr (P == 1) {
            storeLanes(ready + 4 * j, ar + loadLanes<Lanes2>(tail + 4 * j));
            storeLanes(ready + 4 * j + 2, ai + loadLanes<Lanes2>(tail + 4 * j + 2));
            storeLanes(tail + 4 * j, br);
            storeLanes(tail + 4 * j + 2, bi);
        } else {
            const Lanes4 out0 = __builtin_shufflevector(ar, ai, 0, 1, 4, 5);
            const Lanes4 out1 = __builtin_shufflevector(ar, ai, 2, 3, 6, 7);
            storeLanes(ready + 4 * j, out0 + loadLanes<Lanes4>(tail + 4 * j));
            storeLanes(ready + 4 * j + 4, out1 + loadLanes<Lanes4>(tail + 4 * j + 4));
            storeLanes(tail + 4 * j, __builtin_shufflevector(br, bi, 0, 1, 4, 5));
            storeLanes(tail + 4 * j + 4, __builtin_shufflevector(br, bi, 2, 3, 6, 7));
        }
    }
    storeLanes(tail + 2 * (n - 1), Lanes2{0.0, 0.0});
}

template <int LogN>
__attribute__((target("avx2"))) void BlockConvolver::convolveFftAvx2() {
    convolveFftLanes<Lanes4, LogN>();
}
#endif

template <class V, int LogN>
void BlockConvolver::convolveFftSized() {
#if defined(__x86_64__) && defined(__GNUC__) && VEXAL_HAVE_SSE2
    if constexpr (std::is_same_v<V, SsePair> && LogN >= 4) {
        if (avx2) return convolveFftAvx2<LogN>();
        return convolveFftLanes<Lanes2, LogN>();
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
    complexFft<V, LogN, false>(zr, zi, *twiddles);

    // Split into the real transform's bins 0 … half, times the kernel's bins.
    for (int32_t k = 0; k <= half; ++k) {
        const int32_t a = k & (half - 1), b = (half - k) & (half - 1);
        const V c = V::both(k < half ? twiddles->cosine[k * stride] : -1.0);
        const V s = V::both(k < half ? twiddles->sine[k * stride] : 0.0);
        V binR, binI;
        splitBin(V::load(zr + 2 * a), V::load(zi + 2 * a), V::load(zr + 2 * b), V::load(zi + 2 * b), c, s,
                 V::both(spectrumRe[k]), V::both(spectrumIm[k]), binR, binI);
        binR.store(yr + 2 * k);
        binI.store(yi + 2 * k);
    }
    // Merge back into half complex points and transform back.
    for (int32_t k = 0; k < half; ++k) {
        const V c = V::both(twiddles->cosine[k * stride]);
        const V s = V::both(twiddles->sine[k * stride]);
        V pointR, pointI;
        mergeBin(V::load(yr + 2 * k), V::load(yi + 2 * k), V::load(yr + 2 * (half - k)),
                 V::load(yi + 2 * (half - k)), c, s, pointR, pointI);
        pointR.store(zr + 2 * k);
        pointI.store(zi + 2 * k);
    }
    complexFft<V, LogN, true>(zr, zi, *twiddles);

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
