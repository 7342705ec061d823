// Draws every bitmap of the artwork catalogue and writes it as <id>.png into
// a folder; a drawing the catalogue does not list, or of another size, fails
// the build:
//   vexal_artwork_generator OUT_DIR [--preview FILE.png]
// The output is the same bytes on every run: no time stamps, fixed
// antialiasing and font options, RGB images without alpha.
#include <cstdio>
#include <cstring>
#include <string>

#include "Artwork.h"
#include "ArtworkCatalogue.h"

namespace {

using vexal::artwork::Artwork;
using vexal::artwork::Image;
using vexal::artwork::idOf;

bool writePng(const Image& image, const std::string& path) {
    return cairo_surface_write_to_png(image.surface(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

Artwork drawAll() {
    namespace art = vexal::artwork;
    Artwork bitmaps;
    bitmaps[idOf("background")] = art::drawBackground();
    const Image& background = bitmaps.at(idOf("background"));
    art::drawMeters(bitmaps);
    art::drawFonts(bitmaps);
    art::drawSwitches(bitmaps, background);
    art::drawKnobs(bitmaps, background);
    art::drawPresetBar(bitmaps, background);
    return bitmaps;
}

// Exactly the catalogue's bitmaps, each of its size.
bool matchesCatalogue(const Artwork& bitmaps) {
    bool ok = bitmaps.size() == vexal::artwork::kBitmapCount;
    for (const auto& [id, image] : bitmaps) {
        const vexal::artwork::BitmapInfo* entry = vexal::artwork::findBitmap(id);
        if (!entry) {
            std::fprintf(stderr, "bitmap %d is not in the artwork catalogue\n", id);
            ok = false;
        } else if (entry->width != image.width() || entry->height != image.height()) {
            std::fprintf(stderr, "bitmap %d (%s) is drawn %d x %d, the catalogue says %d x %d\n", id,
                         std::string(entry->name).c_str(), image.width(), image.height(), entry->width,
                         entry->height);
            ok = false;
        }
    }
    for (const vexal::artwork::BitmapInfo& entry : vexal::artwork::kBitmaps)
        if (!bitmaps.count(entry.id)) {
            std::fprintf(stderr, "bitmap %d (%s) is not drawn\n", entry.id, std::string(entry.name).c_str());
            ok = false;
        }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--preview") == 0)) {
        std::fprintf(stderr, "usage: %s OUT_DIR [--preview FILE.png]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const Artwork bitmaps = drawAll();
    if (!matchesCatalogue(bitmaps)) return 1;
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
