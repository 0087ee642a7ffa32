#include "App/gathra/Cli.h"
#include "Brief/BriefFile.h"
#include "support/CliRun.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace gathra {
namespace {

using test::TempDir;
using test::WriteFileBytes;

class ImportCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Run({"new", brief}), 0) << err.str();
        ASSERT_EQ(Run({"add", brief, "--url", "http://kept.example/"}), 0) << err.str();
        WriteFileBytes(dir / "bookmarks.html",
                       "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n"
                       "<DL><p>\n"
                       "  <DT><A HREF=\"https://top.example/\" ADD_DATE=\"1\">Top &amp; more</A>\n"
                       "  <DT><H3 ADD_DATE=\"1\">Toolbar</H3>\n"
                       "  <DL><p>\n"
                       "    <DT><H3>News</H3>\n"
                       "    <DL><p>\n"
                       "      <DT><A HREF=\"https://news.example/\">Daily</A>\n"
                       "    </DL><p>\n"
                       "    <DT><A HREF='https://bar.example/'>Bar</A>\n"
                       "  </DL><p>\n"
                       "</DL>\n");
        WriteFileBytes(dir / "Bookmarks",
                       R"({"roots": {"bookmark_bar": {"name": "Bookmarks bar", "type": "folder",
                           "children": [{"name": "Json", "type": "url",
                                         "url": "https://json.example/"}]}}})");
    }

    int Run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return test::RunCli(args, out, err);
    }
    std::vector<std::pair<std::string, std::string>> Entries() {
        TBrief b;
        b.FileName = brief;
        test::RecordingDialogs dialogs;
        EXPECT_TRUE(ReadBriefs2(b, dialogs));
        std::vector<std::pair<std::string, std::string>> entries;
        for (int i = 0; i < b.WebList.Count(); ++i)
            entries.push_back({b.WebList.Entry(i).EntryName, b.WebList.Entry(i).Address});
        return entries;
    }
    std::string File(const char* name) { return (dir / name).string(); }

    TempDir dir;
    std::string brief = (dir / "News.brf").string();
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(ImportCommandsTest, BookmarksAreListedAndAddedWholeOrByFolder) {
    ASSERT_EQ(Run({"import", "bookmarks", brief, File("bookmarks.html"), "--list"}), 0);
    EXPECT_EQ(out.str(), "Top & more  <https://top.example/>\n"
                         "Toolbar/\n"
                         "  News/\n"
                         "    Daily  <https://news.example/>\n"
                         "  Bar  <https://bar.example/>\n");
    ASSERT_EQ(Run({"import", "bookmarks", brief, File("bookmarks.html"), "--list", "--folder",
                   "Toolbar/News"}),
              0);
    EXPECT_EQ(out.str(), "Daily  <https://news.example/>\n");
    EXPECT_EQ(Entries().size(), 1u); // listing changes nothing

    ASSERT_EQ(Run({"import", "bookmarks", brief, File("bookmarks.html"), "--folder", "Toolbar"}), 0)
        << err.str();
    EXPECT_EQ(out.str(), "2 entries added\n");
    ASSERT_EQ(Run({"import", "bookmarks", brief, File("bookmarks.html")}), 0) << err.str();
    ASSERT_EQ(Run({"import", "bookmarks", brief, File("Bookmarks")}), 0) << err.str();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"http://kept.example/", "http://kept.example/"},
        {"Daily", "https://news.example/"},
        {"Bar", "https://bar.example/"},
        {"Top & more", "https://top.example/"},
        {"Daily", "https://news.example/"},
        {"Bar", "https://bar.example/"},
        {"Json", "https://json.example/"},
    };
    EXPECT_EQ(Entries(), expected);

    EXPECT_EQ(Run({"import", "bookmarks", brief, File("bookmarks.html"), "--folder", "Nope"}), 2);
    EXPECT_NE(err.str().find("has no folder \"Nope\""), std::string::npos) << err.str();
    WriteFileBytes(dir / "page.html", "<html><p>No bookmarks here</p></html>");
    EXPECT_EQ(Run({"import", "bookmarks", brief, File("page.html")}), 1);
    EXPECT_EQ(err.str(), "Bookmark File Loading Error: This file is either corrupt or is not a "
                         "Bookmark file. Gathra Light cannot load it.\n");
    EXPECT_EQ(Run({"import", "bookmarks", File("missing.brf"), File("bookmarks.html")}), 1);
    EXPECT_EQ(Entries().size(), expected.size());
}

TEST_F(ImportCommandsTest, ShortcutsAreAddedLastFileFirstAndAFailureKeepsTheRest) {
    WriteFileBytes(dir / "a.url", "[InternetShortcut]\r\nURL=http://a.example/\r\n");
    WriteFileBytes(dir / "b.desktop", "[Desktop Entry]\nType=Link\nURL=http://b.example/\n");
    WriteFileBytes(dir / "c.txt", "[InternetShortcut]\r\nURL=http://c.example/\r\n");
    ASSERT_EQ(Run({"import", "shortcuts", brief, File("a.url"), File("b.desktop"), File("c.txt")}),
              0)
        << err.str();
    EXPECT_EQ(out.str(), "2 entries added\n");
    EXPECT_NE(err.str().find("skipped " + File("c.txt")), std::string::npos);

    // A file that is no link is named at the end; the others are made and the import succeeds.
    WriteFileBytes(dir / "app.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
    EXPECT_EQ(Run({"import", "shortcuts", brief, File("a.url"), File("gone.url"), File("a.url"),
                   File("app.desktop")}),
              0)
        << err.str();
    EXPECT_NE(err.str().find("Shortcut Loading Error: These files are not links to web pages, and "
                             "Gathra Light skipped them: gone.url, app.desktop."),
              std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find("Gathra Pro"), std::string::npos);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"a", "http://a.example/"},
        {"a", "http://a.example/"},
        {"a", "http://a.example/"},
        {"b", "http://b.example/"},
        {"http://kept.example/", "http://kept.example/"},
    };
    EXPECT_EQ(Entries(), expected);
    // Nothing made: the import failed.
    EXPECT_EQ(Run({"import", "shortcuts", brief, File("gone.url")}), 1);
    EXPECT_EQ(Entries(), expected);

    EXPECT_EQ(Run({"import", "shortcuts", brief}), 2);
    EXPECT_EQ(Run({"import"}), 2);
}

} // namespace
} // namespace gathra
