// Saving briefs safely, and reading damaged brief files.
#include "support/BriefFileFixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <random>
#include <sys/resource.h>

namespace gathra {
namespace {

using namespace test;

// ---- saving -------------------------------------------------------------------------------------

TEST_F(BriefFileTest, SavingWithoutAFileNameWritesNothing) {
    TBrief brief;
    EXPECT_FALSE(SaveBriefs2(brief, dialogs));
    EXPECT_TRUE(dialogs.Log.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(BriefFileTest, TextsBeyondTheLimitsRefuseTheSaveAndKeepTheOldFiles) {
    TBrief brief;
    brief.FileName = BriefPath();
    brief.WebList.AddEntry(EntryKind::Web);
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    std::string before = ReadFileBytes(BriefPath());

    brief.WebList.Entry(0).Address = std::string(32767, 'a');
    EXPECT_TRUE(BriefFileLimitProblem(brief).empty());
    brief.WebList.Entry(0).Password = std::string(24573, 'p'); // scrambles to 32764 bytes
    EXPECT_TRUE(BriefFileLimitProblem(brief).empty());
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    EXPECT_TRUE(SaveAndReload(brief));
    EXPECT_EQ(loaded.WebList.Entry(0).Password.size(), 24573u);
    before = ReadFileBytes(BriefPath());

    for (int which = 0; which < 3; ++which) {
        TBrief tooBig;
        tooBig.FileName = BriefPath();
        TWebPage* e = tooBig.WebList.AddEntry(EntryKind::Web);
        if (which == 0) e->Address = std::string(32768, 'a');
        if (which == 1) e->Password = std::string(24574, 'p');
        if (which == 2) tooBig.Comments = std::string(40000, 'c');
        EXPECT_FALSE(BriefFileLimitProblem(tooBig).empty());
        dialogs.Log.clear();
        EXPECT_FALSE(SaveBriefs2(tooBig, dialogs));
        ASSERT_EQ(dialogs.Log.size(), 1u);
        EXPECT_EQ(dialogs.Log[0].Caption, kBriefSavingErrorCaption);
        EXPECT_EQ(dialogs.Log[0].Text, kBriefSavingErrorText);
        EXPECT_EQ(ReadFileBytes(BriefPath()), before);
    }
}

// Holds the process's file-size limit low for the life of the object, so that writes past it
// fail with EFBIG (even for root, unlike folder permissions).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(BriefFileTest, FailedWriteLeavesThePreviousFilesWhole) {
    TBrief brief;
    brief.FileName = BriefPath();
    brief.ArchivePaths = {"1\\Brief1.htm"};
    brief.ArchiveTitles = {"first run"};
    for (int i = 0; i < 50; ++i)
        brief.WebList.AddEntry(EntryKind::Web)->Address = "old.com";
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    std::string oldBrief = ReadFileBytes(BriefPath());
    std::string oldCat = ReadFileBytes(CatPath());

    for (int i = 0; i < 50; ++i)
        brief.WebList.Entry(i).Address = "new.com";
    brief.ArchivePaths.clear();
    brief.ArchiveTitles.clear();
    {
        FileSizeLimit limit(oldBrief.size() / 2);
        EXPECT_FALSE(SaveBriefs2(brief, dialogs));
    }
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Caption, kBriefSavingErrorCaption);
    EXPECT_EQ(ReadFileBytes(BriefPath()), oldBrief);
    EXPECT_EQ(ReadFileBytes(CatPath()), oldCat);
    // No half-written file is left behind.
    int files = 0;
    for (auto& f : std::filesystem::directory_iterator(dir.Path())) {
        (void)f;
        ++files;
    }
    EXPECT_EQ(files, 2);
    // And the next save, with room again, goes through.
    EXPECT_TRUE(SaveBriefs2(brief, dialogs));
    EXPECT_NE(ReadFileBytes(BriefPath()), oldBrief);
}

TEST_F(BriefFileTest, BriefFileThatIsAFolderCannotBeReplaced) {
    std::filesystem::create_directory(BriefPath());
    TBrief brief;
    brief.FileName = BriefPath();
    EXPECT_FALSE(SaveBriefs2(brief, dialogs));
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Text, kBriefSavingErrorText);
    EXPECT_TRUE(std::filesystem::is_directory(BriefPath()));
    EXPECT_FALSE(std::filesystem::exists(CatPath())); // the catalogue is not replaced alone
}

TEST_F(BriefFileTest, BriefNamedLikeItsCatalogueIsNotOverwrittenByIt) {
    TBrief brief;
    brief.FileName = (dir / "odd.cat").string();
    EXPECT_FALSE(SaveBriefs2(brief, dialogs));
    EXPECT_FALSE(std::filesystem::exists(dir / "odd.cat"));
}

TEST_F(BriefFileTest, SaveKeepsTheFilePermissions) {
    TBrief brief;
    brief.FileName = BriefPath();
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    std::filesystem::permissions(BriefPath(), std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_write);
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    EXPECT_EQ(std::filesystem::status(BriefPath()).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(BriefFileTest, ReadOnlyBriefFileIsNotReplaced) {
    namespace fs = std::filesystem;
    TBrief brief;
    brief.FileName = BriefPath();
    brief.ArchivePaths = {"1\\Brief1.htm"};
    brief.ArchiveTitles = {"first"};
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    std::string oldBrief = ReadFileBytes(BriefPath());
    std::string oldCat = ReadFileBytes(CatPath());
    fs::permissions(BriefPath(), fs::perms::owner_read | fs::perms::group_read);
    brief.BriefName = "Changed";
    brief.ArchivePaths.clear();
    brief.ArchiveTitles.clear();
    EXPECT_FALSE(SaveBriefs2(brief, dialogs));
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Caption, kBriefSavingErrorCaption);
    EXPECT_EQ(dialogs.Log[0].Text, kBriefSavingErrorText);
    EXPECT_EQ(ReadFileBytes(BriefPath()), oldBrief);
    EXPECT_EQ(ReadFileBytes(CatPath()), oldCat);

    // A read-only catalogue fails the save, as the archive list cannot be recorded: the brief
    // file is saved, the catalogue kept, and the message says so.
    fs::permissions(BriefPath(), fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(CatPath(), fs::perms::owner_read);
    dialogs.Log.clear();
    EXPECT_FALSE(SaveBriefs2(brief, dialogs));
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Text, kBriefSavingErrorText);
    EXPECT_NE(ReadFileBytes(BriefPath()), oldBrief);
    EXPECT_EQ(ReadFileBytes(CatPath()), oldCat);
    // Writable again, the next save records the archive list.
    fs::permissions(CatPath(), fs::perms::owner_read | fs::perms::owner_write);
    dialogs.Log.clear();
    EXPECT_TRUE(SaveBriefs2(brief, dialogs));
    EXPECT_TRUE(dialogs.Log.empty());
    EXPECT_EQ(ReadFileBytes(CatPath()), EncodeCatalogueFile(brief));
}

TEST_F(BriefFileTest, CatalogueThatCannotBeReplacedFailsTheSave) {
    // A folder in the catalogue's place cannot be renamed over, even by root.
    std::filesystem::create_directory(CatPath());
    TBrief brief;
    brief.FileName = BriefPath();
    brief.ArchivePaths = {"1\\Brief1.htm"};
    brief.ArchiveTitles = {"first"};
    EXPECT_FALSE(SaveBriefs2(brief, dialogs));
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Text, kBriefSavingErrorText);
    EXPECT_EQ(ReadFileBytes(BriefPath()), EncodeBriefFile(brief));
    EXPECT_TRUE(std::filesystem::is_directory(CatPath()));
    // Nothing but the brief and the folder is left.
    int files = 0;
    for (auto& f : std::filesystem::directory_iterator(dir.Path())) {
        (void)f;
        ++files;
    }
    EXPECT_EQ(files, 2);
}

TEST_F(BriefFileTest, SavingThroughASymbolicLinkReplacesTheFileItNames) {
    namespace fs = std::filesystem;
    fs::create_directory(dir / "store");
    TBrief brief;
    brief.FileName = (dir / "store" / "Real.brf").string();
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    fs::create_symlink(dir / "store" / "Real.brf", BriefPath());
    brief.FileName = BriefPath();
    brief.BriefName = "Through the link";
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    EXPECT_TRUE(fs::is_symlink(BriefPath()));
    EXPECT_EQ(ReadFileBytes((dir / "store" / "Real.brf").string()), EncodeBriefFile(brief));
    // The catalogue belongs beside the name the brief was opened by.
    EXPECT_TRUE(fs::exists(CatPath()));

    // A catalogue that links to the brief file itself must not overwrite it.
    fs::remove(CatPath());
    fs::create_symlink(dir / "store" / "Real.brf", CatPath());
    dialogs.Log.clear();
    EXPECT_FALSE(SaveBriefs2(brief, dialogs));
    EXPECT_EQ(ReadFileBytes((dir / "store" / "Real.brf").string()), EncodeBriefFile(brief));
}

// ---- damaged files ------------------------------------------------------------------------------

class DamagedBriefTest : public BriefFileTest {
protected:
    std::string SampleFile() {
        TBrief brief;
        brief.BriefName = "Damage";
        brief.Comments = "c\r\n";
        brief.ReservedList = {"r"};
        for (int i = 0; i < 3; ++i) {
            TWebPage* e = brief.WebList.AddEntry(i == 2 ? EntryKind::Search : EntryKind::Web);
            e->Address = "site" + std::to_string(i);
            e->UserName = "u";
            e->Password = "pw";
            e->LockedText = "L";
            e->LockedTextSize = 9;
        }
        return EncodeBriefFile(brief);
    }
    // A damaged file loads, or fails with exactly the loading error (or silently for a header
    // that counts too few words).
    void ExpectBriefOrLoadingError(const std::string& bytes, const std::string& what) {
        dialogs.Log.clear();
        bool ok = Load(bytes);
        if (ok) {
            EXPECT_LE(loaded.WebList.Count(), 32767) << what;
            for (const auto& said : dialogs.Log) {
                EXPECT_NE(said.Caption, kBriefLoadingErrorCaption);
            }
        } else {
            EXPECT_LE(dialogs.Log.size(), 1u) << what;
            if (!dialogs.Log.empty()) {
                EXPECT_TRUE(SaidLoadingError()) << what;
            }
        }
    }
};

TEST_F(DamagedBriefTest, TruncatedAtEveryOffset) {
    std::string file = SampleFile();
    for (size_t cut = 0; cut < file.size(); ++cut) {
        dialogs.Log.clear();
        bool ok = Load(file.substr(0, cut));
        // A cut exactly between records loads what precedes it; anywhere else it is corrupt.
        if (!ok) {
            EXPECT_TRUE(SaidLoadingError()) << cut;
        }
        if (cut < 18) {
            EXPECT_FALSE(ok) << cut;
        }
    }
}

TEST_F(DamagedBriefTest, RandomByteChanges) {
    std::string file = SampleFile();
    std::mt19937 random(20261208);
    for (int round = 0; round < 400; ++round) {
        std::string damaged = file;
        int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c)
            damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
        ExpectBriefOrLoadingError(damaged, "round " + std::to_string(round));
    }
}

} // namespace
} // namespace gathra
