#include "PngFile.h"

#include "UsageError.h"
#include "platform/FileReplacement.h"

namespace vexal::cli {

void writePng(cairo_surface_t* image, const std::string& path, Existing existing) {
    platform::FileReplacement file;
    std::string problem;
    struct Sink {
        platform::FileReplacement& file;
        std::string& problem;
    } sink{file, problem};
    auto write = [](void* closure, const unsigned char* data, unsigned int length) {
        auto* s = static_cast<Sink*>(closure);
        return s->file.write(data, length, s->problem) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
    };
    if (!file.begin(path, replaceOptionsFor(existing), problem) || cairo_surface_write_to_png_stream(image, write, &sink) != CAIRO_STATUS_SUCCESS ||
        !file.commit(problem))
        throw ProcessingError(path + ": picture not saved: " + refusalText(problem.empty() ? "cannot be written" : problem));
}

}  // namespace vexal::cli
