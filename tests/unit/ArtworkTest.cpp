// The embedded artwork: every bitmap decodes with its size and frame layout,
// the fonts hold their glyphs where the printers look for them, and the
// meters' colour zones and scale marks sit on the rows the meters draw.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "resources/ArtworkCatalogue.h"
#include "resources/MeterScale.h"
#include "resources/Resources.h"

namespace vexal {
namespace {

using namespace artwork;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A decoded bitmap.
class Decoded {
public:
    explicit Decoded(const resources::Resource& r) {
        Reader reader{r.png, r.size};
        surface_.reset(cairo_image_surface_create_from_png_stream(&Reader::read, &reader));
    }
    bool ok() const { return cairo_surface_status(surface_.get()) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface_.get()); }
    int height() const { return cairo_image_surface_get_height(surface_.get()); }
    cairo_format_t format() const { return cairo_image_surface_get_format(surface_.get()); }
    uint32_t raw(int x, int y) const {
        const unsigned char* row =
            cairo_image_surface_get_data(surface_.get()) + y * cairo_image_surface_get_stride(surface_.get());
        return reinterpret_cast<const uint32_t*>(row)[x];
    }
    Rgb at(int x, int y) const {
        const uint32_t p = raw(x, y);
        return {int(p >> 16 & 0xff), int(p >> 8 & 0xff), int(p & 0xff)};
    }
    bool sameRows(int a, int b, int count) const {
        for (int y = 0; y < count; ++y)
            for (int x = 0; x < width(); ++x)
                if (raw(x, a + y) != raw(x, b + y)) return false;
        return true;
    }

private:
    struct Reader {
        const uint8_t* data;
        size_t left;
        static cairo_status_t read(void* closure, unsigned char* out, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (length > r->left) return CAIRO_STATUS_READ_ERROR;
            std::memcpy(out, r->data, length);
            r->data += length;
            r->left -= length;
            return CAIRO_STATUS_SUCCESS;
        }
    };
    struct Destroy {
        void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
    };
    std::unique_ptr<cairo_surface_t, Destroy> surface_;
};

Decoded decode(int id) {
    const resources::Resource* r = resources::find(id);
    EXPECT_NE(r, nullptr) << id;
    return Decoded(*r);
}

// Knob strips (101 frames): consecutive frames differ. Fonts (192 glyphs of 8
// rows) repeat cells. Every other bitmap: each frame differs from every other.
TEST(Artwork, EveryBitmapDecodesWithItsSizeAndFrames) {
    size_t count = 0;
    const resources::Resource* all = resources::all(count);
    ASSERT_EQ(count, kBitmapCount);
    for (size_t i = 0; i < count; ++i) {
        const BitmapInfo& b = kBitmaps[i];
        SCOPED_TRACE(b.name);
        ASSERT_EQ(all[i].id, b.id);  // increasing id order
        EXPECT_EQ(resources::find(b.id), &all[i]);
        EXPECT_EQ(all[i].width, b.width);
        EXPECT_EQ(all[i].height, b.height);
        const Decoded image(all[i]);
        ASSERT_TRUE(image.ok());
        ASSERT_EQ(image.width(), b.width);
        ASSERT_EQ(image.height(), b.height);
        EXPECT_EQ(image.format(), CAIRO_FORMAT_RGB24);  // opaque
        const int h = b.frameHeight();
        if (b.frames <= 7) {
            for (int f = 0; f < b.frames; ++f)
                for (int g = f + 1; g < b.frames; ++g) EXPECT_FALSE(image.sameRows(f * h, g * h, h)) << f << " " << g;
        } else if (b.frames == 101) {
            for (int f = 1; f < b.frames; ++f) EXPECT_FALSE(image.sameRows((f - 1) * h, f * h, h)) << f;
        } else {
            EXPECT_EQ(b.frames, 192);
        }
    }
}

TEST(Artwork, OnlyTheListedNumbersExist) {
    for (int id : {0, 127, 157, 168, 988, 996}) EXPECT_EQ(resources::find(id), nullptr) << id;
}

// Font glyphs: character c of the light set at rows 8 (c - 32), of the LCD
// set at rows 8 (c + 64); two colours each, the LCD set the light set inverted.
constexpr Rgb kLightCell{213, 236, 246};

struct Font {
    int id;
    Rgb ink;  // the light set's ink, the LCD set's cell
};
constexpr Font kFonts[] = {{idOf("font"), {79, 79, 79}},
    {idOf("fontRed"), {229, 53, 5}}};

// Rows (bit y set) that carry ink, for characters whose shape fixes them.
struct InkRows {
    char c;
    unsigned rows;
};
constexpr InkRows kInkRows[] = {
    {' ', 0},          {'-', 1u << 3}, {'_', 1u << 6}, {'.', 3u << 5}, {'=', 1u << 2 | 1u << 4},
    {'A', 0x7f},       {'0', 0x7f},    {'|', 0x7f},    {'g', 0xfc},    {'o', 0x7c},
};

unsigned inkRows(const Decoded& font, int glyph, Rgb ink) {
    unsigned rows = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 5; ++x)
            if (font.at(x, glyph * 8 + y) == ink) rows |= 1u << y;
    return rows;
}

TEST(Artwork, FontGlyphsSitOnTheirRowsInTwoColours) {
    for (const Font& f : kFonts) {
        SCOPED_TRACE(f.id);
        const Decoded font = decode(f.id);
        for (int g = 0; g < 96; ++g)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 5; ++x) {
                    const Rgb light = font.at(x, g * 8 + y);
                    const Rgb lcd = font.at(x, (96 + g) * 8 + y);
                    ASSERT_TRUE(light == kLightCell || light == f.ink) << g << " " << x << " " << y;
                    // The LCD set is the light set with ink and cell swapped.
                    ASSERT_EQ(lcd, light == kLightCell ? f.ink : kLightCell) << g << " " << x << " " << y;
                }
        for (const InkRows& c : kInkRows) {
            EXPECT_EQ(inkRows(font, c.c - 32, f.ink), c.rows) << c.c;
            EXPECT_EQ(inkRows(font, c.c + 64, kLightCell), c.rows) << c.c;
        }
        // The space is all cell colour in both sets.
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(font.at(x, y), kLightCell);
                EXPECT_EQ(font.at(x, 96 * 8 + y), f.ink);
            }
    }
}

// Every character has a shape of its own.
TEST(Artwork, FontGlyphsAreDistinct) {
    const Decoded font = decode(idOf("font"));
    for (int a = 0; a < 96; ++a)
        for (int b = a + 1; b < 96; ++b) EXPECT_FALSE(font.sameRows(a * 8, b * 8, 8)) << a + 32 << " " << b + 32;
}

enum class Zone { green, amber, red, dark };

Zone zoneOf(Rgb c) {
    if (std::max({c.r, c.g, c.b}) < 90) return Zone::dark;
    if (c.g > c.r) return Zone::green;
    return c.r > 2 * c.g ? Zone::red : Zone::amber;
}

struct ZoneRow {
    int id, row;
    Zone zone;
};
// The K-system zero on row 144 of the lit K-mode bar (+4 dB from row 120),
// 0 dBFS on row 120 of the lit peak-mode bar (-6 dBFS from row 156); the
// gain-reduction bar green at the top and red at 24 dB.
constexpr ZoneRow kZoneRows[] = {
    {idOf("levelBarLitK"), 0, Zone::red},
    {idOf("levelBarLitK"), 120, Zone::red},
    {idOf("levelBarLitK"), 121, Zone::amber},
    {idOf("levelBarLitK"), 144, Zone::amber},
    {idOf("levelBarLitK"), 145, Zone::green},
    {idOf("levelBarLitK"), 430, Zone::green},
    {idOf("levelBarLitPeak"), 120, Zone::red},
    {idOf("levelBarLitPeak"), 121, Zone::amber},
    {idOf("levelBarLitPeak"), 156, Zone::amber},
    {idOf("levelBarLitPeak"), 157, Zone::green},
    {idOf("levelBarLitPeak"), 430, Zone::green},
    {idOf("levelBarUnlitK"), 120, Zone::dark},
    {idOf("levelBarUnlitK"), 144, Zone::dark},
    {idOf("levelBarUnlitPeak"), 120, Zone::dark},
    {idOf("levelBarUnlitPeak"), 300, Zone::dark},
    {idOf("gainBar"), 0, Zone::green},
    {idOf("gainBar"), 72, Zone::amber},
    {idOf("gainBar"), 144, Zone::red},
};

TEST(Artwork, MeterBarZonesSitOnTheirRows) {
    for (const ZoneRow& z : kZoneRows) {
        const Decoded bar = decode(z.id);
        EXPECT_EQ(zoneOf(bar.at(7, z.row)), z.zone) << z.id << " row " << z.row;
    }
}

// Where the level meter puts the top of a bar showing a level (mode offset
// O, base row B): the mark of that level and the image row shown there.
struct LevelMark {
    LevelScale scale;
    int level;       // as written on the scale
    int dbfs;        // the signal level it stands for
    int offset;      // O
    int baseRow;     // B
    int windowRow;   // where the mark is
    int barRow;      // image row of the lit bar at that window row
};
constexpr LevelMark kLevelMarks[] = {
    {LevelScale::peakK12, 12, 12, 48, kPeakBaseRow, 42, 48},
    {LevelScale::peakK12, 0, 0, 48, kPeakBaseRow, 114, kFullScaleRow},
    {LevelScale::peakK12, -48, -48, 48, kPeakBaseRow, 402, 408},
    {LevelScale::peakK12, 0, -12, 60, kK12BaseRow, 114, kKZeroRow},
    {LevelScale::k14, 14, 0, 60, kK14BaseRow, 42, 60},
    {LevelScale::k14, 0, -14, 60, kK14BaseRow, 126, kKZeroRow},
    {LevelScale::k14, -46, -60, 60, kK14BaseRow, 402, 420},
    {LevelScale::k20, 20, 0, 60, kK20BaseRow, 42, 24},
    {LevelScale::k20, 0, -20, 60, kK20BaseRow, 162, kKZeroRow},
    {LevelScale::k20, -40, -60, 60, kK20BaseRow, 402, 384},
};

TEST(Artwork, LevelMarksFallWhereTheMeterDrawsTheLevel) {
    for (const LevelMark& m : kLevelMarks) {
        SCOPED_TRACE(m.level);
        const int a = int(std::trunc((m.dbfs + m.offset) * 6 + 0.5));
        EXPECT_EQ(kBarBottom - a, m.windowRow);
        EXPECT_EQ(levelWindowRow(m.scale, m.level), m.windowRow);
        EXPECT_EQ(barImageRow(m.windowRow, m.baseRow), m.barRow);
        EXPECT_EQ(m.baseRow - a, m.barRow);  // the row the meter takes from its image
    }
}

bool isMark(const Decoded& image, int x, int row) {
    const Rgb ground = image.at(x, row - 2);
    return image.at(x, row) != ground && image.at(x, row - 1) == ground && image.at(x, row + 1) == ground;
}

TEST(Artwork, ScaleImagesCarryTheirMarks) {
    const struct {
        int id;
        LevelScale scale;
    } scales[] = {{idOf("inputScaleK20"), LevelScale::k20},
    {idOf("inputScaleK14"), LevelScale::k14},
    {idOf("inputScalePeak"), LevelScale::peakK12},
                  {idOf("outputScaleK20"), LevelScale::k20},
    {idOf("outputScaleK14"), LevelScale::k14},
    {idOf("outputScalePeak"), LevelScale::peakK12}};
    for (const auto& s : scales) {
        const Decoded image = decode(s.id);
        for (int level : labelledLevels(s.scale)) {
            const int row = levelImageRow(s.scale, level);
            EXPECT_TRUE(isMark(image, 2, row) && isMark(image, 24, row)) << s.id << " level " << level;
        }
    }
    // Gain reduction: the deepest lit row of a whole-dB reduction.
    const Decoded gain = decode(idOf("gainScale"));
    for (bool zoom : {false, true}) {
        const int k = zoom ? 12 : 6;
        for (int depth : zoom ? std::vector<int>(std::begin(kGainZoomLabels), std::end(kGainZoomLabels))
                              : std::vector<int>(std::begin(kGainLabels), std::end(kGainLabels))) {
            const int d = 1 - int(std::trunc(-depth * k - 0.5));
            EXPECT_EQ(gainWindowRow(depth, zoom), kBarTop + d - 1);
            EXPECT_TRUE(isMark(gain, 18, gainImageRow(depth, zoom))) << zoom << " depth " << depth;
        }
    }
    EXPECT_EQ(gainImageRow(24, false), 147);
    EXPECT_EQ(gainImageRow(12, true), 153 + 147);
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

struct Box {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;  // right and bottom exclusive
    bool empty() const { return right < 0; }
    double centreX() const { return (left + right) / 2.0; }
};

bool differs(Rgb a, Rgb b, int by) {
    return std::abs(a.r - b.r) > by || std::abs(a.g - b.g) > by || std::abs(a.b - b.b) > by;
}

// Where an image differs from the ground colour within an area.
Box inkIn(const Decoded& image, int left, int top, int right, int bottom, Rgb ground) {
    Box box;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (differs(image.at(x, y), ground, 30)) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

// The first row of a control's first frame that differs from the background beneath it.
int firstDrawnRow(const Decoded& strip, const Decoded& background, int left, int top) {
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            if (differs(strip.at(x, y), background.at(left + x, top + y), 30)) return y;
    return strip.height();
}

// The name drawn over a column: the ink around it, up to 4 clear columns on either side.
Box nameAround(const Decoded& image, int column, int top, int bottom, Rgb ground) {
    auto inkAt = [&](int x) { return !inkIn(image, x, top, x + 1, bottom, ground).empty(); };
    int left = column, right = column;
    for (int x = column; x >= column - 60 && left - x < 4; --x)
        if (inkAt(x)) left = x;
    for (int x = column; x <= column + 60 && x - right < 4; ++x)
        if (inkAt(x)) right = x;
    return inkIn(image, left, top, right + 1, bottom, ground);
}

TEST(Artwork, ControlNamesAreCentredOnTheirControlsWithRoomAround) {
    const Decoded background = decode(idOf("background"));
    ASSERT_TRUE(background.ok());
    const Rgb ground = background.at(8, 60);
    struct Name {
        const char* name;
        int controlLeft, controlRight;  // the control it names
        int top, bottom;                // the rows its letters lie in
    } const names[] = {
        {"ORDER", 44, 77, 24, 40},         {"OVERSAMPLE", 81, 114, 24, 40}, {"QUANTIZE", 412, 445, 24, 40},
        {"AUTOBLACK", 449, 482, 24, 40},   {"BITS", 412, 445, 60, 78},      {"NOISE SHAPE", 449, 482, 60, 78},
        {"DRIVE", 52, 108, 337, 349},      {"OUTPUT", 417, 475, 337, 349},  {"POWER", 245, 280, 390, 400},
    };
    for (const Name& n : names) {
        SCOPED_TRACE(n.name);
        const int centre = (n.controlLeft + n.controlRight) / 2;
        const Box ink = nameAround(background, centre, n.top, n.bottom, ground);
        ASSERT_FALSE(ink.empty());
        EXPECT_NEAR(ink.centreX(), (n.controlLeft + n.controlRight) / 2.0, 1.0);
        // Clear of everything else on its rows (its neighbour's name included).
        EXPECT_TRUE(inkIn(background, ink.left - 4, n.top, ink.left, n.bottom, ground).empty());
        EXPECT_TRUE(inkIn(background, ink.right, n.top, ink.right + 4, n.bottom, ground).empty());
    }

    // Above and below: the value field's edge (row 336), the name, the dial's ring.
    const Decoded driveKnob = decode(idOf("driveKnob")), outputKnob = decode(idOf("outputKnob")), power = decode(idOf("power"));
    struct Room {
        const char* name;
        int left, right;   // columns of the name
        int above;         // the last row of what lies above
        int below;         // the first drawn row of the control beneath
    } const rooms[] = {
        {"DRIVE", 52, 108, 336, 349 + firstDrawnRow(driveKnob, background, 52, 349)},
        {"OUTPUT", 417, 475, 336, 349 + firstDrawnRow(outputKnob, background, 417, 349)},
        {"POWER", 245, 280, inkIn(background, 226, 370, 302, 391, ground).bottom - 1,
         400 + firstDrawnRow(power, background, 245, 400)},
    };
    for (const Room& r : rooms) {
        SCOPED_TRACE(r.name);
        const Box ink = inkIn(background, r.left, r.above + 1, r.right, r.below, ground);
        ASSERT_FALSE(ink.empty());
        EXPECT_GE(ink.top - r.above - 1, 3) << "too close to what lies above";
        EXPECT_GE(r.below - ink.bottom, 4) << "too close to the control";
    }
}

}  // namespace
}  // namespace vexal
