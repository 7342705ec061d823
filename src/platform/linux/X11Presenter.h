// Puts areas of the caller's 32-bit image (0x00RRGGBB) into a window: through
// an MIT-SHM segment of the window's size when the server has the extension
// and runs on this machine, else with plain XPutImage (Xlib converts the byte
// order for a remote server). Visuals other than 8-bit-per-channel TrueColor
// are converted pixel by pixel; a 32-bit visual gets opaque alpha.
#pragma once

#include "X11Headers.h"

#include <cstdint>
#include <vector>

#include "../NativeWindow.h"

namespace vexal::platform {

class X11Presenter {
public:
    X11Presenter() = default;
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;
    ~X11Presenter();

    // False when the visual cannot show our pixels (not TrueColor).
    // `root` is the root window of the screen the window is on.
    bool create(Display* display, Window root, Visual* visual, int depth, int width, int height,
                bool allowSharedMemory);
    // Sends `area` (already inside the window); the caller's error trap syncs,
    // which also keeps us from writing the segment while the server reads it.
    void put(Window window, GC gc, const uint8_t* pixels, int32_t stride, const PixelRect& area);
    // Detaches from the server; call inside an error trap before the display closes.
    void release();

    bool sharedMemory() const { return shmImage != nullptr; }

private:
    bool createSharedImage(Window root, Visual* visual, int depth);
    bool serverSeesSegment(Window root, int depth);
    bool createPlainImage(Visual* visual, int depth);
    void copyArea(XImage& image, const uint8_t* pixels, int32_t stride, const PixelRect& area) const;
    bool isDirect(const XImage& image) const;

    Display* display = nullptr;
    int width = 0;
    int height = 0;
    uint32_t alphaBits = 0;  // opaque alpha of a 32-bit visual
    XShmSegmentInfo segment{};
    XImage* shmImage = nullptr;
    XImage* plainImage = nullptr;  // describes the server's format; data only when converting
    std::vector<uint32_t> plainBuffer;
    bool plainDirect = false;  // the caller's rows go out as they are
};

}  // namespace vexal::platform
