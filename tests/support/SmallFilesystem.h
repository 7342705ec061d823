// A real small file system for tests of full disks and read-only folders: a
// child process gets a mount namespace of its own (and, for an ordinary
// user, a user namespace), mounts a tmpfs of a few pages over a folder and
// runs the test's body there; nothing outside the child sees the mount.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

namespace testsupport {

enum class MountOutcome { passed, failed, impossible };

namespace detail {
inline bool writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

inline bool privateMountNamespace() {
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0) return false;
    } else {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}
}  // namespace detail

// Runs `body` in a child with a tmpfs of `bytes` (whole pages) at `folder`;
// `body`'s failed expectations are reported by the child and make it fail.
// `impossible` when this machine lets no test mount anything.
inline MountOutcome withSmallFilesystem(const std::string& folder, size_t bytes, const std::function<void()>& body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return MountOutcome::impossible;
    if (child == 0) {
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        if (!detail::privateMountNamespace() ||
            ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            ::_exit(77);
        body();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return MountOutcome::impossible;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? MountOutcome::passed : MountOutcome::failed;
}

// Fills the file system holding `folder` until it takes no more bytes.
inline void fillUp(const std::string& folder) {
    const int fd = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    // A last partial page.
    while (::write(fd, "f", 1) > 0) {
    }
    ::close(fd);
}

inline bool remountReadOnly(const std::string& folder) {
    return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
}

// The outcome as the test reports it: only an impossible mount skips, and
// only the part that needs it.
#define EXPECT_SMALL_FILESYSTEM_PASSES(outcome)                                                   \
    do {                                                                                          \
        const ::testsupport::MountOutcome vexalOutcome = (outcome);                               \
        if (vexalOutcome == ::testsupport::MountOutcome::impossible)                              \
            GTEST_SKIP() << "no file system can be mounted here; the injected faults still ran"; \
        EXPECT_EQ(vexalOutcome, ::testsupport::MountOutcome::passed);                             \
    } while (0)

}  // namespace testsupport
