// Counting wrappers for the calls an audio thread must not make: locks other
// than processLock, sleeps, condition waits, file and console I/O, memory
// mapping and thread creation. Each forwards to the C library's own function.
// The test executables export these symbols (ENABLE_EXPORTS), so the plug-in,
// dlopened later, binds to them.
#include "AllocationGuard.h"

#ifndef TESTHOST_SANITIZED

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

using testhost::detail::inRealtimeScope;
using testhost::detail::threadCounts;

void* realFunction(std::atomic<void*>& slot, const char* name) {
    void* f = slot.load(std::memory_order_relaxed);
    if (!f) {
        f = dlsym(RTLD_NEXT, name);
        slot.store(f, std::memory_order_relaxed);
    }
    return f;
}

// The C library's own definition of `name`, looked up once.
#define REAL(name)                                                              \
    ([]() {                                                                     \
        static std::atomic<void*> slot{nullptr};                                \
        return reinterpret_cast<decltype(&::name)>(realFunction(slot, #name)); \
    }())

void noteBlocking(const char* what) {
    if (!inRealtimeScope()) return;
    ++threadCounts().blockingCalls;
    threadCounts().lastBlockingCall = what;
}
void notePlainLock() {
    if (inRealtimeScope()) ++threadCounts().plainLocks;
}

void noteTimedLock(int result) {
    if (!inRealtimeScope()) return;
    ++threadCounts().timedLocks;
    if (result == 0) ++threadCounts().timedLocksTaken;
}

bool opensForWriting(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0; }
bool opensForWriting(const char* mode) { return mode && std::strpbrk(mode, "wa+") != nullptr; }

}  // namespace

// Test builds use hidden visibility; the plug-in must see these definitions.
#pragma GCC visibility push(default)
extern "C" {

// --- locks ---------------------------------------------------------------------
int pthread_mutex_lock(pthread_mutex_t* m) {
    notePlainLock();
    return REAL(pthread_mutex_lock)(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    notePlainLock();
    return REAL(pthread_mutex_trylock)(m);
}
int pthread_mutex_timedlock(pthread_mutex_t* m, const struct timespec* t) {
    const int result = REAL(pthread_mutex_timedlock)(m, t);
    noteTimedLock(result);
    return result;
}
int pthread_mutex_clocklock(pthread_mutex_t* m, clockid_t c, const struct timespec* t) {
    const int result = REAL(pthread_mutex_clocklock)(m, c, t);
    noteTimedLock(result);
    return result;
}
int pthread_mutex_unlock(pthread_mutex_t* m) {
    if (inRealtimeScope()) ++threadCounts().unlocks;
    return REAL(pthread_mutex_unlock)(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
    notePlainLock();
    return REAL(pthread_rwlock_rdlock)(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
    notePlainLock();
    return REAL(pthread_rwlock_wrlock)(l);
}
int sem_wait(sem_t* s) {
    notePlainLock();
    return REAL(sem_wait)(s);
}
int sem_timedwait(sem_t* s, const struct timespec* t) {
    notePlainLock();
    return REAL(sem_timedwait)(s, t);
}

// --- waits and sleeps --------------------------------------------------------------
int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m) {
    noteBlocking("pthread_cond_wait");
    return REAL(pthread_cond_wait)(c, m);
}
int pthread_cond_timedwait(pthread_cond_t* c, pthread_mutex_t* m, const struct timespec* t) {
    noteBlocking("pthread_cond_timedwait");
    return REAL(pthread_cond_timedwait)(c, m, t);
}
int pthread_cond_clockwait(pthread_cond_t* c, pthread_mutex_t* m, clockid_t id,
                           const struct timespec* t) {
    noteBlocking("pthread_cond_clockwait");
    return REAL(pthread_cond_clockwait)(c, m, id, t);
}
int nanosleep(const struct timespec* t, struct timespec* rem) {
    noteBlocking("nanosleep");
    return REAL(nanosleep)(t, rem);
}
int clock_nanosleep(clockid_t c, int flags, const struct timespec* t, struct timespec* rem) {
    noteBlocking("clock_nanosleep");
    return REAL(clock_nanosleep)(c, flags, t, rem);
}
int usleep(useconds_t us) {
    noteBlocking("usleep");
    return REAL(usleep)(us);
}
unsigned int sleep(unsigned int s) {
    noteBlocking("sleep");
    return REAL(sleep)(s);
}
int sched_yield() {
    noteBlocking("sched_yield");
    return REAL(sched_yield)();
}

// --- threads and memory mapping ---------------------------------------------------
int pthread_create(pthread_t* t, const pthread_attr_t* a, void* (*f)(void*), void* arg) {
    noteBlocking("pthread_create");
    return REAL(pthread_create)(t, a, f, arg);
}
void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    noteBlocking("mmap");
    return REAL(mmap)(addr, length, prot, flags, fd, offset);
}
int munmap(void* addr, size_t length) {
    noteBlocking("munmap");
    return REAL(munmap)(addr, length);
}

// --- file, console and socket I/O ---------------------------------------------------
ssize_t write(int fd, const void* buffer, size_t n) {
    noteBlocking("write");
    return REAL(write)(fd, buffer, n);
}
ssize_t read(int fd, void* buffer, size_t n) {
    noteBlocking("read");
    return REAL(read)(fd, buffer, n);
}
int open(const char* path, int flags, ...) {
    noteBlocking("open");
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if (opensForWriting(flags)) testhost::detail::noteFileWriteOpen();
    return REAL(open)(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
    noteBlocking("open64");
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if (opensForWriting(flags)) testhost::detail::noteFileWriteOpen();
    return REAL(open64)(path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
    noteBlocking("openat");
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if (opensForWriting(flags)) testhost::detail::noteFileWriteOpen();
    return REAL(openat)(dir, path, flags, mode);
}
int creat(const char* path, mode_t mode) {
    noteBlocking("creat");
    testhost::detail::noteFileWriteOpen();
    return REAL(creat)(path, mode);
}
FILE* fopen(const char* path, const char* mode) {
    noteBlocking("fopen");
    if (opensForWriting(mode)) testhost::detail::noteFileWriteOpen();
    return REAL(fopen)(path, mode);
}
FILE* fopen64(const char* path, const char* mode) {
    noteBlocking("fopen64");
    if (opensForWriting(mode)) testhost::detail::noteFileWriteOpen();
    return REAL(fopen64)(path, mode);
}
size_t fwrite(const void* p, size_t size, size_t n, FILE* f) {
    noteBlocking("fwrite");
    return REAL(fwrite)(p, size, n, f);
}
size_t fread(void* p, size_t size, size_t n, FILE* f) {
    noteBlocking("fread");
    return REAL(fread)(p, size, n, f);
}
int fputs(const char* s, FILE* f) {
    noteBlocking("fputs");
    return REAL(fputs)(s, f);
}
int puts(const char* s) {
    noteBlocking("puts");
    return REAL(puts)(s);
}
int fflush(FILE* f) {
    noteBlocking("fflush");
    return REAL(fflush)(f);
}
int vfprintf(FILE* f, const char* format, va_list args) {
    noteBlocking("vfprintf");
    return REAL(vfprintf)(f, format, args);
}
int vprintf(const char* format, va_list args) {
    noteBlocking("vprintf");
    return REAL(vfprintf)(stdout, format, args);
}
int fprintf(FILE* f, const char* format, ...) {
    noteBlocking("fprintf");
    va_list args;
    va_start(args, format);
    const int n = REAL(vfprintf)(f, format, args);
    va_end(args);
    return n;
}
int printf(const char* format, ...) {
    noteBlocking("printf");
    va_list args;
    va_start(args, format);
    const int n = REAL(vfprintf)(stdout, format, args);
    va_end(args);
    return n;
}
int connect(int fd, const struct sockaddr* address, socklen_t length) {
    noteBlocking("connect");
    testhost::detail::noteSocketConnect();
    return REAL(connect)(fd, address, length);
}

}  // extern "C"
#pragma GCC visibility pop

#endif  // TESTHOST_SANITIZED
