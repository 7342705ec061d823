#include "AllocationGuard.h"

#include <atomic>
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
std::atomic<uint64_t> writeOpens{0};
std::atomic<uint64_t> connects{0};
std::atomic<int> poison{-1};

inline void* poisoned(void* p, size_t size) {
    const int byte = poison.load(std::memory_order_relaxed);
    if (p && byte >= 0) __builtin_memset(p, byte, size);
    return p;
}

thread_local AllocationObserver observer = nullptr;

inline void noteAllocation() {
    if (scopeDepth <= 0) return;
    ++counts.allocations;
    if (observer) {
        const int depth = scopeDepth;
        scopeDepth = 0;
        observer();
        scopeDepth = depth;
    }
}
inline void noteFree(void* ptr) {
    if (ptr && scopeDepth > 0) ++counts.frees;
}
}  // namespace

RealtimeScope::RealtimeScope() { ++scopeDepth; }
RealtimeScope::~RealtimeScope() { --scopeDepth; }
RealtimePause::RealtimePause() : savedDepth(scopeDepth) { scopeDepth = 0; }
RealtimePause::~RealtimePause() { scopeDepth = savedDepth; }
RealtimeCounts realtimeCounts() { return counts; }
void resetRealtimeCounts() { counts = {}; }

bool realtimeGuardActive() {
#ifdef TESTHOST_SANITIZED
    return false;
#else
    return true;
#endif
}

void setAllocationPoison(int byte) { poison = byte; }
void setAllocationObserver(AllocationObserver o) { observer = o; }

uint64_t fileWriteOpens() { return writeOpens.load(); }
uint64_t socketConnects() { return connects.load(); }

namespace detail {
bool inRealtimeScope() { return scopeDepth > 0; }
RealtimeCounts& threadCounts() { return counts; }
void noteFileWriteOpen() { ++writeOpens; }
void noteSocketConnect() { ++connects; }
}  // namespace detail

}  // namespace testhost

#ifndef TESTHOST_SANITIZED
// Test builds use hidden visibility; the plug-in must see these definitions.
#pragma GCC visibility push(default)
extern "C" {
void* malloc(size_t size) {
    testhost::noteAllocation();
    return testhost::poisoned(__libc_malloc(size), size);
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
    return testhost::poisoned(__libc_memalign(alignment, size), size);
}
void* memalign(size_t alignment, size_t size) {
    testhost::noteAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    testhost::noteAllocation();
    void* p = testhost::poisoned(__libc_memalign(alignment, size), size);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}
void free(void* ptr) {
    testhost::noteFree(ptr);
    __libc_free(ptr);
}
}
#pragma GCC visibility pop
#endif
