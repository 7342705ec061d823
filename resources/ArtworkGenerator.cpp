// Draws every bitmap of the editor and writes it as <id>.png into a folder:
//   vexal_artwork_generator OUT_DIR [--preview FILE.png]
// The output is the same bytes on every run: no time stamps, fixed
// antialiasing and font options, RGB images without alpha.
#include <cstdio>
#include <cstring>
#include <string>

#include "Artwork.h"

namespace {

using vexal::artwork::Artwork;
using vexal::artwork::Image;

bool writePng(const Image& image, const std::string& path) {
    return cairo_surface_write_to_png(image.surface(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

Artwork drawAll() {
    namespace art = vexal::artwork;
    Artwork bitmaps;
    bitmaps[128] = art::drawBackground();
    const Image& background = bitmaps.at(128);
    art::drawMeters(bitmaps);
    art::drawFonts(bitmaps);
    art::drawSwitches(bitmaps, background);
    art::drawKnobs(bitmaps, background);
    art::drawPresetBar(bitmaps, background);
    return bitmaps;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--preview") == 0)) {
        std::fprintf(stderr, "usage: %s OUT_DIR [--preview FILE.png]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const Artwork bitmaps = drawAll();
    for (const auto& [id, image] : bitmaps) {
        const std::string path = folder + "/" + std::to_string(id) + ".png";
        if (!writePng(image, path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (argc == 4 && !writePng(vexal::artwork::drawPreview(bitmaps), argv[3])) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
