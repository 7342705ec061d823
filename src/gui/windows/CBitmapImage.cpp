// CBitmap of the Windows build: our image buffers, copied pixel for pixel.
#include "gui/CBitmap.h"

#include "gui/CDrawContext.h"
#include "ImageSurface.h"
#include "PixelOps.h"

namespace vexal {

CBitmap::CBitmap(const PngData& png) : resourceId(png.id) { adopt(decodePngSurface(png.bytes, png.size)); }

CBitmap::CBitmap(int32_t w, int32_t h) { adopt(windows::createSurface(w, h, false)); }

CBitmap::CBitmap(cairo_surface_t* adopted) { adopt(adopted); }

void CBitmap::adopt(cairo_surface_t* s) {
    if (!s) return;
    surface = s;
    width = s->width;
    height = s->height;
}

CBitmap::~CBitmap() { delete surface; }

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset) const {
    if (!surface || !context || dest.isEmpty()) return;
    cairo_surface_t* target = context->getCairo()->target;
    // Whole pixels only: artwork is copied, never resampled or blended at edges.
    const windows::PixelBox box = windows::pixelBox(dest)
                                      .intersect(windows::pixelBox(context->getClipRect()))
                                      .intersect(windows::surfaceBox(target));
    const int dx = windows::pixelEdge(dest.left - offset.x);
    const int dy = windows::pixelEdge(dest.top - offset.y);
    // Pixels outside the picture are not drawn (cairo's default extend: none).
    const windows::PixelBox source{dx, dy, dx + surface->width, dy + surface->height};
    const windows::PixelBox area = box.intersect(source);
    if (area.empty()) return;
    for (int y = area.top; y < area.bottom; ++y) {
        const uint32_t* in = surface->row(y - dy) + (area.left - dx);
        uint32_t* out = target->row(y) + area.left;
        for (int x = 0; x < area.right - area.left; ++x)
            out[x] = surface->hasAlpha ? windows::over(in[x], out[x]) : in[x];
    }
}

}  // namespace vexal
