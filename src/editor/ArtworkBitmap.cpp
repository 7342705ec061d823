#include "ArtworkBitmap.h"

#include "resources/Resources.h"

namespace vexal {

CBitmap* newArtworkBitmap(int32_t id) {
    const resources::Resource* resource = resources::find(id);
    return new CBitmap(resource ? PngData{id, resource->png, resource->size} : PngData{id, nullptr, 0});
}

}  // namespace vexal
