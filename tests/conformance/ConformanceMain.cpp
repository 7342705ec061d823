// Every conformance test program runs with its own empty settings folder, so
// that no test reads or writes the user's real configuration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexal-conf-XXXXXX").string();
    const char* dir = mkdtemp(pattern.data());
    if (!dir) return 2;
    setenv("VEXAL_CONFIG_DIR", dir, 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return result;
}
