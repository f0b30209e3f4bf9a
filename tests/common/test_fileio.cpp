// Positioned whole-run reads and writes on file descriptors.
#include "common/fileio.h"

#include "common/textfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace varenta;

namespace {

struct TempFile {
    fs::path path;
    int fd = -1;
    TempFile()
    {
        path = fs::temp_directory_path() / ("varenta_fileio_" + std::to_string(::getpid()) + ".bin");
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        std::error_code ec;
        fs::remove(path, ec);
    }
};

}  // namespace

TEST(FileIo, WritesLandAtTheirOffsetAndReadBack)
{
    TempFile f;
    ASSERT_GE(f.fd, 0);
    const std::string head = "0123456789";
    ASSERT_TRUE(writeAllAt(f.fd, head.data(), head.size(), 0));
    // Past the end: the gap reads as NUL bytes.
    const std::string tail = "abc";
    ASSERT_TRUE(writeAllAt(f.fd, tail.data(), tail.size(), 14));
    // Inside: replaces bytes in place.
    ASSERT_TRUE(writeAllAt(f.fd, "XY", 2, 3));
    EXPECT_EQ(fs::file_size(f.path), 17u);

    std::string all(17, '?');
    ASSERT_TRUE(readAllAt(f.fd, all.data(), all.size(), 0));
    EXPECT_EQ(all, std::string("012XY56789\0\0\0\0abc", 17));
    std::string mid(4, '?');
    ASSERT_TRUE(readAllAt(f.fd, mid.data(), mid.size(), 12));
    EXPECT_EQ(mid, std::string("\0\0ab", 4));
    // Nothing to read or write is done at once.
    EXPECT_TRUE(readAllAt(f.fd, mid.data(), 0, 100));
    EXPECT_TRUE(writeAllAt(f.fd, mid.data(), 0, 100));
    EXPECT_EQ(fs::file_size(f.path), 17u);
}

TEST(FileIo, FailuresAreReported)
{
    TempFile f;
    ASSERT_GE(f.fd, 0);
    ASSERT_TRUE(writeAllAt(f.fd, "12345", 5, 0));
    char buf[8] = {};
    struct Case {
        const char* name;
        std::size_t n;
        std::uint64_t offset;
    };
    const Case shortReads[] = {
        {"runs past the end", 6, 0},
        {"starts at the end", 1, 5},
        {"starts past the end", 2, 40},
    };
    for (const Case& c : shortReads) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(readAllAt(f.fd, buf, c.n, c.offset));
    }
    // A closed descriptor, and a pipe that has no positions.
    EXPECT_FALSE(readAllAt(-1, buf, 1, 0));
    EXPECT_FALSE(writeAllAt(-1, buf, 1, 0));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    EXPECT_FALSE(writeAllAt(pipeFds[1], "x", 1, 0));
    EXPECT_FALSE(readAllAt(pipeFds[0], buf, 1, 0));
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    // A file open for reading only takes no writes, and keeps its bytes.
    const int ro = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(ro, 0);
    EXPECT_FALSE(writeAllAt(ro, "zz", 2, 0));
    ::close(ro);
    ASSERT_TRUE(readAllAt(f.fd, buf, 5, 0));
    EXPECT_EQ(std::string(buf, 5), "12345");
}

TEST(FileIo, ReadingUpToACount)
{
    TempFile f;
    ASSERT_GE(f.fd, 0);
    ASSERT_TRUE(writeAllAt(f.fd, "0123456789", 10, 0));
    struct Case {
        const char* name;
        std::size_t n;
        std::uint64_t offset;
        long long expect;
        const char* bytes;
    };
    const Case cases[] = {
        {"whole", 10, 0, 10, "0123456789"},
        {"inside", 3, 4, 3, "456"},
        {"cut at the end", 8, 6, 4, "6789"},
        {"at the end", 4, 10, 0, ""},
        {"past the end", 4, 50, 0, ""},
        {"nothing asked", 0, 2, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint8_t buf[16] = {};
        ASSERT_EQ(readUpToAt(f.fd, buf, c.n, c.offset), c.expect);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(c.expect)), c.bytes);
    }
    std::uint8_t buf[4];
    EXPECT_EQ(readUpToAt(-1, buf, 4, 0), -1);
    const int wo = ::open(f.path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(wo, 0);
    EXPECT_EQ(readUpToAt(wo, buf, 4, 0), -1);
    ::close(wo);
}

TEST(FileIo, ReplacingAFileWhole)
{
    const fs::path dir = fs::temp_directory_path() / ("varenta_replace_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "adir");
    const auto names = [&] {
        std::vector<std::string> n;
        for (const auto& e : fs::directory_iterator(dir))
            n.push_back(e.path().filename().string());
        std::sort(n.begin(), n.end());
        return n;
    };
    const std::string target = (dir / "out.txt").string();
    std::string bytes;

    // New, then replaced by a shorter content: nothing of the old remains.
    ASSERT_EQ(replaceFileQuickly(target, "a longer first content"), Status::Ok);
    ASSERT_EQ(replaceFileQuickly(target, std::string("ab\0\r\n", 5)), Status::Ok);
    ASSERT_EQ(readFileBytes(target, bytes), Status::Ok);
    EXPECT_EQ(bytes, std::string("ab\0\r\n", 5));
    ASSERT_EQ(replaceFileQuickly(target, ""), Status::Ok);
    ASSERT_EQ(readFileBytes(target, bytes), Status::Ok);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(names(), (std::vector<std::string>{"adir", "out.txt"}));

    // Failures: a folder that does not exist, a folder in the target's
    // place.  Nothing changes and no temporary file is left.
    EXPECT_EQ(replaceFileQuickly((dir / "missing" / "x.txt").string(), "x"), Status::Io);
    EXPECT_EQ(replaceFileQuickly((dir / "adir").string(), "x"), Status::Io);
    EXPECT_TRUE(fs::is_directory(dir / "adir"));
    EXPECT_EQ(names(), (std::vector<std::string>{"adir", "out.txt"}));
    fs::remove_all(dir);
}
