// PNG bytes (the embedded artwork) decoded by GDI+ into our image buffers, with
// alpha premultiplied exactly as the Linux build's decoder does it, so that
// pictures are the same pixels on both.
#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <cstring>

#include "gui/CBitmap.h"
#include "GdiplusSession.h"
#include "ImageSurface.h"

namespace vexal::windows {

namespace {

uint32_t multiplyAlpha(uint32_t alpha, uint32_t colour) {
    const uint32_t t = alpha * colour + 0x80;
    return (t + (t >> 8)) >> 8;
}

uint32_t premultiplied(uint32_t argb) {
    const uint32_t a = argb >> 24;
    if (a == 0) return 0;
    if (a == 0xff) return argb;
    return (a << 24) | (multiplyAlpha(a, (argb >> 16) & 0xff) << 16) |
           (multiplyAlpha(a, (argb >> 8) & 0xff) << 8) | multiplyAlpha(a, argb & 0xff);
}

}  // namespace

bool gdiplusReady() {
    static const bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

cairo_surface_t* decodePng(const uint8_t* data, size_t size) {
    using namespace Gdiplus;
    if (!data || size == 0 || size > UINT_MAX || !gdiplusReady()) return nullptr;
    IStream* stream = SHCreateMemStream(data, static_cast<UINT>(size));
    if (!stream) return nullptr;
    GpBitmap* bitmap = nullptr;
    cairo_surface_t* surface = nullptr;
    if (DllExports::GdipCreateBitmapFromStream(stream, &bitmap) == Ok && bitmap) {
        UINT width = 0, height = 0;
        PixelFormat format = 0;
        DllExports::GdipGetImageWidth(bitmap, &width);
        DllExports::GdipGetImageHeight(bitmap, &height);
        DllExports::GdipGetImagePixelFormat(bitmap, &format);
        const bool alpha = IsAlphaPixelFormat(format) != FALSE;
        const Rect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
        BitmapData locked{};
        if (width > 0 && height > 0 && width < 32768 && height < 32768 &&
            DllExports::GdipBitmapLockBits(bitmap, &all, ImageLockModeRead, PixelFormat32bppARGB,
                                           &locked) == Ok) {
            surface = createSurface(static_cast<int>(width), static_cast<int>(height), alpha);
            for (int y = 0; surface && y < surface->height; ++y) {
                const auto* in = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.Scan0) +
                                                                   static_cast<ptrdiff_t>(y) * locked.Stride);
                uint32_t* out = surface->row(y);
                for (int x = 0; x < surface->width; ++x)
                    out[x] = alpha ? premultiplied(in[x]) : (in[x] | 0xff000000u);
            }
            DllExports::GdipBitmapUnlockBits(bitmap, &locked);
        }
        DllExports::GdipDisposeImage(bitmap);
    }
    stream->Release();
    return surface;
}

}  // namespace vexal::windows

namespace vexal {

cairo_surface_t* decodePngSurface(const uint8_t* bytes, size_t size) { return windows::decodePng(bytes, size); }

}  // namespace vexal
