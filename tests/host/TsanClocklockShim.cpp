// ThreadSanitizer in this toolchain (gcc 12's libtsan, clang 14's runtime)
// intercepts pthread_mutex_timedlock but not pthread_mutex_clocklock, which
// libstdc++ uses for try_lock_for on a steady clock. A lock it cannot see
// followed by an unlock it can is reported as "unlock of an unlocked mutex".
// In ThreadSanitizer builds only, clocklock is carried out as a timedlock with
// the same remaining time, which the sanitizer does see.
#if defined(__SANITIZE_THREAD__)

#include <pthread.h>
#include <time.h>

namespace {
timespec add(const timespec& a, long long nanoseconds) {
    long long total = static_cast<long long>(a.tv_sec) * 1000000000LL + a.tv_nsec + nanoseconds;
    return timespec{static_cast<time_t>(total / 1000000000LL), static_cast<long>(total % 1000000000LL)};
}
}  // namespace

#pragma GCC visibility push(default)
extern "C" int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock,
                                       const struct timespec* deadline) {
    timespec now{}, realNow{};
    clock_gettime(clock, &now);
    clock_gettime(CLOCK_REALTIME, &realNow);
    const long long remaining = (static_cast<long long>(deadline->tv_sec) - now.tv_sec) * 1000000000LL +
                                (deadline->tv_nsec - now.tv_nsec);
    const timespec realDeadline = add(realNow, remaining > 0 ? remaining : 0);
    return pthread_mutex_timedlock(mutex, &realDeadline);
}
#pragma GCC visibility pop

#endif
