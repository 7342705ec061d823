// `cmake --install` of this build into temporary prefixes: the system-wide
// layout (PREFIX/lib/vst, PREFIX/share/doc/zvk-vexal) and the per-user one
// (the plug-in straight in the prefix, as in ~/.vst). The installed plug-in,
// loaded as a host loads it, must find its installed manual from where it
// was loaded.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "presets/UserManual.h"

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The folder of the shared library that holds the symbol, as the library's
// own code finds it.
std::string folderOfLoaded(void* library, const char* symbol) {
    void* address = dlsym(library, symbol);
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname) return {};
    return fs::path(info.dli_fname).parent_path().string();
}

}  // namespace

TEST(Install, PluginAndManualLandWhereThePluginFindsTheManual) {
    struct Case {
        const char* options;
        const char* plugin;   // below the prefix
        const char* manual;   // below the prefix
        const char* absent;   // what this layout must not install
    } const cases[] = {
        {"", "lib/vst/ZVKVexal.so", "share/doc/zvk-vexal/manual.html", "ZVKVexal.so"},
        {"--component user", "ZVKVexal.so", "share/doc/zvk-vexal/manual.html", "lib"},
    };
    const fs::path build(VEXAL_BUILD_DIR);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string pattern = (fs::temp_directory_path() / "vexal-install-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        const fs::path prefix = fs::path(pattern) / "prefix with space";
        const std::string command = std::string("\"") + VEXAL_CMAKE_COMMAND + "\" --install \"" + build.string() +
                                    "\" --prefix \"" + prefix.string() + "\" " + c.options + " > \"" + pattern +
                                    "/log\" 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << contents(fs::path(pattern) / "log");

        EXPECT_EQ(contents(prefix / c.plugin), contents(build / "ZVKVexal.so"));
        EXPECT_EQ(contents(prefix / c.manual), contents(build / "share/doc/zvk-vexal/manual.html"));
        EXPECT_FALSE(fs::exists(prefix / c.absent));

        // Kept loaded: this program links no cairo, so a dlclose would unload pixman with the
        // plug-in and its never-freed start-up tables could no longer be told apart from ours.
        void* library = dlopen((prefix / c.plugin).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        ASSERT_NE(library, nullptr) << dlerror();
        const std::string folder = folderOfLoaded(library, "VSTPluginMain");
        EXPECT_EQ(fs::path(folder), (prefix / c.plugin).parent_path());
        EXPECT_EQ(vexal::findInstalledManual(folder), (prefix / c.manual).lexically_normal().string());
        dlclose(library);
        fs::remove_all(pattern);
    }
}
