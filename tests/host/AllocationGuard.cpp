#include "AllocationGuard.h"

#include <cstddef>
#include <cstdlib>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* ptr, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* ptr);
}

namespace testhost {
namespace {
thread_local int scopeDepth = 0;
thread_local RealtimeCounts counts;

inline void noteAllocation() {
    if (scopeDepth > 0) ++counts.allocations;
}
inline void noteFree(void* ptr) {
    if (ptr && scopeDepth > 0) ++counts.frees;
}
}  // namespace

RealtimeScope::RealtimeScope() { ++scopeDepth; }
RealtimeScope::~RealtimeScope() { --scopeDepth; }
RealtimeCounts realtimeCounts() { return counts; }
void resetRealtimeCounts() { counts = {}; }

}  // namespace testhost

// Sanitizer builds bring their own allocator; counting stays with the plain build.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* malloc(size_t size) {
    testhost::noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    testhost::noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* ptr, size_t size) {
    testhost::noteAllocation();
    return __libc_realloc(ptr, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    testhost::noteAllocation();
    return __libc_memalign(alignment, size);
}
void* memalign(size_t alignment, size_t size) {
    testhost::noteAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    testhost::noteAllocation();
    void* p = __libc_memalign(alignment, size);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}
void free(void* ptr) {
    testhost::noteFree(ptr);
    __libc_free(ptr);
}
}
#endif
