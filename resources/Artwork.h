// Shared pieces of the artwork generator: images, the palette, the window
// layout and the drawing helpers every bitmap uses.
#pragma once

#include <cairo.h>

#include <map>
#include <string_view>

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

struct Rect {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Control rectangles in window pixels, where the artwork places the
// controls' bitmaps.
namespace layout {
inline constexpr Rect detectorOrder{44, 40, 77, 59};
inline constexpr Rect oversample{81, 40, 114, 59};
inline constexpr Rect meterMode{223, 305, 258, 361};
inline constexpr Rect quantize{412, 40, 445, 59};
inline constexpr Rect autoblack{449, 40, 482, 59};
inline constexpr Rect bits{412, 78, 445, 97};
inline constexpr Rect noiseShape{449, 78, 482, 97};
inline constexpr Rect calibrate{269, 341, 302, 360};
inline constexpr Rect attZoom{269, 265, 302, 284};
inline constexpr Rect showStage1{224, 265, 257, 284};
inline constexpr Rect showStage2{224, 230, 257, 249};
inline constexpr Rect showLeveller{269, 230, 302, 249};
inline constexpr Rect transient{55, 169, 105, 217};
inline constexpr Rect release{56, 267, 105, 314};
inline constexpr Rect leveller{421, 169, 469, 216};
inline constexpr Rect link{421, 267, 469, 314};
inline constexpr Rect transShape{38, 121, 128, 146};
inline constexpr Rect power{245, 400, 280, 435};
inline constexpr Rect drive{52, 349, 108, 404};
inline constexpr Rect output{417, 349, 475, 405};
inline constexpr Rect autoOut{394, 368, 412, 392};
inline constexpr Rect postMeter{116, 368, 134, 392};
inline constexpr Rect logo{224, 370, 301, 401};
inline constexpr Rect driveValue{43, 409, 117, 427};
inline constexpr Rect outputValue{410, 409, 484, 427};
inline constexpr Rect transientValue{45, 221, 119, 239};
inline constexpr Rect releaseValue{45, 319, 119, 337};
inline constexpr Rect levellerValue{411, 221, 485, 239};
inline constexpr Rect linkValue{411, 319, 485, 337};
inline constexpr Rect meterOvs{269, 307, 302, 326};
inline constexpr Rect inputMeter{147, 38, 207, 408};
inline constexpr Rect outputMeter{319, 38, 379, 406};
inline constexpr Rect gainMeter{233, 39, 291, 192};
inline constexpr Rect inputReadout{131, 415, 224, 426};
inline constexpr Rect outputReadout{303, 415, 396, 426};
inline constexpr Rect gainReadout{217, 199, 310, 210};
inline constexpr Rect inputScale{164, 38, 191, 405};
inline constexpr Rect outputScale{335, 38, 362, 405};
// Preset bar.
inline constexpr Rect saveBank{22, 447, 39, 462};
inline constexpr Rect defaultBank{39, 447, 71, 460};
inline constexpr Rect loadBank{72, 447, 89, 462};
inline constexpr Rect savePreset{104, 447, 121, 462};
inline constexpr Rect defaultProgram{122, 447, 166, 460};
inline constexpr Rect loadPreset{166, 447, 183, 462};
inline constexpr Rect programName{194, 447, 318, 461};
inline constexpr Rect programMenu{320, 448, 333, 460};
inline constexpr Rect rocker{340, 447, 370, 460};
inline constexpr Rect storeA{388, 447, 405, 462};
inline constexpr Rect recallA{421, 447, 438, 462};
inline constexpr Rect storeB{452, 447, 469, 462};
inline constexpr Rect recallB{486, 447, 503, 462};
inline constexpr Rect manual{510, 449, 521, 458};
inline constexpr int presetBarTop = 447;
}  // namespace layout

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
