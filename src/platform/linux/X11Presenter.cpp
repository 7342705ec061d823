#include "X11Presenter.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <xcb/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace vexal::platform {

namespace {

constexpr int kNativeByteOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
constexpr size_t kPutImageHeader = 24;

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

// An image of the server's ZPixmap format over memory of the caller's.
XImage* imageOver(Display* display, Visual* visual, int depth, char* data, int width, int height) {
    return XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                        static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
}

void destroyImage(XImage*& image) {
    if (!image) return;
    image->data = nullptr;  // never Xlib's to free
    XDestroyImage(image);
    image = nullptr;
}

}  // namespace

X11Presenter::~X11Presenter() {
    destroyImage(image);
    if (segmentAddress) shmdt(segmentAddress);
}

bool X11Presenter::create(X11Connection& c, Window root, Visual* visual, int d, int w, int h,
                          bool allowSharedMemory) {
    connection = &c;
    width = w;
    height = h;
    depth = d;
    if (visual->c_class != TrueColor) return false;
    const unsigned long colour = visual->red_mask | visual->green_mask | visual->blue_mask;
    alphaBits = depth == 32 ? static_cast<uint32_t>(~colour) : 0u;
    if (allowSharedMemory && XShmQueryExtension(c.display()) && isLocalConnection(c.display()) &&
        createSharedImage(root, visual))
        return true;
    return createPlainImage(visual);
}

bool X11Presenter::createSharedImage(Window root, Visual* visual) {
    image = imageOver(connection->display(), visual, depth, nullptr, width, height);
    if (!image) return false;
    const int id = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    if (id < 0) {
        destroyImage(image);
        return false;
    }
    void* address = shmat(id, nullptr, 0);
    bool attached = false;
    if (address != reinterpret_cast<void*>(-1)) {
        segmentAddress = static_cast<char*>(address);
        image->data = segmentAddress;
        xcb_connection_t* c = connection->xcb();
        segment = xcb_generate_id(c);
        attached = !connection->check(xcb_shm_attach_checked(c, segment, static_cast<uint32_t>(id), 0)).failed() &&
                   serverSeesSegment(root);
        if (!attached && connection->usable()) connection->check(xcb_shm_detach_checked(c, segment));
    }
    // Removed now, the segment lives exactly as long as the two attachments.
    shmctl(id, IPC_RMID, nullptr);
    if (attached) return true;
    segment = 0;
    if (segmentAddress) shmdt(segmentAddress);
    segmentAddress = nullptr;
    destroyImage(image);
    return false;
}

// A server in another IPC namespace (a sandbox that shares only the X
// socket) may attach a different segment under the same id: a pixel sent
// through the segment must come back as it was written.
bool X11Presenter::serverSeesSegment(Window root) {
    xcb_connection_t* c = connection->xcb();
    const uint32_t probe = 0x00a5c3e1u;
    copyArea(*image, reinterpret_cast<const uint8_t*>(&probe), 4, {0, 0, 1, 1});
    const uint32_t pixmap = xcb_generate_id(c);
    const uint32_t gc = xcb_generate_id(c);
    const auto made = xcb_create_pixmap_checked(c, static_cast<uint8_t>(depth), pixmap, root, 1, 1);
    const auto madeGc = xcb_create_gc_checked(c, gc, pixmap, 0, nullptr);
    const auto put = xcb_shm_put_image_checked(c, pixmap, gc, static_cast<uint16_t>(width),
                                               static_cast<uint16_t>(height), 0, 0, 1, 1, 0, 0,
                                               static_cast<uint8_t>(depth), XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                                               segment, 0);
    // Every cookie is checked, failed or not.
    const bool pixmapMade = !connection->check(made).failed();
    const bool gcMade = !connection->check(madeGc).failed();
    const bool sent = !connection->check(put).failed();
    bool same = pixmapMade && gcMade && sent;
    xcb_generic_error_t* error = nullptr;
    xcb_get_image_reply_t* back =
        xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, 0, 1, 1, ~0u), &error);
    same = connection->replied(back, error) && same;
    if (same) {
        XImage* read = imageOver(connection->display(), nullptr, depth,
                                 reinterpret_cast<char*>(xcb_get_image_data(back)), 1, 1);
        same = read && xcb_get_image_data_length(back) * 8 >= read->bits_per_pixel;
        if (same) {
            read->red_mask = image->red_mask;
            read->green_mask = image->green_mask;
            read->blue_mask = image->blue_mask;
            const unsigned long colour = image->red_mask | image->green_mask | image->blue_mask;
            same = (XGetPixel(read, 0, 0) & colour) == (XGetPixel(image, 0, 0) & colour);
        }
        destroyImage(read);
    }
    std::free(back);
    if (connection->usable()) {
        connection->check(xcb_free_gc_checked(c, gc));
        connection->check(xcb_free_pixmap_checked(c, pixmap));
    }
    return same;
}

bool X11Presenter::createPlainImage(Visual* visual) {
    image = imageOver(connection->display(), visual, depth, nullptr, width, height);
    if (!image) return false;
    if (image->bits_per_pixel % 8 != 0) {
        destroyImage(image);
        return false;
    }
    plainBuffer.assign(static_cast<size_t>(image->bytes_per_line / 4 + 1) * height, 0u);
    image->data = reinterpret_cast<char*>(plainBuffer.data());
    rows.resize(static_cast<size_t>(image->bytes_per_line) * height);
    return true;
}

bool X11Presenter::isDirect(const XImage& i) const {
    return i.bits_per_pixel == 32 && i.byte_order == kNativeByteOrder && i.red_mask == 0xff0000 &&
           i.green_mask == 0xff00 && i.blue_mask == 0xff;
}

void X11Presenter::copyArea(XImage& to, const uint8_t* pixels, int32_t stride, const PixelRect& area) const {
    const int32_t count = area.right - area.left;
    if (isDirect(to)) {
        for (int32_t y = area.top; y < area.bottom; ++y) {
            const auto* from = reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride) + area.left;
            auto* row = reinterpret_cast<uint32_t*>(to.data + static_cast<size_t>(y) * to.bytes_per_line) + area.left;
            if (alphaBits == 0) {
                std::memcpy(row, from, static_cast<size_t>(count) * 4);
            } else {
                for (int32_t x = 0; x < count; ++x) row[x] = from[x] | alphaBits;
            }
        }
        return;
    }
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride);
        for (int32_t x = area.left; x < area.right; ++x) {
            const uint32_t p = row[x];
            const unsigned long value = channel((p >> 16) & 0xff, to.red_mask) |
                                        channel((p >> 8) & 0xff, to.green_mask) |
                                        channel(p & 0xff, to.blue_mask) | alphaBits;
            XPutPixel(&to, x, y, value);
        }
    }
}

X11Result X11Presenter::put(Window window, uint32_t gc, const uint8_t* pixels, int32_t stride,
                            const PixelRect& area) {
    if (!image || (!segment && rows.empty())) return {};
    copyArea(*image, pixels, stride, area);
    if (!segment) return putPlain(window, gc, area);
    xcb_connection_t* c = connection->xcb();
    const auto w = static_cast<uint16_t>(area.right - area.left);
    const auto h = static_cast<uint16_t>(area.bottom - area.top);
    const auto x = static_cast<int16_t>(area.left);
    const auto y = static_cast<int16_t>(area.top);
    return connection->check(xcb_shm_put_image_checked(
        c, static_cast<xcb_drawable_t>(window), gc, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
        static_cast<uint16_t>(x), static_cast<uint16_t>(y), w, h, x, y, static_cast<uint8_t>(depth),
        XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment, 0));
}

// The area's rows, packed, in as few requests as the server's request size allows.
X11Result X11Presenter::putPlain(Window window, uint32_t gc, const PixelRect& area) {
    xcb_connection_t* c = connection->xcb();
    const size_t bytesPerPixel = static_cast<size_t>(image->bits_per_pixel / 8);
    const int32_t w = area.right - area.left;
    const size_t rowBytes = (static_cast<size_t>(w) * bytesPerPixel + 3) & ~size_t{3};
    const size_t maxRequest = static_cast<size_t>(xcb_get_maximum_request_length(c)) * 4;
    const int32_t rowsPerRequest =
        static_cast<int32_t>(std::max<size_t>(1, (maxRequest - kPutImageHeader) / rowBytes));
    X11Result result;
    for (int32_t top = area.top; top < area.bottom && !result.failed(); top += rowsPerRequest) {
        const int32_t bottom = std::min(area.bottom, top + rowsPerRequest);
        uint8_t* to = rows.data();
        for (int32_t y = top; y < bottom; ++y, to += rowBytes)
            std::memcpy(to, image->data + static_cast<size_t>(y) * image->bytes_per_line + area.left * bytesPerPixel,
                        static_cast<size_t>(w) * bytesPerPixel);
        result = connection->check(xcb_put_image_checked(
            c, XCB_IMAGE_FORMAT_Z_PIXMAP, static_cast<xcb_drawable_t>(window), gc, static_cast<uint16_t>(w),
            static_cast<uint16_t>(bottom - top), static_cast<int16_t>(area.left), static_cast<int16_t>(top), 0,
            static_cast<uint8_t>(depth), static_cast<uint32_t>(rowBytes * static_cast<size_t>(bottom - top)),
            rows.data()));
    }
    return result;
}

void X11Presenter::release() {
    if (segment && connection->usable()) connection->check(xcb_shm_detach_checked(connection->xcb(), segment));
    segment = 0;
}

}  // namespace vexal::platform
