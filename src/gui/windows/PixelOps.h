// Integer pixel work shared by the Windows draw context and bitmaps: rounding
// of rectangles to whole pixels and the "over" blend of premultiplied pixels
// with the rounding the Linux build's renderer uses.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gui/GuiTypes.h"
#include "ImageSurface.h"

namespace vexal::windows {

struct PixelBox {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    PixelBox intersect(const PixelBox& o) const {
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                std::min(bottom, o.bottom)};
    }
};

// Hard-edged shapes cover the pixels whose centres they contain.
inline int pixelEdge(CCoord c) { return static_cast<int>(std::floor(c + 0.5)); }

inline PixelBox pixelBox(const CRect& r) {
    return {pixelEdge(r.left), pixelEdge(r.top), pixelEdge(r.right), pixelEdge(r.bottom)};
}

inline PixelBox surfaceBox(const cairo_surface_t* s) { return {0, 0, s->width, s->height}; }

inline uint32_t mulUn8(uint32_t a, uint32_t b) {
    const uint32_t t = a * b + 0x80;
    return (t + (t >> 8)) >> 8;
}

// source over destination, both premultiplied 0xAARRGGBB.
inline uint32_t over(uint32_t src, uint32_t dst) {
    const uint32_t sa = src >> 24;
    if (sa == 0xff) return src;
    if (sa == 0) return dst;
    const uint32_t keep = 0xff - sa;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t v = ((src >> shift) & 0xff) + mulUn8((dst >> shift) & 0xff, keep);
        out |= std::min<uint32_t>(v, 0xff) << shift;
    }
    return out;
}

inline uint32_t premultipliedColour(const CColor& c) {
    return (static_cast<uint32_t>(c.alpha) << 24) | (mulUn8(c.alpha, c.red) << 16) |
           (mulUn8(c.alpha, c.green) << 8) | mulUn8(c.alpha, c.blue);
}

}  // namespace vexal::windows
