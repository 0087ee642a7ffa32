#include "Platform/SafeSave.h"
#include "Brief/BriefFile.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace gathra {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// The id of a process that has ended (and been reaped), so no process runs under it.
long EndedProcessId() {
    pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

std::set<std::string> FileNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(folder))
        names.insert(f.path().filename().string());
    return names;
}

TEST(SafeSave, OnlyTemporariesOfEndedProcessesForThatFileAreRemoved) {
    TempDir dir;
    const std::string path = (dir / "Brief.brf").string();
    const long ended = EndedProcessId();
    struct Case {
        std::string Name;
        bool Removed;
    } cases[] = {
        {TemporaryName(path, ended, 0), true},
        {TemporaryName(path, ended, 17), true},
        {TemporaryName(path, ::getpid(), 1), false},    // a save of this process may be running
        {TemporaryName(path, ::getppid(), 1), false},   // its process still runs
        {path + ".tmp" + std::to_string(ended), false}, // not a temporary's name
        {path + ".tmp" + std::to_string(ended) + "-x", false},          // not a temporary's name
        {TemporaryName((dir / "Other.brf").string(), ended, 0), false}, // another file's
        {path, false},
    };
    for (const Case& c : cases)
        WriteFileBytes(c.Name, "x");
    std::filesystem::create_directory(TemporaryName(path, ended, 99)); // not a file: kept
    RemoveStaleTemporaries(path);
    for (const Case& c : cases)
        EXPECT_EQ(std::filesystem::exists(c.Name), !c.Removed) << c.Name;
    EXPECT_TRUE(std::filesystem::is_directory(TemporaryName(path, ended, 99)));
}

TEST(SafeSave, WriteBesideKeepsTheOldModeAndLeavesOnlyTheNewFile) {
    TempDir dir;
    const std::string path = (dir / "settings").string();
    auto first = WriteBeside(path, "one", 0600);
    ASSERT_TRUE(first);
    ASSERT_TRUE(ReplaceWith(*first, path));
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    auto second = WriteBeside(path, "two", 0600);
    ASSERT_TRUE(second);
    EXPECT_EQ(FileNames(dir.Path()),
              (std::set<std::string>{"settings", std::filesystem::path(*second).filename()}));
    ASSERT_TRUE(ReplaceWith(*second, path));
    EXPECT_EQ(ReadFileBytes(path), "two");
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::group_read);
    EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"settings"}));
}

// A brief saved for the first time gets the usual mode of a new file (0666 less the umask), so
// that its user names and passwords are not writable by others; a save over it keeps whatever
// mode the user gave it since. The settings file stays private whatever the umask.
TEST(SafeSave, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
    struct Case {
        mode_t Umask;
        unsigned NewMode;
    } cases[] = {{022, 0644}, {077, 0600}, {002, 0664}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Umask);
        TempDir dir;
        const mode_t before = ::umask(c.Umask);
        TBrief brief;
        brief.CreateNewBrief();
        brief.FileName = (dir / "x.brf").string();
        test::RecordingDialogs dialogs;
        const bool saved = SaveBriefs2(brief, dialogs);
        auto settings = WriteBeside((dir / "settings").string(), "s", 0600, false);
        ::umask(before);
        ASSERT_TRUE(saved);
        ASSERT_TRUE(settings);
        const auto modeOf = [](const std::filesystem::path& p) {
            return static_cast<unsigned>(std::filesystem::status(p).permissions());
        };
        EXPECT_EQ(modeOf(dir / "x.brf"), c.NewMode);
        EXPECT_EQ(modeOf(dir / "x.cat"), c.NewMode);
        EXPECT_EQ(modeOf(*settings), 0600u);
        std::filesystem::permissions(dir / "x.brf", std::filesystem::perms(0640));
        std::filesystem::permissions(dir / "x.cat", std::filesystem::perms(0604));
        ::umask(c.Umask);
        const bool again = SaveBriefs2(brief, dialogs);
        ::umask(before);
        ASSERT_TRUE(again);
        EXPECT_EQ(modeOf(dir / "x.brf"), 0640u);
        EXPECT_EQ(modeOf(dir / "x.cat"), 0604u);
    }
}

// Saves killed at random moments leave the brief whole, and the next save leaves no temporary
// file of theirs behind.
TEST(SafeSave, KilledSavesLeaveNothingBehindAfterTheNextSave) {
    TempDir dir;
    TBrief brief;
    brief.CreateNewBrief();
    brief.FileName = (dir / "Brief.brf").string();
    for (int i = 0; i < 2000; ++i)
        brief.WebList.AddEntry(EntryKind::Web)->Address =
            "http://example.com/" + std::string(100, 'p');
    test::RecordingDialogs dialogs;
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    const std::string saved = ReadFileBytes(brief.FileName);
    for (int delayMs : {0, 1, 3, 7, 15}) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            test::RecordingDialogs quiet;
            for (int i = 0; i < 100000; ++i)
                SaveBriefs2(brief, quiet);
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(ReadFileBytes(brief.FileName), saved);
    }
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    EXPECT_EQ(FileNames(dir.Path()), (std::set<std::string>{"Brief.brf", "Brief.cat"}));
    EXPECT_EQ(ReadFileBytes(brief.FileName), saved);
}

} // namespace
} // namespace gathra
