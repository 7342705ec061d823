#include "Artwork.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

namespace vexal::artwork {

Image::Image(int width, int height)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)), width_(width), height_(height) {
    cairo_t* cr = cairo_create(surface_);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
}

Image::Image(Image&& other) noexcept
    : surface_(std::exchange(other.surface_, nullptr)), width_(other.width_), height_(other.height_) {}

Image& Image::operator=(Image&& other) noexcept {
    std::swap(surface_, other.surface_);
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    return *this;
}

Image::~Image() {
    if (surface_) cairo_surface_destroy(surface_);
}

cairo_t* Image::context() const {
    cairo_t* cr = cairo_create(surface_);
    // Fixed rendering options: the same bytes on every run.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    return cr;
}

Rgb Image::pixel(int x, int y) const {
    cairo_surface_flush(surface_);
    const unsigned char* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    const uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
    return {int((p >> 16) & 0xff), int((p >> 8) & 0xff), int(p & 0xff)};
}

void Image::setPixel(int x, int y, Rgb c) {
    cairo_surface_flush(surface_);
    unsigned char* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    reinterpret_cast<uint32_t*>(row)[x] = 0xff000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b);
    cairo_surface_mark_dirty(surface_);
}

void setColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void fillRect(cairo_t* cr, int x, int y, int w, int h, Rgb c) {
    if (w <= 0 || h <= 0) return;
    setColour(cr, c);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

void fillRect(cairo_t* cr, Rect r, Rgb c) { fillRect(cr, r.left, r.top, r.width(), r.height(), c); }

void frameRect(cairo_t* cr, Rect r, Rgb c) {
    fillRect(cr, r.left, r.top, r.width(), 1, c);
    fillRect(cr, r.left, r.bottom - 1, r.width(), 1, c);
    fillRect(cr, r.left, r.top, 1, r.height(), c);
    fillRect(cr, r.right - 1, r.top, 1, r.height(), c);
}

void recess(cairo_t* cr, Rect r, Rgb fill) {
    fillRect(cr, r, fill);
    fillRect(cr, r.left - 1, r.top - 1, r.width() + 2, 1, palette::shadow);
    fillRect(cr, r.left - 1, r.top, 1, r.height() + 1, palette::shadow);
    fillRect(cr, r.left, r.bottom, r.width() + 1, 1, palette::bevel);
    fillRect(cr, r.right, r.top - 1, 1, r.height() + 1, palette::bevel);
}

void drawCap(cairo_t* cr, Rect r, Rgb face) {
    // The outline leaves the corner pixels to the ground: a softly rounded cap.
    fillRect(cr, r.left + 1, r.top, r.width() - 2, 1, palette::shadow);
    fillRect(cr, r.left + 1, r.bottom - 1, r.width() - 2, 1, palette::shadow);
    fillRect(cr, r.left, r.top + 1, 1, r.height() - 2, palette::shadow);
    fillRect(cr, r.right - 1, r.top + 1, 1, r.height() - 2, palette::shadow);
    const Rect inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    fillRect(cr, inner, face);
    fillRect(cr, inner.left, inner.top, inner.width(), 1, mix(face, Rgb{255, 255, 255}, 0.14));
    fillRect(cr, inner.left, inner.bottom - 1, inner.width(), 1, mix(face, Rgb{0, 0, 0}, 0.22));
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Rgb scale(Rgb c, double factor) {
    auto s = [factor](int x) { return std::min(255, int(std::lround(x * factor))); };
    return {s(c.r), s(c.g), s(c.b)};
}

static void useFont(cairo_t* cr, double size, bool bold, bool narrow) {
    cairo_select_font_face(cr, narrow ? "Arial Narrow" : "Arial", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

double textWidth(cairo_t* cr, std::string_view s, double size, bool bold, bool narrow) {
    useFont(cr, size, bold, narrow);
    const std::string str(s);
    cairo_text_extents_t e;
    cairo_text_extents(cr, str.c_str(), &e);
    return e.x_advance;
}

void text(cairo_t* cr, std::string_view s, double x, double y, double size, Rgb c, Align align, bool bold,
          bool narrow) {
    const double w = textWidth(cr, s, size, bold, narrow);
    double left = x;
    if (align == Align::centre) left = x - w / 2;
    if (align == Align::right) left = x - w;
    const std::string str(s);
    setColour(cr, c);
    cairo_move_to(cr, std::round(left), std::round(y));
    cairo_show_text(cr, str.c_str());
    cairo_new_path(cr);
}

void copyBackground(cairo_t* cr, const Image& background, Rect rect, int x, int y) {
    cairo_save(cr);
    cairo_rectangle(cr, x, y, rect.width(), rect.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, background.surface(), x - rect.left, y - rect.top);
    cairo_paint(cr);
    cairo_restore(cr);
}

Image stripOver(const Image& background, Rect rect, int frames) {
    return stripOver(background, rect, frames, rect.height());
}

Image stripOver(const Image& background, Rect rect, int frames, int frameHeight) {
    Image strip(rect.width(), frames * frameHeight);
    cairo_t* cr = strip.context();
    const Rect piece{rect.left, rect.top, rect.right, rect.top + frameHeight};
    for (int f = 0; f < frames; ++f) copyBackground(cr, background, piece, 0, f * frameHeight);
    cairo_destroy(cr);
    return strip;
}

}  // namespace vexal::artwork
