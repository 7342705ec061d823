// An image the views draw portions of: decoded from PNG bytes it is handed
// (the plug-in's embedded artwork), or made blank for offscreen use.
// Multi-frame bitmaps hold their frames stacked from the top.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CBaseObject.h"
#include "GuiTypes.h"

typedef struct _cairo_surface cairo_surface_t;

namespace vexal {

class CDrawContext;

// PNG bytes that stay in memory as long as the process (embedded artwork),
// with the resource number the picture goes by.
struct PngData {
    int32_t id = -1;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
};

class CBitmap : public CBaseObject {
public:
    // The decoded picture; isLoaded() is false when there are no bytes or
    // they are not a PNG image.
    explicit CBitmap(const PngData& png);
    // A blank opaque image of that size.
    CBitmap(int32_t width, int32_t height);
    // Takes over a cairo image surface (its reference is adopted).
    explicit CBitmap(cairo_surface_t* adopted);
    ~CBitmap() override;

    bool isLoaded() const { return surface != nullptr; }
    int32_t getResourceId() const { return resourceId; }
    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    cairo_surface_t* getSurface() const { return surface; }

    // Copies the part of the image that starts at `offset` into `dest`
    // (dest's size), clipped by the context's clip rectangle.
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = {}) const;

private:
    void adopt(cairo_surface_t* s);

    cairo_surface_t* surface = nullptr;
    int32_t resourceId = -1;
    int32_t width = 0;
    int32_t height = 0;
};

// The PNG decoder: a new reference to an image surface, or null when the
// bytes are not a PNG image. The bytes must outlive the process's use of them.
cairo_surface_t* decodePngSurface(const uint8_t* bytes, size_t size);

}  // namespace vexal
