#include "Subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace vexal::platform {

namespace {

// Far more than any answer a dialog gives (many long paths); an answer
// beyond it is no answer (`overflowed`), never a cut one.
constexpr size_t kMaxOutput = 4 * 1024 * 1024;
constexpr int kTerminateWaitMs = 100;

bool isInherited(std::string_view entry) {
    return !entry.starts_with("LD_LIBRARY_PATH=") && !entry.starts_with("LD_PRELOAD=");
}

bool reap(pid_t pid, int options, int& status) {
    int raw = 0;
    pid_t done;
    do {
        done = waitpid(pid, &raw, options);
    } while (done < 0 && errno == EINTR);
    if (done == 0) return false;
    // ECHILD: someone else reaped it (or SIGCHLD is ignored); its status is lost.
    status = done > 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return true;
}

void sleepMs(int ms) {
    timespec pause{0, ms * 1000000L};
    nanosleep(&pause, nullptr);
}

}  // namespace

std::string findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "";
    while (true) {
        const size_t colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        std::string candidate(folder.empty() ? std::string_view(".") : folder);
        candidate.append("/").append(name);
        struct stat info{};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos) return {};
        folders.remove_prefix(colon + 1);
    }
}

Subprocess::~Subprocess() {
    terminate();
}

bool Subprocess::start(const std::string& program, const std::vector<std::string>& arguments, Output output,
                       Ending how) {
    ending = how;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; e && *e; ++e)
        if (isInherited(*e)) envp.push_back(*e);
    envp.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    // Only our end is non-blocking: the child writes as to any pipe, and
    // waits while a long answer does not fit until we have read some.
    if (output == Output::capture &&
        (pipe2(pipeFds, O_CLOEXEC) != 0 || fcntl(pipeFds[0], F_SETFL, O_NONBLOCK) != 0)) {
        if (pipeFds[0] >= 0) close(pipeFds[0]);
        if (pipeFds[1] >= 0) close(pipeFds[1]);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output == Output::capture)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
    // The host's descriptors without close-on-exec stay with the host.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    // A fresh signal state: the host's thread may block or ignore signals.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (pipeFds[1] >= 0) close(pipeFds[1]);
    if (error != 0) {
        pid = -1;
        if (pipeFds[0] >= 0) close(pipeFds[0]);
        return false;
    }
    outputFd = pipeFds[0];
    return true;
}

void Subprocess::drain() {
    if (outputFd < 0) return;
    char buffer[4096];
    while (true) {
        const ssize_t n = read(outputFd, buffer, sizeof buffer);
        if (n > 0) {
            const size_t room = kMaxOutput - std::min(kMaxOutput, captured.size());
            if (static_cast<size_t>(n) > room) overflow = true;
            captured.append(buffer, std::min(static_cast<size_t>(n), room));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {  // every writer is gone
            close(outputFd);
            outputFd = -1;
        }
        return;
    }
}

bool Subprocess::poll() {
    if (pid <= 0) return true;
    drain();
    if (!reap(pid, WNOHANG, status)) return false;
    pid = -1;
    // What it wrote before it ended is in the pipe; a grandchild that keeps
    // the pipe open must not make us wait for its end.
    drain();
    if (outputFd >= 0) {
        close(outputFd);
        outputFd = -1;
    }
    return true;
}

void Subprocess::terminate() {
    if (pid > 0) {
        const pid_t target = ending == Ending::group ? -pid : pid;
        kill(target, SIGTERM);
        bool ended = false;
        for (int waited = 0; waited < kTerminateWaitMs && !ended; waited += 2) {
            ended = reap(pid, WNOHANG, status);
            if (!ended) sleepMs(2);
        }
        if (!ended) {
            kill(target, SIGKILL);
            reap(pid, 0, status);
        }
        pid = -1;
    }
    if (outputFd >= 0) {
        close(outputFd);
        outputFd = -1;
    }
}

}  // namespace vexal::platform
