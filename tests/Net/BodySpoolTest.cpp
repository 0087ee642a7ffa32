#include "Net/BodySpool.h"

#include "Platform/OutputFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace gathra {
namespace {

std::set<std::string> Names(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(folder))
        names.insert(f.path().filename().string());
    return names;
}

// Both kinds of spool file: unnamed, and the hidden ".part" file of file systems without them.
class BodySpoolKinds : public ::testing::TestWithParam<bool> {
protected:
    std::unique_ptr<TBodySpool> Open() {
        std::unique_ptr<TBodySpool> spool = TBodySpool::Open(dir.Folder(), GetParam());
        if (spool == nullptr) ADD_FAILURE() << "no spool in " << dir.Folder();
        return spool;
    }
    test::TempDir dir;
};

TEST_P(BodySpoolKinds, AFileIsNamedOnlyWhenPlacedAndGoesOtherwise) {
    auto spool = Open();
    ASSERT_NE(spool, nullptr);
    if (!GetParam()) {
        EXPECT_EQ(spool->FileKind(), TBodySpool::Kind::Hidden);
        const std::string hidden = std::filesystem::path(spool->HiddenPath()).filename();
        EXPECT_EQ(hidden.front(), '.');
        EXPECT_EQ(hidden.substr(hidden.size() - 5), ".part");
        EXPECT_EQ(Names(dir.Path()), std::set<std::string>{hidden});
    } else if (spool->FileKind() == TBodySpool::Kind::Unnamed) {
        EXPECT_TRUE(Names(dir.Path()).empty());
    }
    const std::uint64_t counted = TOutputFile::BytesWritten();
    ASSERT_TRUE(spool->Write(std::string("GIF\0\r\n", 6)));
    ASSERT_TRUE(spool->Write(std::string(100000, 'x')));
    EXPECT_EQ(spool->Size(), 100006u);
    // The run's free-space checks see the bytes.
    EXPECT_EQ(TOutputFile::BytesWritten() - counted, 100006u);

    // Placed over an older file of that name, as creating the file would have replaced it.
    test::WriteFileBytes(dir / "GA1.gif", "older");
    spool->Place(dir.Folder() + "GA1.gif");
    EXPECT_EQ(test::ReadFileBytes(dir / "GA1.gif"),
              std::string("GIF\0\r\n", 6) + std::string(100000, 'x'));
    spool.reset();
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"GA1.gif"});

    // Dropped before it is placed: nothing stays.
    spool = Open();
    ASSERT_TRUE(spool->Write("dropped"));
    spool.reset();
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"GA1.gif"});
}

TEST_P(BodySpoolKinds, ANameThatCannotBeMadeIsADiskErrorAndLeavesNothing) {
    auto spool = Open();
    ASSERT_NE(spool, nullptr);
    ASSERT_TRUE(spool->Write("body"));
    try {
        spool->Place(dir.Folder() + "missing/GA1.gif");
        ADD_FAILURE() << "placed in a missing folder";
    } catch (const TDiskError& e) {
        EXPECT_EQ(e.Cause(), "No such file or directory");
    }
    spool.reset();
    EXPECT_TRUE(Names(dir.Path()).empty());

    std::string error;
    EXPECT_EQ(TBodySpool::Open(dir.Folder() + "missing/", GetParam(), &error), nullptr);
    EXPECT_EQ(error, "No such file or directory");
}

TEST_P(BodySpoolKinds, ANameOnAnotherFileSystemGetsACopy) {
    // Shared memory is a file system of its own wherever it is mounted apart from the temporary
    // folder.
    const std::filesystem::path other =
        std::filesystem::path("/dev/shm") / ("gathra-spool-" + std::to_string(::getpid()));
    struct stat here {
    }, there{};
    if (::stat(dir.Path().c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 ||
        here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    std::filesystem::create_directory(other);
    struct Removed {
        std::filesystem::path Path;
        ~Removed() { std::filesystem::remove_all(Path); }
    } removed{other};

    auto spool = Open();
    ASSERT_NE(spool, nullptr);
    const std::string body = std::string(200000, 'c') + std::string("\0end", 4);
    ASSERT_TRUE(spool->Write(body));
    spool->Place((other / "GA2.bin").string());
    spool.reset();
    EXPECT_EQ(test::ReadFileBytes(other / "GA2.bin"), body);
    EXPECT_TRUE(Names(dir.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(, BodySpoolKinds, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Unnamed" : "Hidden"; });

} // namespace
} // namespace gathra
