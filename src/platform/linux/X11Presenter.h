// Puts areas of the caller's 32-bit image (0x00RRGGBB) into a window: through
// an MIT-SHM segment of the window's size when the server has the extension
// and runs on this machine, else with plain PutImage requests in the server's
// byte order. Visuals other than 8-bit-per-channel TrueColor are converted
// pixel by pixel; a 32-bit visual gets opaque alpha. Every request is checked
// through XCB: its failure comes back to us, never to the host's error handler.
#pragma once

#include "X11Headers.h"

#include <cstdint>
#include <vector>

#include "X11Connection.h"
#include "platform/NativeWindow.h"

namespace vexal::platform {

class X11Presenter {
public:
    X11Presenter() = default;
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;
    ~X11Presenter();

    // False when the visual cannot show our pixels (not TrueColor).
    // `root` is the root window of the screen the window is on.
    bool create(X11Connection& connection, Window root, Visual* visual, int depth, int width, int height,
                bool allowSharedMemory);
    // Sends `area` (already inside the window) and waits until the server has
    // taken it, so the segment is never written while the server reads it.
    X11Result put(Window window, uint32_t gc, const uint8_t* pixels, int32_t stride, const PixelRect& area);
    // Detaches the segment from a usable connection, before it closes.
    void release();

    bool sharedMemory() const { return segment != 0; }

private:
    bool createSharedImage(Window root, Visual* visual);
    bool serverSeesSegment(Window root);
    bool createPlainImage(Visual* visual);
    X11Result putPlain(Window window, uint32_t gc, const PixelRect& area);
    void copyArea(XImage& image, const uint8_t* pixels, int32_t stride, const PixelRect& area) const;
    bool isDirect(const XImage& image) const;

    X11Connection* connection = nullptr;
    int width = 0;
    int height = 0;
    int depth = 0;
    uint32_t alphaBits = 0;  // opaque alpha of a 32-bit visual
    uint32_t segment = 0;    // the server's id of the attached segment
    char* segmentAddress = nullptr;
    XImage* image = nullptr;  // the window's pixels in the server's format (shared or ours)
    std::vector<uint32_t> plainBuffer;
    std::vector<uint8_t> rows;  // one request's rows of an area
};

}  // namespace vexal::platform
