#include "Run/FileNames.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace gathra {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::string Record(const std::string& name) {
    return std::string(1, static_cast<char>(name.size())) + name;
}

TEST(PageNames, TakenNumbersAreSteppedOverByHundreds) {
    TempDir dir;
    FileNameCounters counters;
    WriteFileBytes(dir / "GA0.htm", "x");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "htm"), "GA100.htm");
    EXPECT_EQ(counters.PageCounter, 101);
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "htm"), "GA101.htm");
    EXPECT_EQ(counters.PageCounter, 102);
}

TEST(PageNames, AFolderOfTheSameNameIsTakenToo) {
    TempDir dir;
    FileNameCounters counters;
    std::filesystem::create_directory(dir / "GA0.htm");
    WriteFileBytes(dir / "GA100.htm", "x");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), ""), "GA200.htm");
    EXPECT_EQ(counters.PageCounter, 201);
}

// A folder the run has just created holds only the names drawn into it. Names are drawn there
// without looking at the disk, and must come out as the probing would have given them: the run
// creates each file as soon as its name is drawn, and a reset of the counters in the middle of
// the run (a new brief window) leads back to numbers already used.
TEST(PageNames, AFreshFolderGivesTheNamesAProbedOneWould) {
    enum Kind { Page, Image, Summary, Reset };
    const std::vector<Kind> draws = {Summary, Page, Page,    Image, Page, Image, Reset, Page,
                                     Image,   Page, Summary, Reset, Page, Page,  Image, Summary};
    TempDir probedDir;
    TempDir freshDir;
    auto drawAll = [&](const std::string& folder, FileNameCounters& counters) {
        std::vector<std::string> names;
        for (Kind kind : draws) {
            std::string name;
            if (kind == Reset) {
                counters.Reset();
                continue;
            }
            name = kind == Page    ? NewPageName(counters, folder, "htm")
                   : kind == Image ? NewImageName(counters, folder, "gif")
                                   : NewSummaryName(counters, folder);
            WriteFileBytes(std::filesystem::path(folder) / name, "x");
            names.push_back(name);
        }
        return names;
    };
    FileNameCounters probed;
    FileNameCounters fresh;
    fresh.ClaimFreshFolder(freshDir.Folder());
    const std::vector<std::string> expected = drawAll(probedDir.Folder(), probed);
    EXPECT_EQ(drawAll(freshDir.Folder(), fresh), expected);
    // The names after each reset step over the ones already in the folder.
    EXPECT_EQ(expected[6], "GA100.htm");
    EXPECT_EQ(expected[10], "GA200.htm");
    EXPECT_EQ(expected[13], "Brief2.htm");
}

// The claim is all that spares the look: a file put into the folder by someone else behind the
// run's back is not seen while the folder is claimed, and is again once it is released.
TEST(PageNames, OnlyTheClaimedFolderSkipsTheLook) {
    TempDir dir;
    TempDir other;
    FileNameCounters counters;
    counters.ClaimFreshFolder(dir.Folder());
    WriteFileBytes(other / "GA0.htm", "x");
    EXPECT_EQ(NewPageName(counters, other.Folder(), "htm"), "GA100.htm");
    counters.Reset();
    WriteFileBytes(dir / "GA0.htm", "x");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "htm"), "GA0.htm");
    counters.Reset();
    counters.ReleaseFreshFolder();
    WriteFileBytes(dir / "GA1.htm", "x");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "htm"), "GA100.htm");
}

TEST(PageNames, BackslashFolderIsAccepted) {
    TempDir dir;
    FileNameCounters counters;
    WriteFileBytes(dir / "GA0.htm", "x");
    EXPECT_EQ(NewPageName(counters, dir.Path().string() + "\\", "htm"), "GA100.htm");
    EXPECT_EQ(NewPageName(counters, dir.Path().string(), "htm"), "GA101.htm");
}

TEST(PageNames, ExtensionsAreCleanedAndMapped) {
    TempDir dir;
    FileNameCounters counters;
    EXPECT_EQ(NewPageName(counters, dir.Folder(), ""), "GA0.htm");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "JPEG"), "GA1.jpg");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "cgi"), "GA2.htm");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "MPeG"), "GA3.mpg");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "html"), "GA4.htm");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "Gif"), "GA5.gif");
    // No name ends in ".": the leading letters and digits count, else the usual extension.
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "tar.gz"), "GA6.tar");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "../x"), "GA7.htm");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "a"), "GA8.a");
}

TEST(PageNames, NoFreeNumberBelowTheLimitAnswersError) {
    TempDir dir;
    FileNameCounters counters;
    counters.PageCounter = 999899;
    WriteFileBytes(dir / "GA999899.htm", "x");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "htm"), "error");
    EXPECT_EQ(counters.PageCounter, 999899);
    counters.PageCounter = 999998;
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "htm"), "GA999998.htm");
    EXPECT_EQ(NewPageName(counters, dir.Folder(), "htm"), "error");
}

TEST(ImageNames, UseTheirOwnPrefixCounterAndLimit) {
    TempDir dir;
    FileNameCounters counters;
    counters.PageCounter = 7;
    EXPECT_EQ(NewImageName(counters, dir.Folder(), "cgi"), "GAI0.gif");
    EXPECT_EQ(NewImageName(counters, dir.Folder(), "JPEG"), "GAI1.jpg");
    EXPECT_EQ(NewImageName(counters, dir.Folder(), ""), "GAI2.htm");
    EXPECT_EQ(counters.ImageCounter, 3);
    EXPECT_EQ(counters.PageCounter, 7);
    WriteFileBytes(dir / "GAI3.gif", "x");
    EXPECT_EQ(NewImageName(counters, dir.Folder(), "gif"), "GAI103.gif");
    counters.ImageCounter = 99998;
    EXPECT_EQ(NewImageName(counters, dir.Folder(), "gif"), "GAI99998.gif");
    EXPECT_EQ(NewImageName(counters, dir.Folder(), "gif"), "error");
}

TEST(SummaryNames, StepByOneUpTo999) {
    TempDir dir;
    FileNameCounters counters;
    WriteFileBytes(dir / "Brief0.htm", "x");
    WriteFileBytes(dir / "Brief1.htm", "x");
    EXPECT_EQ(NewSummaryName(counters, dir.Folder()), "Brief2.htm");
    EXPECT_EQ(counters.SummaryCounter, 3);
    counters.SummaryCounter = 999;
    EXPECT_EQ(NewSummaryName(counters, dir.Folder()), "Brief999.htm");
    WriteFileBytes(dir / "Brief999.htm", "x");
    counters.SummaryCounter = 999;
    EXPECT_EQ(NewSummaryName(counters, dir.Folder()), "error");
    EXPECT_EQ(CatalogFileName("Brief12.htm"), "Brief12.cat");
}

TEST(FileNameCounters, ResetStartsAllThreeAgain) {
    FileNameCounters counters;
    counters.PageCounter = 5;
    counters.SummaryCounter = 6;
    counters.ImageCounter = 7;
    counters.Reset();
    EXPECT_EQ(counters.PageCounter, 0);
    EXPECT_EQ(counters.SummaryCounter, 0);
    EXPECT_EQ(counters.ImageCounter, 0);
}

TEST(RunFolder, TakesTheFirstFreeNumberAndCreatesIt) {
    TempDir dir;
    std::filesystem::create_directory(dir / "0");
    WriteFileBytes(dir / "1", "a file blocks the name as well");
    RunFolderName free = RunFolder(dir.Folder());
    EXPECT_EQ(free.Number, "2");
    EXPECT_EQ(free.Path, dir.Folder() + "2");
    EXPECT_FALSE(std::filesystem::exists(dir / "2"));
    RunFolderName made = CreateRunFolder(dir.Folder());
    EXPECT_EQ(made.Number, "2");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "2"));
    EXPECT_EQ(CreateRunFolder(dir.Folder()).Number, "3");
}

TEST(RunFolder, UncreatableFolderIsADiskError) {
    TempDir dir;
    EXPECT_THROW(CreateRunFolder(dir.Folder() + "missing/"), TDiskError);
}

TEST(RunCatalog, RecordsAreALengthByteAndTheNameEndedByAZeroByte) {
    TempDir dir;
    TOutputFile catalog((dir / "Brief0.cat").string());
    WriteCatalogHead(catalog, "12", "Brief0.htm");
    EXPECT_TRUE(CatalogName(catalog, "GA0.htm"));
    EXPECT_TRUE(CatalogName(catalog, "GAI100.gif"));
    WriteCatalogEnd(catalog);
    EXPECT_FALSE(catalog.IsOpen());
    std::string expected = std::string("\x02"
                                       "12\x0a"
                                       "Brief0.htm\x07"
                                       "GA0.htm\x0a"
                                       "GAI100.gif") +
                           std::string(1, '\0');
    EXPECT_EQ(ReadFileBytes(dir / "Brief0.cat"), expected);
}

TEST(RunCatalog, NamesOneLengthByteCannotHoldAreRefused) {
    TempDir dir;
    TOutputFile catalog((dir / "c.cat").string());
    std::string longest(255, 'n');
    EXPECT_TRUE(CatalogName(catalog, longest));
    EXPECT_FALSE(CatalogName(catalog, std::string(256, 'm')));
    EXPECT_FALSE(CatalogName(catalog, "")); // would end the catalogue early
    WriteCatalogEnd(catalog);
    std::string bytes = ReadFileBytes(dir / "c.cat");
    EXPECT_EQ(bytes, "\xff" + longest + std::string(1, '\0'));
    CatalogContents back = ParseCatalog(bytes);
    EXPECT_EQ(back.FolderName, longest);
    EXPECT_TRUE(back.Complete);
}

TEST(RunCatalog, HeadThatCannotBeRecordedIsADiskError) {
    TempDir dir;
    TOutputFile catalog((dir / "c.cat").string());
    EXPECT_THROW(WriteCatalogHead(catalog, "0", std::string(300, 'b')), TDiskError);
}

TEST(RunCatalog, WriteFailureIsADiskError) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TOutputFile full("/dev/full");
    EXPECT_TRUE(CatalogName(full, "GA0.htm")); // buffered so far
    EXPECT_THROW(WriteCatalogEnd(full), TDiskError);

    TOutputFile again("/dev/full");
    EXPECT_TRUE(CatalogName(again, "GA0.htm"));
    EXPECT_FALSE(FinishCatalog(again)); // the end of a run ignores it but learns of it
    EXPECT_FALSE(again.IsOpen());

    TOutputFile closed;
    EXPECT_THROW(CatalogName(closed, "GA0.htm"), TDiskError);
    EXPECT_FALSE(FinishCatalog(closed));
}

TEST(RunCatalog, ReadsBackWhatWasWritten) {
    TempDir dir;
    TOutputFile catalog((dir / "Brief3.cat").string());
    WriteCatalogHead(catalog, "4", "Brief3.htm");
    CatalogName(catalog, "GA0.htm");
    EXPECT_TRUE(FinishCatalog(catalog));
    std::optional<CatalogContents> back = ReadCatalog((dir / "Brief3.cat").string());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->FolderName, "4");
    EXPECT_EQ(back->FileNames, (std::vector<std::string>{"Brief3.htm", "GA0.htm"}));
    EXPECT_TRUE(back->Complete);
    EXPECT_FALSE(ReadCatalog((dir / "none.cat").string()).has_value());
}

TEST(RunCatalog, DamagedCataloguesYieldTheWholeRecordsBeforeTheDamage) {
    std::string whole = Record("4") + Record("Brief3.htm") + Record("GA0.htm") + '\0';
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        CatalogContents back = ParseCatalog(whole.substr(0, cut));
        EXPECT_EQ(back.Complete, cut == whole.size()) << cut;
        size_t records = (back.FolderName.empty() ? 0 : 1) + back.FileNames.size();
        size_t expected = cut < 2 ? 0 : cut < 13 ? 1 : cut < 21 ? 2 : 3;
        EXPECT_EQ(records, expected) << cut;
    }
    // A length byte that promises more than there is ends the walk.
    CatalogContents hostile = ParseCatalog(Record("4") + "\xc8"
                                                         "abc");
    EXPECT_EQ(hostile.FolderName, "4");
    EXPECT_TRUE(hostile.FileNames.empty());
    EXPECT_FALSE(hostile.Complete);
    // Records after the end record are not read.
    EXPECT_TRUE(ParseCatalog(Record("4") + '\0' + Record("x")).FileNames.empty());
}

TEST(RunCatalog, OnlyPlainNamesAreSafeToDelete) {
    EXPECT_TRUE(IsPlainCatalogName("GA0.htm"));
    EXPECT_TRUE(IsPlainCatalogName("Brief0.htm"));
    EXPECT_FALSE(IsPlainCatalogName(""));
    EXPECT_FALSE(IsPlainCatalogName("."));
    EXPECT_FALSE(IsPlainCatalogName(".."));
    EXPECT_FALSE(IsPlainCatalogName("../x"));
    EXPECT_FALSE(IsPlainCatalogName("a\\b"));
    EXPECT_FALSE(IsPlainCatalogName("/etc/passwd"));
    EXPECT_FALSE(IsPlainCatalogName("C:x"));
    EXPECT_FALSE(IsPlainCatalogName(std::string("a\0b", 3)));
}

} // namespace
} // namespace gathra
