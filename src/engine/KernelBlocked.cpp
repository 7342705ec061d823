#include "KernelBlocked.h"

#include <cstring>

#if VEXAL_HAVE_SSE2

#include "DspMath.h"
#include "EnvelopeFollowers.h"
#include "HalfSampleInterpolator.h"

namespace vexal {
namespace kernel {

namespace {

using V = SsePair;
constexpr int32_t kLanes = 2 * kChunk;     // doubles per chunk buffer (pairs)
constexpr int32_t kHistory = kInterpRingSize;  // levelled pairs kept before a chunk
// The followers' last stages: one row per vector of the Width-lane bank, a
// whole vector per frame (kFollowerCount rows of kLanes in all).
template <int Width>
constexpr int32_t kFollowerRow = Width * kChunk;

// Chunk buffers carved from EngineState::blockScratch; all pairs (L, R) per
// frame unless noted. A buffer whose values are dead by the time a later
// stage writes shares its storage with that stage's output (noted as "in"),
// so that the chunk's working set stays within the first-level cache.
struct Chunk {
    double* dry;    // input delayed by lookAhead + 31
    double* driven;  // within `levelled`, after the history: the leveller scales it in place
    double* peak;   // leveller input p, one per frame
    double* drive;  // driveGainSmoothed, one per frame
    double* output;  // outputGainSmoothed, duplicated per lane
    double* levelled;  // y: kHistory pairs of history, then the chunk
    double* levellerGain;  // duplicated per lane
    double* leaf;          // detector leaves h
    double* peakRoot;      // window peaks PL, PR
    double* delayed;       // aD
    double* shapeRoot;
    double* lastStage;     // s2 for every frame: FollowerBank's vectors, one row of kFollowerRow each
    double* envelope;      // b
    double* out;
    double* shown;         // displayed gain
    double* estimate;      // half-sample estimates (Oversample), in `out`
    double* linked;        // the followers' inputs vL, vR, in `leaf`
    double* smoothed;      // the convolver's output, before the envelope delay, in `peakRoot`
    double* follower;      // f, in `shapeRoot`

    explicit Chunk(double* p) {
        auto carve = [&p](size_t n) {
            double* start = p;
            p += n;
            return start;
        };
        dry = carve(kLanes);
        peak = carve(kChunk);
        drive = carve(kChunk);
        output = carve(kLanes);
        levelled = carve(2 * (kHistory + kChunk));
        driven = levelled + 2 * kHistory;
        levellerGain = carve(kLanes);
        leaf = carve(kLanes);
        peakRoot = carve(kLanes);
        delayed = carve(kLanes);
        shapeRoot = carve(kLanes);
        lastStage = carve(kFollowerCount * kLanes);
        envelope = carve(kLanes);
        out = carve(kLanes);
        shown = carve(kLanes);
        estimate = out;
        linked = leaf;
        smoothed = peakRoot;
        follower = shapeRoot;
    }
};

// A gain of 1 in every lane, for the leveller switched off and for followers
// that all stay at or below 1: read in place of a buffer filled per chunk.
struct UnitLanes {
    alignas(64) double lanes[kLanes];
    constexpr UnitLanes() : lanes() {
        for (double& g : lanes) g = 1.0;
    }
};
constexpr UnitLanes kUnitLanes;

// Gain smoothing. When both smoothed gains sit on their fixed point (the
// next step returns the same bits), every step of the chunk does.
inline void smoothGains(EngineState& st, const BlockSettings& b, int32_t n, const Chunk& c) {
    double d = st.driveGainSmoothed, o = st.outputGainSmoothed;
    if (smoothGainStep(d, b.driveGain, b.smoothCoef) == d &&
        smoothGainStep(o, b.outputTarget, b.smoothCoef) == o) {
        for (int32_t i = 0; i < n; ++i) c.drive[i] = d;
        for (int32_t e = 0; e < 2 * n; ++e) c.output[e] = o;
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        d = smoothGainStep(d, b.driveGain, b.smoothCoef);
        o = smoothGainStep(o, b.outputTarget, b.smoothCoef);
        c.drive[i] = d;
        c.output[2 * i] = c.output[2 * i + 1] = o;
    }
    st.driveGainSmoothed = d;
    st.outputGainSmoothed = o;
}

// A run of n DelayLine steps, stretch by stretch of consecutive slots:
// step(done, run, slots) handles frames done … done + run − 1, whose slots
// start at `slots`.
template <class Step>
inline void forEachStretch(PairDelayLine& delay, int32_t length, int32_t n, Step step) {
    int32_t& index = delay.index;
    for (int32_t done = 0; done < n;) {
        const int32_t run = n - done < length - index ? n - done : length - index;
        step(done, run, delay.pairs + 2 * index);
        index += run;
        if (index >= length) index = 0;
        done += run;
    }
}

// out receives, pair by pair, what `exchange` would return for in. Slots are
// read before they are written, in frame order, so any length gives the
// per-frame results.
inline void exchangeRun(PairDelayLine& delay, int32_t length, const double* in, double* out, int32_t n) {
    forEachStretch(delay, length, n, [&](int32_t done, int32_t run, double* slots) {
        std::memcpy(out + 2 * done, slots, sizeof(double) * 2 * run);
        std::memcpy(slots, in + 2 * done, sizeof(double) * 2 * run);
    });
}

// Accepted input into the dry slots, then driven (x = input × driveGainSmoothed)
// with the leveller's input.
template <class Sample>
inline void acceptAndDrive(const Sample* __restrict inL, const Sample* __restrict inR,
                           double* __restrict dry, const double* __restrict drive,
                           double* __restrict x, double* __restrict peak, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const double inl = acceptInput(inL[i]);
        const double inr = acceptInput(inR[i]);
        dry[2 * i] = inl;
        dry[2 * i + 1] = inr;
        const double l = inl * drive[i], r = inr * drive[i];
        x[2 * i] = l;
        x[2 * i + 1] = r;
        peak[i] = levellerInput(l, r);
    }
}

// Dry path, drive and the leveller's input: per stretch of the dry delay
// line, its old pairs go out first, then the new input takes their slots.
template <class Sample>
inline void takeInput(EngineState& st, const BlockSettings& b, const Sample* inL,
                      const Sample* inR, int32_t n, const Chunk& c) {
    forEachStretch(st.dryDelay, b.lookAhead + kAlignDelay, n, [&](int32_t done, int32_t run, double* slots) {
        std::memcpy(c.dry + 2 * done, slots, sizeof(double) * 2 * run);
        acceptAndDrive(inL + done, inR + done, slots, c.drive + done, c.driven + 2 * done, c.peak + done, run);
    });
}

// The ring's last `pairs` levelled pairs, oldest first, just ahead of the
// chunk: the ring from the oldest of them on, then its start. Without
// Oversample only the alignment delay's pairs are read.
inline void loadHistory(const EngineState& st, const Chunk& c, int32_t pairs) {
    const double* ring = st.interpRing.pairs;
    const int32_t oldest = (st.interpRing.index - pairs) & (kInterpRingSize - 1);
    const int32_t before = pairs < kInterpRingSize - oldest ? pairs : kInterpRingSize - oldest;
    double* to = c.levelled + 2 * (kHistory - pairs);
    std::memcpy(to, ring + 2 * oldest, sizeof(double) * 2 * before);
    std::memcpy(to + 2 * before, ring, sizeof(double) * 2 * (pairs - before));
}

inline void storeHistory(EngineState& st, int32_t n, const Chunk& c) {
    const double* from = c.levelled + 2 * kHistory;
    for (int32_t done = 0; done < n;) {
        const int32_t room = kInterpRingSize - st.interpRing.index;
        const int32_t run = n - done < room ? n - done : room;
        std::memcpy(st.interpRing.pairs + 2 * st.interpRing.index, from + 2 * done, sizeof(double) * 2 * run);
        st.interpRing.index = (st.interpRing.index + run) & (kInterpRingSize - 1);
        done += run;
    }
}

// The leveller, frame by frame (its level is a recursion).
inline void levelChunk(EngineState& st, const BlockSettings& b, int32_t n, const Chunk& c) {
    double level = st.levellerLevel;
    for (int32_t i = 0; i < n; ++i) {
        const double gain = levellerStep(level, c.peak[i], b);
        (V::load(c.driven + 2 * i) * V::both(gain)).store(c.levelled + 2 * (kHistory + i));
        c.levellerGain[2 * i] = c.levellerGain[2 * i + 1] = gain;
    }
    st.levellerLevel = level;
}

// Half-sample estimates of the whole chunk, each summed in j order. Four
// vectors of Width lanes are summed at once and stay in registers over the 32
// taps (a sum kept in memory would be loaded and stored per tap). The tap loop
// is unrolled by four, not fully: fully unrolled, the compiler ran the four
// sums one after another through one register, 32 dependent additions each,
// with the inputs spilled to the stack (measured alone: 8.8 against 5.0 ns per
// frame with AVX2, 18.2 against 12.5 with SSE2). The lanes are rounded up to
// whole groups: the extra ones read the scratch beyond the chunk, stay within
// it and are never used.
template <int Width>
inline void estimateHalfSamples(const double* __restrict y, const double* __restrict w,
                                double* __restrict estimate, int32_t lanes) {
    using Vec = typename DoubleVector<Width>::type;
    using Memory = typename DoubleVector<Width>::unaligned;
    constexpr int32_t kGroup = 4 * Width;
    static_assert(2 * kChunk % kGroup == 0, "groups must tile the chunk's lanes");
    auto at = [](const double* p) { return *reinterpret_cast<const Memory*>(p); };
    for (int32_t e0 = 0; e0 < lanes; e0 += kGroup) {
        Vec sum0 = {}, sum1 = {}, sum2 = {}, sum3 = {};
        const double* later = y + 2 * (kHistory - 31) + e0;
        const double* earlier = y + 2 * (kHistory - 32) + e0;
#pragma GCC unroll 4
        for (int32_t j = 0; j < kInterpHalfTaps; ++j) {
            const double* l = later + 2 * j;
            const double* r = earlier - 2 * j;
            const double wj = w[j];
            sum0 = sum0 + wj * (at(l) + at(r));
            sum1 = sum1 + wj * (at(l + Width) + at(r + Width));
            sum2 = sum2 + wj * (at(l + 2 * Width) + at(r + 2 * Width));
            sum3 = sum3 + wj * (at(l + 3 * Width) + at(r + 3 * Width));
        }
        *reinterpret_cast<Memory*>(estimate + e0) = sum0;
        *reinterpret_cast<Memory*>(estimate + e0 + Width) = sum1;
        *reinterpret_cast<Memory*>(estimate + e0 + 2 * Width) = sum2;
        *reinterpret_cast<Memory*>(estimate + e0 + 3 * Width) = sum3;
    }
}

// Detector leaves h of the whole chunk and the look-ahead delay.
template <int Width>
inline void detectLeaves(EngineState& st, const BlockSettings& b, int32_t n, const Chunk& c) {
    const double* __restrict a31 = c.levelled + 2 * (kHistory - 31);
    const double* __restrict estimate = c.estimate;
    double* __restrict leaf = c.leaf;
    if (b.oversample) {
        estimateHalfSamples<Width>(c.levelled, st.interpCoef.w, c.estimate, 2 * n);
        for (int32_t e = 0; e < 2 * n; ++e) leaf[e] = leafValue(detectorMagnitude(a31[e], estimate[e], true));
    } else {
        for (int32_t e = 0; e < 2 * n; ++e) leaf[e] = leafValue(detectorMagnitude(a31[e], 0.0, false));
    }
    exchangeRun(st.lookAheadDelay, b.lookAhead, a31, c.delayed, n);
}

// Window peaks (lookAhead) and short maxima (smoothLen).
inline void pushTrees(EngineState& st, int32_t n, const Chunk& c) {
    st.peakTree.pushRun<V>(c.leaf, c.peakRoot, n, st.peakPosition);
    st.shapeTree.pushRun<V>(c.leaf, c.shapeRoot, n, st.shapePosition);
}

// The shaped envelope of the whole chunk: shapedEnvelope's two steps, each
// over the run.
inline void shapeRun(EngineState& st, const BlockSettings& b, int32_t n, const Chunk& c) {
    st.convolver.pushRun<V>(c.shapeRoot, c.smoothed, n);
    exchangeRun(st.envelopeDelayLine, b.envelopeDelay, c.smoothed, c.envelope, n);
}

// The followers' inputs of the whole chunk: no recursion, so a pass of its
// own, out of the followers' loop. With four-lane registers, linkPeaks lane
// by lane on the pairs as they stand: each frame's left peak and its right
// one are copied across its pair and the results joined by a blend, all
// within each half of the register, where the compiler separated the
// channels and interleaved them again with shuffles across the halves. With
// two lanes its own form is the faster.
template <int Width>
inline void linkRun(const BlockSettings& b, int32_t n, const Chunk& c) {
    using Vec = DoubleVector<4>::type;
    using Memory = DoubleVector<4>::unaligned;
    const double* __restrict peak = c.peakRoot;
    double* __restrict linked = c.linked;
    int32_t e = 0;
    if constexpr (Width == 4) {
        for (; e + 4 <= 2 * n; e += 4) {
            const Vec p = *reinterpret_cast<const Memory*>(peak + e);
            Vec vL, vR;
            linkPeaks(__builtin_shufflevector(p, p, 0, 0, 2, 2), __builtin_shufflevector(p, p, 1, 1, 3, 3), b, vL, vR);
            *reinterpret_cast<Memory*>(linked + e) = __builtin_shufflevector(vL, vR, 0, 5, 2, 7);
        }
    }
    for (; e < 2 * n; e += 2) linkPeaks(peak[e], peak[e + 1], b, linked[e], linked[e + 1]);
}

// Link, shaped envelope and followers. The first two run over the chunk
// ahead of the followers, whose recursion then has its loop to itself: the
// convolver's sums read a block stored long before, not one whose last value
// was stored a moment earlier, and the followers stay in registers of Width
// lanes. StepLevel: the switched-off leveller's level steps here too.
// SecondOrder: DetectorOrder, fixed for the loop.
template <int Width, bool StepLevel, bool SecondOrder>
inline void followAndShapeWith(EngineState& st, const BlockSettings& b, int32_t n, const Chunk& c) {
    linkRun<Width>(b, n, c);
    shapeRun(st, b, n, c);
    FollowerBank<Width> bank;
    bank.load(b.attackPairs, b.releasePairs, st.followerStage1, st.followerStage2);
    double level = st.levellerLevel;
    for (int32_t i = 0; i < n; ++i) {
        if (StepLevel) levellerStep(level, c.peak[i], b);
        bank.template step<Width == 4>(c.linked + 2 * i, SecondOrder, c.lastStage + Width * i, kFollowerRow<Width>);
    }
    bank.store(st.followerStage1, st.followerStage2);
    if (StepLevel) st.levellerLevel = level;
}

template <int Width>
inline void followAndShape(EngineState& st, const BlockSettings& b, int32_t n, const Chunk& c) {
    if (b.levellerOff)
        b.secondOrder ? followAndShapeWith<Width, true, true>(st, b, n, c)
                      : followAndShapeWith<Width, true, false>(st, b, n, c);
    else
        b.secondOrder ? followAndShapeWith<Width, false, true>(st, b, n, c)
                      : followAndShapeWith<Width, false, false>(st, b, n, c);
}

struct GainInputs {
    const double* follower;
    const double* envelope;
    const double* delayed;
    const double* levellerGain;
    double* limited;
    double* shown;
    double transientMix, oneMinusTransient;
    int32_t mask;
};

// Whether every shaped envelope of `lanes` lanes (rounded up to whole vectors)
// lies within [0, 1]: exact maxima of the values and of their negations.
template <int Width>
inline bool envelopeWithinUnit(const double* __restrict env, int32_t lanes) {
    using Vec = typename DoubleVector<Width>::type;
    using Memory = typename DoubleVector<Width>::unaligned;
    Vec top{}, negatedBottom{};
    for (int32_t e = 0; e < lanes; e += Width) {
        const Vec b = *reinterpret_cast<const Memory*>(env + e);
        top = largerLanes<Width>(top, b);
        negatedBottom = largerLanes<Width>(negatedBottom, -b);
    }
    bool within = true;
    for (int l = 0; l < Width; ++l) within &= top[l] <= 1.0 && negatedBottom[l] <= 0.0;
    return within;
}

// Limiter gain on the delayed audio; shown receives the gain g itself.
// unitGains: f is 1 and the shaped envelope within [0, 1] in every lane, so
// both maxima in limiterGain are exactly 1 (for such an envelope b, b + (1 − b)
// rounds to 1), and so are both quotients: g is the same in every lane and
// needs no division.
inline void applyGain(const GainInputs& in, int32_t lanes, bool unitGains) {
    const double* __restrict f = in.follower;
    const double* __restrict env = in.envelope;
    const double* __restrict aD = in.delayed;
    double* __restrict limited = in.limited;
    double* __restrict gain = in.shown;
    const double tau = in.transientMix, rest = in.oneMinusTransient;
    if (unitGains) {
        const double g = blendGains(1.0, 1.0, tau, rest);
        for (int32_t e = 0; e < lanes; ++e) {
            limited[e] = g * aD[e];
            gain[e] = g;
        }
        return;
    }
    for (int32_t e = 0; e < lanes; ++e) {
        const double g = limiterGain(f[e], env[e], tau, rest);
        limited[e] = g * aD[e];
        gain[e] = g;
    }
}

// The meter's displayed gain from g (in place in `shown`).
inline void showGain(const GainInputs& in, int32_t lanes) {
    const double* __restrict f = in.follower;
    const double* __restrict lg = in.levellerGain;
    double* __restrict shown = in.shown;
    const double tau = in.transientMix, rest = in.oneMinusTransient;
    const int32_t mask = in.mask;
    for (int32_t e = 0; e < lanes; ++e) {
        const double g = shown[e];
        const double release = releaseComponent(f[e], tau, rest);
        shown[e] = displayedGain(mask, release, g / release, lg[e]);
    }
}

// Whether every displayed gain of the chunk is sure to lie at or above the
// gain hold at the chunk's start, so that the hold keeps its bits and the
// displayed gains need not be computed. With the release and peak parts both
// shown (the leveller's optionally), the displayed gain is g·lg through three
// roundings, at least g·lg·(1 − 2⁻⁵¹) as computed; the bound asks 2⁻⁴⁰ above
// the hold, and never below 2⁻⁹⁰⁰, where nothing could round to a subnormal.
template <int Width>
inline bool holdStays(const GainInputs& in, const double* hold, int32_t lanes) {
    using Vec = typename DoubleVector<Width>::type;
    using Memory = typename DoubleVector<Width>::unaligned;
    using Lanes = decltype(Vec{} < Vec{});
    if ((in.mask & 3) != 3) return false;
    const double* __restrict g = in.shown;
    const double* __restrict lg = in.levellerGain;
    const bool withLeveller = in.mask & 4;
    const double margin = 1.0 + 0x1p-40, least = 0x1p-900;
    const double boundL = hold[0] * margin > least ? hold[0] * margin : least;
    const double boundR = hold[1] * margin > least ? hold[1] * margin : least;
    Vec bound{};
    for (int l = 0; l < Width; ++l) bound[l] = l & 1 ? boundR : boundL;
    Lanes below{};
    int32_t e = 0;
    for (; e + Width <= lanes; e += Width) {
        Vec shown = *reinterpret_cast<const Memory*>(g + e);
        if (withLeveller) shown = shown * *reinterpret_cast<const Memory*>(lg + e);
        below |= shown < bound;
    }
    bool any = false;
    for (int l = 0; l < Width; ++l) any |= below[l] != 0;
    for (; e < lanes; ++e) any |= (withLeveller ? g[e] * lg[e] : g[e]) < (e & 1 ? boundR : boundL);
    return !any;
}

inline void scaleOutput(double* __restrict out, const double* __restrict gain, int32_t lanes) {
    for (int32_t e = 0; e < lanes; ++e) out[e] = out[e] * gain[e];
}

// A pair's magnitudes rounded to single precision, as the meters keep them.
inline V singleMagnitudes(V x) { return {_mm_cvtps_pd(_mm_cvtpd_ps(abs(x).v))}; }

// Frame i of the output: the clipped pair, right stored first.
template <class Sample>
inline void storeOutput(V out, Sample* outL, Sample* outR, int32_t i) {
    const V clipped = clipToUnit(out);
    outR[i] = static_cast<Sample>(clipped.right());
    outL[i] = static_cast<Sample>(clipped.left());
}

// The meter taps without MeterOvs, both channels as one pair: the same
// lane arithmetic as MeterTaps::tap, with the holds kept in registers.
// GainStays: the displayed gains leave the gain holds as they are (not computed).
// Finish: no requantizer comes between the meters and the clip, so the output
// gain, the clip and the output's samples join this loop, whose recursions
// leave the arithmetic units room for them; otherwise c.out holds the scaled
// output already.
template <bool GainStays, bool Finish, class Sample>
inline void tapMetersPaired(MeterTaps& t, const BlockSettings& b, int32_t n, const Chunk& c,
                            Sample* outL, Sample* outR) {
    const V meterGain = V::both(b.inputMeterGain), coef = V::both(b.rmsCoef);
    V inPeak = {_mm_loadu_pd(t.inputPeak)}, outPeak = {_mm_loadu_pd(t.outputPeak)};
    V inSquare = {_mm_loadu_pd(t.inputMeanSquare)};
    V outSquare = {_mm_loadu_pd(t.outputMeanSquare)};
    V gain = {_mm_loadu_pd(t.gainReduction)};
    for (int32_t i = 0; i < n; ++i) {
        const V level = V::load(c.dry + 2 * i) * meterGain;
        inPeak = branchFreeMax(inPeak, singleMagnitudes(level));
        inSquare = meanSquareStep(inSquare, level, coef);
        if (!GainStays) gain = branchFreeMin(gain, V::load(c.shown + 2 * i));
        V out = V::load(c.out + 2 * i);
        if (Finish) out = out * V::load(c.output + 2 * i);
        const V m = singleMagnitudes(out);
        outPeak = branchFreeMax(outPeak, m);
        outSquare = meanSquareStep(outSquare, m, coef);
        if (Finish) storeOutput(out, outL, outR, i);
    }
    _mm_storeu_pd(t.inputPeak, inPeak.v);
    _mm_storeu_pd(t.outputPeak, outPeak.v);
    _mm_storeu_pd(t.inputMeanSquare, inSquare.v);
    _mm_storeu_pd(t.outputMeanSquare, outSquare.v);
    _mm_storeu_pd(t.gainReduction, gain.v);
}

// The same taps with the input's and the output's levels as one vector of
// four lanes (input L, R, output L, R), for the variants with such registers:
// half the arithmetic of the pairs on the meters' recursions. Finish only.
// Four lanes rounded to single precision and back. GCC splits the generic
// conversion of four floats into halves; its builtins give one instruction
// each way, as the kernel's target has them (clang's builds take the generic
// form, with the same bits).
__attribute__((always_inline)) inline DoubleVector<4>::type singlePrecision(DoubleVector<4>::type x) {
#if !defined(__clang__)
    return __builtin_ia32_cvtps2pd256(__builtin_ia32_cvtpd2ps256(x));
#else
    typedef float Singles __attribute__((vector_size(16)));
    return __builtin_convertvector(__builtin_convertvector(x, Singles), DoubleVector<4>::type);
#endif
}

// The input's lanes of `input` and the output's of `output`: a blend. GCC
// writes the generic shuffle as a permute across the halves of the register.
__attribute__((always_inline)) inline DoubleVector<4>::type inputAndOutput(DoubleVector<4>::type input,
                                                                          DoubleVector<4>::type output) {
#if !defined(__clang__)
    return __builtin_ia32_blendpd256(input, output, 0xc);
#else
    return __builtin_shufflevector(input, output, 0, 1, 6, 7);
#endif
}

template <bool GainStays, class Sample>
inline void tapMetersQuad(MeterTaps& t, const BlockSettings& b, int32_t n, const Chunk& c, Sample* outL,
                          Sample* outR) {
    using Quad = DoubleVector<4>::type;
    using Pair = DoubleVector<2>::type;
    typedef int64_t Bits __attribute__((vector_size(32)));
    const V meterGain = V::both(b.inputMeterGain);
    const Quad coef = {b.rmsCoef, b.rmsCoef, b.rmsCoef, b.rmsCoef};
    Quad peaks = {t.inputPeak[0], t.inputPeak[1], t.outputPeak[0], t.outputPeak[1]};
    Quad squares = {t.inputMeanSquare[0], t.inputMeanSquare[1], t.outputMeanSquare[0], t.outputMeanSquare[1]};
    V gain = {_mm_loadu_pd(t.gainReduction)};
    for (int32_t i = 0; i < n; ++i) {
        const V level = V::load(c.dry + 2 * i) * meterGain;
        const V out = V::load(c.out + 2 * i) * V::load(c.output + 2 * i);
        const Quad both = __builtin_shufflevector(Pair(level.v), Pair(out.v), 0, 1, 2, 3);
        // The magnitudes rounded to single precision; the output's mean square takes them too.
        const Quad magnitude = Quad(Bits(both) & 0x7fffffffffffffff);
        const Quad single = singlePrecision(magnitude);
        peaks = single + positiveLanes<4>(peaks - single);
        squares = meanSquareStep(squares, inputAndOutput(both, single), coef);
        if (!GainStays) gain = branchFreeMin(gain, V::load(c.shown + 2 * i));
        storeOutput(out, outL, outR, i);
    }
    t.inputPeak[0] = peaks[0], t.inputPeak[1] = peaks[1], t.outputPeak[0] = peaks[2], t.outputPeak[1] = peaks[3];
    t.inputMeanSquare[0] = squares[0], t.inputMeanSquare[1] = squares[1];
    t.outputMeanSquare[0] = squares[2], t.outputMeanSquare[1] = squares[3];
    _mm_storeu_pd(t.gainReduction, gain.v);
}

// Meter taps, the requantizer and the clip, frame by frame.
template <int Width, class Sample>
inline void meterAndFinish(EngineState& st, const BlockSettings& b, int32_t n, const Chunk& c,
                           bool gainStays, Sample* outL, Sample* outR) {
    if (!b.meterOversample && !b.quantizeOn) {
        if constexpr (Width == 4) {
            if (gainStays)
                tapMetersQuad<true>(st.meterTaps, b, n, c, outL, outR);
            else
                tapMetersQuad<false>(st.meterTaps, b, n, c, outL, outR);
        } else if (gainStays)
            tapMetersPaired<true, true>(st.meterTaps, b, n, c, outL, outR);
        else
            tapMetersPaired<false, true>(st.meterTaps, b, n, c, outL, outR);
        return;
    }
    scaleOutput(c.out, c.output, 2 * n);
    if (b.meterOversample) {
        const V meterGain = V::both(b.inputMeterGain);
        for (int32_t i = 0; i < n; ++i) {
            const V metered = V::load(c.dry + 2 * i) * meterGain;
            st.meterTaps.tap(metered.left(), metered.right(), c.shown[2 * i], c.shown[2 * i + 1],
                             c.out[2 * i], c.out[2 * i + 1], true, b.rmsCoef, st.interpCoef);
        }
    } else {
        if (gainStays)
            tapMetersPaired<true, false>(st.meterTaps, b, n, c, outL, outR);
        else
            tapMetersPaired<false, false>(st.meterTaps, b, n, c, outL, outR);
    }
    if (b.quantizeOn)
        for (int32_t i = 0; i < n; ++i)
            st.requantizer.process(c.out[2 * i], c.out[2 * i + 1], st.ditherRng, b.noiseShapeSet,
                                   b.quantScale, b.autoBlackOn, b.autoBlackCoef);
    for (int32_t i = 0; i < n; ++i) storeOutput(V::load(c.out + 2 * i), outL, outR, i);
}

template <int Width, class Sample>
inline void runChunk(EngineState& st, const BlockSettings& b, const Sample* inL,
                     const Sample* inR, Sample* outL, Sample* outR, int32_t n, double* probe) {
    const Chunk c(st.blockScratch);
    smoothGains(st, b, n, c);
    takeInput(st, b, inL, inR, n, c);
    loadHistory(st, c, b.oversample ? kHistory : kAlignDelay);
    // With the leveller switched off its gain is 1 and y = x·1 = x: the audio
    // stays as it is where it stands, and the level, which nothing in this
    // chunk reads, is stepped later beside the followers (followAndShape),
    // where its recursion overlaps theirs instead of adding to it.
    if (!b.levellerOff) levelChunk(st, b, n, c);
    const double* levellerGain = b.levellerOff ? kUnitLanes.lanes : c.levellerGain;
    detectLeaves<Width>(st, b, n, c);
    pushTrees(st, n, c);
    followAndShape<Width>(st, b, n, c);
    storeHistory(st, n, c);
    const bool unitFollowers = lastStagesAtMostOne<Width>(c.lastStage, kFollowerRow<Width>, Width * n);
    if (!unitFollowers) {
        if constexpr (Width == 4)
            foldFollowerRows<4>(c.lastStage, kFollowerRow<Width>, c.follower, n);
        else
            foldFollowers<Width, 4>(c.lastStage, kLanes, c.follower, 2 * n);
    }

    bool gainStays = false;
    if (b.powerOn) {
        const GainInputs gains{unitFollowers ? kUnitLanes.lanes : c.follower,
                               c.envelope,
                               c.delayed,
                               levellerGain,
                               c.out,
                               c.shown,
                               b.transientMix,
                               b.oneMinusTransient,
                               b.grShowMask};
        const bool unitGains = unitFollowers && envelopeWithinUnit<Width>(c.envelope, 2 * n);
        applyGain(gains, 2 * n, unitGains);
        // With one gain in every lane and the leveller's at 1, the first frame
        // stands for all.
        const int32_t distinct = unitGains && b.levellerOff ? 2 : 2 * n;
        gainStays = !b.meterOversample && holdStays<Width>(gains, st.meterTaps.gainReduction, distinct);
        if (!gainStays) showGain(gains, 2 * n);
        if (probe)
            for (int32_t e = 0; e < 2 * n; ++e) probe[e] = c.out[e];
    } else {
        // The bypass: the dry audio at gain 1 (x · 1 = x).
        for (int32_t e = 0; e < 2 * n; ++e) {
            c.out[e] = c.dry[e];
            c.output[e] = 1.0;
            c.shown[e] = 1.0;
        }
    }
    meterAndFinish<Width>(st, b, n, c, gainStays, outL, outR);
}

template <int Width, class Sample>
inline void runChunks(EngineState& st, const BlockSettings& b, const Sample* inL,
                      const Sample* inR, Sample* outL, Sample* outR, int32_t frames) {
    for (int32_t done = 0; done < frames; done += kChunk) {
        const int32_t n = frames - done < kChunk ? frames - done : kChunk;
        double* probe = st.gainStageProbe ? st.gainStageProbe + 2 * done : nullptr;
        runChunk<Width>(st, b, inL + done, inR + done, outL + done, outR + done, n, probe);
    }
}

// One copy of the whole chunk path per instruction set: everything it calls
// is inlined (flatten), so the element-wise loops are vectorized for that set.
template <class Sample>
__attribute__((flatten)) void runSse2(EngineState& st, const BlockSettings& b, const Sample* inL,
                                      const Sample* inR, Sample* outL, Sample* outR, int32_t frames) {
    runChunks<2>(st, b, inL, inR, outL, outR, frames);
}

template <class Sample>
__attribute__((target("avx2"), flatten)) void runAvx2(EngineState& st, const BlockSettings& b,
                                                      const Sample* inL, const Sample* inR,
                                                      Sample* outL, Sample* outR, int32_t frames) {
    runChunks<4>(st, b, inL, inR, outL, outR, frames);
}

// The followers stay in four-lane registers here too: the eight-lane bank
// measured slower (42 against 30 ns per frame at program 0).
template <class Sample>
__attribute__((target("avx512f"), flatten)) void runAvx512(EngineState& st, const BlockSettings& b,
                                                           const Sample* inL, const Sample* inR,
                                                           Sample* outL, Sample* outR, int32_t frames) {
    runChunks<4>(st, b, inL, inR, outL, outR, frames);
}

}  // namespace

template <class Sample>
void runBlocked(EngineState& st, const BlockSettings& b, const Sample* inL, const Sample* inR,
                Sample* outL, Sample* outR, int32_t frames) {
    switch (st.kernelVariant) {
        case KernelVariant::avx512: return runAvx512(st, b, inL, inR, outL, outR, frames);
        case KernelVariant::avx2: return runAvx2(st, b, inL, inR, outL, outR, frames);
        default: return runSse2(st, b, inL, inR, outL, outR, frames);
    }
}

template void runBlocked<float>(EngineState&, const BlockSettings&, const float*, const float*,
                                float*, float*, int32_t);
template void runBlocked<double>(EngineState&, const BlockSettings&, const double*,
                                 const double*, double*, double*, int32_t);

}  // namespace kernel
}  // namespace vexal

#endif
