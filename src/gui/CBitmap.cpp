#include "CBitmap.h"

#include <cairo.h>

#include "CDrawContext.h"

namespace vexal {

CBitmap::CBitmap(const PngData& png) : resourceId(png.id) { adopt(decodePngSurface(png.bytes, png.size)); }

CBitmap::CBitmap(int32_t w, int32_t h) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    adopt(s);
}

CBitmap::CBitmap(cairo_surface_t* adopted) { adopt(adopted); }

void CBitmap::adopt(cairo_surface_t* s) {
    if (!s) return;
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    surface = s;
    width = cairo_image_surface_get_width(s);
    height = cairo_image_surface_get_height(s);
}

CBitmap::~CBitmap() {
    if (surface) cairo_surface_destroy(surface);
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset) const {
    if (!surface || !context || dest.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    // The pattern is our own (never cairo_get_source, which hands out a new
    // object on every call once a context is in an error state).
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
    cairo_matrix_t placement;
    cairo_matrix_init_translate(&placement, offset.x - dest.left, offset.y - dest.top);
    cairo_pattern_set_matrix(pattern, &placement);
    // Whole pixels only: artwork is copied, never resampled or blended at edges.
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    cairo_save(cr);
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, dest.left, dest.top, dest.getWidth(), dest.getHeight());
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(pattern);
}

}  // namespace vexal
