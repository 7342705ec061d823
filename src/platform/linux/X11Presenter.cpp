#include "X11Presenter.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <bit>
#include <cstring>

#include "X11ErrorTrap.h"

namespace vexal::platform {

namespace {

constexpr int kNativeByteOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

// Shared memory only reaches a server on this machine: a remote server may
// accept the segment id and attach an unrelated segment of its own host.
bool isLocalConnection(Display* display) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(ConnectionNumber(display), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    return address.ss_family == AF_UNIX;
}

// An 8-bit channel scaled to the width and position of a visual's mask.
unsigned long channel(uint32_t value8, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long scaled = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
    return (scaled << shift) & mask;
}

void destroyImage(XImage*& image) {
    if (!image) return;
    image->data = nullptr;  // never Xlib's to free
    XDestroyImage(image);
    image = nullptr;
}

}  // namespace

X11Presenter::~X11Presenter() {
    destroyImage(plainImage);
    if (shmImage) {
        shmdt(segment.shmaddr);
        destroyImage(shmImage);
    }
}

bool X11Presenter::create(Display* d, Window root, Visual* visual, int depth, int w, int h,
                          bool allowSharedMemory) {
    display = d;
    width = w;
    height = h;
    if (visual->c_class != TrueColor) return false;
    const unsigned long colour = visual->red_mask | visual->green_mask | visual->blue_mask;
    alphaBits = depth == 32 ? static_cast<uint32_t>(~colour) : 0u;
    if (allowSharedMemory && XShmQueryExtension(display) && isLocalConnection(display) &&
        createSharedImage(root, visual, depth))
        return true;
    return createPlainImage(visual, depth);
}

bool X11Presenter::createSharedImage(Window root, Visual* visual, int depth) {
    shmImage = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment,
                               static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!shmImage) return false;
    segment.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(shmImage->bytes_per_line) * height,
                           IPC_CREAT | 0600);
    if (segment.shmid < 0) {
        destroyImage(shmImage);
        return false;
    }
    segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    bool attached = false;
    if (segment.shmaddr != reinterpret_cast<char*>(-1)) {
        shmImage->data = segment.shmaddr;
        segment.readOnly = False;
        X11ErrorTrap trap(display);
        XShmAttach(display, &segment);
        attached = !trap.sync() && serverSeesSegment(root, depth);
        if (!attached) XShmDetach(display, &segment);
    }
    // Removed now, the segment lives exactly as long as the two attachments.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    if (attached) return true;
    if (segment.shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment.shmaddr);
    destroyImage(shmImage);
    return false;
}

// A server in another IPC namespace (a sandbox that shares only the X
// socket) may attach a different segment under the same id: a pixel sent
// through the segment must come back as it was written.
bool X11Presenter::serverSeesSegment(Window root, int depth) {
    const uint32_t probe = 0x00a5c3e1u;
    PixelRect one{0, 0, 1, 1};
    copyArea(*shmImage, reinterpret_cast<const uint8_t*>(&probe), 4, one);
    const Pixmap pixmap = XCreatePixmap(display, root, 1, 1, static_cast<unsigned>(depth));
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XShmPutImage(display, pixmap, gc, shmImage, 0, 0, 0, 0, 1, 1, False);
    bool same = false;
    if (XImage* back = XGetImage(display, pixmap, 0, 0, 1, 1, AllPlanes, ZPixmap)) {
        const unsigned long colour = shmImage->red_mask | shmImage->green_mask | shmImage->blue_mask;
        same = (XGetPixel(back, 0, 0) & colour) == (XGetPixel(shmImage, 0, 0) & colour);
        XDestroyImage(back);
    }
    XFreeGC(display, gc);
    XFreePixmap(display, pixmap);
    return same;
}

bool X11Presenter::createPlainImage(Visual* visual, int depth) {
    plainImage = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                              static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!plainImage) return false;
    // Our pixels are in this machine's byte order; Xlib swaps for the server.
    plainImage->byte_order = kNativeByteOrder;
    plainImage->bitmap_bit_order = kNativeByteOrder;
    XInitImage(plainImage);
    plainDirect = isDirect(*plainImage) && alphaBits == 0;
    if (!plainDirect) {
        plainBuffer.assign(static_cast<size_t>(plainImage->bytes_per_line / 4 + 1) * height, 0u);
        plainImage->data = reinterpret_cast<char*>(plainBuffer.data());
    }
    return true;
}

bool X11Presenter::isDirect(const XImage& image) const {
    return image.bits_per_pixel == 32 && image.byte_order == kNativeByteOrder &&
           image.red_mask == 0xff0000 && image.green_mask == 0xff00 && image.blue_mask == 0xff;
}

void X11Presenter::copyArea(XImage& image, const uint8_t* pixels, int32_t stride,
                            const PixelRect& area) const {
    const int32_t count = area.right - area.left;
    if (isDirect(image)) {
        for (int32_t y = area.top; y < area.bottom; ++y) {
            const auto* from = reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride) + area.left;
            auto* to = reinterpret_cast<uint32_t*>(image.data + static_cast<size_t>(y) * image.bytes_per_line) + area.left;
            if (alphaBits == 0) {
                std::memcpy(to, from, static_cast<size_t>(count) * 4);
            } else {
                for (int32_t x = 0; x < count; ++x) to[x] = from[x] | alphaBits;
            }
        }
        return;
    }
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride);
        for (int32_t x = area.left; x < area.right; ++x) {
            const uint32_t p = row[x];
            const unsigned long value = channel((p >> 16) & 0xff, image.red_mask) |
                                        channel((p >> 8) & 0xff, image.green_mask) |
                                        channel(p & 0xff, image.blue_mask) | alphaBits;
            XPutPixel(&image, x, y, value);
        }
    }
}

void X11Presenter::put(Window window, GC gc, const uint8_t* pixels, int32_t stride, const PixelRect& area) {
    const auto w = static_cast<unsigned>(area.right - area.left);
    const auto h = static_cast<unsigned>(area.bottom - area.top);
    if (shmImage) {
        copyArea(*shmImage, pixels, stride, area);
        XShmPutImage(display, window, gc, shmImage, area.left, area.top, area.left, area.top, w, h, False);
        return;
    }
    if (!plainImage) return;
    if (plainDirect) {
        // The caller's image goes out as it is, without a copy.
        XImage view = *plainImage;
        view.data = const_cast<char*>(reinterpret_cast<const char*>(pixels));
        view.bytes_per_line = stride;
        XPutImage(display, window, gc, &view, area.left, area.top, area.left, area.top, w, h);
        return;
    }
    copyArea(*plainImage, pixels, stride, area);
    XPutImage(display, window, gc, plainImage, area.left, area.top, area.left, area.top, w, h);
}

void X11Presenter::release() {
    if (shmImage) XShmDetach(display, &segment);
}

}  // namespace vexal::platform
