#include "Desktop/ArchivedBriefs.h"
#include "Desktop/BriefSetupModel.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace gathra {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// ---- drawing a row -------------------------------------------------------------------------------

struct TitleCase {
    const char* Title;
    // The texts of the pieces in order; the separators are in their own columns.
    std::vector<std::string> Texts;
    const char* Date;
    const char* Time;
};

std::vector<std::string> TextsOf(const std::vector<ArchiveRowPiece>& pieces) {
    std::vector<std::string> texts;
    for (const ArchiveRowPiece& p : pieces)
        texts.push_back(p.Text);
    return texts;
}

TEST(ArchiveRow, TitlesAreCutIntoTheirColumns) {
    const TitleCase cases[] = {
        {"12/7/98 9:05:03PM",
         {"Dec", "-", "07", "-", "98", "9", ":", "05", ":", "03", "PM"},
         "Dec-07-98",
         "9:05:03 PM"},
        {"1/15/99 10:30:59 AM",
         {"Jan", "-", "15", "-", "99", "10", ":", "30", ":", "59", "AM"},
         "Jan-15-99",
         "10:30:59 AM"},
        // Several blanks or tabs after the year, blanks before AM.
        {"3/01/00 \t  12:00:00   AM",
         {"Mar", "-", "01", "-", "00", "12", ":", "00", ":", "00", "AM"},
         "Mar-01-00",
         "12:00:00 AM"},
        // Not a number counts as January (month) and as zero (padded parts).
        {"x/y/98 1:z:4PM",
         {"Jan", "-", "0y", "-", "98", "1", ":", "0z", ":", "04", "PM"},
         "Jan-0y-98",
         "1:0z:04 PM"},
        // Months outside 1..12 show no name.
        {"13/7/98 9:05:03PM",
         {"", "-", "07", "-", "98", "9", ":", "05", ":", "03", "PM"},
         "-07-98",
         "9:05:03 PM"},
        {"0/0/98 9:0:0PM",
         {"", "-", "00", "-", "98", "9", ":", "00", ":", "00", "PM"},
         "-00-98",
         "9:00:00 PM"},
        // Cut titles draw only what is found.
        {"", {}, "", ""},
        {"garbage", {}, "", ""},
        {"12/7", {"Dec", "-"}, "Dec-", ""},
        {"12/7/98", {"Dec", "-", "07", "-", "98"}, "Dec-07-98", ""},
        {"12/7/98 9", {"Dec", "-", "07", "-", "98"}, "Dec-07-98", ""},
        {"12/7/98 9:05", {"Dec", "-", "07", "-", "98", "9", ":"}, "Dec-07-98", "9:"},
        // A title without AM or PM keeps its seconds.
        {"12/7/98 21:05:03",
         {"Dec", "-", "07", "-", "98", "21", ":", "05", ":", "03"},
         "Dec-07-98",
         "21:05:03"},
    };
    for (const TitleCase& c : cases) {
        EXPECT_EQ(TextsOf(ArchiveRowPieces(c.Title)), c.Texts) << c.Title;
        ArchiveRowText text = ArchiveRowTextOf(c.Title);
        EXPECT_EQ(text.Date, c.Date) << c.Title;
        EXPECT_EQ(text.Time, c.Time) << c.Title;
    }
}

TEST(ArchiveRow, PiecesStandAtTheirFixedPositions) {
    const std::vector<ArchiveRowPiece> expected = {
        {"Dec", 23, true}, {"-", 25, false}, {"07", 41, true},  {"-", 43, false},
        {"98", 60, true},  {"9", 133, true}, {":", 135, false}, {"05", 153, true},
        {":", 155, false}, {"03", 173, true}, {"PM", 180, false}};
    EXPECT_EQ(ArchiveRowPieces("12/7/98 9:05:03PM"), expected);
}

TEST(ArchiveRow, PaddingAndMonthNames) {
    const std::pair<const char*, const char*> pads[] = {
        {"7", "07"}, {"07", "07"}, {"0", "00"}, {"10", "10"}, {"", "0"}, {"x", "0x"}, {"-5", "0-5"},
        {"007", "007"}};
    for (auto [in, out] : pads)
        EXPECT_EQ(PadTwoDigits(in), out) << in;
    const std::pair<const char*, const char*> months[] = {
        {"1", "Jan"}, {"6", "Jun"}, {"12", "Dec"}, {"012", "Dec"}, {"", "Jan"},
        {"ab", "Jan"}, {"0", ""},   {"13", ""},    {"-1", ""},     {"99999999999999999999", "Jan"}};
    for (auto [in, out] : months)
        EXPECT_EQ(MonthName(in), out) << in;
}

TEST(ArchiveRow, TheDeleteQuestionNamesTheRunsDateAndTime) {
    const std::pair<const char*, const char*> cases[] = {
        {"12/7/98 9:05:03PM", "the archived brief of Dec-07-98, 9:05:03 PM?"},
        {"3/7/26 9:05:03AM", "the archived brief of Mar-07-26, 9:05:03 AM?"},
        {"12/7/98", "the archived brief of Dec-07-98?"},
        {"", "this archived brief?"},
        {"garbage", "this archived brief?"},
    };
    for (auto [title, question] : cases)
        EXPECT_EQ(ArchiveDeleteQuestion(title),
                  std::string("Are you sure you want to delete ") + question)
            << title;
}

// ---- viewing ---------------------------------------------------------------------------------------

TEST(ArchiveView, AddressesOfArchivedBriefs) {
    EXPECT_EQ(ArchiveViewAddress("/home/u/briefs/", "3\\Brief3.htm", "FIREFOX"),
              "file:///home/u/briefs/3/Brief3.htm");
    EXPECT_EQ(ArchiveViewAddress("C:\\Briefs\\", "3\\Brief3.htm", "NETSCAPE"),
              "file:///C:/Briefs/3/Brief3.htm");
    EXPECT_EQ(ArchiveViewAddress("C:\\Briefs\\", "3\\Brief3.htm", "IExplore"),
              "C:\\Briefs\\3\\Brief3.htm");
    // A folder named with "#", "%" and "?" stays one path.
    EXPECT_EQ(ArchiveViewAddress("/home/u/Notes #1 100%?/", "3\\Brief3.htm", "FIREFOX"),
              "file:///home/u/Notes%20%231%20100%25%3F/3/Brief3.htm");
    TBrief b;
    b.BriefFolder = "/run/0/";
    b.HomeFolder = "/home/";
    EXPECT_EQ(ArchiveFolder(b), "/run/0/");
    b.Generating = 1;
    EXPECT_EQ(ArchiveFolder(b), "/home/");
}

// ---- deleting ----------------------------------------------------------------------------------------

std::string Record(const std::string& name) {
    return std::string(1, static_cast<char>(name.size())) + name;
}

// A run folder "3" with a catalogue naming `names` (after the head) and the files it names.
struct RunOnDisk {
    TempDir Dir;
    fs::path Run;
    explicit RunOnDisk(const std::vector<std::string>& names, const std::string& head = "3") {
        Run = Dir / "3";
        fs::create_directory(Run);
        std::string catalogue = Record(head) + Record("Brief3.htm");
        WriteFileBytes(Run / "Brief3.htm", "summary");
        for (const std::string& name : names) {
            catalogue += Record(name);
            if (name.find('/') == std::string::npos && name != "..")
                WriteFileBytes(Run / name, "page");
        }
        WriteFileBytes(Run / "Brief3.cat", catalogue + '\0');
    }
};

TEST(ArchiveDelete, ARunGoesWithAllItsFilesAndItsFolder) {
    RunOnDisk run({"GA0.htm", "GAI0.gif", "GA100.htm"});
    int between = 0;
    ArchiveDeleteResult r = DeleteArchivedRun(run.Dir.Folder(), "3\\Brief3.htm", [&] { ++between; });
    EXPECT_TRUE(r.CatalogueFound);
    EXPECT_FALSE(r.CatalogueRefused);
    EXPECT_EQ(r.FilesDeleted, 4);
    EXPECT_EQ(between, 4) << "events are processed between records";
    EXPECT_TRUE(r.FolderRemoved);
    EXPECT_FALSE(fs::exists(run.Run));
}

TEST(ArchiveDelete, FilesTheCatalogueDoesNotNameStayWithTheirFolder) {
    RunOnDisk run({"GA0.htm", "missing.htm"});
    fs::remove(run.Run / "missing.htm");
    WriteFileBytes(run.Run / "notes.txt", "mine");
    ArchiveDeleteResult r = DeleteArchivedRun(run.Dir.Folder(), "3/Brief3.htm");
    EXPECT_EQ(r.FilesDeleted, 2);
    EXPECT_EQ(r.FilesFailed, 0) << "a file already gone is no failure";
    EXPECT_FALSE(r.FolderRemoved);
    EXPECT_EQ(ReadFileBytes(run.Run / "notes.txt"), "mine");
    EXPECT_FALSE(fs::exists(run.Run / "Brief3.cat"));
}

TEST(ArchiveDelete, AMissingCatalogueDeletesNothing) {
    RunOnDisk run({"GA0.htm"});
    fs::remove(run.Run / "Brief3.cat");
    ArchiveDeleteResult r = DeleteArchivedRun(run.Dir.Folder(), "3\\Brief3.htm");
    EXPECT_FALSE(r.CatalogueFound);
    EXPECT_TRUE(fs::exists(run.Run / "GA0.htm"));
    EXPECT_EQ(DeleteArchivedRun(run.Dir.Folder(), "").FilesDeleted, 0);
}

TEST(ArchiveDelete, HostileNamesReachNothingOutsideTheRunFolder) {
    TempDir outside;
    WriteFileBytes(outside / "x", "keep");
    RunOnDisk run({"../x", "/etc/x", "..", ".", "a\\b", "GA0.htm"});
    WriteFileBytes(run.Dir / "x", "keep"); // what "../x" would reach
    fs::create_directory(run.Run / "sub");
    WriteFileBytes(run.Run / "sub" / "inner", "keep");
    fs::create_symlink(outside / "x", run.Run / "link");
    // A catalogue naming a folder and a symbolic link: the link goes, its target and the
    // folder stay.
    std::string extra = ReadFileBytes(run.Run / "Brief3.cat");
    extra.pop_back();
    WriteFileBytes(run.Run / "Brief3.cat", extra + Record("sub") + Record("link") + '\0');

    ArchiveDeleteResult r = DeleteArchivedRun(run.Dir.Folder(), "3\\Brief3.htm");
    EXPECT_EQ(r.NamesRefused, 6);
    EXPECT_EQ(r.FilesDeleted, 3); // Brief3.htm, GA0.htm, link
    EXPECT_EQ(ReadFileBytes(run.Dir / "x"), "keep");
    EXPECT_EQ(ReadFileBytes(outside / "x"), "keep");
    EXPECT_FALSE(fs::exists(fs::symlink_status(run.Run / "link")));
    EXPECT_EQ(ReadFileBytes(run.Run / "sub" / "inner"), "keep");
    EXPECT_FALSE(r.FolderRemoved);
}

TEST(ArchiveDelete, UntrustedCataloguesAndPathsDeleteNothing) {
    // First record not the folder the catalogue sits in, or not a plain name at all.
    for (const std::string head : {"4", "..", "/etc", "3/..", ""}) {
        RunOnDisk run({"GA0.htm"}, head);
        ArchiveDeleteResult r = DeleteArchivedRun(run.Dir.Folder(), "3\\Brief3.htm");
        EXPECT_TRUE(r.CatalogueRefused) << head;
        EXPECT_EQ(r.FilesDeleted, 0) << head;
        EXPECT_TRUE(fs::exists(run.Run / "GA0.htm")) << head;
        EXPECT_TRUE(fs::exists(run.Run / "Brief3.cat")) << head;
    }
    // Archive paths that do not name "<run folder>\<page>".
    RunOnDisk run({"GA0.htm"});
    fs::create_directories(run.Dir / "a" / "b");
    fs::copy_file(run.Run / "Brief3.cat", run.Dir / "a" / "b" / "Brief3.cat");
    for (const char* path : {"..\\3\\Brief3.htm", "a\\b\\Brief3.htm", "Brief3.htm"}) {
        ArchiveDeleteResult r = DeleteArchivedRun(run.Dir.Folder() + "3/", path);
        EXPECT_EQ(r.FilesDeleted, 0) << path;
    }
    ArchiveDeleteResult nested = DeleteArchivedRun(run.Dir.Folder(), "a\\b\\Brief3.htm");
    EXPECT_TRUE(nested.CatalogueRefused);
    EXPECT_TRUE(fs::exists(run.Run / "GA0.htm"));
}

TEST(ArchiveDelete, ARunFolderThatIsALinkIsNotFollowed) {
    RunOnDisk target({"GA0.htm"});
    TempDir briefs;
    fs::create_directory_symlink(target.Run, briefs / "3");
    ArchiveDeleteResult r = DeleteArchivedRun(briefs.Folder(), "3\\Brief3.htm");
    EXPECT_TRUE(r.CatalogueRefused);
    EXPECT_TRUE(fs::exists(target.Run / "GA0.htm"));
    EXPECT_TRUE(fs::exists(target.Run / "Brief3.cat"));
}

TEST(ArchiveDelete, ThousandsOfFiles) {
    std::vector<std::string> names;
    for (int i = 0; i < 5000; ++i)
        names.push_back("GA" + std::to_string(i) + ".htm");
    RunOnDisk run(names);
    int between = 0;
    ArchiveDeleteResult r = DeleteArchivedRun(run.Dir.Folder(), "3\\Brief3.htm", [&] { ++between; });
    EXPECT_EQ(r.FilesDeleted, 5001);
    EXPECT_EQ(between, 5001);
    EXPECT_TRUE(r.FolderRemoved);
}

TEST(ArchiveDelete, TheEntryGoesEvenWhenItsFilesAreGone) {
    TempDir dir;
    TBrief b;
    b.BriefFolder = dir.Folder();
    b.ArchivePaths = {"0\\Brief0.htm", "1\\Brief1.htm", "2\\Brief2.htm"};
    b.ArchiveTitles = {"a", "b", "c"};
    ArchiveDeleteResult r = DeleteArchivedBrief(b, 1);
    EXPECT_FALSE(r.CatalogueFound);
    EXPECT_EQ(b.ArchivePaths, (std::vector<std::string>{"0\\Brief0.htm", "2\\Brief2.htm"}));
    EXPECT_EQ(b.ArchiveTitles, (std::vector<std::string>{"a", "c"}));
    EXPECT_FALSE(RemoveArchiveEntry(b, 2));
    EXPECT_FALSE(RemoveArchiveEntry(b, -1));
}

// ---- the list's selection ---------------------------------------------------------------------------

TEST(ArchiveSelection, RowsAfterDeletes) {
    TBrief b;
    for (int i = 0; i < 4; ++i) {
        b.ArchivePaths.push_back(std::to_string(i));
        b.ArchiveTitles.push_back("t" + std::to_string(i));
    }
    TBriefSetupModel m(b);
    m.SelectRow(0);
    EXPECT_EQ(m.SelectedArchiveIndex(), 3);
    EXPECT_FALSE(m.DeleteEnabled()) << "deleting waits for a click";
    m.ClickRow(1); // t2
    EXPECT_TRUE(m.DeleteEnabled());
    EXPECT_EQ(m.SelectedArchiveIndex(), 2);

    m.BeginDelete();
    EXPECT_FALSE(m.DeleteEnabled());
    EXPECT_FALSE(m.ViewEnabled());
    EXPECT_FALSE(m.CloseEnabled());
    EXPECT_FALSE(m.HelpEnabled());
    EXPECT_FALSE(m.ArchiveListEnabled());
    m.ClickRow(0);
    EXPECT_EQ(m.SelectedRow(), 1) << "no clicks while deleting";
    RemoveArchiveEntry(b, 2);
    m.SelectedRowDeleted();
    // A middle row: the row that took its place.
    EXPECT_EQ(m.ArchiveRows(), (std::vector<std::string>{"t3", "t1", "t0"}));
    EXPECT_EQ(m.SelectedRow(), 1);
    EXPECT_EQ(m.SelectedArchiveIndex(), 1);
    EXPECT_TRUE(m.DeleteEnabled());
    EXPECT_TRUE(m.CloseEnabled());

    // The last row: the new last row.
    m.ClickRow(2);
    RemoveArchiveEntry(b, m.SelectedArchiveIndex());
    m.SelectedRowDeleted();
    EXPECT_EQ(m.SelectedRow(), 1);
    EXPECT_EQ(m.SelectedArchiveIndex(), 0);
    EXPECT_EQ(b.ArchiveTitles[0], "t1");

    // Down to none: everything off, Close the default.
    m.SelectedRowDeleted();
    m.SelectedRowDeleted();
    EXPECT_TRUE(m.ArchiveRows().empty());
    EXPECT_EQ(m.SelectedRow(), -1);
    EXPECT_FALSE(m.ViewEnabled());
    EXPECT_FALSE(m.DeleteEnabled());
    EXPECT_FALSE(m.ArchiveListEnabled());
    EXPECT_FALSE(m.ViewIsDefault());
    EXPECT_TRUE(m.ArchiveChanged());
}

TEST(ArchiveSelection, NoDeletingWhileTheBriefGenerates) {
    TBrief b;
    b.ArchivePaths = {"0\\Brief0.htm"};
    b.ArchiveTitles = {"12/7/98 9:05:03PM"};
    b.Generating = 1;
    TBriefSetupModel m(b);
    m.ClickRow(0);
    EXPECT_TRUE(m.ViewEnabled());
    EXPECT_FALSE(m.DeleteEnabled());
    b.Generating = 0; // the run ended while the dialog was open
    EXPECT_TRUE(m.DeleteEnabled());
}

} // namespace
} // namespace gathra
