// The requantizer inside the plug-in: step grid, dither, auto-black, the
// measured noise shaping and the set selection by type and rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "SignalTestSupport.h"

using namespace testhost;
using namespace signaltest;

namespace {

constexpr double kStep16 = 1.0 / 32768.0;
constexpr double kStep24 = 1.0 / 8388608.0;

std::vector<double> sine(size_t n, double amplitude, double cyclesPerSample, double phase = 0.0) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = amplitude * std::sin(2.0 * M_PI * cyclesPerSample * static_cast<double>(i) + phase);
    return x;
}

bool onGrid(double x, double step) {
    const double k = x / step;
    return k == std::trunc(k);
}

class Requantize : public ::testing::Test {
protected:
    void SetUp() override { testsupport::TempConfigDir::clear(); }

    // Neutral settings with Quantize on at `bits` (0 = 8, 1 = 16, 2 = 24).
    void quantizing(Instance& fx, int bits, int shape, bool autoBlack, float rate = 44100.0f) {
        neutralSettings(fx, rate);
        fx.setParameter(kBits, step(bits, 3));
        fx.setParameter(kNoiseShape, step(shape, 4));
        fx.setParameter(kAutoblack, step(autoBlack ? 1 : 0, 2));
        fx.setParameter(kQuantize, step(1, 2));
        fx.suspend();
    }

    TestHost host;
};

TEST_F(Requantize, SixteenBitOutputsAreWholeStepsWithinFullScale) {
    for (bool doublePrecision : {false, true}) {
        Instance fx(host);
        quantizing(fx, 1, 0, false);
        // Driven 6 dB into the ceiling, plus a quiet stretch.
        std::vector<double> in = sine(44100, 2.0, 0.0123);
        for (size_t i = 30000; i < 35000; ++i) in[i] *= 1e-4;
        std::vector<double> l, r;
        if (doublePrecision) {
            fx.process(in, in, l, r);
        } else {
            std::vector<float> inf(in.begin(), in.end()), lf, rf;
            fx.process(inf, inf, lf, rf);
            l.assign(lf.begin(), lf.end());
            r.assign(rf.begin(), rf.end());
        }
        double top = -2.0, bottom = 2.0;
        for (size_t i = 0; i < l.size(); ++i) {
            for (double x : {l[i], r[i]}) {
                ASSERT_TRUE(onGrid(x, kStep16)) << x << " at " << i;
                ASSERT_LE(std::fabs(x), 1.0);
                top = std::max(top, x);
                bottom = std::min(bottom, x);
            }
        }
        // The ceiling step itself is reachable: v·S + S + d reaches 2S.
        EXPECT_EQ(top, 1.0);
        EXPECT_LT(bottom, -0.99);
    }
}

TEST_F(Requantize, DigitalSilenceGivesZeroOrMinusOneStepAboutHalfEach) {
    Instance fx(host);
    quantizing(fx, 1, 0, false);
    const size_t n = 100000;
    std::vector<double> in(n, 0.0), l, r;
    fx.process(in, in, l, r);
    size_t zeros = 0, minusOnes = 0;
    for (size_t i = 0; i < n; ++i) {
        for (double x : {l[i], r[i]}) {
            if (x == 0.0) ++zeros;
            if (x == -kStep16) ++minusOnes;
        }
    }
    EXPECT_EQ(zeros + minusOnes, 2 * n);
    // 2n fair draws: σ ≈ 0.16 % of n; allow 1 %.
    EXPECT_NEAR(static_cast<double>(zeros), static_cast<double>(n), n / 100.0);
}

TEST_F(Requantize, TwoRunsAfterAResetAreIdentical) {
    Instance a(host), b(host);
    const std::vector<double> in = sine(20000, 1.3, 0.01);
    std::vector<double> l1, r1, l2, r2, l3, r3;
    quantizing(a, 1, 2, true);
    a.process(in, in, l1, r1, 256);
    a.suspend();
    a.process(in, in, l2, r2, 100);
    quantizing(b, 1, 2, true);
    b.process(in, in, l3, r3, 512);
    EXPECT_EQ(l1, l2);
    EXPECT_EQ(r1, r2);
    EXPECT_EQ(l1, l3);
    EXPECT_EQ(r1, r3);
}

TEST_F(Requantize, AutoBlackFadesToExactZeroAndRestoresAtOnce) {
    const double fs = 44100.0;
    const double coef = 1.0 - std::exp(-1000.0 / (10.0 * fs));
    const int latency = 159;
    // The final clip 0.5·(|x + 1| − |x − 1|) rounds to multiples of 2^-53 or so.
    const double clipRounding = 2.3e-16;
    Instance fx(host);
    quantizing(fx, 1, 0, true);

    // Right after a reset the gain starts at 1e-20: exact zero well within 0.6 s.
    std::vector<double> silence(static_cast<size_t>(fs), 0.0), l, r;
    fx.process(silence, silence, l, r);
    long lastNonZero = -1;
    for (size_t i = 0; i < l.size(); ++i) {
        ASSERT_LE(std::fabs(l[i]), 1e-20 * kStep16);
        if (l[i] != 0.0 || r[i] != 0.0) lastNonZero = static_cast<long>(i);
    }
    EXPECT_LT(lastNonZero / fs, 0.6);

    // A tone, then silence: on silent samples the output is 0 or −gain·step,
    // so the 10 ms fade can be read off the output.
    std::vector<double> in = sine(44100, 0.5, 0.01);
    in.resize(3 * 44100, 0.0);
    fx.process(in, in, l, r);
    const size_t silentFrom = 44100 + latency;  // first output sample of the silence
    double gain = 1.0;
    lastNonZero = -1;
    for (size_t i = silentFrom; i < l.size(); ++i) {
        gain = gain - coef * gain;
        for (double x : {l[i], r[i]}) {
            ASSERT_TRUE(x == 0.0 || std::fabs(x + gain * kStep16) <= clipRounding)
                << "frame " << i - silentFrom;
            if (x != 0.0) lastNonZero = static_cast<long>(i - silentFrom);
            if (i - silentFrom == 440 && x != 0.0) {
                EXPECT_NEAR(-x / kStep16, std::exp(-1.0), 1e-9);  // one time constant
            }
        }
    }
    EXPECT_GT(lastNonZero, 441);
    EXPECT_LT(lastNonZero / fs, 1.0);

    // One sample well above 1e-8 on the right channel only: full gain on
    // that very sample, the fade restarts on the next.
    std::vector<double> zl(1000, 0.0), zr(1000, 0.0);
    zr[10] = 0.25;
    fx.process(zl, zr, l, r);
    EXPECT_TRUE(onGrid(r[10 + latency], kStep16));
    EXPECT_NEAR(r[10 + latency], 0.25, 1.5 * kStep16);
    EXPECT_TRUE(onGrid(l[10 + latency], kStep16));
    for (double x : {l[11 + latency], r[11 + latency]}) {
        EXPECT_TRUE(x == 0.0 || std::fabs(x + (1.0 - coef) * kStep16) <= clipRounding) << x;
    }
}

// --- noise shaping, measured --------------------------------------------------------

// a1..a12 as published for the sets the tests look for.
struct ShapeSet {
    const char* name;
    double a[12];
};
constexpr ShapeSet kA44{"A 44100", {-1.14927, 0.690052, -0.222153}};
constexpr ShapeSet kB44{"B 44100",
                        {-1.98998, 2.815903, -3.59874, 4.14422, -3.958916, 3.541496, -2.876669,
                         2.080732, -1.301405, 0.738357, -0.324668, 0.094727}};
constexpr ShapeSet kC44{"C 44100",
                        {-2.373123, 3.202127, -3.536373, 3.495827, -2.380664, 1.002082, -0.045419,
                         -0.485393, 0.707703, -0.465713, 0.151443, 0}};
constexpr ShapeSet kA176{"A 176400", {-1.974841, 1.131472, -0.120763}};
constexpr ShapeSet kB176{"B 176400",
                         {-1.583163, -0.046741, 0.539339, 0.432278, 0.057126, -0.21563, -0.274263,
                          -0.138357, 0.068032, 0.204997, 0.126801, -0.145297}};
constexpr ShapeSet kC176{"C 176400",
                         {-1.29969, -0.269145, 0.256736, 0.377943, 0.2339, 0.004219, -0.160402,
                          -0.193702, -0.105258, 0.042255, 0.15463, 0}};
constexpr ShapeSet kFlat{"off", {}};

// |NTF|² at a frequency in cycles per sample.
double ntfPower(const ShapeSet& s, double f) {
    std::complex<double> h = 1.0;
    for (int k = 1; k <= 12; ++k) h += s.a[k - 1] * std::polar(1.0, -2.0 * M_PI * f * k);
    return std::norm(h);
}

void fft(std::vector<std::complex<double>>& x) {
    const size_t n = x.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2.0 * M_PI / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1.0;
            for (size_t k = 0; k < len / 2; ++k) {
                const auto u = x[i + k], v = x[i + k + len / 2] * wk;
                x[i + k] = u + v;
                x[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
}

// Averaged Hann-windowed power spectrum (bins 0 … n/2) of e.
std::vector<double> powerSpectrum(const std::vector<double>& e, size_t n) {
    std::vector<double> power(n / 2 + 1, 0.0);
    std::vector<std::complex<double>> seg(n);
    for (size_t start = 0; start + n <= e.size(); start += n) {
        double mean = 0.0;
        for (size_t i = 0; i < n; ++i) mean += e[start + i];
        mean /= static_cast<double>(n);
        for (size_t i = 0; i < n; ++i) {
            const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / n);
            seg[i] = w * (e[start + i] - mean);
        }
        fft(seg);
        for (size_t k = 0; k <= n / 2; ++k) power[k] += std::norm(seg[k]);
    }
    return power;
}

// The requantization error: output with Quantize on minus output with it off.
std::vector<double> requantizationError(TestHost& host, float rate, int bitsStep, float bitsValue,
                                        int shape, size_t frames) {
    Instance on(host), off(host);
    neutralSettings(on, rate);
    neutralSettings(off, rate);
    on.setParameter(kNoiseShape, step(shape, 4));
    on.setParameter(kBits, bitsStep >= 0 ? step(bitsStep, 3) : bitsValue);
    on.setParameter(kQuantize, step(1, 2));
    on.suspend();
    // A low-level sine well inside the ceiling: the limiter leaves it alone.
    const std::vector<double> in = sine(frames, 0.01, 1000.0 / rate);
    const std::vector<double> inR = sine(frames, 0.01, 1000.0 / rate, 1.0);
    std::vector<double> ql, qr, ul, ur;
    on.process(in, inR, ql, qr);
    off.process(in, inR, ul, ur);
    std::vector<double> e(frames);
    for (size_t i = 0; i < frames; ++i) e[i] = ql[i] - ul[i];
    return e;
}

// Band energy over [f0, f1) in cycles per sample, measured and predicted.
struct Bands {
    double measured = 0, predicted = 0;
};
Bands band(const std::vector<double>& power, const ShapeSet& s, size_t n, double f0, double f1) {
    Bands b;
    for (size_t k = 0; k < power.size(); ++k) {
        const double f = static_cast<double>(k) / static_cast<double>(n);
        if (f < f0 || f >= f1) continue;
        b.measured += power[k];
        b.predicted += ntfPower(s, f);
    }
    return b;
}

double db(double x) { return 10.0 * std::log10(x); }

TEST_F(Requantize, NoiseShapingFollowsTheSetsTransferFunction) {
    const double fs = 44100.0;
    const size_t n = 4096;
    for (auto [shape, set] : {std::pair{0, &kFlat}, std::pair{1, &kA44}, std::pair{2, &kB44},
                              std::pair{3, &kC44}}) {
        const std::vector<double> e = requantizationError(host, 44100.0f, 1, 0, shape, 64 * n);
        const std::vector<double> p = powerSpectrum(e, n);
        const Bands low = band(p, *set, n, 50.0 / fs, 4000.0 / fs);
        const Bands mid = band(p, *set, n, 8000.0 / fs, 12000.0 / fs);
        const Bands high = band(p, *set, n, 15000.0 / fs, 20000.0 / fs);
        // The error is white (TPDF dither) before the NTF, so band ratios
        // follow |NTF|²; 64 averaged segments leave about ±0.3 dB of scatter.
        const double lowHigh = db(low.measured / high.measured) - db(low.predicted / high.predicted);
        const double midHigh = db(mid.measured / high.measured) - db(mid.predicted / high.predicted);
        EXPECT_LT(std::fabs(lowHigh), 1.0) << set->name << ": low/high off by " << lowHigh << " dB";
        EXPECT_LT(std::fabs(midHigh), 1.0) << set->name << ": mid/high off by " << midHigh << " dB";
        if (shape != 0) {
            // The shaping really moves noise out of the low band.
            EXPECT_LT(db(low.measured / high.measured), -10.0) << set->name;
        }
    }
}

// Normalised autocorrelation of the error at lags 1..12 against the one a set
// predicts (white error through 1 + Σ a_k z^-k): tells every set apart.
double autocorrelationMismatch(const std::vector<double>& e, const ShapeSet& s) {
    double h[13] = {1.0};
    for (int k = 1; k <= 12; ++k) h[k] = s.a[k - 1];
    double h0 = 0;
    for (double v : h) h0 += v * v;
    double mean = 0;
    for (double v : e) mean += v;
    mean /= static_cast<double>(e.size());
    double r0 = 0;
    for (double v : e) r0 += (v - mean) * (v - mean);
    double worst = 0;
    for (int m = 1; m <= 12; ++m) {
        double rm = 0;
        for (size_t i = m; i < e.size(); ++i) rm += (e[i] - mean) * (e[i - m] - mean);
        double pm = 0;
        for (int i = 0; i + m <= 12; ++i) pm += h[i] * h[i + m];
        worst = std::max(worst, std::fabs(rm / r0 - pm / h0));
    }
    return worst;
}

TEST_F(Requantize, AtRatesWithoutSetsTheSetInUseStays) {
    // Type C chosen at 44.1 kHz, then the rate becomes 32 kHz and B is chosen.
    Instance on(host), off(host);
    for (Instance* fx : {&on, &off}) {
        neutralSettings(*fx, 44100.0f);
        fx->setParameter(kNoiseShape, step(3, 4));
        fx->setSampleRate(32000.0f);
    }
    on.setParameter(kQuantize, step(1, 2));
    on.setParameter(kNoiseShape, step(2, 4));
    on.suspend();
    const std::vector<double> in = sine(200000, 0.01, 0.02);
    std::vector<double> ql, qr, ul, ur;
    on.process(in, in, ql, qr);
    off.process(in, in, ul, ur);
    std::vector<double> e(in.size());
    for (size_t i = 0; i < e.size(); ++i) e[i] = ql[i] - ul[i];
    // Sampling scatter of the estimates is about 1/√200000 ≈ 0.002.
    EXPECT_LT(autocorrelationMismatch(e, kC44), 0.02);
    EXPECT_GT(autocorrelationMismatch(e, kB44), 0.1);
    // Type A chosen at 32 kHz keeps it as well.
    on.setParameter(kNoiseShape, step(1, 4));
    on.suspend();
    off.suspend();
    on.process(in, in, ql, qr);
    off.process(in, in, ul, ur);
    for (size_t i = 0; i < e.size(); ++i) e[i] = ql[i] - ul[i];
    EXPECT_LT(autocorrelationMismatch(e, kC44), 0.02);
}

TEST_F(Requantize, At176kEachTypeSelectsItsOwnSet) {
    const ShapeSet* expected[4] = {&kFlat, &kA176, &kB176, &kC176};
    for (int shape = 0; shape <= 3; ++shape) {
        const std::vector<double> e = requantizationError(host, 176400.0f, 2, 0, shape, 200000);
        for (int other = 0; other <= 3; ++other) {
            const double mismatch = autocorrelationMismatch(e, *expected[other]);
            if (other == shape) {
                EXPECT_LT(mismatch, 0.02) << expected[shape]->name;
            } else {
                EXPECT_GT(mismatch, 0.05) << expected[shape]->name << " vs " << expected[other]->name;
            }
        }
        // And not a 44.1 kHz set of the same type.
        if (shape == 2) {
            EXPECT_GT(autocorrelationMismatch(e, kB44), 0.05);
        }
    }
}

TEST_F(Requantize, BitsBeyondTheLastStepBehaveAsTwentyFourBits) {
    for (float bits : {1.0f, 1.5f, 100.0f}) {
        const std::vector<double> e = requantizationError(host, 44100.0f, -1, bits, 0, 20000);
        Instance fx(host);
        neutralSettings(fx);
        fx.setParameter(kBits, bits);
        fx.setParameter(kQuantize, step(1, 2));
        fx.suspend();
        const std::vector<double> in = sine(20000, 0.3, 0.013);
        std::vector<double> l, r;
        fx.process(in, in, l, r);
        size_t off16 = 0;
        for (size_t i = 0; i < l.size(); ++i) {
            ASSERT_TRUE(onGrid(l[i], kStep24)) << bits;
            if (!onGrid(l[i], kStep16)) ++off16;
        }
        EXPECT_GT(off16, l.size() / 2) << bits;
        double worst = 0;
        for (double x : e) worst = std::max(worst, std::fabs(x));
        EXPECT_LE(worst, 2.0 * kStep24) << bits;  // dither and rounding: under two steps
    }
}

TEST_F(Requantize, EightBitsUseSteps0f1Over128) {
    Instance fx(host);
    quantizing(fx, 0, 0, false);
    const std::vector<double> in = sine(5000, 0.7, 0.01);
    std::vector<float> inf(in.begin(), in.end()), l, r;
    fx.process(inf, inf, l, r);
    for (float x : l) ASSERT_TRUE(onGrid(x, 1.0 / 128.0));
}

// With Power off the dry input reaches the requantizer unlimited. An absurd
// sample must not leave errors in the feedback ring that keep the output at
// full scale: the shaped output is back to a few steps right after it.
TEST_F(Requantize, AnAbsurdSampleDoesNotUnsettleTheErrorFeedback) {
    for (double absurd : {1e30, -1e12, 1e300}) {
        Instance fx(host);
        quantizing(fx, 1, 2, false);
        fx.setParameter(kPower, step(0, 2));
        std::vector<double> in(2000, 0.0), l, r;
        in[100] = absurd;
        fx.process(in, in, l, r);
        for (size_t i = 100 + 159 + 13; i < l.size(); ++i) {
            // Type B lifts silence's dither noise to a few tens of steps at most.
            ASSERT_LT(std::fabs(l[i]), 64 * kStep16) << absurd << " at " << i;
        }
    }
}

// The dither draws from the generator the calibration noise also uses: on
// silence each output is −1 step exactly when d = u1 + u2 − 1 is negative.
TEST_F(Requantize, DitherContinuesTheSharedGeneratorAndRestsWhileQuantizeIsOff) {
    struct Words {
        uint32_t s1 = 592, s2 = 153768, s3 = 1526;
        double next() {
            s1 = (s1 << 13) ^ ((((s1 >> 9) ^ s1) >> 6) & 0x1FFFu);
            s2 = (s2 << 20) ^ ((((s2 >> 2) ^ s2) >> 7) & 0xFFFFFu);
            s3 = (s3 << 17) ^ ((((s3 >> 6) ^ s3) >> 8) & 0x1FFFFu);
            return static_cast<double>(s1 ^ s2 ^ s3) * 2.3283064365e-10;
        }
    };
    Instance fx(host);
    neutralSettings(fx);
    fx.setParameter(kBits, step(1, 3));
    fx.setParameter(kCalibrate, step(1, 4));  // "left": two draws per frame
    std::vector<double> silence(1000, 0.0), l, r;
    fx.process(silence, silence, l, r);
    fx.setParameter(kCalibrate, step(0, 4));
    fx.process(silence, silence, l, r);  // Quantize off: no draws
    fx.setParameter(kQuantize, step(1, 2));
    fx.process(silence, silence, l, r);

    Words words;
    for (int i = 0; i < 2000; ++i) words.next();
    for (size_t i = 0; i < l.size(); ++i) {
        for (double x : {l[i], r[i]}) {
            const double u1 = words.next();
            const double u2 = words.next();
            const double d = u1 + u2 - 1.0;
            ASSERT_EQ(x, d < 0.0 ? -kStep16 : 0.0) << "frame " << i;
        }
    }
}

}  // namespace
