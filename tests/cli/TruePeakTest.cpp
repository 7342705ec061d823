// The renderer's true-peak figure is libebur128's, to the last bit: the same
// signals go through TruePeakMeter and through libebur128's own scan.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "TruePeak.h"

using vexal::cli::TruePeakMeter;

namespace {

struct Signal {
    const char* name;
    std::vector<double> samples;  // interleaved
};

std::vector<Signal> signalsFor(int channels, int sampleRate) {
    const size_t frames = static_cast<size_t>(sampleRate) / 2 + 37;
    std::vector<Signal> signals;
    uint32_t state = 99u;
    auto noise = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    };
    Signal loud{"loud noise", {}}, quarterRate{"sine at a quarter of the rate", {}}, quiet{"below float range", {}},
        bad{"NaN and infinity", {}}, square{"full-scale square", {}};
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            loud.samples.push_back(1.5 * noise() * (c ? 0.7 : 1.0));
            // Every sample falls 45° from a crest: the true peak is √2 times higher.
            quarterRate.samples.push_back(0.95 * std::sin(0.5 * M_PI * static_cast<double>(i) + 0.25 * M_PI));
            quiet.samples.push_back(3e-39 * noise());
            bad.samples.push_back(i == 1000 + static_cast<size_t>(c) ? std::numeric_limits<double>::quiet_NaN()
                                  : i == 5000 && c == 0           ? std::numeric_limits<double>::infinity()
                                                                  : 0.5 * noise());
            square.samples.push_back((i / 7) % 2 ? 1.0 : -1.0);
        }
    signals = {loud, quarterRate, quiet, bad, square};
    return signals;
}

// Frames handed over in uneven runs, so that the filter's past crosses calls.
template <typename Add>
void inRuns(const std::vector<double>& samples, int channels, Add add) {
    static constexpr size_t kRuns[] = {1, 7, 1000, 65536, 3};
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t done = 0;
    for (size_t r = 0; done < frames; ++r) {
        const size_t n = std::min(kRuns[r % 5], frames - done);
        add(samples.data() + done * static_cast<size_t>(channels), n);
        done += n;
    }
}

}  // namespace

TEST(TruePeak, EqualsLibebur128ToTheLastBit) {
    for (int rate : {44100, 48000, 96000, 176400, 192000})
        for (int channels : {1, 2})
            for (const Signal& s : signalsFor(channels, rate)) {
                SCOPED_TRACE(std::string(s.name) + " at " + std::to_string(rate) + " Hz, " +
                             std::to_string(channels) + " channel(s)");
                TruePeakMeter meter(channels, rate);
                ebur128_state* reference = ebur128_init(static_cast<unsigned>(channels),
                                                        static_cast<unsigned long>(rate),
                                                        EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK);
                inRuns(s.samples, channels, [&](const double* p, size_t n) {
                    meter.add(p, n);
                    ebur128_add_frames_double(reference, p, n);
                });
                for (int c = 0; c < channels; ++c) {
                    double samplePeak = 0.0, expected = 0.0;
                    ebur128_sample_peak(reference, static_cast<unsigned>(c), &samplePeak);
                    ebur128_true_peak(reference, static_cast<unsigned>(c), &expected);
                    EXPECT_EQ(std::max(meter.peak(c), samplePeak), expected) << "channel " << c;
                }
                ebur128_destroy(&reference);
            }
}

TEST(TruePeak, FindsPeaksBetweenSamplesAndNoneAbove192kHz) {
    const std::vector<Signal> signals = signalsFor(1, 44100);
    const std::vector<double>& sine = signals[1].samples;
    double samplePeak = 0.0;
    for (double v : sine) samplePeak = std::max(samplePeak, std::fabs(v));

    TruePeakMeter at44k(1, 44100), at96k(1, 96000), at192k(1, 192000);
    for (TruePeakMeter* m : {&at44k, &at96k, &at192k}) m->add(sine.data(), sine.size());
    EXPECT_NEAR(at44k.peak(0), samplePeak * std::sqrt(2.0), 0.02);  // with the filter's ripple
    EXPECT_GT(at96k.peak(0), samplePeak * 1.3);
    EXPECT_EQ(at192k.peak(0), 0.0);
    // 4× oversampling: three 12-tap phases and the sample itself.
    ASSERT_EQ(at44k.phases().size(), 4u);
    EXPECT_EQ(at44k.phases()[0].coeff, std::vector<double>{1.0});
    for (size_t f = 1; f < 4; ++f) EXPECT_EQ(at44k.phases()[f].coeff.size(), 12u);
}
