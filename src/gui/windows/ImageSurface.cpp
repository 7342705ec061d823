#include "ImageSurface.h"

#include <new>

namespace vexal::windows {

cairo_surface_t* createSurface(int width, int height, bool hasAlpha) {
    if (width <= 0 || height <= 0) return nullptr;
    auto* s = new (std::nothrow) _cairo_surface;
    if (!s) return nullptr;
    s->width = width;
    s->height = height;
    s->hasAlpha = hasAlpha;
    try {
        s->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height),
                         hasAlpha ? 0u : 0xff000000u);
    } catch (const std::bad_alloc&) {
        delete s;
        return nullptr;
    }
    return s;
}

}  // namespace vexal::windows

cairo_surface_t* cairo_image_surface_create(cairo_format_t format, int width, int height) {
    return vexal::windows::createSurface(width, height, format == CAIRO_FORMAT_ARGB32);
}

void cairo_surface_destroy(cairo_surface_t* surface) { delete surface; }

// Drawing goes straight into memory: nothing is pending.
void cairo_surface_flush(cairo_surface_t*) {}

unsigned char* cairo_image_surface_get_data(cairo_surface_t* surface) {
    return surface ? reinterpret_cast<unsigned char*>(surface->pixels.data()) : nullptr;
}

int cairo_image_surface_get_stride(cairo_surface_t* surface) { return surface ? surface->width * 4 : 0; }
int cairo_image_surface_get_width(cairo_surface_t* surface) { return surface ? surface->width : 0; }
int cairo_image_surface_get_height(cairo_surface_t* surface) { return surface ? surface->height : 0; }
