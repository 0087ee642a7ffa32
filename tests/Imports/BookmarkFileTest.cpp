#include "Imports/BookmarkFile.h"
#include "Imports/BookmarkEntries.h"
#include "support/BookmarkTree.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace gathra {
namespace {

using test::TempDir;
using test::Tree;
using test::WriteFileBytes;

std::string Icon(size_t bytes) {
    std::string icon = "data:image/png;base64,";
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < bytes; ++i)
        icon += alphabet[(i * 7 + i / 13) % 64];
    return icon;
}

// An export in the shape Firefox writes: the menu's bookmarks at the top, the toolbar and the
// other bookmarks as folders, icons of several kilobytes, descriptions after <DD>.
std::string FirefoxExport() {
    return "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
           "<!-- This is an automatically generated file.\n"
           "     It will be read and overwritten.\n"
           "     DO NOT EDIT! -->\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
           "<meta http-equiv=\"Content-Security-Policy\"\n"
           "      content=\"default-src 'self'; script-src 'none'; img-src data: *;\"></meta>\n"
           "<TITLE>Bookmarks</TITLE>\n"
           "<H1>Bookmarks Menu</H1>\n\n"
           "<DL><p>\n"
           "    <DT><A HREF=\"https://www.example.org/?a=1&amp;b=2\" ADD_DATE=\"1700000000\" "
           "LAST_MODIFIED=\"1700000001\" ICON_URI=\"https://www.example.org/favicon.ico\" ICON=\"" +
           Icon(6000) +
           "\">Caf\xC3\xA9 &amp; Cr\xC3\xA8me</A>\n"
           "    <DD>A description that is not an item\n"
           "    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"1700000002\" "
           "PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3>\n"
           "    <DL><p>\n"
           "        <DT><H3 ADD_DATE=\"1700000003\">News</H3>\n"
           "        <DL><p>\n"
           "            <DT><A HREF=\"https://news.example/\" ADD_DATE=\"1700000004\" ICON=\"" +
           Icon(12000) +
           "\">Daily &lt;News&gt;</A>\n"
           "            <DT><A HREF=\"https://weather.example/\">Weather</A>\n"
           "        </DL><p>\n"
           "        <DT><A HREF=\"https://toolbar.example/\">On the toolbar</A>\n"
           "    </DL><p>\n"
           "    <DT><H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Other Bookmarks</H3>\n"
           "    <DL><p>\n"
           "    </DL><p>\n"
           "</DL>\n";
}

const char* const FirefoxTree = "Caf\xC3\xA9 & Cr\xC3\xA8me <https://www.example.org/?a=1&b=2>\n"
                                "Bookmarks Toolbar\n"
                                "  News\n"
                                "    Daily <News> <https://news.example/>\n"
                                "    Weather <https://weather.example/>\n"
                                "  On the toolbar <https://toolbar.example/>\n"
                                "Other Bookmarks\n";

// The shape of Chromium's, Chrome's and Edge's exports: the bar as a folder, attributes in
// double quotes, no description lines.
const char* const ChromiumExport =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"1700000000\" LAST_MODIFIED=\"0\" PERSONAL_TOOLBAR_FOLDER=\"true\">"
    "Bookmarks bar</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"https://a.example/\" "
    "ADD_DATE=\"1700000000\">\xE6\x97\xA5\xE6\x9C\xAC</A>\n"
    "        <DT><H3 ADD_DATE=\"1700000000\">Tools &#38; &#x263A;</H3>\n"
    "        <DL><p>\n"
    "            <DT><A HREF=\"https://b.example/\">B</A>\n"
    "        </DL><p>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"https://loose.example/\">Loose</A>\n"
    "</DL><p>\n";

struct ScanCase {
    const char* Name;
    std::string Text;
    std::string Expected; // empty: the scan finds no item
};

TEST(BookmarkScan, ReadsEveryShapeOfExport) {
    const std::vector<ScanCase> cases = {
        {"firefox", FirefoxExport(), FirefoxTree},
        {"chromium", ChromiumExport,
         "Bookmarks bar\n  \xE6\x97\xA5\xE6\x9C\xAC <https://a.example/>\n"
         "  Tools & \xE2\x98\xBA\n    B <https://b.example/>\nLoose <https://loose.example/>\n"},
        {"lower case tags and attribute names",
         "<dl><dt><h3>Folder</h3><dl><dt><a href=\"http://x/\">X</a></dl></dl>",
         "Folder\n  X <http://x/>\n"},
        {"mixed case", "<Dl><dT><a HrEf=\"http://x/\">X</a></dL>", "X <http://x/>\n"},
        {"single quotes", "<DL><DT><A HREF='http://q.example/a b'>Q</A></DL>",
         "Q <http://q.example/a b>\n"},
        {"no quotes", "<DL><DT><A HREF=http://u.example/ ADD_DATE=1>U</A></DL>",
         "U <http://u.example/>\n"},
        {"no quotes ending at the tag", "<DL><DT><A HREF=http://u.example/>U</A></DL>",
         "U <http://u.example/>\n"},
        {"blanks and line ends around the equals sign",
         "<DL><DT><A HREF =\r\n\t \"http://s.example/\">S</A></DL>", "S <http://s.example/>\n"},
        {"anchor without href", "<DL><DT><A NAME=\"x\">Named</A></DL>", "Named\n"},
        {"value starting with a tag", "<DL><DT><A HREF= <b>T</A></DL>", "T\n"},
        {"a bracket inside the value ends the tag", "<DL><DT><A HREF=\"a>b\">T</A></DL>",
         "b\">T <a>\n"},
        {"headings are folders with their items below",
         "<DL><DT><H3>A</H3><DL><DT><H3>B</H3><DL><DT><H3>C</H3><DL>"
         "<DT><A HREF=\"http://deep/\">D</A></DL></DL></DL><DT><A HREF=\"http://top/\">T</A></DL>",
         "A\n  B\n    C\n      D <http://deep/>\nT <http://top/>\n"},
        {"more closing than opening lists",
         "</DL></DL></DL><DT><A HREF=\"http://a/\">A</A><DL><DT><A HREF=\"http://b/\">B</A>"
         "<DL><DT><A HREF=\"http://c/\">C</A></DL></DL></DL></DL><DT><A HREF=\"http://d/\">D</A>"
         "<DL><DL><DT><A HREF=\"http://e/\">E</A>",
         "A <http://a/>\nB <http://b/>\n  C <http://c/>\nD <http://d/>\n  E <http://e/>\n"},
        {"an item before any list", "<DT><A HREF=\"http://a/\">A</A>", "A <http://a/>\n"},
        {"a deeper list with no item of its own level goes under the last item",
         "<DL><DT><H3>A</H3><DL><DT><H3>A1</H3></DL><DT><H3>B</H3><DL><DL>"
         "<DT><A HREF=\"http://x/\">X</A></DL></DL></DL>",
         "A\n  A1\nB\n  X <http://x/>\n"},
        {"a title running to the end of the file", "<DL><DT><A HREF=\"http://e/\">End",
         "End <http://e/>\n"},
        {"every named reference is decoded; references to no character stay",
         "<DL><DT><H3>&copy; &#0; &#xD800; &amp &Eacute;t&eacute;&hellip;</H3></DL>",
         "\xC2\xA9 &#0; &#xD800; & \xC3\x89t\xC3\xA9\xE2\x80\xA6\n"},
        {"bookmarklets and history queries are left out",
         "<DL><DT><A HREF=\"javascript:alert(1)\">Bookmarklet</A>"
         "<DT><A HREF=\" JavaScript:void(0)\">Spaced</A>"
         "<DT><A HREF=\"place:sort=8&amp;maxResults=10\">Most Visited</A>"
         "<DT><A HREF=\"PLACE:folder=TOOLBAR\">Toolbar</A>"
         "<DT><A HREF=\"https://kept.example/javascript:x\">Kept</A></DL>",
         "Kept <https://kept.example/javascript:x>\n"},
        {"an export of bookmarklets only has no items",
         "<DL><DT><A HREF=\"javascript:x\">J</A></DL>", ""},
        {"a page without items", "<html><title>Hi</title><body><p>Text</p></body></html>", ""},
        {"a dt without a tag after it", "<DL><DT>plain text", ""},
        {"an item tag without its end", "<DL><DT><A HREF=\"x\"", ""},
        {"an empty file", "", ""},
        {"bytes that are no text", std::string("\0\x01<\xFF<\0dt", 8), ""},
    };
    for (const ScanCase& c : cases) {
        TBookmarkOutline outline;
        EXPECT_EQ(ScanBookmarks(c.Text, outline), !c.Expected.empty()) << c.Name;
        EXPECT_EQ(Tree(outline), c.Expected) << c.Name;
    }
}

TEST(BookmarkScan, NestingDeeperThanTheTableStaysAtTheDeepestLevel) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "<DL><p><DT><H3>F" + std::to_string(i) + "</H3>\n";
    text += "<DT><A HREF=\"http://bottom/\">Bottom</A>";
    for (int i = 0; i < 200; ++i)
        text += "</DL><p>\n";
    text += "<DT><A HREF=\"http://after/\">After</A>";

    TBookmarkOutline outline;
    ASSERT_TRUE(ScanBookmarks(text, outline));
    ASSERT_EQ(outline.Count(), 202);
    for (int i = 0; i < 101; ++i)
        EXPECT_EQ(outline.Item(i).Level, i + 1) << i;
    // Items below the deepest level become siblings at that level, in file order.
    const TBookmarkItem& deepParent = outline.Item(99);
    ASSERT_EQ(deepParent.Children.size(), 101u);
    EXPECT_EQ(outline.Item(deepParent.Children.front()).Text, "F100");
    EXPECT_EQ(outline.Item(deepParent.Children.back()).Text, "Bottom");
    for (int child : deepParent.Children)
        EXPECT_EQ(outline.Item(child).Level, 101);
    // The closing lists bring the level back down to the top.
    EXPECT_EQ(outline.Item(201).Text, "After");
    EXPECT_EQ(outline.Item(201).Level, 1);
    EXPECT_EQ(outline.InOrder().size(), 202u);
}

TEST(BookmarkScan, AnExportCutAnywhereGivesAPartOfTheTree) {
    const std::string text = std::string(ChromiumExport);
    TBookmarkOutline full;
    ASSERT_TRUE(ScanBookmarks(text, full));
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        TBookmarkOutline part;
        ScanBookmarks(std::string_view(text).substr(0, cut), part);
        ASSERT_LE(part.Count(), full.Count()) << cut;
        for (int i = 0; i + 1 < part.Count(); ++i) {
            EXPECT_EQ(part.Item(i).Text, full.Item(i).Text) << cut;
            EXPECT_EQ(part.Item(i).Parent, full.Item(i).Parent) << cut;
        }
    }
}

TEST(BookmarkScan, ALargeExportLoadsWhole) {
    // About 5 MB: 2,000 folders of ten bookmarks, each bookmark with a 200-byte icon.
    std::string text = "<TITLE>Big</TITLE><DL><p>\n";
    const std::string icon = Icon(200);
    for (int f = 0; f < 2000; ++f) {
        text += "<DT><H3 ADD_DATE=\"1\">Folder " + std::to_string(f) + "</H3>\n<DL><p>\n";
        for (int b = 0; b < 10; ++b)
            text += "<DT><A HREF=\"https://site" + std::to_string(f) + ".example/page" +
                    std::to_string(b) + "\" ADD_DATE=\"1700000000\" ICON=\"" + icon + "\">Page " +
                    std::to_string(b) + "</A>\n";
        text += "</DL><p>\n";
    }
    text += "</DL>\n";
    ASSERT_GT(text.size(), 5'000'000u);
    TempDir dir;
    WriteFileBytes(dir / "big.html", text);
    test::RecordingDialogs dialogs;
    std::optional<TBookmarkOutline> outline =
        LoadBookmarkFile((dir / "big.html").string(), dialogs);
    ASSERT_TRUE(outline);
    EXPECT_TRUE(dialogs.Log.empty());
    EXPECT_EQ(outline->Title, "Big");
    EXPECT_EQ(outline->Count(), 22000);
    EXPECT_EQ(outline->TopLevel().size(), 2000u);
    EXPECT_EQ(outline->Bookmarks().size(), 20000u);
    const TBookmarkItem& last = outline->Item(outline->Count() - 1);
    EXPECT_EQ(last.Address, "https://site1999.example/page9");
    EXPECT_EQ(last.Text, "Page 9");
    EXPECT_EQ(last.Level, 2);
}

TEST(BookmarkFile, LoadingTellsTheKindAndReportsWhatItCannotLoad) {
    TempDir dir;
    WriteFileBytes(dir / "firefox.html", FirefoxExport());
    WriteFileBytes(dir / "untitled.htm", "<DL><DT><A HREF=\"http://a/\">A</A></DL>");
    WriteFileBytes(dir / "entity.htm", "<title>Mine &amp; Yours</title><DL><DT><H3>A</H3></DL>");
    WriteFileBytes(dir / "Bookmarks",
                   "\xEF\xBB\xBF {\"roots\": {\"bookmark_bar\": {\"name\": \"Bookmarks bar\", "
                   "\"type\": \"folder\", \"children\": []}}}");
    WriteFileBytes(dir / "page.html", "<html><title>Not bookmarks</title><p>Hello</p></html>");
    WriteFileBytes(dir / "empty.html", "");
    WriteFileBytes(dir / "broken.json", "{\"roots\": {\"bookmark_bar\": ");
    WriteFileBytes(dir / "fake.sqlite", std::string("SQLite format 3\0garbage", 23));
    std::filesystem::create_directory(dir / "folder.htm");

    struct Case {
        const char* File;
        bool Loads;
        std::optional<std::string> Title;
        int Items;
    };
    const Case cases[] = {
        {"firefox.html", true, "Bookmarks", 7},  {"untitled.htm", true, std::nullopt, 1},
        {"entity.htm", true, "Mine & Yours", 1}, {"Bookmarks", true, std::nullopt, 1},
        {"page.html", false, std::nullopt, 0},   {"empty.html", false, std::nullopt, 0},
        {"broken.json", false, std::nullopt, 0}, {"fake.sqlite", false, std::nullopt, 0},
        {"folder.htm", false, std::nullopt, 0},  {"missing.htm", false, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        test::RecordingDialogs dialogs;
        std::optional<TBookmarkOutline> outline =
            LoadBookmarkFile((dir / c.File).string(), dialogs);
        ASSERT_EQ(outline.has_value(), c.Loads) << c.File;
        if (c.Loads) {
            EXPECT_TRUE(dialogs.Log.empty()) << c.File;
            EXPECT_EQ(outline->Title, c.Title) << c.File;
            EXPECT_EQ(outline->Count(), c.Items) << c.File;
        } else {
            ASSERT_EQ(dialogs.Log.size(), 1u) << c.File;
            EXPECT_EQ(dialogs.Log[0].Text,
                      "This file is either corrupt or is not a Bookmark file. Gathra Light "
                      "cannot load it.");
            EXPECT_EQ(dialogs.Log[0].Caption, "Bookmark File Loading Error");
        }
    }
}

TEST(BookmarkEntries, CopyAndDropMakeWebEntriesOfBookmarks) {
    TBookmarkOutline outline;
    ASSERT_TRUE(ScanBookmarks(
        "<DL><DT><H3>Folder</H3><DL><DT><A HREF=\"http://one/\">One</A><DT><H3>Sub</H3>"
        "<DL><DT><A HREF=\"http://deep/\">Deep</A></DL><DT><A HREF=\"http://two/\">Two</A>"
        "</DL><DT><A HREF=\"http://untitled/\"></A><DT><A HREF=\"http://long/\">" +
            std::string(300, 'x') + "</A><DT><A HREF=\"http://u/\">" + std::string(255, 'y') +
            "\xC3\xA9\xC3\xA9</A></DL>",
        outline));
    // Folder, One, Sub, Deep, Two, untitled, long, UTF-8
    ASSERT_EQ(outline.Count(), 8);

    TWebPage buffer(EntryKind::Web);
    buffer.MakeSearch();
    buffer.LoadBinaries = 1;
    buffer.Locked = 1;
    buffer.UserName = "old";
    ASSERT_TRUE(BookmarkToBuffer(outline, 1, buffer));
    EXPECT_EQ(buffer.EntryName, "One");
    EXPECT_EQ(buffer.Address, "http://one/");
    EXPECT_EQ(buffer.IsSearch, 0);
    EXPECT_EQ(buffer.LoadBinaries, 0);
    EXPECT_EQ(buffer.Locked, 0);
    EXPECT_EQ(buffer.UserName, "");
    EXPECT_EQ(buffer.Active, 1);
    EXPECT_EQ(buffer.SpiderDepth, 1);
    EXPECT_EQ(buffer.DepthText, "1");
    EXPECT_EQ(buffer.LoadImages, 0);
    EXPECT_EQ(buffer.LocalOnly, 1);
    EXPECT_EQ(buffer.NameSet, 1);
    EXPECT_EQ(buffer.ReservedFlag, 1);
    ASSERT_TRUE(BookmarkToBuffer(outline, 6, buffer));
    EXPECT_EQ(buffer.EntryName, std::string(256, 'x'));
    ASSERT_TRUE(BookmarkToBuffer(outline, 7, buffer));
    EXPECT_EQ(buffer.EntryName, std::string(255, 'y') + "\xC3\xA9");
    EXPECT_FALSE(BookmarkToBuffer(outline, 8, buffer));

    // A folder brings its bookmarks and those of its sub-folders, in order, and no folder.
    std::vector<BookmarkEntry> folder = BookmarkEntries(outline, outline.ItemsToImport(0));
    ASSERT_EQ(folder.size(), 3u);
    EXPECT_EQ(folder[0].Name, "One");
    EXPECT_EQ(folder[1].Name, "Deep");
    EXPECT_EQ(folder[2].Name, "Two");

    TWebList list;
    list.AddEntry(EntryKind::Web)->EntryName = "first";
    list.AddEntry(EntryKind::Web)->EntryName = "second";
    list.SelectEntry(1);
    EXPECT_EQ(DropBookmarks(list, folder, 1), 3);
    std::vector<BookmarkEntry> untitled = BookmarkEntries(outline, outline.ItemsToImport(5));
    EXPECT_EQ(DropBookmarks(list, untitled, 99), 1);
    ASSERT_EQ(list.Count(), 6);
    const char* const names[] = {"first", "One", "Deep", "Two", "second", "http://untitled/"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(list.Entry(i).EntryName, names[i]) << i;
    EXPECT_EQ(list.Entry(2).Address, "http://deep/");
    EXPECT_EQ(list.Entry(2).NameSet, 1);
    EXPECT_EQ(list.Entry(5).NameSet, 0);
    EXPECT_EQ(list.SelectedIndex, 4); // still "second"
    EXPECT_EQ(outline.FindFolder("Folder/Sub"), 2);
    EXPECT_EQ(outline.FindFolder("Folder"), 0);
    EXPECT_EQ(outline.FindFolder("Folder/None"), -1);
}

TEST(BookmarkFile, WindowsAreCaptionedByTitleFileOrProfile) {
    using Title = std::optional<std::string>;
    const std::tuple<const char*, Title, const char*> cases[] = {
        {"/home/u/saved.html", "My Reading", "My Reading"},
        {"/home/u/saved.html", "Bookmarks", "saved.html"},
        {"/home/u/saved.html", "BOOKMARKS", "saved.html"},
        {"/home/u/saved.html", std::nullopt, "saved.html"},
        {"/home/u/.mozilla/firefox/ab12.default-release/places.sqlite", std::nullopt,
         "firefox ab12.default-release"},
        {"/home/u/.config/google-chrome/Profile 1/Bookmarks", std::nullopt,
         "google-chrome Profile 1"},
        {"Bookmarks", std::nullopt, "Bookmarks"},
    };
    for (const auto& [path, title, caption] : cases)
        EXPECT_EQ(BookmarkWindowCaption(path, title), caption) << path;
}

TEST(BookmarkFile, DecodesCharacterReferences) {
    const std::pair<const char*, const char*> cases[] = {
        {"a &amp; b", "a & b"},
        {"&lt;&gt;&quot;&apos;", "<>\"'"},
        {"&#65;&#x42;&#X43;", "ABC"},
        {"&#233;&#x20AC;&#x1F600;", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"&nbsp;", "\xC2\xA0"},
        {"&unknown; &#xZZ; &#99999999999; & &;", "&unknown; &#xZZ; &#99999999999; & &;"},
        {"&amp;amp;", "&amp;"},
        // Every named reference of HTML, with and without the ";" the old names may leave out.
        {"Caf&eacute; &mdash; &hellip;&trade;",
         "Caf\xC3\xA9 \xE2\x80\x94 \xE2\x80\xA6\xE2\x84\xA2"},
        {"&CounterClockwiseContourIntegral;&NotEqualTilde;", "\xE2\x88\xB3\xE2\x89\x82\xCC\xB8"},
        {"&copy 2024 &eacute,", "\xC2\xA9 2024 \xC3\xA9,"},
        {"?a=1&copy=2 &hellip &notit; &Eacute", "?a=1&copy=2 &hellip &notit; \xC3\x89"},
        // Numeric references to 128..159 mean the Windows characters.
        {"&#150;&#x93;&#8217;", "\xE2\x80\x93\xE2\x80\x9C\xE2\x80\x99"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(DecodeCharacterReferences(in), out) << in;
}

} // namespace
} // namespace gathra
