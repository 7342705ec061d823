// Replacing files on Windows: a temporary beside the target, flushed to the
// disk, then moved over the target with MoveFileExW (replace existing, write
// through), so that the target is always either the old file or the new one.
// Paths are the members' 8-bit text in the system's code page.
#include "platform/FileReplacement.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <algorithm>
#include <cstring>
#include <random>

#include "platform/PathNames.h"
#include "WideText.h"

namespace vexal::platform {

namespace {

TemporaryTracker tracker;

struct Fault {
    std::atomic<int> where{static_cast<int>(testhook::FaultAt::none)};
    std::atomic<int> error{0};
    std::atomic<size_t> afterBytes{0};
} fault;

bool faultAt(testhook::FaultAt where) { return fault.where.load() == static_cast<int>(where); }

// The system's text for an error, lower case and without the final period.
std::string reason(DWORD code) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string why = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == '.' || why.back() == ' '))
        why.pop_back();
    if (!why.empty() && why[0] >= 'A' && why[0] <= 'Z') why[0] = static_cast<char>(why[0] - 'A' + 'a');
    return why;
}

std::string errnoReason(int error) {
    const char* text = std::strerror(error);
    return text ? text : "error " + std::to_string(error);
}

DWORD attributesOf(const std::string& path) {
    const std::wstring wide = toWide(path);
    return wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
}

}  // namespace

std::string notARegularFile(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "is a folder, not a file";
    if (attributes & FILE_ATTRIBUTE_DEVICE) return "is a device, not a file";
    return {};
}

// Windows' links are resolved by the system when the file is opened.
std::string followLinks(const std::string& path) { return path; }

void setTemporaryTracker(const TemporaryTracker& t) { tracker = t; }

FileReplacement::~FileReplacement() { abandon(); }

bool FileReplacement::fail(std::string& problem, const std::string& why) {
    problem = why;
    abandon();
    return false;
}

bool FileReplacement::begin(const std::string& target, const ReplaceOptions& options, std::string& problem) {
    abandon();
    destination = followLinks(target);
    keepExisting = options.keepExisting;
    if (toWide(destination).empty()) return fail(problem, "cannot be written: the name is not text of this system");
    const DWORD attributes = attributesOf(destination);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (const std::string type = notARegularFile(destination); !type.empty()) return fail(problem, type);
        if (options.keepExisting) return fail(problem, "exists");
        if ((attributes & FILE_ATTRIBUTE_READONLY) && options.checkWriteProtection && !options.replaceWriteProtected)
            return fail(problem, "is write-protected");
    }
    const size_t separator = lastPathSeparator(destination);
    const std::string folder = separator == std::string::npos ? std::string() : destination.substr(0, separator + 1);
    const std::string name = separator == std::string::npos ? destination : destination.substr(separator + 1);
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        std::string candidate = folder + "." + name + ".vexal-";
        for (int i = 0; i < 6; ++i) candidate += digits[random() % 36];
        const std::wstring wide = toWide(candidate);
        fd = _wopen(wide.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            temporary = candidate;
        } else if (errno != EEXIST) {
            return fail(problem, "cannot be written: " + errnoReason(errno));
        }
    }
    if (fd < 0) return fail(problem, "cannot be written: no free temporary name");
    if (tracker.made) tracker.made(temporary.c_str());
    return true;
}

bool FileReplacement::write(const void* data, size_t size, std::string& problem) {
    if (fd < 0) return fail(problem, "cannot be written");
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        size_t chunk = size < (1u << 30) ? size : (1u << 30);
        if (faultAt(testhook::FaultAt::write)) {
            const size_t allowed = fault.afterBytes.load();
            if (allowed == 0) return fail(problem, "cannot be written: " + errnoReason(fault.error.load()));
            if (chunk > allowed) chunk = allowed;
            fault.afterBytes -= chunk;
        }
        const int n = _write(fd, p, static_cast<unsigned>(chunk));
        if (n <= 0) return fail(problem, "cannot be written: " + errnoReason(n < 0 ? errno : ENOSPC));
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FileReplacement::commit(std::string& problem) {
    if (fd < 0) return fail(problem, "cannot be written");
    if (faultAt(testhook::FaultAt::flush)) return fail(problem, "cannot be written: " + errnoReason(fault.error.load()));
    if (_commit(fd) != 0) return fail(problem, "cannot be written: " + errnoReason(errno));
    const int closed = _close(fd);
    fd = -1;
    if (closed != 0) return fail(problem, "cannot be written: " + errnoReason(errno));
    if (faultAt(testhook::FaultAt::rename))
        return fail(problem, "cannot be replaced: " + errnoReason(fault.error.load()));
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (keepExisting ? 0 : MOVEFILE_REPLACE_EXISTING);
    if (!MoveFileExW(toWide(temporary).c_str(), toWide(destination).c_str(), flags)) {
        const DWORD error = GetLastError();
        return fail(problem, error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS
                                 ? std::string("exists")
                                 : "cannot be replaced: " + reason(error));
    }
    if (tracker.gone) tracker.gone(temporary.c_str());
    temporary.clear();
    return true;
}

void FileReplacement::abandon() {
    if (fd >= 0) {
        _close(fd);
        fd = -1;
    }
    if (!temporary.empty()) {
        DeleteFileW(toWide(temporary).c_str());
        if (tracker.gone) tracker.gone(temporary.c_str());
        temporary.clear();
    }
}

bool replaceFileContents(const std::string& target, const void* data, size_t size, const ReplaceOptions& options,
                         std::string& problem) {
    FileReplacement replacement;
    return replacement.begin(target, options, problem) && replacement.write(data, size, problem) &&
           replacement.commit(problem);
}

bool readRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& problem) {
    const std::wstring wide = toWide(path);
    if (const std::string type = notARegularFile(path); !type.empty()) {
        problem = type;
        return false;
    }
    const HANDLE file = wide.empty() ? INVALID_HANDLE_VALUE
                                     : CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        problem = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? std::string("does not exist")
                                                                                 : "cannot be read: " + reason(error);
        return false;
    }
    bool ok = GetFileType(file) == FILE_TYPE_DISK;
    if (!ok) problem = "is not a regular file";
    LARGE_INTEGER size{};
    if (ok && (!GetFileSizeEx(file, &size) || size.QuadPart < 0)) {
        problem = "cannot be read: " + reason(GetLastError());
        ok = false;
    }
    if (ok && static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        problem = "is too large (" + std::to_string(size.QuadPart) + " bytes)";
        ok = false;
    }
    if (ok) {
        // One byte more than announced: a file that grew meanwhile is too large.
        std::vector<uint8_t> data(static_cast<size_t>(size.QuadPart) + 1);
        size_t got = 0;
        while (got < data.size()) {
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - got, 1u << 30));
            if (!ReadFile(file, data.data() + got, want, &n, nullptr)) {
                problem = "cannot be read: " + reason(GetLastError());
                ok = false;
                break;
            }
            if (n == 0) break;
            got += n;
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
    CloseHandle(file);
    return ok;
}

namespace testhook {

void injectFault(FaultAt where, int error, size_t afterBytes) {
    fault.error = error;
    fault.afterBytes = afterBytes;
    fault.where = static_cast<int>(where);
}

void clearFault() { fault.where = static_cast<int>(FaultAt::none); }

}  // namespace testhook

}  // namespace vexal::platform
