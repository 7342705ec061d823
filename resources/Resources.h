// The editor's bitmaps, drawn at build time and embedded as PNG files.
#pragma once
#include <cstddef>
#include <cstdint>
namespace vexal::resources {
struct Resource { int32_t id; int32_t width; int32_t height; const uint8_t* png; size_t size; };
// The embedded bitmap with that resource number, or null when there is none.
const Resource* find(int32_t id);
// Every embedded bitmap, in increasing id order.
const Resource* all(size_t& count);
}
