// Pictures vexal writes (snapshots, plots) replace the old file whole or
// leave it as it was, like every other output.
#pragma once

#include <cairo.h>

#include <string>

#include "AudioFile.h"

namespace vexal::cli {

// Throws ProcessingError naming `path` and the reason when it cannot be written.
void writePng(cairo_surface_t* image, const std::string& path, Existing existing);

}  // namespace vexal::cli
