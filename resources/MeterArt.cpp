// Meter bars and scales. The bars are ladders of 1 dB segments (six rows,
// the last one darker) whose colour zones sit at fixed rows: the meters pick
// the rows to show so that each zone lands on its level of the scale.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "Artwork.h"
#include "ArtworkCatalogue.h"
#include "MeterScale.h"
#include "PixelFont.h"

namespace vexal::artwork {
namespace {

constexpr int kBarWidth = 15;
constexpr int kBarHeight = 432;
constexpr int kGainBarHeight = 203;

constexpr Rgb kGreenLow{34, 138, 74}, kGreenHigh{104, 194, 82};
constexpr Rgb kAmberLow{226, 186, 54}, kAmberHigh{244, 150, 42};
constexpr Rgb kRedLow{238, 86, 42}, kRedHigh{255, 46, 38};

constexpr Rgb kTick{104, 113, 123};
constexpr Rgb kFigure{150, 160, 170};

// A zone colour between its low and high end, t = 0 at the zone's bottom.
Rgb zone(Rgb low, Rgb high, double t) { return mix(low, high, std::clamp(t, 0.0, 1.0)); }

// Level-bar colour of an image row, given the rows where the amber and the
// red zones begin (a zone includes its first row: a bar whose top reaches
// that row is in the zone).
Rgb levelColour(int row, int amberRow, int redRow) {
    if (row <= redRow) return zone(kRedLow, kRedHigh, (redRow - row) / 60.0);
    if (row <= amberRow) return zone(kAmberLow, kAmberHigh, double(amberRow - row) / (amberRow - redRow));
    return zone(kGreenLow, kGreenHigh, double(kBarHeight - row) / (kBarHeight - amberRow));
}

// Gain-reduction colour: green at the top, yellow by 12 dB, red by 24 dB
// (at 6 pixels per dB).
Rgb gainColour(int row) {
    if (row < 72) return zone(kGreenHigh, kAmberLow, row / 72.0);
    return zone(kAmberLow, kRedHigh, (row - 72) / 72.0);
}

// Rounded shading across a bar and the darker last row of each segment.
Rgb shade(Rgb c, int x, bool gapRow) {
    const double across = 0.74 + 0.26 * std::sin(M_PI * (x + 0.5) / kBarWidth);
    return scale(c, across * (gapRow ? 0.5 : 1.0));
}

// The unlit look of a lit colour: the same hue, barely there.
Rgb unlit(Rgb c) { return mix(palette::groove, c, 0.17); }

Image drawLevelBar(int amberRow, int redRow, bool lit) {
    Image bar(kBarWidth, kBarHeight);
    for (int y = 0; y < kBarHeight; ++y) {
        // Whole-dB rows (0 dBFS and the K zero among them) are multiples of
        // six; a segment runs down from one and its last row is darker.
        const bool gap = y % 6 == 5;
        const Rgb c = levelColour(y, amberRow, redRow);
        for (int x = 0; x < kBarWidth; ++x) bar.setPixel(x, y, shade(lit ? c : unlit(c), x, gap));
    }
    return bar;
}

// The deepest lit row of a whole-dB reduction is 6 d, so segments start there.
bool gainGapRow(int y) { return y % 6 == 1; }

Image drawGainBar() {
    Image bar(kBarWidth, kGainBarHeight);
    for (int y = 0; y < kGainBarHeight; ++y)
        for (int x = 0; x < kBarWidth; ++x) bar.setPixel(x, y, shade(gainColour(y), x, gainGapRow(y)));
    return bar;
}

void figures(Image& image, std::string_view s, int left, int centreRow, Rgb c) {
    for (size_t i = 0; i < s.size(); ++i) {
        const Glyph3x5& g = figureGlyph(s[i]);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 3; ++x)
                if (g.rows[y][x] == '#') image.setPixel(left + int(i) * 4 + x, centreRow - 2 + y, c);
    }
}

void hline(Image& image, int x0, int x1, int y, Rgb c) {
    for (int x = x0; x <= x1; ++x) image.setPixel(x, y, c);
}

std::string signedLevel(int level) {
    char text[8];
    std::snprintf(text, sizeof text, level == 0 ? "%d" : "%+d", level);
    return text;
}

// A level scale between the two bars. On the input meter the left bar
// covers the image's first column, so its marks start one column later.
Image drawLevelScale(LevelScale s, bool input) {
    Image image(27, 367);
    cairo_t* cr = image.context();
    fillRect(cr, 0, 0, 27, 367, palette::groove);
    cairo_destroy(cr);
    const int left = input ? 1 : 0;
    const int bottom = topLevel(s) - 60;
    for (int level = topLevel(s); level >= bottom; --level) {
        const bool fine = level >= -24;
        if (!fine && (level - bottom) % 2 != 0) continue;
        const int row = levelImageRow(s, level);
        hline(image, left, left + 1, row, kTick);
        hline(image, 25, 26, row, kTick);
    }
    for (int level : labelledLevels(s)) {
        const int row = levelImageRow(s, level);
        hline(image, left, left + 3, row, kTick);
        hline(image, 23, 26, row, kTick);
        const std::string label = signedLevel(level);
        figures(image, label, 1 + (26 - figureWidth(label)) / 2, row, level == 0 ? palette::accent : kFigure);
    }
    return image;
}

// One half of the gain-reduction scale: unlit bar wells left and right,
// marks and depths between them.
void drawGainScaleHalf(Image& image, bool zoom) {
    const int firstBarRow = gainImageRow(0, zoom);
    for (int y = 0; y < 145; ++y)
        for (int x = 0; x < kBarWidth; ++x) {
            const Rgb c = shade(unlit(gainColour(y)), x, gainGapRow(y));
            image.setPixel(1 + x, firstBarRow + y, c);
            image.setPixel(42 + x, firstBarRow + y, c);
        }
    // A mark every six rows: every dB, or every half dB zoomed.
    for (int i = 0; i <= 24; ++i) {
        const int row = firstBarRow + i * 6;
        hline(image, 16, 17, row, kTick);
        hline(image, 40, 41, row, kTick);
    }
    auto label = [&](int depth) {
        const int row = gainImageRow(depth, zoom);
        hline(image, 16, 19, row, kTick);
        hline(image, 38, 41, row, kTick);
        const std::string text = std::to_string(depth);
        figures(image, text, 16 + (26 - figureWidth(text)) / 2, row, depth == 0 ? palette::accent : kFigure);
    };
    if (zoom)
        for (int d : kGainZoomLabels) label(d);
    else
        for (int d : kGainLabels) label(d);
}

Image drawGainScale() {
    Image image(58, 2 * kGainScaleHeight);
    cairo_t* cr = image.context();
    fillRect(cr, 0, 0, 58, 2 * kGainScaleHeight, palette::groove);
    cairo_destroy(cr);
    drawGainScaleHalf(image, false);
    drawGainScaleHalf(image, true);
    return image;
}

}  // namespace

void drawMeters(Artwork& art) {
    // Peak mode: 0 dBFS and above red, from -6 dBFS amber.
    constexpr int peakAmberRow = kFullScaleRow + 6 * kPixelsPerDb;
    // K modes: from the K-system zero amber, from +4 dB red.
    constexpr int kRedRow = kKZeroRow - 4 * kPixelsPerDb;
    art[idOf("levelBarUnlitK")] = drawLevelBar(kKZeroRow, kRedRow, false);
    art[idOf("levelBarLitPeak")] = drawLevelBar(peakAmberRow, kFullScaleRow, true);
    art[idOf("levelBarLitK")] = drawLevelBar(kKZeroRow, kRedRow, true);
    art[idOf("levelBarUnlitPeak")] = drawLevelBar(peakAmberRow, kFullScaleRow, false);
    art[idOf("inputScaleK20")] = drawLevelScale(LevelScale::k20, true);
    art[idOf("inputScaleK14")] = drawLevelScale(LevelScale::k14, true);
    art[idOf("inputScalePeak")] = drawLevelScale(LevelScale::peakK12, true);
    art[idOf("outputScaleK20")] = drawLevelScale(LevelScale::k20, false);
    art[idOf("outputScaleK14")] = drawLevelScale(LevelScale::k14, false);
    art[idOf("outputScalePeak")] = drawLevelScale(LevelScale::peakK12, false);
    art[idOf("gainBar")] = drawGainBar();
    art[idOf("gainScale")] = drawGainScale();
}

}  // namespace vexal::artwork
