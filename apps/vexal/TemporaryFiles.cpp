#include "TemporaryFiles.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/FileReplacement.h"

namespace vexal::cli {

namespace {

// An album delivery keeps one temporary per track and pass until it knows
// which pass to keep. The handler reads the table without locks or allocation.
constexpr size_t kSlots = 4096;
std::atomic<char*> slots[kSlots];

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void made(const char* path) {
    char* copy = strdup(path);
    if (!copy) return;
    for (std::atomic<char*>& slot : slots) {
        char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, copy)) return;
    }
    std::free(copy);  // more than any run makes; this one is not removed on a signal
}

void gone(const char* path) {
    for (std::atomic<char*>& slot : slots) {
        char* held = slot.load();
        if (!held || std::strcmp(held, path) != 0) continue;
        // No handler may be reading the name while it is freed.
        sigset_t all, previous;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous);
        slot.store(nullptr);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        std::free(held);
        return;
    }
}

void removeTemporariesAndExit(int signal) {
    for (std::atomic<char*>& slot : slots)
        if (const char* path = slot.load()) unlink(path);
    // Ended by the signal, as the caller expects.
    ::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

void installInterruptCleanup() {
    platform::setTemporaryTracker({made, gone});
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndExit;
    sigfillset(&action.sa_mask);
    for (int signal : kSignals) {
        // A signal the caller ignores (nohup, a shell's background job) stays ignored.
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace vexal::cli
