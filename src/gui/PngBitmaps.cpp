// Decodes PNG bytes handed to the toolkit (the artwork embedded in the
// plug-in), read through cairo from memory. Each block of bytes is decoded
// once per process and shared by every instance and every opening: views
// only ever read from it.
#include <cairo.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "CBitmap.h"

namespace vexal {

namespace {
struct PngReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<PngReader*>(closure);
    if (length > r->size - r->pos) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data + r->pos, length);
    r->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_surface_t* decode(const uint8_t* bytes, size_t size) {
    PngReader reader{bytes, size, 0};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

// The decoded pictures, released when the library is unloaded.
struct DecodedArtwork {
    std::mutex mutex;
    std::unordered_map<const uint8_t*, cairo_surface_t*> surfaces;
    ~DecodedArtwork() {
        for (auto& entry : surfaces)
            if (entry.second) cairo_surface_destroy(entry.second);
    }
};

DecodedArtwork& decodedArtwork() {
    static DecodedArtwork artwork;
    return artwork;
}

}  // namespace

cairo_surface_t* decodePngSurface(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0) return nullptr;
    DecodedArtwork& artwork = decodedArtwork();
    std::lock_guard<std::mutex> lock(artwork.mutex);
    auto [entry, fresh] = artwork.surfaces.try_emplace(bytes, nullptr);
    if (fresh) entry->second = decode(bytes, size);
    return entry->second ? cairo_surface_reference(entry->second) : nullptr;
}

}  // namespace vexal
