#include "Resources.h"

#include <algorithm>

namespace vexal::resources {

// The table the build generates from the drawn PNG files, sorted by id.
namespace embedded {
extern const Resource table[];
extern const size_t tableSize;
}  // namespace embedded

const Resource* find(int32_t id) {
    const Resource* end = embedded::table + embedded::tableSize;
    const Resource* r =
        std::lower_bound(embedded::table, end, id, [](const Resource& x, int32_t wanted) { return x.id < wanted; });
    return r != end && r->id == id ? r : nullptr;
}

const Resource* all(size_t& count) {
    count = embedded::tableSize;
    return embedded::table;
}

}  // namespace vexal::resources
