// Every test process works on its own empty settings folder: VEXAL_CONFIG_DIR
// points at a fresh temporary folder before any test runs, and the folder is
// removed when the process ends, so no test ever reaches the user's
// configuration. (On Windows the store is the registry: the Wine lane runs
// in a prefix of its own.)
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "RegistryValues.h"

namespace testsupport {

class TempConfigDir {
public:
    TempConfigDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexal-test-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder = pattern;
        ::setenv("VEXAL_CONFIG_DIR", folder.empty() ? "/nonexistent/vexal-test" : folder.c_str(), 1);
    }
    ~TempConfigDir() {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
    TempConfigDir(const TempConfigDir&) = delete;
    TempConfigDir& operator=(const TempConfigDir&) = delete;

    static std::string path() {
        const char* dir = std::getenv("VEXAL_CONFIG_DIR");
        return dir ? dir : "";
    }
    // Empties the folder (between tests); on Windows the registry key too.
    static void clear() {
#ifdef _WIN32
        registry::clear();
#endif
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(path(), ignored))
            std::filesystem::remove_all(entry.path(), ignored);
    }

private:
    std::string folder;
};

}  // namespace testsupport
