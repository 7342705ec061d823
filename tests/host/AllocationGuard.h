// Real-time discipline for tests. While a RealtimeScope is alive, the current
// thread's heap allocations, frees, lock operations and blocking calls (sleeps,
// file and console I/O, thread creation, condition waits) are counted. The
// counting wrappers in AllocationGuard.cpp and BlockingGuard.cpp interpose the
// C library's functions for the whole test process, the dlopened plug-in
// included. Sanitizer builds bring their own interceptors, so there the
// wrappers are left out and realtimeGuardActive() answers false.
#pragma once

#include <cstdint>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TESTHOST_SANITIZED 1
#elif defined(_WIN32)
// A DLL's C runtime imports are bound when it loads: Windows has no
// interposition either, so the counting guards are left out there too.
#define TESTHOST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define TESTHOST_SANITIZED 1
#endif
#endif

namespace testhost {

struct RealtimeCounts {
    uint64_t allocations = 0;
    uint64_t frees = 0;
    uint64_t timedLocks = 0;    // pthread_mutex_timedlock / clocklock: how processLock is taken
    uint64_t timedLocksTaken = 0;  // those of them that got the lock (the others timed out)
    uint64_t plainLocks = 0;    // pthread_mutex_lock / trylock, rwlocks, semaphores
    uint64_t unlocks = 0;       // pthread_mutex_unlock
    uint64_t blockingCalls = 0; // sleeps, I/O, thread creation, condition waits, mmap
    const char* lastBlockingCall = nullptr;
};

class RealtimeScope {
public:
    RealtimeScope();
    ~RealtimeScope();
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;
};

// Suspends counting on this thread: the test host's own work inside a callback
// the plug-in makes from a process call is not the plug-in's.
class RealtimePause {
public:
    RealtimePause();
    ~RealtimePause();
    RealtimePause(const RealtimePause&) = delete;
    RealtimePause& operator=(const RealtimePause&) = delete;

private:
    int savedDepth;
};

// What the current thread did inside RealtimeScopes since the last reset.
RealtimeCounts realtimeCounts();
void resetRealtimeCounts();

// Called on this thread for every allocation counted in a RealtimeScope, with
// counting paused: a test that must tell whose allocation it was (ours or a
// system library's) reads the call stack there. Null: none.
using AllocationObserver = void (*)();
void setAllocationObserver(AllocationObserver observer);

// False in sanitizer builds, where nothing is counted.
bool realtimeGuardActive();

// Process-wide counts, scope or not: files opened for writing and sockets
// connected (a scan must do neither).
uint64_t fileWriteOpens();
uint64_t socketConnects();

// From now on every malloc/calloc-free allocation (operator new included) is
// filled with this byte (-1: no filling), so that bytes a plug-in hands out
// without writing them show up as a pattern. Plain builds only.
void setAllocationPoison(int byte);

namespace detail {
bool inRealtimeScope();
RealtimeCounts& threadCounts();
void noteFileWriteOpen();
void noteSocketConnect();
}  // namespace detail

}  // namespace testhost
