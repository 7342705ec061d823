#include "RegistrySettingsStore.h"

#include <windows.h>

#include <climits>

#include "WideText.h"

namespace vexal::platform {

namespace {

// The key path is built from the company prefix and the product's key name.
constexpr wchar_t kCompanyPrefix[] = L"SOFTWARE\\Ortelwerk\\";
constexpr wchar_t kProductKey[] = L"ZVKvexal";
constexpr wchar_t kPrefsSubkey[] = L"\\PREFS";

// Value names are plain ASCII in our code.
std::wstring valueName(const char* name) {
    std::wstring wide;
    if (!name) return wide;
    for (const char* p = name; *p; ++p) wide.push_back(static_cast<unsigned char>(*p));
    return wide;
}

class OpenKey {
public:
    ~OpenKey() {
        if (key) RegCloseKey(key);
    }
    bool open(const std::wstring& path, REGSAM access) {
        return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key) == ERROR_SUCCESS;
    }
    // Create the key, or open it when it exists.
    bool create(const std::wstring& path) {
        return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return key; }

private:
    HKEY key = nullptr;
};

}  // namespace

const wchar_t* RegistrySettingsStore::defaultKeyPath() {
    static const std::wstring path = std::wstring(kCompanyPrefix) + kProductKey;
    return path.c_str();
}

std::wstring RegistrySettingsStore::keyPath(SettingsKey key) const {
    return key == SettingsKey::prefs ? mainPath + kPrefsSubkey : mainPath;
}

bool RegistrySettingsStore::readValue(SettingsKey key, const char* name, std::vector<uint8_t>& bytes,
                                      size_t maxBytes, unsigned long* type) {
    const std::wstring wideName = valueName(name);
    if (wideName.empty()) return false;
    OpenKey k;
    if (!k.open(keyPath(key), KEY_QUERY_VALUE)) return false;
    DWORD size = 0;
    DWORD kind = 0;
    if (RegQueryValueExW(k.get(), wideName.c_str(), nullptr, &kind, nullptr, &size) != ERROR_SUCCESS ||
        size > maxBytes)
        return false;
    std::vector<uint8_t> data(size);
    // The value may change between the two queries: a larger one fails here.
    DWORD got = size;
    if (RegQueryValueExW(k.get(), wideName.c_str(), nullptr, &kind, data.empty() ? nullptr : data.data(),
                         &got) != ERROR_SUCCESS ||
        got > size)
        return false;
    data.resize(got);
    bytes.swap(data);
    if (type) *type = kind;
    return true;
}

bool RegistrySettingsStore::writeValue(SettingsKey key, const char* name, unsigned long type,
                                       const void* data, size_t size) {
    const std::wstring wideName = valueName(name);
    if (wideName.empty() || size > UINT_MAX || (size > 0 && !data)) return false;
    OpenKey k;
    if (!k.create(keyPath(key))) return false;
    return RegSetValueExW(k.get(), wideName.c_str(), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::readBinary(SettingsKey key, const char* name, std::vector<uint8_t>& bytes,
                                       size_t maxBytes) {
    return readValue(key, name, bytes, maxBytes, nullptr);
}

bool RegistrySettingsStore::readString(SettingsKey key, const char* name, std::string& text,
                                       size_t maxBytes) {
    // maxBytes counts characters of the 8-bit text; the registry holds two
    // bytes per UTF-16 unit and the terminating null.
    std::vector<uint8_t> bytes;
    unsigned long type = 0;
    if (maxBytes > (SIZE_MAX - 2) / 2 || !readValue(key, name, bytes, 2 * maxBytes + 2, &type) ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::wstring wide(bytes.size() / 2, L'\0');
    if (!wide.empty()) memcpy(wide.data(), bytes.data(), wide.size() * 2);
    // A string is cut at its first null (the stored terminator included).
    wide.resize(wcsnlen(wide.c_str(), wide.size()));
    std::string converted = fromWide(wide);
    if (converted.size() > maxBytes) return false;
    text.swap(converted);
    return true;
}

bool RegistrySettingsStore::readNumber(SettingsKey key, const char* name, int32_t& number) {
    // A 4-byte buffer, as every query of a preference asks: another size is missing.
    std::vector<uint8_t> bytes;
    if (!readValue(key, name, bytes, 4, nullptr) || bytes.size() != 4) return false;
    const uint32_t u = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                       (static_cast<uint32_t>(bytes[3]) << 24);
    number = static_cast<int32_t>(u);
    return true;
}

bool RegistrySettingsStore::writeBinary(SettingsKey key, const char* name, const void* data,
                                        size_t size) {
    return writeValue(key, name, REG_BINARY, data, size);
}

bool RegistrySettingsStore::writeString(SettingsKey key, const char* name, const std::string& text) {
    const std::wstring wide = toWide(text);
    if (wide.empty() && !text.empty()) return false;  // not text of this code page
    return writeValue(key, name, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
}

bool RegistrySettingsStore::writeNumber(SettingsKey key, const char* name, int32_t number) {
    const DWORD value = static_cast<DWORD>(number);
    return writeValue(key, name, REG_DWORD, &value, sizeof value);
}

bool RegistrySettingsStore::deleteValue(SettingsKey key, const char* name) {
    const std::wstring wideName = valueName(name);
    if (wideName.empty()) return false;
    OpenKey k;
    // A missing key or value is no error.
    if (!k.open(keyPath(key), KEY_SET_VALUE)) return true;
    const LONG result = RegDeleteValueW(k.get(), wideName.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

std::unique_ptr<SettingsStore> makeSettingsStore() { return std::make_unique<RegistrySettingsStore>(); }

}  // namespace vexal::platform
