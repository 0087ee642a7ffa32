#include "Platform/WholeFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace gathra {
namespace {

using test::TempDir;

// A file of `size` bytes that takes no room on the disk (a hole), as a huge file chosen by
// mistake would be.
void MakeSparseFile(const std::filesystem::path& path, std::uint64_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::close(fd);
}

TEST(WholeFile, ReadsFilesUpToTheirLimitAndRefusesLargerOnesUnread) {
    TempDir dir;
    test::WriteFileBytes(dir / "ten", "0123456789");
    test::WriteFileBytes(dir / "empty", "");
    MakeSparseFile(dir / "huge", 3ull << 30);
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    using O = WholeFile::Outcome;
    struct Case {
        const char* Name;
        std::uint64_t Limit;
        O Result;
        const char* Bytes;
        int Error;
        std::uint64_t Size;
    } cases[] = {
        {"ten", 10, O::Read, "0123456789", 0, 10},
        {"ten", 1000, O::Read, "0123456789", 0, 10},
        {"ten", 9, O::TooLarge, "", 0, 10},
        {"empty", 0, O::Read, "", 0, 0},
        {"huge", kWholeFileLimit, O::TooLarge, "", 0, 3ull << 30},
        {"missing", 10, O::CannotRead, "", ENOENT, 0},
        {"folder", 10, O::CannotRead, "", EISDIR, 0},
        {"fifo", 10, O::CannotRead, "", EINVAL, 0}, // never waits for a writer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " limit " + std::to_string(c.Limit));
        WholeFile file = ReadWholeFile((dir / c.Name).string(), c.Limit);
        EXPECT_EQ(file.Result, c.Result);
        EXPECT_EQ(file.Ok(), c.Result == O::Read);
        EXPECT_EQ(file.Bytes, c.Bytes);
        EXPECT_EQ(file.Error, c.Error);
        EXPECT_EQ(file.Size, c.Size);
    }
    EXPECT_EQ(ReadFileHead((dir / "ten").string(), 4), "0123");
    EXPECT_EQ(ReadFileHead((dir / "ten").string(), 40), "0123456789");
    EXPECT_EQ(ReadFileHead((dir / "fifo").string(), 4), "");
    EXPECT_EQ(ReadFileHead((dir / "huge").string(), 3), std::string(3, '\0'));
}

TEST(WholeFile, SizesAreShownInTheirLargestWholeUnit) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 bytes"},
        {1, "1 byte"},
        {1023, "1023 bytes"},
        {1024, "1 KB"},
        {(1u << 20) - 1, "1023 KB"},
        {256ull << 20, "256 MB"},
        {3ull << 30, "3 GB"},
        {(5ull << 30) + 7, "5 GB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(SizeText(bytes), text) << bytes;
}

} // namespace
} // namespace gathra
