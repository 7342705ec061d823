// The settings store on the registry: HKEY_CURRENT_USER\SOFTWARE\Ortelwerk\ZVKvexal
// and its subkey PREFS. Value names are UTF-16; binary values are REG_BINARY,
// strings REG_SZ (converted from and to the system's multibyte code page and
// stored with their terminating null), numbers REG_DWORD.
#pragma once

#include <string>

#include "platform/SettingsStore.h"

namespace vexal::platform {

class RegistrySettingsStore : public SettingsStore {
public:
    RegistrySettingsStore() = default;
    // Another key path below HKEY_CURRENT_USER (tests).
    explicit RegistrySettingsStore(std::wstring mainKey) : mainPath(std::move(mainKey)) {}

    bool readBinary(SettingsKey key, const char* name, std::vector<uint8_t>& bytes,
                    size_t maxBytes) override;
    bool readString(SettingsKey key, const char* name, std::string& text, size_t maxBytes) override;
    bool readNumber(SettingsKey key, const char* name, int32_t& number) override;
    bool writeBinary(SettingsKey key, const char* name, const void* data, size_t size) override;
    bool writeString(SettingsKey key, const char* name, const std::string& text) override;
    bool writeNumber(SettingsKey key, const char* name, int32_t number) override;
    bool deleteValue(SettingsKey key, const char* name) override;

    static const wchar_t* defaultKeyPath();

private:
    std::wstring keyPath(SettingsKey key) const;
    bool readValue(SettingsKey key, const char* name, std::vector<uint8_t>& bytes, size_t maxBytes,
                   unsigned long* type);
    bool writeValue(SettingsKey key, const char* name, unsigned long type, const void* data,
                    size_t size);

    std::wstring mainPath = defaultKeyPath();
};

}  // namespace vexal::platform
