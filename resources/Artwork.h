// Shared pieces of the artwork generator: images, the palette and the
// drawing helpers every bitmap uses.
#pragma once

#include <cairo.h>

#include <map>
#include <string_view>

#include "WindowLayout.h"

namespace vexal::artwork {

struct Rgb {
    int r, g, b;
};

// One palette for the whole window.
namespace palette {
inline constexpr Rgb panel{38, 41, 46};       // window ground
inline constexpr Rgb panelLight{46, 50, 56};  // group plates
inline constexpr Rgb groove{26, 28, 31};      // recesses, meter wells
inline constexpr Rgb shadow{18, 19, 21};      // outlines, recess top edges
inline constexpr Rgb bevel{62, 67, 75};       // plate borders, recess bottom edges
inline constexpr Rgb label{178, 188, 197};    // parameter names
inline constexpr Rgb labelDim{124, 133, 143}; // headings, small labels
inline constexpr Rgb cap{55, 60, 67};         // switch caps
inline constexpr Rgb capLit{66, 60, 50};      // switch caps when on
inline constexpr Rgb accent{240, 172, 72};    // lit text and indicators
inline constexpr Rgb lcd{213, 236, 246};      // LCD light (read-out cells)
inline constexpr Rgb lcdField{209, 227, 238}; // text fields with dark text
inline constexpr Rgb lcdInk{79, 79, 79};      // LCD dark
inline constexpr Rgb alarm{229, 53, 5};       // overs, calibration signal
inline constexpr Rgb darkField{24, 26, 29};   // text fields with light text
}  // namespace palette

// A fully opaque RGB image; owns its cairo surface.
class Image {
public:
    Image() = default;
    Image(int width, int height);
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    Image(Image&& other) noexcept;
    Image& operator=(Image&& other) noexcept;
    ~Image();

    int width() const { return width_; }
    int height() const { return height_; }
    cairo_surface_t* surface() const { return surface_; }
    // A drawing context on the image with our fixed antialiasing and font
    // options; the caller destroys it.
    cairo_t* context() const;
    Rgb pixel(int x, int y) const;
    void setPixel(int x, int y, Rgb c);

private:
    cairo_surface_t* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

using Artwork = std::map<int, Image>;


// Drawing helpers. Rectangles are filled on whole pixels so edges stay
// crisp; text is Arial (Liberation Sans through fontconfig).
void setColour(cairo_t* cr, Rgb c);
void fillRect(cairo_t* cr, int x, int y, int w, int h, Rgb c);
void fillRect(cairo_t* cr, Rect r, Rgb c);
// A one-pixel line inside the rectangle's edge.
void frameRect(cairo_t* cr, Rect r, Rgb c);
// A sunken well: dark top and left edges, light bottom and right edges.
void recess(cairo_t* cr, Rect r, Rgb fill);
// A raised cap: a dark outline, a lighter top row and a darker bottom row.
void drawCap(cairo_t* cr, Rect r, Rgb face);
Rgb mix(Rgb a, Rgb b, double t);
Rgb scale(Rgb c, double factor);

enum class Align { left, centre, right };
// Text with its baseline at y; x is the left edge, centre or right edge.
// Narrow: Arial Narrow (Liberation Sans Narrow), for labels that share a row.
void text(cairo_t* cr, std::string_view s, double x, double y, double size, Rgb c,
          Align align = Align::left, bool bold = false, bool narrow = false);
double textWidth(cairo_t* cr, std::string_view s, double size, bool bold = false, bool narrow = false);

// An image of `frames` frames of `rect`'s size, each filled with what the
// background shows at `rect`, so that a control blends into the window.
Image stripOver(const Image& background, Rect rect, int frames);
Image stripOver(const Image& background, Rect rect, int frames, int frameHeight);
// The part of the background under `rect`.
void copyBackground(cairo_t* cr, const Image& background, Rect rect, int x, int y);

// The bitmaps, by concern.
Image drawBackground();
void drawMeters(Artwork& art);
void drawFonts(Artwork& art);
void drawSwitches(Artwork& art, const Image& background);
void drawKnobs(Artwork& art, const Image& background);
void drawPresetBar(Artwork& art, const Image& background);

// A composite of the window as the editor shows it, for looking at.
Image drawPreview(const Artwork& art);

}  // namespace vexal::artwork
