// The toolkit decodes what it is handed; this is where the window's pictures
// are found among the artwork embedded in the plug-in.
#pragma once

#include <cstdint>

#include "../gui/CBitmap.h"

namespace vexal {

// A new bitmap of the embedded artwork with that number (the caller holds
// the creation reference); not loaded when the number is not among it.
CBitmap* newArtworkBitmap(int32_t id);

}  // namespace vexal
