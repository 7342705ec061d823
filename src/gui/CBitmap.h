// An image the views draw portions of: decoded once from the plug-in's
// embedded artwork (by resource number), or made blank for offscreen use.
// Multi-frame bitmaps hold their frames stacked from the top.
#pragma once

#include <cstdint>

#include "CBaseObject.h"
#include "GuiTypes.h"

typedef struct _cairo_surface cairo_surface_t;

namespace vexal {

class CDrawContext;

class CBitmap : public CBaseObject {
public:
    // The embedded artwork with that number; isLoaded() is false when there is none.
    explicit CBitmap(int32_t resourceId);
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

// The embedded artwork's decoder: a cairo image surface, or null when the
// number is not among the artwork.
cairo_surface_t* loadResourceSurface(int32_t resourceId);

}  // namespace vexal
