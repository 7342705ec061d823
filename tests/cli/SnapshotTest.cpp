// vexal snapshot: the editor drawn offscreen, compared with the picture the
// README shows (docs/editor.png), so that an unintended visual change fails;
// and vexal's --plot pictures.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <sndfile.h>

#include "CliHarness.h"
#include "Plot.h"

namespace clitest {
namespace {

struct Image {
    cairo_surface_t* surface;
    explicit Image(const std::string& path) : surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Image() { cairo_surface_destroy(surface); }
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    uint32_t pixel(int x, int y) const {
        uint32_t v;
        std::memcpy(&v, cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface) + 4 * x, 4);
        return v & 0xFFFFFF;
    }
};

int largestChannelDifference(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

TEST(Snapshot, TheEditorLooksAsTheReadmeShowsIt) {
    TempDir dir;
    const RunResult run = runVexal({"snapshot", dir / "editor.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("524 x 462"), std::string::npos) << run.out;
    const Image rendered(dir / "editor.png");
    const Image committed(std::string(VEXAL_SOURCE_DIR) + "/docs/editor.png");
    ASSERT_TRUE(rendered.ok());
    ASSERT_TRUE(committed.ok());
    ASSERT_EQ(rendered.width(), 524);
    ASSERT_EQ(rendered.height(), 462);
    ASSERT_EQ(committed.width(), 524);
    ASSERT_EQ(committed.height(), 462);
    // Text antialiasing may differ by a few levels between font builds; a
    // changed control, meter or colour changes far more than that.
    int differing = 0;
    for (int y = 0; y < 462; ++y)
        for (int x = 0; x < 524; ++x)
            if (largestChannelDifference(rendered.pixel(x, y), committed.pixel(x, y)) > 48) ++differing;
    EXPECT_LE(differing, 524 * 462 / 500) << "regenerate with: build/vexal snapshot docs/editor.png";
}

// A preset whose name is in a Windows code page: the bar is drawn, and the
// name shows as the text it spells.
TEST(Snapshot, APresetNamedInWindows1252ShowsTheBarAndTheName) {
    TempDir dir;
    ASSERT_EQ(runVexal({"params", "--save-preset", dir / "default.zvk"}).status, 0);
    std::string bytes;
    {
        std::ifstream in(dir / "default.zvk", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t at = bytes.find("Default");
    ASSERT_NE(at, std::string::npos);
    auto named = [&](const std::string& name, const std::string& file) {
        std::string patched = bytes;
        patched.replace(at, 7, (name + std::string(7, '\0')).substr(0, 7));
        std::ofstream(dir / file, std::ios::binary) << patched;
        const RunResult run = runVexal({"snapshot", dir / (file + ".png"), "--preset", dir / file});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("\"Caf\xc3\xa9\""), std::string::npos) << run.out;  // as it spells
        return Image(dir / (file + ".png"));
    };
    const Image latin1 = named("Caf\xe9", "latin1.zvk");
    const Image utf8 = named("Caf\xc3\xa9", "utf8.zvk");
    ASSERT_TRUE(latin1.ok());
    ASSERT_TRUE(utf8.ok());
    int ink = 0;
    for (int y = 447; y < 461; ++y)
        for (int x = 194; x < 318; ++x) {
            EXPECT_EQ(latin1.pixel(x, y), utf8.pixel(x, y)) << x << ", " << y;
            ink += (latin1.pixel(x, y) & 0xFF) < 0x80;
        }
    EXPECT_GT(ink, 20) << "no name in the field";
    // The rest of the bar is there too: the rocker's and buttons' pixels match.
    for (int y = 447; y < 462; ++y)
        for (int x = 0; x < 524; ++x)
            if (x < 194 || x >= 318) ASSERT_EQ(latin1.pixel(x, y), utf8.pixel(x, y)) << x << ", " << y;
}

TEST(Snapshot, RefusesWhatItCannotDo) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } const cases[] = {
        {{"snapshot"}, "no output file"},
        {{"snapshot", dir / "a.png", "--at", "-1"}, "--at"},
        {{"snapshot", dir / "a.png", "--signal", dir / "missing.wav"}, "missing.wav"},
        {{"snapshot", dir / "no-such-folder/a.png"}, "a.png: picture not saved: cannot be written: no such file or directory"},
    };
    for (const Case& c : cases) {
        const RunResult run = runVexal(c.args);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
}

// --plot: each curve where the data puts it. A 1 kHz tone 4 s at -12 dBFS,
// then 4 s at -24 dBFS, through CD Master 2 under a -1 dBTP ceiling.
bool curveNear(const Image& image, double x, double y, const vexal::cli::plot::Colour& c) {
    const uint32_t want = (static_cast<uint32_t>(std::lround(c.r * 255)) << 16) |
                          (static_cast<uint32_t>(std::lround(c.g * 255)) << 8) | static_cast<uint32_t>(std::lround(c.b * 255));
    for (int dy = -3; dy <= 3; ++dy)
        if (largestChannelDifference(image.pixel(static_cast<int>(x), static_cast<int>(std::lround(y)) + dy), want) < 40)
            return true;
    return false;
}

TEST(Snapshot, ThePlotDrawsEachCurveWhereTheDataSays) {
    namespace plot = vexal::cli::plot;
    TempDir dir;
    Audio tone;
    tone.sampleRate = 48000;
    tone.channels = 2;
    tone.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    for (int i = 0; i < 8 * 48000; ++i) {
        const double level = i < 4 * 48000 ? 0.25 : 0.25 / 3.98107;  // -12.04, then -24.04 dBFS
        const double v = level * std::sin(2 * M_PI * 1000.0 * i / 48000);
        tone.samples.insert(tone.samples.end(), {v, v});
    }
    writeAudio(dir / "tone.wav", tone);
    const RunResult run = runVexal({"process", dir / "tone.wav", "-o", dir / "out.wav", "--program", "CD Master 2",
                                    "--ceiling-dbtp", "-1", "--plot", dir / "plot.png", "--quiet", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Image image(dir / "plot.png");
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image.width(), 1600);
    EXPECT_EQ(image.height(), 900);
    auto x = [](double seconds) { return plot::x(seconds, 8.0); };
    // The input's true peak over its sample peak, at both levels.
    EXPECT_TRUE(curveNear(image, x(2.0), plot::levelY(-12.04), plot::kInputTruePeak));
    EXPECT_TRUE(curveNear(image, x(6.0), plot::levelY(-24.04), plot::kInputTruePeak));
    EXPECT_FALSE(curveNear(image, x(6.0), plot::levelY(-12.04), plot::kInputTruePeak));
    // The output's true peak: steady through the first half, at what the
    // report says (before 3 s, where no short-term loudness lies over it).
    EXPECT_TRUE(curveNear(image, x(2.0), plot::levelY(jsonNumber(run.out, "out", "truePeakDbtp")), plot::kOutputTruePeak));
    EXPECT_FALSE(curveNear(image, x(6.0), plot::levelY(jsonNumber(run.out, "out", "truePeakDbtp")), plot::kOutputTruePeak));
    // Ceiling and integrated loudness as dashed levels.
    bool ceiling = false, integrated = false;
    for (double px = plot::kLeft + 20; px < plot::kLeft + 60; ++px) {
        ceiling = ceiling || curveNear(image, px, plot::levelY(-1.0), plot::kCeiling);
        integrated = integrated ||
                     curveNear(image, px, plot::levelY(jsonNumber(run.out, "out", "integratedLufs")), plot::kShortTerm);
    }
    EXPECT_TRUE(ceiling);
    EXPECT_TRUE(integrated);
    // The gain reduction: none where the tone is quiet enough.
    EXPECT_TRUE(curveNear(image, x(7.0), plot::gainY(0.0), plot::kGain));
}

}  // namespace
}  // namespace clitest
