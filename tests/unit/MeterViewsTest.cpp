// The meters, read-outs, text printers and info panel drawn offscreen on a
// frame. Every synthetic image paints each of its rows in a colour that
// encodes the image (red) and the row (green, blue), so a window pixel tells
// exactly which image row landed there.
#include <gtest/gtest.h>

#include <cairo.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "editor/CInfo.h"
#include "editor/CLevelMeter.h"
#include "editor/CMeterGR.h"
#include "editor/CMeterLCD.h"
#include "editor/CTextPrinter.h"
#include "gui/CFrame.h"

using namespace vexal;

namespace {

enum ImageId : int {
    kBg = 1, kLitPeak, kUnlitPeak, kLitK, kUnlitK, kScale12, kScale14, kScale20,
    kFont, kRedFont, kGrBar, kGrScale, kPanelBg
};

constexpr uint32_t code(int id, int row) { return (static_cast<uint32_t>(id) << 16) | static_cast<uint32_t>(row); }
constexpr uint32_t rgb(const CColor& c) { return (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | c.blue; }
constexpr uint32_t kLight = rgb(CTextPrinter::kLightCell);
constexpr uint32_t kDark = rgb(CTextPrinter::kDarkCell);
constexpr uint32_t kRed = rgb(CTextPrinter::kRedCell);
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

CBitmap* makeImage(int id, int w, int h) {
    auto* b = new CBitmap(w, h);
    cairo_surface_t* s = b->getSurface();
    cairo_surface_flush(s);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s));
        for (int x = 0; x < w; ++x) row[x] = code(id, y);
    }
    cairo_surface_mark_dirty(s);
    return b;
}

float linear(float db) { return powf(10.0f, db / 20.0f); }

// The gain whose single-precision dB is nearest the target from below
// (at or under it) or from above (over it); −0.1 dB itself is not the dB of
// any single-precision gain.
float gainAtMost(float db) {
    float g = linear(db);
    while (20.0f * log10f(g) > db) g = nextafterf(g, 0.0f);
    while (20.0f * log10f(nextafterf(g, 2.0f)) <= db) g = nextafterf(g, 2.0f);
    return g;
}
float gainAbove(float db) { return nextafterf(gainAtMost(db), 2.0f); }

struct Listener : IControlListener {
    std::vector<int32_t> tags;
    void valueChanged(CControl* c) override { tags.push_back(c->getTag()); }
};

class Views : public ::testing::Test {
protected:
    void SetUp() override {
        frame = new CFrame(CRect(0, 0, 524, 462), nullptr);
        CBitmap* bg = makeImage(kBg, 524, 462);
        frame->setBackground(bg);
        images = {bg,
                  makeImage(kLitPeak, 15, 432),  makeImage(kUnlitPeak, 15, 432), makeImage(kLitK, 15, 432),
                  makeImage(kUnlitK, 15, 432),   makeImage(kScale12, 27, 367),   makeImage(kScale14, 27, 367),
                  makeImage(kScale20, 27, 367),  makeImage(kFont, 5, 1536),      makeImage(kRedFont, 5, 1536),
                  makeImage(kGrBar, 15, 203),    makeImage(kGrScale, 58, 306),   makeImage(kPanelBg, 77, 31)};
    }
    void TearDown() override {
        frame->forget();
        for (CBitmap* b : images) b->forget();
    }
    CBitmap* image(int id) const { return images[static_cast<size_t>(id - 1)]; }
    int imageHeight(int id) const { return static_cast<int>(image(id)->getHeight()); }
    LevelMeterBitmaps levelBitmaps() const {
        return {image(kLitPeak), image(kUnlitPeak), image(kLitK),   image(kUnlitK),
                image(kScale12), image(kScale14),   image(kScale20)};
    }
    template <class V>
    V* add(V* view) {
        frame->addView(view);
        return view;
    }
    void redraw() {
        frame->redrawAll();
        frame->drawDirty();
    }
    uint32_t px(int x, int y) const {
        cairo_surface_t* s = frame->getBackBuffer();
        const uint8_t* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        return v & 0xFFFFFF;
    }
    CMouseEventResult click(CCoord x, CCoord y, uint32_t buttons = kLButton) {
        CPoint p{x, y};
        return frame->onMouseDown(p, buttons);
    }
    // The text of n glyphs printed at the baseline point (x, y), read from the
    // glyph rows that landed there ('?' where no glyph of that font is).
    std::string text(int x, int y, int n, bool lcdSet, int font = kFont) const {
        std::string s;
        for (int i = 0; i < n; ++i) {
            const int gx = x + 6 * i;
            const uint32_t top = px(gx, y - 7);
            const int row = static_cast<int>(top & 0xFFFF);
            const bool whole = static_cast<int>(top >> 16) == font && row % 8 == 0 &&
                               px(gx + 4, y) == code(font, row + 7);
            const int ch = row / 8 - (lcdSet ? 96 : 0) + 32;
            s += whole && ch >= 32 && ch < 128 ? static_cast<char>(ch) : '?';
        }
        return s;
    }
    // The pixels in a band around the view are the window background.
    void expectGuardBand(const CRect& r, int band = 3) const {
        for (int y = int(r.top) - band; y < int(r.bottom) + band; ++y)
            for (int x = int(r.left) - band; x < int(r.right) + band; ++x) {
                if (r.pointInside(CPoint{CCoord(x), CCoord(y)})) continue;
                ASSERT_EQ(px(x, y), code(kBg, y)) << "(" << x << ", " << y << ")";
            }
    }
    // Inside the view every pixel is the background, a cell colour, or a
    // row that exists in one of the images.
    void expectKnownPixels(const CRect& r) const {
        for (int y = int(r.top); y < int(r.bottom); ++y)
            for (int x = int(r.left); x < int(r.right); ++x) {
                const uint32_t p = px(x, y);
                if (p == code(kBg, y) || p == kLight || p == kDark || p == kRed) continue;
                const int id = static_cast<int>(p >> 16);
                ASSERT_TRUE(id > kBg && id <= kPanelBg && id != kPanelBg) << std::hex << p << " at " << x << "," << y;
                ASSERT_LT(static_cast<int>(p & 0xFFFF), imageHeight(id)) << x << "," << y;
            }
    }

    CFrame* frame = nullptr;
    std::vector<CBitmap*> images;
    Listener listener;
};

// --- level meters --------------------------------------------------------------------

const CRect kInRect(147, 38, 207, 408);
const CRect kOutRect(319, 38, 379, 406);

struct Geometry {
    const char* name;
    bool input;
    CRect rect;
    int leftX, rightX, scaleX;
};
const Geometry kGeometries[] = {{"in", true, kInRect, 150, 191, 164}, {"out", false, kOutRect, 320, 363, 335}};

class LevelMeters : public Views {
protected:
    CLevelMeter* makeMeter(const Geometry& g) {
        if (g.input) return add(new CMeterIn(g.rect, &listener, levelBitmaps()));
        return add(new CMeterOut(g.rect, &listener, levelBitmaps()));
    }
    // One bar column by column: image row = window row + B − 402 throughout;
    // lit below 402 − A and on the marker rows, unlit above.
    void expectBar(int x, int mode, int a, int e) const {
        const bool k = mode != 0;
        const int base = mode == 0 ? 408 : mode == 1 ? 432 : mode == 2 ? 420 : 384;
        for (int y = 42; y < 402; ++y) {
            const bool lit = y >= 402 - a || (e > 2 && y >= 402 - e && y < 405 - e);
            const int id = lit ? (k ? kLitK : kLitPeak) : (k ? kUnlitK : kUnlitPeak);
            for (int col : {x, x + 14}) ASSERT_EQ(px(col, y), code(id, y + base - 402)) << "x " << col << " y " << y;
        }
        EXPECT_EQ(px(x, 41), code(kBg, 41));
        EXPECT_EQ(px(x, 402), code(kBg, 402));
    }
};

struct BarCase {
    const char* what;
    int32_t mode;
    float peakDb, rmsDb;  // −200 is silence
    int a, e;             // bar height, marker position (−1 when none is drawn)
};

TEST_F(LevelMeters, BarHeightsImageRowsAndMarkers) {
    const BarCase cases[] = {
        {"full-scale peak, peak mode", 0, 0, -200, 288, -1},
        {"silence, peak mode", 0, -200, -200, 0, -1},
        {"peak above +20 stored as +20", 0, 40, -200, 360, -1},
        {"K-12 RMS at its zero, held peak -3", 1, -3, -12, 288, 342},
        {"K-14 RMS at its zero (image row 144)", 2, -200, -14, 276, 0},
        {"K-20 RMS at its zero, held peak at full scale", 3, 0, -20, 240, 360},
        {"K marker at -59.7 dB not drawn", 1, -59.7f, -200, 0, 2},
        {"K marker at -59.5 dB on rows 399-401", 2, -59.5f, -200, 0, 3},
        {"RMS above the scale", 3, -200, 10, 360, 0},
    };
    for (const Geometry& g : kGeometries)
        for (const BarCase& c : cases) {
            SCOPED_TRACE(std::string(g.name) + ": " + c.what);
            CLevelMeter* m = makeMeter(g);
            m->setMode(c.mode);
            m->setLevels(1000, linear(c.peakDb), linear(c.peakDb), linear(c.rmsDb), linear(c.rmsDb));
            redraw();
            expectBar(g.leftX, c.mode, c.a, c.e);
            expectBar(g.rightX, c.mode, c.a, c.e);
            const int scale = c.mode < 2 ? kScale12 : c.mode == 2 ? kScale14 : kScale20;
            for (int y = 38; y < 405; ++y) ASSERT_EQ(px(g.scaleX + 10, y), code(scale, y - 38)) << y;
            frame->removeAll();
        }
}

TEST_F(LevelMeters, KZerosShareImageRow144) {
    for (int mode : {1, 2, 3}) {
        CLevelMeter* m = makeMeter(kGeometries[0]);
        m->setMode(mode);
        const float zero = mode == 1 ? -12.0f : mode == 2 ? -14.0f : -20.0f;
        m->setLevels(1000, 0, 0, linear(zero), linear(zero));
        redraw();
        int top = 402;
        while (top > 42 && px(150, top - 1) >> 16 == kLitK) --top;
        EXPECT_EQ(px(150, top), code(kLitK, 144)) << mode;
        frame->removeAll();
    }
}

struct BallisticsStep {
    uint32_t tick;
    float peak;  // linear, left channel; the right one stays silent
    float shownDb;
    int32_t holdMs;
    int a;
};

TEST_F(LevelMeters, PeakHoldsFiftyMillisecondsThenFalls866DbPerSecond) {
    const BallisticsStep steps[] = {
        {1000, 1.0f, 0.0f, 50, 288},       // shows at once, lit to y 114
        {1050, 0.0f, 0.0f, 0, 288},        // held for 50 ms
        {2050, 0.0f, -8.66f, 0, 236},      // then 1000 ms of fall-back
        {2100, linear(-3), -3.0f, 50, 270},  // a new peak above the falling one
    };
    CLevelMeter* m = makeMeter(kGeometries[1]);
    for (const BallisticsStep& s : steps) {
        SCOPED_TRACE(s.tick);
        m->setLevels(s.tick, s.peak, 0, 0, 0);
        redraw();
        EXPECT_NEAR(m->shownPeakDb(0), s.shownDb, 1e-5);
        EXPECT_EQ(m->holdMs(0), s.holdMs);
        EXPECT_FLOAT_EQ(m->shownPeakDb(1), -120.0f);
        expectBar(320, 0, s.a, -1);
        expectBar(363, 0, 0, -1);
    }
    // The ballistics move with every poll, drawn or not ...
    m->setLevels(3100, 0, 0, 0, 0);
    EXPECT_NEAR(m->shownPeakDb(0), -3.0f - 0.95f * 8.66f, 1e-4);
    // ... and a poll that changes nothing on screen draws nothing.
    for (uint32_t t = 3140; t < 30000; t += 40) m->setLevels(t, 0, 0, 0, 0);
    redraw();
    for (uint32_t t = 30000; t < 30400; t += 40) {
        m->setLevels(t, 0, 0, 0, 0);
        EXPECT_FALSE(m->isDirty()) << t;
    }
    m->setLevels(30400, 0.5f, 0, 0, 0);
    EXPECT_TRUE(m->isDirty());
}

TEST_F(LevelMeters, LevelsResetAndModes) {
    CLevelMeter* m = makeMeter(kGeometries[0]);
    m->setLevels(10, 0.5f, 2.0f, 0.0f, kInf);
    EXPECT_FLOAT_EQ(m->peakDb(0), 20.0f * log10f(0.5f));
    EXPECT_FLOAT_EQ(m->peakDb(1), 20.0f * log10f(2.0f));
    EXPECT_FLOAT_EQ(m->rmsDb(0), -120.0f);
    EXPECT_EQ(m->rmsDb(1), kInf);  // no upper limit on RMS
    m->setLevels(20, kNaN, -1.0f, kNaN, -kInf);  // no measurement reads as silence
    for (int ch : {0, 1}) {
        EXPECT_EQ(m->peakDb(ch), -120.0f);
        EXPECT_EQ(m->rmsDb(ch), -120.0f);
    }
    m->setMode(3);
    EXPECT_EQ(m->getMode(), 3);
    m->setDirty(false);
    m->reset();
    EXPECT_TRUE(m->isDirty());
    for (int ch : {0, 1}) {
        EXPECT_EQ(m->peakDb(ch), -122.0f);
        EXPECT_EQ(m->rmsDb(ch), -122.0f);
        EXPECT_EQ(m->shownPeakDb(ch), -122.0f);
    }
}

TEST_F(LevelMeters, PollMoreThanHalfTheTickRangeLaterDoesNotHoldForever) {
    CLevelMeter* m = makeMeter(kGeometries[0]);
    m->setLevels(1000, 1.0f, 1.0f, 0, 0);
    redraw();
    m->setLevels(1000 + 0x90000000u, 0, 0, 0, 0);  // negative as a 32-bit difference
    redraw();
    EXPECT_EQ(m->holdMs(0), 50);
    EXPECT_EQ(m->shownPeakDb(0), 0.0f);
    m->setLevels(1000 + 0x90000000u + 1050, 0, 0, 0, 0);
    redraw();
    EXPECT_NEAR(m->shownPeakDb(0), -8.66f, 1e-5);
}

TEST_F(LevelMeters, BadLevelsAndModesStayInsideTheViewAndItsImages) {
    const float bad[][4] = {{kNaN, kNaN, kNaN, kNaN}, {kInf, kInf, kInf, kInf}, {-kInf, -kInf, -kInf, -kInf},
                            {-1.0f, kNaN, kInf, -0.0f}, {3e38f, 3e38f, 3e38f, 3e38f}};
    for (const Geometry& g : kGeometries)
        for (int32_t mode : {0, 1, 2, 3, -1, 4, INT32_MIN, INT32_MAX})
            for (const auto& v : bad) {
                SCOPED_TRACE(std::string(g.name) + " mode " + std::to_string(mode));
                CLevelMeter* m = makeMeter(g);
                m->setMode(mode);
                for (uint32_t tick : {1000u, 0u, 0xFFFFFFFFu}) {
                    m->setLevels(tick, v[0], v[1], v[2], v[3]);
                    redraw();
                    expectGuardBand(g.rect);
                    expectKnownPixels(g.rect);
                    if (mode < 0 || mode > 3) {  // draws nothing at all
                        for (int y = int(g.rect.top); y < int(g.rect.bottom); ++y)
                            ASSERT_EQ(px(g.leftX, y), code(kBg, y));
                    }
                }
                frame->removeAll();
            }
}

// --- gain-reduction meter ----------------------------------------------------------------

const CRect kGrRect(233, 39, 291, 192);

class GainReductionMeter : public Views {
protected:
    CMeterGR* makeMeter() { return add(new CMeterGR(kGrRect, image(kGrBar), image(kGrScale), &listener)); }
    void expectDepth(int left, int right, bool zoom) const {
        for (int x : {234, 248, 275, 289})
            for (int y = 39; y < 192; ++y) {
                const bool bar = y >= 42 && y < 42 + (x < 260 ? left : right);
                ASSERT_EQ(px(x, y), bar ? code(kGrBar, y - 42) : code(kGrScale, y - 39 + (zoom ? 153 : 0)))
                    << x << "," << y;
            }
        for (int x : {233, 249, 274, 290})
            for (int y = 39; y < 192; ++y) ASSERT_EQ(px(x, y), code(kGrScale, y - 39 + (zoom ? 153 : 0)));
    }
};

TEST_F(GainReductionMeter, DepthForReduction) {
    struct Case {
        bool zoom;
        float db;
        bool above;  // just above db rather than at or just below it
        int depth;
    };
    const Case cases[] = {
        {false, -0.1f, false, 2},   {false, -0.1f, true, 0},    {false, -0.05f, false, 0},
        {false, -24.0f, false, 145}, {true, -12.0f, false, 145}, {true, -0.1f, false, 2},
        {false, -6.0f, false, 37},  {false, -200.0f, false, 145}, {true, 0.0f, false, 0},
        {true, -12.5f, false, 145}, {false, -23.9f, false, 144},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.db) + (c.zoom ? " zoomed" : ""));
        CMeterGR* m = makeMeter();
        m->setZoom(c.zoom ? 1.0f : 0.0f);
        const float g = c.above ? gainAbove(c.db) : gainAtMost(c.db);
        m->setLevels(1000, g, g);
        if (c.db > -30) {
            EXPECT_NEAR(m->gainDb(0), c.db, 1e-5);
        }
        redraw();
        expectDepth(c.depth, c.depth, c.zoom);
        frame->removeAll();
    }
}

TEST_F(GainReductionMeter, ReductionHoldsFiftyMillisecondsThenReturns30DbPerSecond) {
    struct Step {
        uint32_t tick;
        float db;
        float shownDb;
        int depth;
    };
    const Step steps[] = {{1000, -12, -12, 73}, {1050, 0, -12, 73}, {1250, 0, -6, 37}, {1450, 0, 0, 0}};
    CMeterGR* m = makeMeter();
    for (const Step& s : steps) {
        SCOPED_TRACE(s.tick);
        m->setLevels(s.tick, linear(s.db), 1.0f);
        redraw();
        EXPECT_NEAR(m->shownGainDb(0), s.shownDb, 1e-4);
        EXPECT_EQ(m->shownGainDb(1), 0.0f);
        expectDepth(s.depth, 0, false);
    }
}

TEST_F(GainReductionMeter, ZoomResetAndBadInput) {
    CMeterGR* m = makeMeter();
    const std::pair<float, bool> zooms[] = {{0.0f, false}, {0.49f, false}, {0.5f, true}, {1.0f, true},
                                            {kNaN, false}, {-3.0f, false}, {7.0f, true}};
    for (const auto& [v, zoomed] : zooms) {
        m->setZoom(v);
        EXPECT_EQ(m->isZoomed(), zoomed) << v;
    }
    m->setLevels(1000, 0.0f, kNaN);  // a gain of 0 shows the floor; NaN is no reading
    EXPECT_EQ(m->gainDb(0), -30.0f);
    EXPECT_EQ(m->gainDb(1), 0.0f);
    m->reset();
    EXPECT_EQ(m->gainDb(0), 0.0f);
    EXPECT_EQ(m->shownGainDb(0), 0.0f);
    for (const float g : {kNaN, kInf, -kInf, -1.0f, 0.0f, 1e-30f})
        for (uint32_t tick : {0u, 0x80000000u, 5u}) {
            m->setZoom(g);
            m->setLevels(tick, g, g);
            redraw();
            expectGuardBand(kGrRect);
            expectKnownPixels(kGrRect);
        }
}

// --- read-outs ---------------------------------------------------------------------------

const CRect kLcdRect(131, 415, 224, 426);  // l 131, b 426: baselines at 424
const CRect kLcdGrRect(217, 199, 310, 210);

class MeterReadOuts : public Views {};

TEST_F(MeterReadOuts, PeakReadOutTextsCellsAndLabels) {
    struct Case {
        int32_t mode;
        float peakL, peakR;  // dBFS
        const char* left;
        const char* right;
        const char* label;
    };
    const Case cases[] = {
        {3, -0.5f, -10.0f, "+19.5", "+10.0", "dBr"},
        {3, 0.2f, -0.5f, "+20.2", "+19.5", "dBr"},
        {2, -6.0f, 0.0f, "+8.0", "+14.0", "dBr"},  // 0 dBFS is not over
        {1, -112.5f, -50.0f, "-oo", "-38.0", "dBr"},
        {0, 100.0f, -3.0f, "+100.0", "-3.0", "dBFS"},
        {0, -99.0f, -101.0f, "-99.0", "-oo", "dBFS"},
        {7, -1.0f, 1.0f, "-1.0", "+1.0", "dBFS"},  // an unknown mode has no offset
    };
    const int l = 131, b = 426, y = 424;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.left) + " " + c.right);
        auto* lcd = add(new CMeterLCD(kLcdRect, image(kBg), image(kFont), image(kRedFont), &listener));
        lcd->setMode(c.mode);
        lcd->setLevels(linear(c.peakL), linear(c.peakR));
        redraw();
        const float peaks[2] = {c.peakL, c.peakR};
        const char* texts[2] = {c.left, c.right};
        for (int ch : {0, 1}) {
            const bool over = peaks[ch] > 0;
            const int n = static_cast<int>(std::strlen(texts[ch]));
            const int cell = ch == 0 ? l + 1 : l + 61;
            const int start = (ch == 0 ? l + 17 : l + 77) - 3 * n;
            EXPECT_EQ(text(start, y, n, true, over ? kRedFont : kFont), texts[ch]);
            EXPECT_EQ(px(cell, b - 10), over ? kRed : kDark);
            EXPECT_EQ(px(cell + 30, b - 10), over ? kRed : kDark);
            EXPECT_EQ(px(cell, b - 1), code(kBg, b - 1));
            EXPECT_EQ(px(start - 1, y), start - 1 < cell ? code(kBg, y) : (over ? kRed : kDark));
        }
        if (std::string(c.label) == "dBr") {
            EXPECT_EQ(text(l + 38, y, 3, false), "dBr");
            EXPECT_EQ(px(l + 35, y - 7), code(kFont, 0));  // the cleared label cell
        } else {
            EXPECT_EQ(text(l + 35, y, 4, false), "dBFS");
        }
        frame->removeAll();
    }
}

TEST_F(MeterReadOuts, PeakReadOutSixGlyphTextStartsLeftOfTheView) {
    auto* lcd = add(new CMeterLCD(kLcdRect, image(kBg), image(kFont), image(kRedFont), &listener));
    lcd->setLevels(linear(100.0f), 0.0f);
    redraw();
    EXPECT_EQ(text(130, 424, 6, true, kRedFont), "+100.0");  // l − 1
}

TEST_F(MeterReadOuts, PeakReadOutKeepsItsMaximumUntilReset) {
    auto* lcd = add(new CMeterLCD(kLcdRect, image(kBg), image(kFont), image(kRedFont), &listener));
    lcd->setLevels(0.5f, 0.0f);
    lcd->setLevels(0.25f, kNaN);
    lcd->setLevels(-1.0f, -kInf);
    EXPECT_FLOAT_EQ(lcd->maxPeakDb(0), 20.0f * log10f(0.5f));
    EXPECT_EQ(lcd->maxPeakDb(1), -120.0f);
    lcd->setLevels(4.0f, 1e-10f);  // no floor and no ceiling
    EXPECT_FLOAT_EQ(lcd->maxPeakDb(0), 20.0f * log10f(4.0f));
    EXPECT_EQ(lcd->maxPeakDb(1), -120.0f);
    for (int32_t mode : {0, 1, 2, 3}) {
        lcd->setLevels(linear(30), linear(30));
        lcd->reset();
        lcd->setMode(mode);
        redraw();
        EXPECT_EQ(text(131 + 17 - 9, 424, 3, true), "-oo") << mode;
        EXPECT_EQ(text(131 + 77 - 9, 424, 3, true), "-oo") << mode;
    }
}

TEST_F(MeterReadOuts, GainReductionReadOut) {
    auto* lcd = add(new CMeterLCDGR(kLcdGrRect, image(kBg), image(kFont), &listener));
    const int l = 217, b = 210, y = 208;
    struct Step {
        float gainL, gainR;
        const char* left;
        const char* right;
    };
    const Step steps[] = {
        {1.0f, 1.0f, "0.0", "0.0"},
        {linear(-6), 1.0f, "-6.0", "0.0"},
        {linear(-3), linear(-12.25f), "-6.0", "-12.2"},  // the deepest stays
        {kNaN, 0.0f, "-6.0", "-inf"},
    };
    for (const Step& s : steps) {
        lcd->setLevels(s.gainL, s.gainR);
        redraw();
        const int nl = static_cast<int>(std::strlen(s.left)), nr = static_cast<int>(std::strlen(s.right));
        EXPECT_EQ(text(l + 17 - 3 * nl, y, nl, true), s.left);
        EXPECT_EQ(text(l + 77 - 3 * nr, y, nr, true), s.right);
        EXPECT_EQ(text(l + 41, y, 2, false), "dB");
        EXPECT_EQ(px(l + 1, b - 10), kDark);
        EXPECT_EQ(px(l + 91, b - 10), kDark);
    }
    lcd->reset();
    EXPECT_EQ(lcd->maxReductionDb(0), 0.0f);
    EXPECT_EQ(lcd->maxReductionDb(1), 0.0f);
}

TEST_F(MeterReadOuts, ReadOutsWithBadInputStayInsideTheViewAndItsImages) {
    for (const float v : {kNaN, kInf, -kInf, -1.0f, 0.0f})
        for (int32_t mode : {0, 3, -1, 4, INT32_MIN, INT32_MAX}) {
            auto* lcd = add(new CMeterLCD(kLcdRect, image(kBg), image(kFont), image(kRedFont), &listener));
            auto* gr = add(new CMeterLCDGR(kLcdGrRect, image(kBg), image(kFont), &listener));
            lcd->setMode(mode);
            lcd->setLevels(v, v);
            gr->setLevels(v, v);
            redraw();
            expectGuardBand(kLcdRect);
            expectKnownPixels(kLcdRect);
            expectGuardBand(kLcdGrRect);
            expectKnownPixels(kLcdGrRect);
            frame->removeAll();
        }
}

// A left click asks the listener to reset every meter (the read-outs reset
// themselves too); any other button does nothing.
class MeterClicks : public Views {};

TEST_F(MeterClicks, LeftAsksForAResetOtherButtonsDoNothing) {
    auto* in = add(new CMeterIn(kInRect, &listener, levelBitmaps()));
    auto* out = add(new CMeterOut(kOutRect, &listener, levelBitmaps()));
    auto* gr = add(new CMeterGR(kGrRect, image(kGrBar), image(kGrScale), &listener));
    auto* lcd = add(new CMeterLCD(kLcdRect, image(kBg), image(kFont), image(kRedFont), &listener));
    auto* lcdGr = add(new CMeterLCDGR(kLcdGrRect, image(kBg), image(kFont), &listener));
    in->setLevels(1, 1, 1, 1, 1);
    out->setLevels(1, 1, 1, 1, 1);
    gr->setLevels(1, 0.5f, 0.5f);
    lcd->setLevels(0.5f, 0.5f);
    lcdGr->setLevels(0.5f, 0.5f);
    redraw();
    const CPoint points[] = {{160, 100}, {340, 100}, {260, 100}, {150, 420}, {240, 205}};
    for (const CPoint& p : points)
        for (uint32_t buttons : {kRButton, kMButton, kRButton | kShift}) {
            EXPECT_EQ(click(p.x, p.y, buttons), kMouseEventNotHandled);
            for (int i = 0; i < frame->getNbViews(); ++i) EXPECT_FALSE(frame->getView(i)->isDirty());
        }
    EXPECT_TRUE(listener.tags.empty());
    EXPECT_FLOAT_EQ(lcd->maxPeakDb(0), 20.0f * log10f(0.5f));
    EXPECT_FLOAT_EQ(lcdGr->maxReductionDb(0), 20.0f * log10f(0.5f));
    for (const CPoint& p : points)
        EXPECT_EQ(click(p.x, p.y), kMouseDownEventHandledButDontNeedMovedOrUpEvents) << p.x << "," << p.y;
    EXPECT_EQ(listener.tags, std::vector<int32_t>(5, 27));
    EXPECT_EQ(lcd->maxPeakDb(0), -120.0f);
    EXPECT_EQ(lcdGr->maxReductionDb(0), 0.0f);
    for (int i = 0; i < frame->getNbViews(); ++i) EXPECT_TRUE(frame->getView(i)->isDirty());
}

// --- text printers ---------------------------------------------------------------------------

struct PrintCase {
    const char* text;
    bool vertical, lcdSet;
    int alternate;  // −1: the one-colour printer
    std::vector<int> glyphs;
    uint32_t cell;
    int font;
};

class TextPrinter : public Views {};

TEST_F(TextPrinter, CellsGlyphRowsAndColours) {
    const PrintCase cases[] = {
        {"A", false, false, -1, {33}, kLight, kFont},
        {"Az~", false, true, -1, {129, 186, 190}, kDark, kFont},
        {"\x7f ", false, false, -1, {95, 0}, kLight, kFont},
        {"\x7f", false, true, -1, {191}, kDark, kFont},
        {"\xc1\x01", false, false, -1, {33, 0}, kLight, kFont},  // high bit dropped; control → space
        {"\x01", false, true, -1, {65}, kDark, kFont},
        {"AB", true, false, -1, {33, 34}, kLight, kFont},
        {"9", false, true, 1, {121}, kRed, kRedFont},
        {"9", false, false, 1, {25}, kLight, kRedFont},
        {"9", false, true, 0, {121}, kDark, kFont},
    };
    redraw();
    CDrawContext* context = frame->getDrawContext();
    CTextPrinter plain(image(kFont));
    CTextPrinter2Color twoColour(image(kFont), image(kRedFont));
    int y = 20;
    for (const PrintCase& c : cases) {
        SCOPED_TRACE(c.text);
        const CColor fill{1, 2, 3, 255}, stroke{4, 5, 6, 255};
        context->setFillColor(fill);
        context->setFrameColor(stroke);
        const int x = 100;
        if (c.alternate < 0)
            plain.print(context, CPoint{CCoord(x), CCoord(y)}, c.text, c.vertical, c.lcdSet);
        else
            twoColour.print(context, CPoint{CCoord(x), CCoord(y)}, c.text, c.vertical, c.lcdSet, c.alternate != 0);
        EXPECT_EQ(context->getFillColor(), fill);
        EXPECT_EQ(context->getFrameColor(), stroke);
        cairo_surface_flush(frame->getBackBuffer());
        for (size_t i = 0; i < c.glyphs.size(); ++i) {
            const int gx = c.vertical ? x : x + 6 * int(i);
            const int gy = c.vertical ? y + 8 * int(i) : y;
            for (int r = 0; r < 8; ++r) {
                for (int col = 0; col < 5; ++col)
                    ASSERT_EQ(px(gx + col, gy - 7 + r), code(c.font, 8 * c.glyphs[i] + r)) << i << " " << r;
                ASSERT_EQ(px(gx + 5, gy - 7 + r), c.cell);
            }
        }
        const int n = int(c.glyphs.size());
        const int lastX = c.vertical ? x : x + 6 * (n - 1);
        const int lastY = c.vertical ? y + 8 * (n - 1) : y;
        EXPECT_EQ(px(x, y - 8), code(kBg, y - 8));
        EXPECT_EQ(px(x - 1, y), code(kBg, y));
        EXPECT_EQ(px(lastX + 6, lastY), code(kBg, lastY));
        EXPECT_EQ(px(lastX, lastY + 1), code(kBg, lastY + 1));
        y += 30;
    }
}

TEST_F(TextPrinter, PrintersKeepTheirFontsAlive) {
    CBitmap* font = makeImage(kFont, 5, 1536);
    CBitmap* red = makeImage(kRedFont, 5, 1536);
    {
        CTextPrinter2Color printer(font, red);
        EXPECT_EQ(font->getNbReference(), 2);
        EXPECT_EQ(red->getNbReference(), 2);
    }
    EXPECT_EQ(font->getNbReference(), 1);
    EXPECT_EQ(red->getNbReference(), 1);
    font->forget();
    red->forget();
}

// --- info panel ---------------------------------------------------------------------------

const CRect kInfoRect(224, 370, 301, 401);

class InfoPanel : public Views {
protected:
    void SetUp() override {
        Views::SetUp();
        info = add(new CInfo(kInfoRect, image(kPanelBg), image(kFont)));
        meter = add(new CMeterIn(kInRect, &listener, levelBitmaps()));  // created later: lies above the panel
    }
    void expectPanel(const char* latency) const {
        // The box: outline three pixels wide inside (43, 294, 481, 430).
        for (const auto& [x, y] : {std::pair{43, 294}, {45, 296}, {480, 429}, {478, 427}, {43, 360}, {300, 429}})
            EXPECT_EQ(px(x, y), kDark) << x << "," << y;
        for (const auto& [x, y] : {std::pair{46, 297}, {477, 426}, {150, 360}, {260, 380}})
            EXPECT_EQ(px(x, y), kLight) << x << "," << y;
        for (const auto& [x, y] : {std::pair{42, 293}, {481, 430}, {42, 360}, {260, 430}})
            EXPECT_EQ(px(x, y), code(kBg, y)) << x << "," << y;
        // The title cell (54, 301, 109, 310) around the title's glyphs.
        EXPECT_EQ(px(54, 301), kDark);
        EXPECT_EQ(px(54, 309), kDark);
        EXPECT_EQ(px(108, 301), kDark);
        EXPECT_EQ(px(109, 305), kLight);
        EXPECT_EQ(px(60, 310), kLight);
        EXPECT_EQ(text(55, 309, 9, true), "ZVK Vexal");
        EXPECT_EQ(text(200, 309, 45, false), "Brickwall Limiting, Metering and Requantizing");
        EXPECT_EQ(text(55, 323, 8, false), "Version:");
        EXPECT_EQ(text(440, 323, 5, false), "1.3.1");
        EXPECT_EQ(text(55, 351, 34, false), "Current process latency (samples):");
        const int n = static_cast<int>(std::strlen(latency));
        EXPECT_EQ(text(470 - 6 * n, 351, n, false), latency);
        EXPECT_EQ(px(470, 351), kLight);
        EXPECT_EQ(px(469 - 6 * n, 347), kLight);
        EXPECT_EQ(text(165, 421, 34, false), "VST plugin technology by Steinberg");
    }
    CInfo* info = nullptr;
    CLevelMeter* meter = nullptr;
};

TEST_F(InfoPanel, OpensOverEverythingWithTheLatency) {
    info->setLatency(159);  // 44.1 kHz
    redraw();
    EXPECT_EQ(px(260, 380), code(kBg, 380)) << "closed, it draws nothing, not even its bitmap";
    EXPECT_EQ(click(260, 380), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_TRUE(info->isOpen());
    EXPECT_EQ(frame->getOverlayView(), info);
    EXPECT_EQ(info->getViewSize(), CRect(0, 0, 0, 0));
    frame->drawDirty();  // the click asked for the whole window
    expectPanel("159");
    EXPECT_EQ(text(452, 351, 3, false), "159");
    EXPECT_EQ(px(160, 200) >> 16, kUnlitPeak) << "the meter outside the box";
}

TEST_F(InfoPanel, NextLeftClickAnywhereClosesItAndReachesNoControl) {
    info->setLatency(159);
    click(260, 380);
    redraw();
    for (uint32_t buttons : {kRButton, kMButton}) EXPECT_EQ(click(160, 100, buttons), kMouseEventNotHandled);
    CPoint p{160, 100};
    EXPECT_NE(frame->onMouseMoved(p, 0), kMouseEventHandled);
    EXPECT_FALSE(frame->onWheel(p, 1.0f, 0));
    EXPECT_TRUE(info->isOpen());
    EXPECT_EQ(click(160, 100), kMouseDownEventHandledButDontNeedMovedOrUpEvents);  // on the meter
    EXPECT_FALSE(info->isOpen());
    EXPECT_TRUE(listener.tags.empty());
    EXPECT_EQ(frame->getOverlayView(), nullptr);
    EXPECT_EQ(info->getViewSize(), kInfoRect);
    frame->drawDirty();
    EXPECT_EQ(px(60, 300), code(kBg, 300));
    EXPECT_EQ(px(260, 380), code(kBg, 380));
    EXPECT_EQ(px(150, 360) >> 16, kUnlitPeak);
    // And it opens again.
    EXPECT_EQ(click(230, 372), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_TRUE(info->isOpen());
}

TEST_F(InfoPanel, LatencyChangeShowsAtTheNextRedraw) {
    info->setLatency(159);
    click(260, 380);
    redraw();
    info->setLatency(287);  // 96 kHz
    EXPECT_EQ(info->getLatency(), 287);
    redraw();
    expectPanel("287");
    const std::pair<int32_t, const char*> sizes[] = {{543, "543"}, {0, "0"}, {1234567, "1234567"},
                                                     {INT32_MIN, "-2147483648"}};
    for (const auto& [samples, shown] : sizes) {
        info->setLatency(samples);
        redraw();
        const int n = static_cast<int>(std::strlen(shown));
        EXPECT_EQ(text(470 - 6 * n, 351, n, false), shown);
    }
}

TEST_F(InfoPanel, OtherButtonsLeaveItClosed) {
    EXPECT_EQ(click(260, 380, kRButton), kMouseEventNotHandled);
    EXPECT_FALSE(info->isOpen());
    EXPECT_EQ(frame->getOverlayView(), nullptr);
}

}  // namespace
