// An image in memory: 32-bit pixels 0xAARRGGBB, premultiplied alpha, rows
// top to bottom without padding (the layout of cairo's image surfaces, so
// that pictures and presentation work alike on every platform). An opaque
// image (`hasAlpha` false) keeps 0xFF in its alpha bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "cairo.h"

struct _cairo_surface {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    std::vector<uint32_t> pixels;

    uint32_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
};

// What a draw context draws into.
struct _cairo {
    cairo_surface_t* target = nullptr;
};

// A font chosen by family name (UTF-16) and weight; the size comes with each use.
struct _cairo_font_face {
    std::vector<wchar_t> family;  // null-terminated
    bool bold = false;
};

namespace vexal::windows {

// A surface of that size; opaque ones start black, others transparent.
cairo_surface_t* createSurface(int width, int height, bool hasAlpha);

// Decoded with GDI+; null for data that is not an image it reads.
cairo_surface_t* decodePng(const uint8_t* data, size_t size);

}  // namespace vexal::windows
