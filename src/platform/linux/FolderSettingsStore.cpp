#include "FolderSettingsStore.h"

#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vexal::platform {

namespace {

constexpr const char* kProductFolder = "/Ortelwerk/ZVKvexal";

// Only plain names reach the file system: a value name never walks out of the folder.
bool isPlainName(const char* name) {
    if (!name || !name[0] || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return false;
    return std::strchr(name, '/') == nullptr;
}

bool readBounded(const std::string& path, std::vector<uint8_t>& bytes, size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
              static_cast<uint64_t>(info.st_size) <= maxBytes;
    if (ok) {
        // Read one byte more than announced: a file that grew meanwhile is too large.
        std::vector<uint8_t> data(static_cast<size_t>(info.st_size) + 1);
        size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            got += static_cast<size_t>(n);
        }
        if (ok && got <= maxBytes) {
            data.resize(got);
            bytes.swap(data);
        } else {
            ok = false;
        }
    }
    ::close(fd);
    return ok;
}

// As the other reasons read: "read-only file system".
std::string lowerCaseReason(int error) {
    std::string text = std::strerror(error);
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

FolderSettingsStore::FolderSettingsStore() : root(defaultFolder()) {}

std::string FolderSettingsStore::defaultFolder() {
    const char* overridden = std::getenv("VEXAL_CONFIG_DIR");
    if (overridden && overridden[0]) return overridden;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + kProductFolder;
    const char* home = std::getenv("HOME");
    if (home && home[0]) return std::string(home) + "/.config" + kProductFolder;
    return {};
}

std::string FolderSettingsStore::keyFolder(SettingsKey key) const {
    return key == SettingsKey::prefs ? root + "/PREFS" : root;
}

std::string FolderSettingsStore::valuePath(SettingsKey key, const char* name) const {
    if (root.empty() || !isPlainName(name)) return {};
    return keyFolder(key) + "/" + name;
}

bool FolderSettingsStore::makeFolders(const std::string& path) const {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FolderSettingsStore::readBinary(SettingsKey key, const char* name, std::vector<uint8_t>& bytes,
                                     size_t maxBytes) {
    const std::string path = valuePath(key, name);
    return !path.empty() && readBounded(path, bytes, maxBytes);
}

bool FolderSettingsStore::readString(SettingsKey key, const char* name, std::string& text,
                                     size_t maxBytes) {
    std::vector<uint8_t> bytes;
    if (!readBinary(key, name, bytes, maxBytes)) return false;
    const auto* begin = reinterpret_cast<const char*>(bytes.data());
    text.assign(begin, strnlen(begin, bytes.size()));
    return true;
}

bool FolderSettingsStore::readNumber(SettingsKey key, const char* name, int32_t& number) {
    std::vector<uint8_t> bytes;
    if (!readBinary(key, name, bytes, 4) || bytes.size() != 4) return false;
    const uint32_t u = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                       (static_cast<uint32_t>(bytes[3]) << 24);
    number = static_cast<int32_t>(u);
    return true;
}

bool FolderSettingsStore::writeBinary(SettingsKey key, const char* name, const void* data,
                                      size_t size) {
    const std::string path = valuePath(key, name);
    if (path.empty() || (size > 0 && !data)) {
        problem = root.empty() ? "there is no settings folder (HOME is not set)" : "not a value name";
        return false;
    }
    if (!makeFolders(keyFolder(key))) {
        problem = keyFolder(key) + " cannot be made: " + lowerCaseReason(errno);
        return false;
    }
    ReplaceOptions options;
    options.checkWriteProtection = false;
    options.keepOwner = false;
    std::string why;
    if (replaceFileContents(path, data, size, options, why)) return true;
    problem = path + " " + why;
    return false;
}

bool FolderSettingsStore::writeString(SettingsKey key, const char* name, const std::string& text) {
    return writeBinary(key, name, text.data(), text.size());
}

bool FolderSettingsStore::writeNumber(SettingsKey key, const char* name, int32_t number) {
    const auto u = static_cast<uint32_t>(number);
    const uint8_t bytes[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                              static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
    return writeBinary(key, name, bytes, 4);
}

bool FolderSettingsStore::deleteValue(SettingsKey key, const char* name) {
    const std::string path = valuePath(key, name);
    if (path.empty()) return false;
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    problem = path + " cannot be removed: " + lowerCaseReason(errno);
    return false;
}

std::unique_ptr<SettingsStore> makeSettingsStore() {
    return std::make_unique<FolderSettingsStore>();
}

}  // namespace vexal::platform
