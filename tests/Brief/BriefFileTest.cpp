// Brief files: their bytes, the reading rules, the header and the catalogue.
#include "support/BriefFileFixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <random>
#include <sys/resource.h>

namespace gathra {
namespace {

using namespace test;

// ---- byte layout --------------------------------------------------------------------------------

TEST_F(BriefFileTest, NewBriefIsHeaderBriefRecordsAndAnEmptyCatalogue) {
    TBrief brief;
    brief.FileName = BriefPath();
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    EXPECT_EQ(ReadFileBytes(BriefPath()), Bytes().Header().NewBriefRecords().str());
    EXPECT_EQ(ReadFileBytes(CatPath()), std::string(2, '\0'));
    EXPECT_TRUE(dialogs.Log.empty());
}

TEST_F(BriefFileTest, ReservedCodeLengthIsTheHighByteOfTag2) {
    TBrief brief;
    brief.ReservedCode = "AB";
    brief.ReservedByte = 7;
    auto records = Records(EncodeBriefFile(brief));
    ASSERT_EQ(records[1].first, 2);
    EXPECT_EQ(records[1].second, std::string("\x07\x02", 2));
    EXPECT_EQ(records[2].second, "AB");
    // Only the first six characters are ever stored.
    brief.ReservedCode = "ABCDEFGH";
    records = Records(EncodeBriefFile(brief));
    EXPECT_EQ(records[1].second, std::string("\x07\x06", 2));
    EXPECT_EQ(records[2].second, "ABCDEF");
}

TEST_F(BriefFileTest, CommentsAreWrittenOnlyWhenTheBriefHasThem) {
    TBrief brief;
    EXPECT_EQ(Tags(EncodeBriefFile(brief)), (std::vector<int>{0, 2, 3, 4, 5, 7}));
    brief.Comments = "";
    EXPECT_EQ(Tags(EncodeBriefFile(brief)), (std::vector<int>{0, 1, 2, 3, 4, 5, 7}));
    brief.Comments = "line\r\n";
    EXPECT_EQ(Records(EncodeBriefFile(brief))[1].second, "line\r\n");
}

TEST_F(BriefFileTest, DefaultWebEntryHasFifteenRecordsWithEmptySecrets) {
    TBrief brief;
    brief.WebList.AddEntry(EntryKind::Web);
    auto records = Records(EncodeBriefFile(brief));
    std::vector<int> tags;
    for (size_t i = 6; i < records.size(); ++i)
        tags.push_back(records[i].first);
    EXPECT_EQ(tags, (std::vector<int>{8, 9, 10, 11, 12, 13, 14, 17, 18, 19, 29, 30, 31, 33, 39}));
    EXPECT_EQ(records[5].second, std::string("\x01\x00", 2)); // tag 7: one entry
    EXPECT_EQ(records[7].second, "New Page");
    EXPECT_EQ(records[16].second, "");                         // 29
    EXPECT_EQ(records[17].second, "");                         // 30
    EXPECT_EQ(records[19].second, "");                         // 33
    EXPECT_EQ(records[10].second, std::string("\x01\x00", 2)); // depth 1
}

TEST_F(BriefFileTest, LockTextAndSizeAreWrittenOnlyWhenNotTheDefaults) {
    TBrief brief;
    TWebPage* e = brief.WebList.AddEntry(EntryKind::Web);
    e->LockedText = "locked entry"; // differs only in case
    e->LockedTextSize = 18;
    auto tags = Tags(EncodeBriefFile(brief));
    EXPECT_EQ(std::count(tags.begin(), tags.end(), 34), 1);
    EXPECT_EQ(std::count(tags.begin(), tags.end(), 35), 0);
    e->LockedText = "Locked Entry";
    e->LockedTextSize = -3;
    auto records = Records(EncodeBriefFile(brief));
    tags = Tags(EncodeBriefFile(brief));
    EXPECT_EQ(std::count(tags.begin(), tags.end(), 34), 0);
    EXPECT_EQ(records[records.size() - 2].first, 35);
    EXPECT_EQ(records[records.size() - 2].second, std::string("\xFD\xFF", 2));
}

TEST_F(BriefFileTest, ReservedListIsWrittenLastFirstAndReadBackInFileOrder) {
    TBrief brief;
    brief.ReservedList = {"A", "B"};
    ASSERT_TRUE(SaveAndReload(brief));
    auto records = Records(ReadFileBytes(BriefPath()));
    EXPECT_EQ(records[4].second, std::string("\x02\x00", 2));
    EXPECT_EQ(records[5].second, "B");
    EXPECT_EQ(records[6].second, "A");
    EXPECT_EQ(loaded.ReservedList, (std::vector<std::string>{"B", "A"}));
}

TEST_F(BriefFileTest, EveryFieldRoundTrips) {
    TBrief brief;
    brief.BriefName = "Morning \xE9";
    brief.Comments = "one\r\ntwo\r\n";
    brief.ReservedByte = 200;
    brief.ReservedCode = "XYZ";
    brief.BriefActive = 0;
    brief.ArchivePaths = {"1\\Brief1.htm", "2\\Brief2.htm"};
    brief.ArchiveTitles = {"Mon", ""};
    TWebPage* web = brief.WebList.AddEntry(EntryKind::Web);
    web->EntryName = "Example";
    web->NameSet = 1;
    web->Address = "www.example.com/a";
    web->Active = 0;
    web->SpiderDepth = 99;
    web->LoadImages = 1;
    web->LoadBinaries = 1;
    web->LocalOnly = 0;
    web->UserName = "user";
    web->Password = std::string("p\xFFw", 3);
    web->Locked = 1;
    web->LockedText = "Hands off";
    web->LockedTextSize = 24;
    web->AgentComment = "bot";
    web->ReservedText = "kept";
    TWebPage* search = brief.WebList.AddEntry(EntryKind::Search);
    search->EntryName = "weather oslo";
    search->NameSet = 1;
    ASSERT_TRUE(SaveAndReload(brief));

    EXPECT_EQ(loaded.BriefName, brief.BriefName);
    EXPECT_EQ(loaded.Comments, brief.Comments);
    EXPECT_EQ(loaded.ReservedByte, 200);
    EXPECT_EQ(loaded.ReservedCode, "XYZ");
    EXPECT_EQ(loaded.BriefActive, 0);
    EXPECT_EQ(loaded.ArchivePaths, brief.ArchivePaths);
    EXPECT_EQ(loaded.ArchiveTitles, brief.ArchiveTitles);
    ASSERT_EQ(loaded.WebList.Count(), 2);
    const TWebPage& w = loaded.WebList.Entry(0);
    EXPECT_EQ(w.EntryName, "Example");
    EXPECT_EQ(w.Address, "www.example.com/a");
    EXPECT_EQ(w.Active, 0);
    EXPECT_EQ(w.SpiderDepth, 99);
    EXPECT_EQ(w.DepthText, "99");
    EXPECT_EQ(w.LoadImages, 1);
    EXPECT_EQ(w.LoadBinaries, 1);
    EXPECT_EQ(w.LocalOnly, 0);
    EXPECT_EQ(w.NameSet, 1);
    EXPECT_EQ(w.UserName, "user");
    EXPECT_EQ(w.Password, std::string("p\xFFw", 3));
    EXPECT_EQ(w.Locked, 1);
    EXPECT_EQ(w.LockedText, "Hands off");
    EXPECT_EQ(w.LockedTextSize, 24);
    EXPECT_EQ(w.AgentComment, "bot");
    EXPECT_EQ(w.ReservedText, "kept");
    EXPECT_EQ(w.IsSearch, 0);
    const TWebPage& s = loaded.WebList.Entry(1);
    EXPECT_EQ(s.IsSearch, 1);
    EXPECT_EQ(s.EntryName, "weather oslo");
    EXPECT_EQ(s.RowTop, 26);
    EXPECT_EQ(loaded.WebList.SelectedIndex, -1);
    EXPECT_EQ(loaded.BriefFolder, dir.Folder());
    EXPECT_TRUE(dialogs.Log.empty());
    // Saving what was read gives the same bytes again.
    std::string first = ReadFileBytes(BriefPath());
    ASSERT_TRUE(SaveBriefs2(loaded, dialogs));
    EXPECT_EQ(ReadFileBytes(BriefPath()), first);
}

// ---- reading rules ------------------------------------------------------------------------------

TEST_F(BriefFileTest, UnnamedEntryShowsItsAddressOrNewPage) {
    Bytes b;
    b.Header().NewBriefRecords(3);
    b.Number(8, 1).Text(9, "Stored name").Text(10, "www.a.com").Number(19, 0).Number(39, 0);
    b.Number(8, 1).Text(9, "Stored name").Number(19, 0).Number(39, 0);
    b.Number(8, 1).Text(9, "query").Number(19, 0).Number(39, 1);
    ASSERT_TRUE(Load(b.str()));
    ASSERT_EQ(loaded.WebList.Count(), 3);
    EXPECT_EQ(loaded.WebList.Entry(0).EntryName, "www.a.com");
    EXPECT_EQ(loaded.WebList.Entry(1).EntryName, "New Page");
    EXPECT_EQ(loaded.WebList.Entry(2).EntryName, "New Page"); // also for a search entry
    EXPECT_TRUE(loaded.WebList.Entry(2).IsSearchEntry());
}

TEST_F(BriefFileTest, EmptyTextsLeaveTheDefaults) {
    Bytes b;
    b.Header().Text(0, "").Text(3, "").Number(8, 1).Text(9, "").Text(34, "").Number(39, 0);
    ASSERT_TRUE(Load(b.str()));
    EXPECT_EQ(loaded.BriefName, "New Brief");
    EXPECT_EQ(loaded.WebList.Entry(0).EntryName, "New Page");
    EXPECT_EQ(loaded.WebList.Entry(0).LockedText, "Locked Entry");
}

TEST_F(BriefFileTest, LongReservedCodeKeepsItsFirstSixCharacters) {
    ASSERT_TRUE(Load(Bytes().Header().Text(3, "ABCDEFGH").str()));
    EXPECT_EQ(loaded.ReservedCode, "ABCDEF");
}

TEST_F(BriefFileTest, NumbersTakeTheLowByteExceptDepthAndLockSize) {
    Bytes b;
    b.Header().Number(2, 0x0305).Number(4, 0x0102);
    b.Number(8, 0x0100).Number(11, 0).Number(12, -5).Number(31, 0x0201).Number(35, -7);
    ASSERT_TRUE(Load(b.str()));
    EXPECT_EQ(loaded.ReservedByte, 5);
    EXPECT_EQ(loaded.BriefActive, 2);
    const TWebPage& e = loaded.WebList.Entry(0);
    EXPECT_EQ(e.Active, 0);
    EXPECT_EQ(e.ReservedFlag, 1); // forced to 1 whatever is stored
    EXPECT_EQ(e.SpiderDepth, -5);
    EXPECT_EQ(e.DepthText, "-5");
    EXPECT_EQ(e.Locked, 1);
    EXPECT_EQ(e.LockedTextSize, -7);
}

TEST_F(BriefFileTest, UnknownTagsAreSkipped) {
    Bytes with;
    with.Header().NewBriefRecords(2).Number(8, 1).Text(10, "a.com").Number(39, 0);
    with.Text(50, "1234567").Text(-3, "xy").Text(21, "").Text(36, "zz");
    with.Number(8, 0).Text(10, "b.com").Number(39, 0);
    ASSERT_TRUE(Load(with.str()));
    ASSERT_EQ(loaded.WebList.Count(), 2);
    EXPECT_EQ(loaded.WebList.Entry(1).Address, "b.com");
    EXPECT_EQ(loaded.WebList.Entry(1).Active, 0);
    EXPECT_TRUE(dialogs.Log.empty());
}

TEST_F(BriefFileTest, EntryRecordBeforeAnyEntryEndsReadingQuietly) {
    Bytes b;
    b.Header().NewBriefRecords().Text(9, "orphan").Number(8, 1).Text(0, "Not read");
    ASSERT_TRUE(Load(b.str()));
    EXPECT_EQ(loaded.WebList.Count(), 0);
    EXPECT_EQ(loaded.BriefName, "New Brief");
    EXPECT_TRUE(dialogs.Log.empty());
}

TEST_F(BriefFileTest, Tag23RemovesTheEntryItMarks) {
    Bytes b;
    b.Header().Number(8, 1).Text(10, "keep1").Number(8, 1).Text(10, "drop").Text(23, "xyz");
    b.Text(9, "still the dropped one").Number(8, 1).Text(10, "keep2").Number(8, 1);
    b.Text(10, "last").Word(23).Word(0);
    ASSERT_TRUE(Load(b.str()));
    ASSERT_EQ(loaded.WebList.Count(), 2);
    EXPECT_EQ(loaded.WebList.Entry(0).Address, "keep1");
    EXPECT_EQ(loaded.WebList.Entry(1).Address, "keep2");
    EXPECT_EQ(loaded.WebList.Entry(1).RowTop, 26);
}

TEST_F(BriefFileTest, Tag23BeforeAnyEntryIsIgnored) {
    Bytes b;
    b.Header().Text(23, "ab").Number(8, 1).Text(10, "kept");
    ASSERT_TRUE(Load(b.str()));
    ASSERT_EQ(loaded.WebList.Count(), 1);
    EXPECT_EQ(loaded.WebList.Entry(0).Address, "kept");
}

TEST_F(BriefFileTest, Tag20IsReadAndDiscarded) {
    ASSERT_TRUE(Load(Bytes().Header().Text(20, "old").Number(8, 1).Text(20, "x").str()));
    EXPECT_EQ(loaded.WebList.Count(), 1);
}

TEST_F(BriefFileTest, PlainCredentialsAreReadAndRewrittenScrambled) {
    Bytes b;
    b.Header().NewBriefRecords(1).Number(8, 1).Text(10, "a.com").Text(15, "alice");
    b.Text(16, "secret").Number(39, 0);
    ASSERT_TRUE(Load(b.str()));
    EXPECT_EQ(loaded.WebList.Entry(0).UserName, "alice");
    EXPECT_EQ(loaded.WebList.Entry(0).Password, "secret");
    auto records = Records(ReadFileBytes(BriefPath()));
    std::vector<int> tags;
    for (auto& r : records)
        tags.push_back(r.first);
    EXPECT_EQ(std::count(tags.begin(), tags.end(), 15), 0);
    EXPECT_EQ(std::count(tags.begin(), tags.end(), 16), 0);
    for (auto& [tag, data] : records) {
        if (tag == 29) {
            EXPECT_EQ(data, ScrambleText("secret"));
        }
        if (tag == 30) {
            EXPECT_EQ(data, ScrambleText("alice"));
        }
    }
    EXPECT_EQ(ReadFileBytes(BriefPath()).find("secret"), std::string::npos);
}

TEST_F(BriefFileTest, PlainCredentialTooLongToScrambleStillLoads) {
    // 30000 plain bytes fit a record but not once scrambled (40000 bytes), so the file cannot be
    // rewritten; the brief still opens, and the file stays as it was.
    Bytes b;
    b.Header().Number(8, 1).Text(15, std::string(30000, 'u')).Number(39, 0);
    ASSERT_TRUE(Load(b.str()));
    EXPECT_EQ(loaded.WebList.Entry(0).UserName.size(), 30000u);
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Caption, kBriefSavingErrorCaption);
    EXPECT_EQ(ReadFileBytes(BriefPath()), b.str());
}

TEST_F(BriefFileTest, SearchFlagTurnsAnEntryIntoASearch) {
    ASSERT_TRUE(Load(Bytes().Header().Number(8, 1).Text(9, "q").Number(39, 1).str()));
    EXPECT_TRUE(loaded.WebList.Entry(0).IsSearchEntry());
    EXPECT_EQ(loaded.WebList.Entry(0).EntryName, "q");
}

// ---- header -------------------------------------------------------------------------------------

TEST_F(BriefFileTest, HeaderVersionsAndCompatibility) {
    EXPECT_FALSE(Load(Bytes().Header(1, 1, 2, 0, 0).str()));
    EXPECT_TRUE(SaidLoadingError());
    dialogs.Log.clear();
    EXPECT_FALSE(Load(Bytes().Header(2, 0, 2, 0, 0).str()));
    EXPECT_TRUE(SaidLoadingError());
    dialogs.Log.clear();
    EXPECT_TRUE(Load(Bytes().Header(1, 0, 2, 0, 0).str()));
    EXPECT_TRUE(Load(Bytes().Header(3, 2, 2, 1, 0).str())); // newer, but readable
    EXPECT_TRUE(dialogs.Log.empty());
    // Fewer than two header words: refused without a message.
    EXPECT_FALSE(Load(Bytes().Raw("SKBF-QRW").Word(1).Word(0).Word(1).str()));
    EXPECT_FALSE(Load(Bytes().Raw("SKBF-QRW").Word(1).Word(0).Word(-4).str()));
    EXPECT_TRUE(dialogs.Log.empty());
}

TEST_F(BriefFileTest, ExtraHeaderWordsAreSkipped) {
    Bytes b;
    b.Header(1, 0, 4, 1, 1).Word(77).Word(88).Text(0, "Named");
    ASSERT_TRUE(Load(b.str()));
    EXPECT_EQ(loaded.BriefName, "Named");
}

TEST_F(BriefFileTest, CorruptFilesGiveTheLoadingError) {
    const std::vector<std::string> corrupt = {
        "",
        "SKBF-QRX" + Bytes().Word(1).Word(0).Word(2).Word(1).Word(1).str(),
        Bytes().Header(1, 0, 3, 1, 1).str(),                 // missing third header word
        Bytes().Header().Text(0, "abc").str().substr(0, 24), // text cut short
        Bytes().Header().Word(8).str(),                      // no length word
        Bytes().Header().Word(8).Word(2).str(),              // number without its value
        Bytes().Header().Word(0).Word(-2).Raw("ab").str(),   // negative length
        Bytes().Header().Word(50).Word(-1).str(),            // negative length, unknown tag
        Bytes().Header().Number(8, 1).Word(23).Word(-32768).str(),
        Bytes().Header().Raw("\x07").str(), // half a tag
    };
    for (size_t i = 0; i < corrupt.size(); ++i) {
        dialogs.Log.clear();
        EXPECT_FALSE(Load(corrupt[i])) << i;
        EXPECT_TRUE(SaidLoadingError()) << i;
    }
}

// A file that cannot be read is not called corrupt: the opening error, with the system's reason.
TEST_F(BriefFileTest, MissingFileOrAFolderGivesTheOpeningError) {
    const std::pair<std::string, std::string> cases[] = {
        {(dir / "absent.brf").string(), "No such file or directory"},
        {dir.Path().string(), "Is a directory"},
    };
    for (const auto& [path, cause] : cases) {
        dialogs.Log.clear();
        loaded.FileName = path;
        EXPECT_FALSE(ReadBriefs2(loaded, dialogs));
        ASSERT_EQ(dialogs.Log.size(), 1u);
        EXPECT_EQ(dialogs.Log[0].Caption, kBriefLoadingErrorCaption);
        EXPECT_EQ(dialogs.Log[0].Text, kBriefOpeningErrorText);
        EXPECT_EQ(dialogs.Log[0].Cause, cause);
    }
}

// ---- the catalogue ------------------------------------------------------------------------------

TEST_F(BriefFileTest, CatalogueKeepsPathsAndTitlesInStep) {
    std::string cat = Bytes()
                          .Word(4)
                          .Word(3)
                          .Raw("1\\a")
                          .Word(0) // empty title kept
                          .Word(0) // empty path: the pair is dropped
                          .Word(5)
                          .Raw("Title")
                          .Word(3)
                          .Raw("3\\c")
                          .Word(2)
                          .Raw("T3")
                          .Word(3)
                          .Raw("4\\d")
                          .Word(2)
                          .Raw("T4")
                          .str();
    ASSERT_TRUE(Load(Bytes().Header().str(), &cat));
    EXPECT_EQ(loaded.ArchivePaths, (std::vector<std::string>{"1\\a", "3\\c", "4\\d"}));
    EXPECT_EQ(loaded.ArchiveTitles, (std::vector<std::string>{"", "T3", "T4"}));
}

TEST_F(BriefFileTest, BadOrMissingCatalogueGivesEmptyArchiveLists) {
    const std::vector<std::string> bad = {
        Bytes().Word(2).Word(1).Raw("a").Word(1).Raw("b").str(), // one pair short
        Bytes().Word(-1).str(),
        Bytes().Word(1).Word(-3).str(),
        "\x01",
    };
    for (const std::string& cat : bad) {
        ASSERT_TRUE(Load(Bytes().Header().str(), &cat));
        EXPECT_TRUE(loaded.ArchivePaths.empty());
        EXPECT_TRUE(loaded.ArchiveTitles.empty());
    }
    std::filesystem::remove(CatPath());
    ASSERT_TRUE(Load(Bytes().Header().str()));
    EXPECT_TRUE(loaded.ArchivePaths.empty());
    EXPECT_TRUE(dialogs.Log.empty());
}

TEST_F(BriefFileTest, CatalogueBytes) {
    TBrief brief;
    brief.ArchivePaths = {"12\\Brief12.htm"};
    brief.ArchiveTitles = {"Tue"};
    EXPECT_EQ(EncodeCatalogueFile(brief),
              Bytes().Word(1).Word(14).Raw("12\\Brief12.htm").Word(3).Raw("Tue").str());
}

TEST(BriefFileNames, CompanionAndFolder) {
    EXPECT_EQ(CatFileName("/home/u/News.brf"), "/home/u/News.cat");
    EXPECT_EQ(CatFileName("C:\\Briefs\\News.BRF"), "C:\\Briefs\\News.cat");
    EXPECT_EQ(CatFileName("/home/u.v/News"), "/home/u.v/News.cat");
    EXPECT_EQ(CatFileName("a.b.brf"), "a.b.cat");
    EXPECT_EQ(FolderOf("/home/u/News.brf"), "/home/u/");
    EXPECT_EQ(FolderOf("C:\\Briefs\\News.brf"), "C:\\Briefs\\");
    EXPECT_EQ(FolderOf("News.brf"), "");
}

} // namespace
} // namespace gathra
