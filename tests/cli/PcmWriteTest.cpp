// Integer files hold the samples rounded to their grid, ties to even, full
// scale at its ends and NaN as 0; `stored` reports exactly what they hold.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <limits>
#include <vector>

#include "AudioFile.h"
#include "CliHarness.h"

using vexal::cli::OutputFile;

TEST(PcmWrite, RoundsToTheGridAndReportsWhatTheFileHolds) {
    // A folder of its own: ctest runs this program once per kernel variant, side by side.
    const clitest::TempDir folder(false);
    for (int bits : {8, 16, 24}) {
        SCOPED_TRACE(bits);
        const double step = std::ldexp(1.0, 1 - bits);
        const std::vector<double> samples = {
            std::numeric_limits<double>::quiet_NaN(), 2.0, -2.0, 1.0, -1.0, 0.5 * step, 1.5 * step,
            -1.5 * step, -0.5 * step, 1.0 - step, 0.3};
        // 1.0 is one step above the largest code; the ties go to the even code.
        const std::vector<double> expected = {0.0,  1.0 - step, -1.0, 1.0 - step, -1.0,
                                              0.0,  2 * step,   -2 * step, 0.0,   1.0 - step,
                                              std::nearbyint(0.3 / step) * step};
        const int format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
        const std::string path = folder / ("out" + std::to_string(bits) + ".wav");
        std::vector<double> stored(samples.size());
        {
            OutputFile file(path, format, 44100, 1);
            file.write(samples.data(), static_cast<int64_t>(samples.size()), stored.data());
            file.commit();
        }
        SF_INFO info{};
        SNDFILE* in = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(in, nullptr);
        std::vector<double> held(samples.size());
        ASSERT_EQ(sf_read_double(in, held.data(), static_cast<sf_count_t>(held.size())),
                  static_cast<sf_count_t>(held.size()));
        sf_close(in);
        for (size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(stored[i], expected[i]) << "sample " << i;
            // libsndfile reads integers back as code / 2^(bits−1).
            EXPECT_EQ(held[i], expected[i]) << "sample " << i;
        }
    }
}
