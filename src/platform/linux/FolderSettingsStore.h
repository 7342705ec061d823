// Linux settings store: one file per value in a folder,
// $VEXAL_CONFIG_DIR if set, else $XDG_CONFIG_HOME/Ortelwerk/ZVKvexal/
// (default ~/.config/Ortelwerk/ZVKvexal/); the PREFS key is its subfolder.
// Binary values are raw bytes, strings UTF-8, numbers 4 little-endian bytes.
// Every write replaces the value's file whole (platform/FileReplacement.h),
// so a value is always either old or new.
#pragma once

#include <string>

#include "platform/SettingsStore.h"

namespace vexal::platform {

class FolderSettingsStore : public SettingsStore {
public:
    // Takes the folder from the environment; none when HOME is unset too.
    FolderSettingsStore();
    explicit FolderSettingsStore(std::string folder) : root(std::move(folder)) {}

    bool readBinary(SettingsKey key, const char* name, std::vector<uint8_t>& bytes,
                    size_t maxBytes) override;
    bool readString(SettingsKey key, const char* name, std::string& text, size_t maxBytes) override;
    bool readNumber(SettingsKey key, const char* name, int32_t& number) override;
    bool writeBinary(SettingsKey key, const char* name, const void* data, size_t size) override;
    bool writeString(SettingsKey key, const char* name, const std::string& text) override;
    bool writeNumber(SettingsKey key, const char* name, int32_t number) override;
    bool deleteValue(SettingsKey key, const char* name) override;
    std::string lastProblem() const override { return problem; }

    const std::string& folder() const { return root; }
    static std::string defaultFolder();

private:
    std::string keyFolder(SettingsKey key) const;
    std::string valuePath(SettingsKey key, const char* name) const;
    bool makeFolders(const std::string& path) const;

    std::string root;  // empty: no store (reads miss, writes fail)
    std::string problem;
};

}  // namespace vexal::platform
