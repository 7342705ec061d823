// The toolkit decodes what it is handed; this is where the window's pictures
// are found among the artwork embedded in the plug-in, and where the
// catalogue's places become the toolkit's rectangles.
#pragma once

#include <cstdint>

#include "gui/CBitmap.h"
#include "gui/GuiTypes.h"
#include "resources/ArtworkCatalogue.h"

namespace vexal {

// A new bitmap of the embedded artwork with that number (the caller holds
// the creation reference); not loaded when the number is not among it.
CBitmap* newArtworkBitmap(int32_t id);

constexpr CRect toCRect(const artwork::Rect& r) { return CRect(r.left, r.top, r.right, r.bottom); }

}  // namespace vexal
