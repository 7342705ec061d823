#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

namespace vexal::platform {

namespace {

TemporaryTracker tracker;

struct Fault {
    std::atomic<testhook::FaultAt> where{testhook::FaultAt::none};
    std::atomic<int> error{0};
    std::atomic<size_t> afterBytes{0};
};
Fault fault;

bool faultAt(testhook::FaultAt where) { return fault.where.load() == where; }

std::string reason(int error) {
    // Lower case, as the messages read "<file>: <reason>".
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && !(text.size() > 1 && text[1] >= 'A' && text[1] <= 'Z'))
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

std::string describeType(mode_t mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return "is a folder, not a file";
    if (S_ISFIFO(mode)) return "is a named pipe, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a file";
    if (S_ISSOCK(mode)) return "is a socket, not a file";
    return "is not a regular file";
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Six characters that differ from one call to the next and between processes.
std::string uniqueSuffix() {
    static std::atomic<uint64_t> counter{0};
    uint64_t n = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (static_cast<uint64_t>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    static const char digits[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s;
    for (int i = 0; i < 6; ++i) {
        s += digits[n % 62];
        n /= 62;
    }
    return s;
}

// Nobody may write it: no write permission for us, or (for root, whom
// permissions do not stop) none for anybody, as a 444 file says.
bool isWriteProtected(const std::string& path, const struct stat& info) {
    if ((info.st_mode & 0222) == 0) return true;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

void syncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

}  // namespace

// --- replacing ----------------------------------------------------------------------

FileReplacement::~FileReplacement() { abandon(); }

bool FileReplacement::fail(std::string& problem, const std::string& why) {
    problem = why;
    abandon();
    return false;
}

bool FileReplacement::begin(const std::string& target, const ReplaceOptions& options, std::string& problem) {
    abandon();
    keepExisting = options.keepExisting;
    destination = followLinks(target);
    struct stat old {};
    const bool exists = ::lstat(destination.c_str(), &old) == 0;
    if (exists) {
        if (const std::string type = describeType(old.st_mode); !type.empty()) return fail(problem, type);
        if (options.keepExisting) return fail(problem, "exists");
        if (options.checkWriteProtection && !options.replaceWriteProtected && isWriteProtected(destination, old))
            return fail(problem, "is write-protected");
    }
    const std::string folder = folderOf(destination);
    const std::string stem = (folder == "." && destination.find('/') == std::string::npos ? "" : folder + "/") +
                             "." + nameOf(destination) + ".vexal-";
    // A signal between the creation and the tracker hearing of it would leave
    // the temporary behind, so the two happen with signals held back.
    sigset_t all, previous;
    sigfillset(&all);
    if (tracker.made) pthread_sigmask(SIG_BLOCK, &all, &previous);
    int openError = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        const std::string candidate = stem + uniqueSuffix();
        // The umask decides a new file's mode, as for any program's output.
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) temporary = candidate;
        else if (errno != EEXIST) {
            openError = errno;
            break;
        }
    }
    if (fd >= 0 && tracker.made) tracker.made(temporary.c_str());
    if (tracker.made) pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (openError != 0) return fail(problem, "cannot be written: " + reason(openError));
    if (fd < 0) return fail(problem, "cannot be written: no free temporary name");
    if (exists) {
        // Owner first: a change of owner clears the set-id bits the mode then restores.
        struct stat now {};
        ::fstat(fd, &now);
        if (options.keepOwner && (now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
            ::fchown(fd, old.st_uid, old.st_gid) != 0 && now.st_uid != old.st_uid &&
            ::fchown(fd, old.st_uid, static_cast<gid_t>(-1)) != 0)
            return fail(problem, "belongs to another user; replacing it would make it yours");
        ::fchmod(fd, old.st_mode & 07777);
    }
    return true;
}

bool FileReplacement::write(const void* data, size_t size, std::string& problem) {
    if (fd < 0) return fail(problem, "cannot be written");
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        size_t chunk = size - done;
        if (faultAt(testhook::FaultAt::write)) {
            const size_t allowed = fault.afterBytes.load();
            if (allowed == 0) return fail(problem, "cannot be written: " + reason(fault.error.load()));
            chunk = std::min(chunk, allowed);
            fault.afterBytes.store(allowed - chunk);
        }
        const ssize_t n = ::write(fd, bytes + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(problem, "cannot be written: " + reason(n < 0 ? errno : ENOSPC));
        done += static_cast<size_t>(n);
    }
    return true;
}

bool FileReplacement::commit(std::string& problem) {
    if (fd < 0) return fail(problem, "cannot be written");
    // Delayed allocation reports a full disk only here, at the flush or the close.
    if (faultAt(testhook::FaultAt::flush)) return fail(problem, "cannot be written: " + reason(fault.error.load()));
    if (::fsync(fd) != 0) return fail(problem, "cannot be written: " + reason(errno));
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return fail(problem, "cannot be written: " + reason(errno));
    if (faultAt(testhook::FaultAt::rename)) return fail(problem, "cannot be replaced: " + reason(fault.error.load()));
    if (keepExisting) {
        // A link fails if a file of that name appeared meanwhile.
        if (::link(temporary.c_str(), destination.c_str()) != 0)
            return fail(problem, errno == EEXIST ? "exists" : "cannot be written: " + reason(errno));
        ::unlink(temporary.c_str());
    } else if (::rename(temporary.c_str(), destination.c_str()) != 0) {
        return fail(problem, "cannot be replaced: " + reason(errno));
    }
    if (tracker.gone) tracker.gone(temporary.c_str());
    temporary.clear();
    // The rename itself outlasts a crash only once the folder is flushed.
    syncFolder(folderOf(destination));
    return true;
}

void FileReplacement::abandon() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (temporary.empty()) return;
    ::unlink(temporary.c_str());
    if (tracker.gone) tracker.gone(temporary.c_str());
    temporary.clear();
}

bool replaceFileContents(const std::string& target, const void* data, size_t size, const ReplaceOptions& options,
                         std::string& problem) {
    FileReplacement file;
    return file.begin(target, options, problem) && file.write(data, size, problem) && file.commit(problem);
}

// --- reading ------------------------------------------------------------------------

bool readRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& problem) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        // A socket cannot be opened at all: say what it is.
        problem = notARegularFile(path);
        if (problem.empty()) problem = error == ENOENT ? "does not exist" : "cannot be read: " + reason(error);
        return false;
    }
    struct stat info {};
    bool ok = false;
    if (::fstat(fd, &info) != 0) {
        problem = "cannot be read: " + reason(errno);
    } else if (const std::string type = describeType(info.st_mode); !type.empty()) {
        problem = type;
    } else if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        problem = "is too large (" + std::to_string(info.st_size) + " bytes)";
    } else {
        // One byte more than allowed: a file that grew meanwhile is too large.
        std::vector<uint8_t> data(maxBytes + 1);
        size_t got = 0;
        ok = true;
        while (got < data.size()) {
            const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                problem = "cannot be read: " + reason(errno);
                ok = false;
            }
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        if (ok && got > maxBytes) {
            problem = "is too large";
            ok = false;
        }
        if (ok) {
            data.resize(got);
            bytes.swap(data);
        }
    }
    ::close(fd);
    return ok;
}

std::string notARegularFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    return describeType(info.st_mode);
}

std::string followLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> text(PATH_MAX + 1);
        const ssize_t n = ::readlink(current.c_str(), text.data(), text.size() - 1);
        if (n <= 0) return current;
        const std::string link(text.data(), static_cast<size_t>(n));
        const auto slash = current.find_last_of('/');
        current = link[0] == '/' || slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
    }
    return current;
}

void setTemporaryTracker(const TemporaryTracker& t) { tracker = t; }

namespace testhook {
void injectFault(FaultAt where, int error, size_t afterBytes) {
    fault.error.store(error);
    fault.afterBytes.store(afterBytes);
    fault.where.store(where);
}
void clearFault() { fault.where.store(FaultAt::none); }
}  // namespace testhook

}  // namespace vexal::platform
