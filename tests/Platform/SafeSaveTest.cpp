#include "Platform/SafeSave.h"
#include "Brief/BriefFile.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
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
