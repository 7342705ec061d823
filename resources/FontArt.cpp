// The 5 x 8 bitmap fonts of the read-outs and the info panel: 192 glyphs
// stacked from the top, characters 32-127 dark on a light cell (the light
// set) and then the same characters light on a dark cell (the LCD set).
#include "Artwork.h"
#include "ArtworkCatalogue.h"
#include "PixelFont.h"

namespace vexal::artwork {
namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 8;
constexpr int kCharacters = 96;

void drawGlyph(Image& font, int glyph, int code, Rgb ink, Rgb cell) {
    const Glyph5x8& g = cellGlyph(code);
    for (int y = 0; y < kGlyphHeight; ++y)
        for (int x = 0; x < kGlyphWidth; ++x)
            font.setPixel(x, glyph * kGlyphHeight + y, g.rows[y][x] == '#' ? ink : cell);
}

// `dark` is the ink of the light set and the cell of the LCD set.
Image drawFont(Rgb dark) {
    Image font(kGlyphWidth, 2 * kCharacters * kGlyphHeight);
    for (int i = 0; i < kCharacters; ++i) {
        drawGlyph(font, i, 32 + i, dark, palette::lcd);
        drawGlyph(font, kCharacters + i, 32 + i, palette::lcd, dark);
    }
    return font;
}

}  // namespace

void drawFonts(Artwork& art) {
    art[idOf("font")] = drawFont(palette::lcdInk);
    art[idOf("fontRed")] = drawFont(palette::alarm);
    // Two spare colourings of the same font; the editor loads neither.
    art[idOf("fontAmber")] = drawFont(Rgb{150, 96, 20});
    art[idOf("fontGreen")] = drawFont(Rgb{40, 120, 60});
}

}  // namespace vexal::artwork
