// Aligned blocks for the engine's buffers. Windows' C runtime has no
// aligned_alloc, and its aligned blocks must go back through _aligned_free.
#pragma once

#include <cstddef>
#include <cstdlib>
#if defined(_WIN32)
#include <malloc.h>
#endif

namespace vexal {

// `alignment` a power of two; `bytes` a multiple of it. Null when out of memory.
inline void* alignedAllocate(size_t alignment, size_t bytes) {
#if defined(_WIN32)
    return _aligned_malloc(bytes, alignment);
#else
    return std::aligned_alloc(alignment, bytes);
#endif
}

inline void alignedRelease(void* block) {
#if defined(_WIN32)
    _aligned_free(block);
#else
    std::free(block);
#endif
}

}  // namespace vexal
