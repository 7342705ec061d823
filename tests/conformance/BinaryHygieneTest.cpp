// Checks 1-3: what the library exports, what it needs, and that it loads,
// unloads and loads again cleanly.
#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "Conformance.h"

using namespace conformance;

namespace {

std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe)) output += line;
        pclose(pipe);
    }
    return output;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) result.push_back(line);
    return result;
}

// Check 1: nothing but the two entry points leaves the library.
TEST(BinaryHygiene, ExportsOnlyTheEntryPoints) {
    const auto out = run("nm -D --defined-only '" + TestHost::defaultPluginPath() + "'");
    std::set<std::string> names;
    for (const auto& line : lines(out)) names.insert(line.substr(line.rfind(' ') + 1));
    ASSERT_FALSE(names.empty()) << "nm gave no output";
    names.erase("_init");
    names.erase("_fini");
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

// Check 2: only the C and C++ runtimes (and, later, the X11 family the editor
// draws with); never a widget toolkit.
TEST(BinaryHygiene, NeedsOnlyRuntimeLibraries) {
    const auto out = run("readelf -d '" + TestHost::defaultPluginPath() + "'");
    std::vector<std::string> needed;
    for (const auto& line : lines(out)) {
        const auto open = line.find("Shared library: [");
        if (open == std::string::npos) continue;
        const auto start = open + 17;
        needed.push_back(line.substr(start, line.find(']', start) - start));
    }
    ASSERT_FALSE(needed.empty());
    const std::vector<std::string> allowed = {
        "libc.so", "libm.so", "libpthread.so", "libdl.so", "libgcc_s.so", "libstdc++.so",
        "libX11.so", "libX11-xcb.so", "libxcb", "libXau.so", "libXdmcp.so", "libXext.so", "libXrender.so",
        "libcairo.so", "ld-linux"};
#ifdef TESTHOST_SANITIZED
    const std::vector<std::string> sanitizerRuntimes = {"libasan.so", "libubsan.so", "libtsan.so"};
#else
    const std::vector<std::string> sanitizerRuntimes;
#endif
    for (const auto& lib : needed) {
        bool ok = false;
        for (const auto& prefix : allowed) ok = ok || lib.rfind(prefix, 0) == 0;
        for (const auto& prefix : sanitizerRuntimes) ok = ok || lib.rfind(prefix, 0) == 0;
        EXPECT_TRUE(ok) << "unexpected DT_NEEDED " << lib;
        EXPECT_EQ(lib.find("gtk"), std::string::npos) << lib;
        EXPECT_EQ(lib.find("Qt"), std::string::npos) << lib;
    }
}

// Check 3: RTLD_NOW resolves everything; close, reopen, instantiate, close
// again; no thread of ours outlives the library.
TEST(BinaryHygiene, LoadUnloadReloadLeavesNothingBehind) {
    const int baselineThreads = threadCount();
    const std::string path = TestHost::defaultPluginPath();
    for (int round = 0; round < 3; ++round) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        EXPECT_NE(dlsym(handle, "VSTPluginMain"), nullptr);
        EXPECT_NE(dlsym(handle, "main"), nullptr);
        EXPECT_EQ(dlclose(handle), 0);
    }
    {
        TestHost host(path);
        ASSERT_TRUE(host.loaded());
        Instance fx(host);
        ASSERT_TRUE(fx);
        prepare(fx, 48000.0f, 256);
        const auto in = noiseStereo<float>(2048, 0.5, 3);
        Stereo<float> out;
        EXPECT_TRUE(renderAudited(fx.effect(), in, out, 256));
        fx.close();
        EXPECT_EQ(threadCount(), baselineThreads);
    }
    EXPECT_EQ(threadCount(), baselineThreads);
    // The library can be loaded again after the instance's unload.
    TestHost again(path);
    ASSERT_TRUE(again.loaded());
    Instance fx(again);
    EXPECT_TRUE(fx);
}

}  // namespace
