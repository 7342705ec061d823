// A child program started with posix_spawn, never waited on: poll() reads
// what it has written and notices its end without blocking. It runs in a
// process group of its own, with stdin from /dev/null, no descriptor of ours
// but the ones given, and the environment without LD_LIBRARY_PATH and
// LD_PRELOAD, so that the host's libraries do not leak into it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vexal::platform {

// The executable file `name` on PATH; empty when there is none.
std::string findOnPath(const std::string& name);

class Subprocess {
public:
    enum class Output { capture, discard };
    enum class Ending { group, leader };  // what destruction ends while it runs

    Subprocess() = default;
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // `program` is a path; `arguments` follow argv[0]. False when it could not start.
    bool start(const std::string& program, const std::vector<std::string>& arguments, Output output,
               Ending ending);
    // True once the program has ended; `exitStatus` is then its status, or −1
    // when a signal ended it.
    bool poll();
    bool running() const { return pid > 0; }
    int exitStatus() const { return status; }
    const std::string& output() const { return captured; }
    // True when it wrote more than we keep (4 MiB): `output` is then incomplete.
    bool overflowed() const { return overflow; }

    // Ends a running program: SIGTERM, up to ~100 ms for it to go, then SIGKILL;
    // always reaped.
    void terminate();

private:
    void drain();

    pid_t pid = -1;
    Ending ending = Ending::group;
    int outputFd = -1;
    int status = -1;
    std::string captured;
    bool overflow = false;
};

}  // namespace vexal::platform
