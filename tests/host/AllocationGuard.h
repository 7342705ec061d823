// Counts heap allocations made by the current thread while a RealtimeScope is
// alive. The counting malloc/free family in AllocationGuard.cpp interposes the
// C library's for the whole test process, the dlopened plug-in included.
#pragma once

#include <cstdint>

namespace testhost {

struct RealtimeCounts {
    uint64_t allocations = 0;
    uint64_t frees = 0;
};

class RealtimeScope {
public:
    RealtimeScope();
    ~RealtimeScope();
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;
};

// What the current thread did inside RealtimeScopes since the last reset.
RealtimeCounts realtimeCounts();
void resetRealtimeCounts();

}  // namespace testhost
