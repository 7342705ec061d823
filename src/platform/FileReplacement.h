// Writing over files without ever losing them, and reading files that may
// be anything a user can name.
//
// Every file the plug-in or vexal writes goes to a temporary file in the
// target's folder, is flushed to the disk and only then renamed over the
// target: a full disk, a crash or a signal leaves either the old file or the
// new one, never a fragment. A symbolic link is written through (the link
// stays a link), an existing file keeps its mode and its owner.
//
// Threads: whichever thread writes; nothing here is shared but the test hook
// and the temporary tracker, both set up before any writing starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexal::platform {

struct ReplaceOptions {
    // An existing file without write permission for us (or, for a user whom
    // permissions do not bind, with none for anybody) is refused unless set.
    bool replaceWriteProtected = false;
    // Refused when a file of that name exists (--no-clobber); checked again
    // when the new file is put in place.
    bool keepExisting = false;
    // The settings store's values are ours: replaced even when write-protected
    // or left by another user (a host once run with sudo), and then ours.
    bool checkWriteProtection = true;
    bool keepOwner = true;
};

class FileReplacement {
public:
    FileReplacement() = default;
    // Abandons a replacement that was not committed: the temporary goes.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Creates the temporary file for `target`; false with `problem` saying
    // why (the target is not a regular file, is write-protected, belongs to
    // another user, or the folder cannot be written).
    bool begin(const std::string& target, const ReplaceOptions& options, std::string& problem);
    // Writes all bytes to the temporary file.
    bool write(const void* data, size_t size, std::string& problem);
    // The temporary's descriptor for writers that write themselves; it stays
    // ours (commit and abandon close it).
    int descriptor() const { return fd; }
    const std::string& temporaryPath() const { return temporary; }
    // The file the target names (symbolic links followed).
    const std::string& destinationPath() const { return destination; }

    // Flushes the temporary to the disk and renames it over the target. On
    // any failure the target is as it was and the temporary is removed.
    bool commit(std::string& problem);
    // Removes the temporary; the target is untouched.
    void abandon();

private:
    bool fail(std::string& problem, const std::string& why);

    std::string destination;
    std::string temporary;
    int fd = -1;
    bool keepExisting = false;
};

// The whole replacement in one call.
bool replaceFileContents(const std::string& target, const void* data, size_t size,
                         const ReplaceOptions& options, std::string& problem);

// Reads a regular file of at most maxBytes whole. Opened without blocking,
// so a named pipe or a device never holds the caller up; anything but a
// regular file is refused, as is a larger file (read no further than one
// byte past the limit). False with `problem` saying why.
bool readRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes,
                     std::string& problem);

// Why `path` cannot be opened as a regular file for reading or writing, or
// empty when it can (or does not exist): a folder, a named pipe, a device,
// a socket.
std::string notARegularFile(const std::string& path);

// The path a write to `path` reaches: symbolic links followed, also a final
// one that names a file not yet there.
std::string followLinks(const std::string& path);

// A program that must remove its temporaries when a signal ends it (vexal)
// is told of each one as it is made and as it goes. The calls come from the
// writing thread; the plug-in leaves them unset.
struct TemporaryTracker {
    void (*made)(const char* path) = nullptr;
    void (*gone)(const char* path) = nullptr;
};
void setTemporaryTracker(const TemporaryTracker& tracker);

// Tests: the next writes, flushes or renames of a replacement fail with
// `error` (ENOSPC, EIO, ...) as a full or failing disk makes them fail. A
// write fails once `afterBytes` bytes of the replacement went through.
namespace testhook {
enum class FaultAt { none, write, flush, rename };
void injectFault(FaultAt where, int error, size_t afterBytes = 0);
void clearFault();
}  // namespace testhook

}  // namespace vexal::platform
