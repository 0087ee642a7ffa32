// A failure's message keeps the program's fixed text and names the cause the system reported on a
// second line, so that a missing file is not taken for a corrupt one, nor a read-only folder for
// a full disk.
#include "App/gathra/Cli.h"
#include "Brief/BriefFile.h"
#include "Imports/BookmarkFile.h"
#include "support/CliRun.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace gathra {
namespace {

int RunCli(const std::vector<std::string>& args, std::ostringstream& err) {
    std::ostringstream out;
    err.str("");
    return test::RunCli(args, out, err);
}

// Makes a folder refuse new files for as long as it lives: by its mode for an ordinary user, by
// the immutable attribute for root (whom modes do not stop). Error() is what a refused creation
// reports, empty when neither way works here.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
        if (::geteuid() != 0) {
            std::filesystem::permissions(folder, std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::owner_exec);
            error_ = EACCES;
            return;
        }
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            if (::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0) error_ = EPERM;
        }
    }
    ~ReadOnlyFolder() {
        if (::geteuid() != 0) {
            std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
        } else if (fd_ >= 0) {
            int flags = 0;
            if (::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
            }
            ::close(fd_);
        }
    }
    std::string Error() const { return error_ != 0 ? std::strerror(error_) : std::string(); }

private:
    std::filesystem::path folder_;
    int fd_ = -1;
    int error_ = 0;
};

TEST(FailureCauses, LoadingAndSavingErrorsNameTheSystemsCause) {
    test::TempDir dir;
    const std::string missing = (dir / "missing.brf").string();
    std::ostringstream err;
    EXPECT_EQ(RunCli({"add", missing, "--url", "www.a.com"}, err), 1);
    // A missing brief is not called corrupt: the program's own message, then the system's reason.
    EXPECT_NE(err.str().find(std::string(kBriefLoadingErrorCaption) + ": " +
                             kBriefOpeningErrorText + "\nNo such file or directory\n"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find("corrupt"), std::string::npos) << err.str();

    // A file that is there but no brief has no system cause: the message stands alone.
    test::WriteFileBytes(dir / "bad.brf", "not a brief");
    test::RecordingDialogs dialogs;
    TBrief bad;
    bad.FileName = (dir / "bad.brf").string();
    EXPECT_FALSE(ReadBriefs2(bad, dialogs));
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Text, kBriefLoadingErrorText);
    EXPECT_EQ(dialogs.Log[0].Cause, "");

    // A folder is not a brief file.
    std::filesystem::create_directory(dir / "folder.brf");
    TBrief folder;
    folder.FileName = (dir / "folder.brf").string();
    dialogs.Log.clear();
    EXPECT_FALSE(ReadBriefs2(folder, dialogs));
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Text, kBriefOpeningErrorText);
    EXPECT_EQ(dialogs.Log[0].Cause, std::strerror(EISDIR));
}

// A file far larger than any brief or bookmark file (here a 3 GB file without blocks, as a disk
// image chosen by mistake) is refused before it is read, with a message of its own kind that
// says how large it is; the brief beside a huge catalogue is refused the same way, not emptied.
TEST(FailureCauses, HugeFilesAreRefusedUnreadWithTheirOwnMessage) {
    test::TempDir dir;
    auto sparse = [&](const std::string& name) {
        const std::string path = (dir / name).string();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, 3ll << 30), 0);
        ::close(fd);
        return path;
    };
    TBrief small;
    small.CreateNewBrief();
    small.FileName = (dir / "small.brf").string();
    test::RecordingDialogs saving;
    ASSERT_TRUE(SaveBriefs2(small, saving));
    sparse("small.cat");
    struct Case {
        std::string Path;
        bool Bookmarks;
        std::string Text;
        std::string Caption;
    } cases[] = {
        {sparse("huge.brf"), false,
         "This file is 3 GB, larger than any Brief Organizer file can be (at most 256 MB). "
         "Gathra Light cannot load it.",
         kBriefLoadingErrorCaption},
        {small.FileName, false,
         "The archive list of this brief (its \".cat\" file) is 3 GB, larger than any Brief "
         "Organizer file can be (at most 256 MB). Gathra Light cannot load it.",
         kBriefLoadingErrorCaption},
        {sparse("huge.html"), true,
         "This file is 3 GB, larger than any bookmark file can be (at most 256 MB). Gathra "
         "Light cannot load it.",
         kBookmarkLoadingErrorCaption},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path);
        test::RecordingDialogs dialogs;
        if (c.Bookmarks) {
            EXPECT_FALSE(LoadBookmarkFile(c.Path, dialogs).has_value());
        } else {
            TBrief brief;
            brief.FileName = c.Path;
            EXPECT_FALSE(ReadBriefs2(brief, dialogs));
        }
        ASSERT_EQ(dialogs.Log.size(), 1u);
        EXPECT_EQ(dialogs.Log[0].Text, c.Text);
        EXPECT_EQ(dialogs.Log[0].Caption, c.Caption);
    }
    EXPECT_EQ(std::filesystem::file_size(dir / "small.cat"), 3ull << 30);
    std::ostringstream err;
    EXPECT_EQ(RunCli({"show", cases[0].Path}, err), 1);
    EXPECT_EQ(err.str(), std::string(kBriefLoadingErrorCaption) + ": " + cases[0].Text + "\n");
}

TEST(FailureCauses, ARunIntoAReadOnlyFolderSaysWhyInsteadOfDiskFull) {
    test::TempDir config;
    setenv("GATHRA_CONFIG_DIR", config.Path().c_str(), 1);
    test::TempDir dir;
    const std::string path = (dir / "News.brf").string();
    std::ostringstream err;
    ASSERT_EQ(RunCli({"new", path}, err), 0) << err.str();
    ASSERT_EQ(RunCli({"settings", "set", "browser", "/bin/true"}, err), 0) << err.str();
    std::string cause;
    {
        ReadOnlyFolder readOnly(dir.Path());
        cause = readOnly.Error();
        if (cause.empty()) GTEST_SKIP() << "no way to make a folder read-only for root here";
        EXPECT_EQ(RunCli({"generate", path, "--quiet"}, err), 1);
    }
    unsetenv("GATHRA_CONFIG_DIR");
    EXPECT_NE(err.str().find("Disk Error: Gathra Light was unable to complete the retrieval. "
                             "Your disk appears to be full.\n" +
                             cause + "\n"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(std::filesystem::exists(dir / "0"));
}

} // namespace
} // namespace gathra
