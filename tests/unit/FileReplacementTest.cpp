// The file helper every writer uses: a failed replacement (full disk,
// failing flush or rename, something that is no file) leaves the old file
// byte for byte and no temporary; reads take regular files only, at once.
// (Links, modes, owners, write protection and real full file systems are
// checked through vexal and the editor.)
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/FileReplacement.h"

namespace {

namespace fs = std::filesystem;
using namespace vexal::platform;
using Bytes = std::vector<uint8_t>;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FileReplacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vexal-replace-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        testhook::clearFault();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
};

struct FaultCase {
    const char* name;
    testhook::FaultAt where;
    int error;
    size_t afterBytes;
    const char* says;
};

const FaultCase kFaults[] = {
    {"full disk at the first byte", testhook::FaultAt::write, ENOSPC, 0, "cannot be written: no space left on device"},
    {"full disk half way", testhook::FaultAt::write, ENOSPC, 1000, "cannot be written: no space left on device"},
    {"flush fails", testhook::FaultAt::flush, EIO, 0, "cannot be written: input/output error"},
    {"rename fails", testhook::FaultAt::rename, EXDEV, 0, "cannot be replaced: invalid cross-device link"},
};

TEST_F(FileReplacementTest, AFailedReplacementKeepsTheOldFileAndLeavesNoTemporary) {
    const std::string fresh(24041, 'n');
    for (const FaultCase& c : kFaults) {
        SCOPED_TRACE(c.name);
        std::ofstream(dir / "bank.zvb", std::ios::binary) << "old bank";
        testhook::injectFault(c.where, c.error, c.afterBytes);
        std::string problem;
        EXPECT_FALSE(replaceFileContents((dir / "bank.zvb").string(), fresh.data(), fresh.size(), {}, problem));
        testhook::clearFault();
        EXPECT_EQ(problem, c.says);
        EXPECT_EQ(contents(dir / "bank.zvb"), "old bank");
        EXPECT_EQ(listing(dir), std::vector<std::string>{"bank.zvb"});
    }
}

// Makes a socket file at `path`.
void makeSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

TEST_F(FileReplacementTest, OnlyRegularFilesAreReadOrReplacedAndNothingWaits) {
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    makeSocket((dir / "socket").string());
    fs::create_directory(dir / "folder");
    std::ofstream(dir / "large") << std::string(2000, 'l');
    struct Case {
        std::string path;
        const char* readSays;
        const char* writeSays;  // null: not written (a system file)
    } const cases[] = {
        {(dir / "pipe").string(), "is a named pipe, not a file", "is a named pipe, not a file"},
        {"/dev/zero", "is a device, not a file", nullptr},
        {(dir / "socket").string(), "is a socket, not a file", "is a socket, not a file"},
        {(dir / "folder").string(), "is a folder, not a file", "is a folder, not a file"},
        {(dir / "missing").string(), "does not exist", nullptr},
        {(dir / "large").string(), "is too large (2000 bytes)", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto start = std::chrono::steady_clock::now();
        Bytes bytes{1, 2};
        std::string problem;
        EXPECT_FALSE(readRegularFile(c.path, 1999, bytes, problem));
        EXPECT_EQ(problem, c.readSays);
        EXPECT_EQ(bytes, (Bytes{1, 2}));
        if (c.writeSays) {
            EXPECT_FALSE(replaceFileContents(c.path, "x", 1, {}, problem));
            EXPECT_EQ(problem, c.writeSays);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    EXPECT_EQ(listing(dir), (std::vector<std::string>{"folder", "large", "pipe", "socket"}));
    Bytes bytes;
    std::string problem;
    ASSERT_TRUE(readRegularFile((dir / "large").string(), 2000, bytes, problem));
    EXPECT_EQ(bytes.size(), 2000u);
}

}  // namespace
