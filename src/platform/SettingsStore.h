// The per-user settings store: named values kept from one run of the host to
// the next and shared by every instance (the registry key
// SOFTWARE\Ortelwerk\ZVKvexal on Windows, a folder of files on Linux).
//
// Threads: the constructing thread or the user-interface thread, never the
// audio thread. Nothing is locked; the last writer wins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexal::platform {

// The two keys: the main one and its subkey PREFS (metering preferences).
enum class SettingsKey { main, prefs };

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // Every read is bounded: a value larger than its limit counts as missing.
    // Reads answer false when the value is missing, unreadable or too large.
    virtual bool readBinary(SettingsKey key, const char* name, std::vector<uint8_t>& bytes,
                            size_t maxBytes) = 0;
    // A string is cut at its first NUL.
    virtual bool readString(SettingsKey key, const char* name, std::string& text,
                            size_t maxBytes) = 0;
    // A number is exactly four bytes; any other size counts as missing.
    virtual bool readNumber(SettingsKey key, const char* name, int32_t& number) = 0;

    // A failing write leaves the value as it was before.
    virtual bool writeBinary(SettingsKey key, const char* name, const void* data, size_t size) = 0;
    virtual bool writeString(SettingsKey key, const char* name, const std::string& text) = 0;
    virtual bool writeNumber(SettingsKey key, const char* name, int32_t number) = 0;

    // A missing value is no error.
    virtual bool deleteValue(SettingsKey key, const char* name) = 0;

    // Why the last write or delete failed, for the user: where and what the
    // system said ("/home/u/.config/.../MemoA cannot be written: no space
    // left on device").
    virtual std::string lastProblem() const { return {}; }
};

// The store of this platform for the current user.
std::unique_ptr<SettingsStore> makeSettingsStore();

}  // namespace vexal::platform
