// The Windows build has no cairo. The toolkit's images there are our own
// 32-bit pixel buffers (ImageSurface.h), and the few image-surface calls that
// the shared toolkit sources make reach them under the names they use.
#pragma once

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_font_face cairo_font_face_t;

enum cairo_format_t { CAIRO_FORMAT_ARGB32 = 0, CAIRO_FORMAT_RGB24 = 1 };

cairo_surface_t* cairo_image_surface_create(cairo_format_t format, int width, int height);
void cairo_surface_destroy(cairo_surface_t* surface);
void cairo_surface_flush(cairo_surface_t* surface);
unsigned char* cairo_image_surface_get_data(cairo_surface_t* surface);
int cairo_image_surface_get_stride(cairo_surface_t* surface);
int cairo_image_surface_get_width(cairo_surface_t* surface);
int cairo_image_surface_get_height(cairo_surface_t* surface);
