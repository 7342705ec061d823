// Compares the editor's picture from the Windows build (a 32-bit top-down BMP
// as the Wine lane's editor test saves it) with the Linux build's drawing of
// the same state (a PNG from vexal snapshot). Text is drawn by different font
// engines on the two systems, so the areas that hold text are left out; every
// other pixel — background, knobs, switches, meters, buttons — must be equal.
//   picture-compare WINDOWS.bmp LINUX.png
// Prints the count of differing pixels inside and outside the text areas;
// exits 1 when any pixel outside differs or a picture cannot be read.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr int kWidth = 524;
constexpr int kHeight = 462;

struct Area {
    int left, top, right, bottom;
    bool holds(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// The views that draw text with a font: the info panel, the six value
// fields, the three meter read-outs and the program name.
const Area kTextAreas[] = {
    {224, 370, 301, 401}, {43, 409, 117, 427},  {410, 409, 484, 427}, {45, 221, 119, 239},
    {45, 319, 119, 337},  {411, 221, 485, 239}, {411, 319, 485, 337}, {131, 415, 224, 426},
    {303, 415, 396, 426}, {217, 199, 310, 210}, {194, 447, 318, 461},
};

bool inText(int x, int y) {
    for (const Area& a : kTextAreas)
        if (a.holds(x, y)) return true;
    return false;
}

uint32_t read32(const std::vector<unsigned char>& d, size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}

bool readBmp(const char* path, std::vector<uint32_t>& pixels) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') return false;
    const uint32_t offset = read32(d, 10);
    const int32_t width = static_cast<int32_t>(read32(d, 18));
    const int32_t height = static_cast<int32_t>(read32(d, 22));
    const unsigned bits = d[28] | (d[29] << 8);
    if (width != kWidth || height != -kHeight || bits != 32) return false;
    if (d.size() < offset + static_cast<size_t>(kWidth) * kHeight * 4) return false;
    pixels.resize(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = read32(d, offset + i * 4) & 0xffffff;
    return true;
}

bool readPng(const char* path, std::vector<uint32_t>& pixels) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path);
    bool ok = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS && cairo_image_surface_get_width(s) == kWidth &&
              cairo_image_surface_get_height(s) == kHeight;
    if (ok) {
        cairo_surface_flush(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        pixels.resize(static_cast<size_t>(kWidth) * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                uint32_t p;
                std::memcpy(&p, data + y * stride + x * 4, 4);
                pixels[static_cast<size_t>(y) * kWidth + x] = p & 0xffffff;
            }
    }
    cairo_surface_destroy(s);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: picture-compare WINDOWS.bmp LINUX.png\n");
        return 2;
    }
    std::vector<uint32_t> windows, linux;
    if (!readBmp(argv[1], windows) || !readPng(argv[2], linux)) {
        std::printf("cannot read %s or %s as a %dx%d picture\n", argv[1], argv[2], kWidth, kHeight);
        return 1;
    }
    size_t outside = 0, inside = 0;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const size_t i = static_cast<size_t>(y) * kWidth + x;
            if (windows[i] == linux[i]) continue;
            if (inText(x, y)) {
                ++inside;
            } else if (outside++ == 0) {
                firstX = x;
                firstY = y;
            }
        }
    std::printf("%zu pixels differ outside the text areas, %zu inside", outside, inside);
    if (outside) std::printf(" (first at %d,%d: 0x%06x here, 0x%06x on Linux)", firstX, firstY,
                             windows[static_cast<size_t>(firstY) * kWidth + firstX],
                             linux[static_cast<size_t>(firstY) * kWidth + firstX]);
    std::printf("\n");
    return outside == 0 ? 0 : 1;
}
