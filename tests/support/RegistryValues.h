// Windows: the test side of the registry key the plug-in keeps its settings
// under (HKEY_CURRENT_USER\SOFTWARE\Ortelwerk\ZVKvexal and PREFS), written and
// read directly with the registry API, the way a user or an installer would.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport::registry {

inline const wchar_t* kMainKey = L"SOFTWARE\\Ortelwerk\\ZVKvexal";

// "PREFS/Name" names a value of the subkey, "Name" one of the main key.
inline std::wstring keyOf(const std::string& relative) {
    const size_t slash = relative.find('/');
    return slash == std::string::npos ? std::wstring(kMainKey)
                                      : std::wstring(kMainKey) + L"\\" +
                                            std::wstring(relative.begin(), relative.begin() + slash);
}

inline std::wstring nameOf(const std::string& relative) {
    const size_t slash = relative.find('/');
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    return std::wstring(name.begin(), name.end());
}

inline bool write(const std::string& relative, DWORD type, const void* data, size_t size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyOf(relative).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(key, nameOf(relative).c_str(), 0, type, static_cast<const BYTE*>(data),
                                   static_cast<DWORD>(size)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// The value's type and bytes; false when it is missing.
inline bool read(const std::string& relative, DWORD& type, std::vector<uint8_t>& bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyOf(relative).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = RegQueryValueExW(key, nameOf(relative).c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        bytes.resize(size);
        ok = RegQueryValueExW(key, nameOf(relative).c_str(), nullptr, &type, bytes.data(), &size) ==
             ERROR_SUCCESS;
        bytes.resize(size);
    }
    RegCloseKey(key);
    return ok;
}

inline void remove(const std::string& relative) {
    if (relative == "PREFS") {  // the whole subkey
        const std::wstring prefs = std::wstring(kMainKey) + L"\\PREFS";
        RegDeleteTreeW(HKEY_CURRENT_USER, prefs.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, prefs.c_str());
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyOf(relative).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, nameOf(relative).c_str());
    RegCloseKey(key);
}

// The whole key, subkeys and all.
inline void clear() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kMainKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kMainKey);
}

// Names of the values and subkeys under the key, recursively.
inline std::vector<std::string> entries(const std::wstring& path = kMainKey) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, name + length);
    }
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::wstring sub(name, length);
        names.emplace_back(sub.begin(), sub.end());
        for (std::string& n : entries(path + L"\\" + sub)) names.push_back(std::move(n));
    }
    RegCloseKey(key);
    return names;
}

}  // namespace testsupport::registry

#endif
