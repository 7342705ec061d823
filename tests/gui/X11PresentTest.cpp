// What is presented is what the server shows, through shared memory and
// without, on 24- and 32-bit visuals; and the window sits where a host
// expects it.
#include "X11Fixture.h"

#include <X11/Xutil.h>

namespace x11test {
namespace {

using namespace vexal::platform;
using Kind = Recorded::Kind;

// Distinct in every channel, so a swapped or shifted channel shows.
uint32_t patternA(int x, int y) { return (uint32_t(x * 3 & 0xff) << 16) | (uint32_t(y & 0xff) << 8) | uint32_t((x + y) & 0xff); }
uint32_t patternB(int x, int y) { return 0x00ffffffu ^ (uint32_t(y * 5 & 0xff) << 16) ^ uint32_t(x & 0xff); }

// An image of the window's size with padded rows, as cairo may lay it out.
struct Image {
    static constexpr int kStride = kWidth * 4 + 64;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(size_t(kStride) * kHeight, 0xee);
    void fill(uint32_t (*pattern)(int, int)) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                reinterpret_cast<uint32_t*>(bytes.data() + size_t(y) * kStride)[x] = pattern(x, y);
    }
};

bool inside(const PixelRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

struct PresentCase {
    const char* name;
    int depth;
    bool sharedMemory;
};

const PresentCase kPresents[] = {
    {"depth 24, shared memory", 24, true},
    {"depth 24, plain", 24, false},
    {"depth 32, shared memory", 32, true},
    {"depth 32, plain", 32, false},
};

TEST_F(X11Test, PresentedAreasReadBackExactlyAndNothingElseChanges) {
    for (const PresentCase& c : kPresents) {
        SCOPED_TRACE(c.name);
        const Window host_parent = makeParent(c.depth);
        auto window = openChild(host_parent, c.sharedMemory);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->usesSharedMemory(), c.sharedMemory && serverHasSharedMemory());
        Recorder recorder;
        settle(*window, recorder);

        Image image;
        image.fill(patternA);
        window->present(image.bytes.data(), Image::kStride, {0, 0, kWidth, kHeight});
        image.fill(patternB);
        const PixelRect area{13, 17, 301, 222};
        window->present(image.bytes.data(), Image::kStride, area);
        // Clipped to the window; nothing outside it is read.
        window->present(image.bytes.data(), Image::kStride, {kWidth - 2, kHeight - 3, kWidth + 50, kHeight + 50});
        window->present(image.bytes.data(), Image::kStride, {-10, -10, 0, 5});

        XImage* shown = XGetImage(host, window->xWindow(), 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
        ASSERT_NE(shown, nullptr);
        int wrong = 0;
        const PixelRect corner{kWidth - 2, kHeight - 3, kWidth, kHeight};
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const unsigned long pixel = XGetPixel(shown, x, y);
                const uint32_t expected = inside(area, x, y) || inside(corner, x, y) ? patternB(x, y) : patternA(x, y);
                const bool opaque = c.depth != 32 || (pixel >> 24) == 0xff;
                if ((pixel & 0xffffff) != expected || !opaque) {
                    if (++wrong <= 3)
                        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is 0x" << std::hex << pixel
                                      << ", expected 0x" << expected;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        XDestroyImage(shown);
        window.reset();
        if (host_parent != parent) XDestroyWindow(host, host_parent);
    }
}

TEST_F(X11Test, TheWindowIsAFixedSizeChildAtTheOriginOfTheHostsWindow) {
    makeParent();
    auto window = openChild(parent);
    ASSERT_TRUE(window);
    Recorder recorder;
    settle(*window, recorder);

    Window root = 0, reportedParent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(host, parent, &root, &reportedParent, &children, &count);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(children[0], window->xWindow());
    XFree(children);

    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(host, window->xWindow(), &attributes));
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_EQ(attributes.map_state, IsViewable);

    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(host, window->xWindow(), &hints, &supplied));
    EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
    EXPECT_EQ(hints.min_width, kWidth);
    EXPECT_EQ(hints.max_width, kWidth);
    EXPECT_EQ(hints.min_height, kHeight);
    EXPECT_EQ(hints.max_height, kHeight);
}

TEST_F(X11Test, ExposureAsksForTheWholeWindowWhenItIsShownAgain) {
    makeParent();
    auto window = openChild(parent);
    ASSERT_TRUE(window);
    Recorder recorder;
    settle(*window, recorder);
    XUnmapWindow(host, parent);
    XMapWindow(host, parent);
    ASSERT_TRUE(pumpUntil(*window, recorder, [&] {
        int64_t pixels = 0;
        for (const Recorded& r : recorder.of(Kind::exposed))
            pixels += int64_t(r.area.right - r.area.left) * (r.area.bottom - r.area.top);
        return pixels >= int64_t(kWidth) * kHeight;
    }));
    for (const Recorded& r : recorder.of(Kind::exposed)) {
        EXPECT_GE(r.area.left, 0);
        EXPECT_GE(r.area.top, 0);
        EXPECT_LE(r.area.right, kWidth);
        EXPECT_LE(r.area.bottom, kHeight);
    }
}

}  // namespace
}  // namespace x11test
