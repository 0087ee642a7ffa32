#include "Imports/BrowserPage.h"
#include "Imports/MozLz4File.h"
#include "Imports/SessionStore.h"
#include "support/SessionFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace gathra {
namespace {

using test::TempDir;
using test::WriteFileBytes;

// ---- AddFromBrowser
// --------------------------------------------------------------------------------

TEST(AddFromBrowser, AnswersBecomeTheFirstEntry) {
    struct Case {
        const char* Answer;
        const char* Address;
        const char* Name;
    };
    const Case cases[] = {
        {"\"http://a/news\",\"Netscape - [News]\"", "http://a/news", "News"},
        {"\"http://a/\",\"Front Page\"", "http://a/", "Front Page"},
        {"http://bare.example/page", "http://bare.example/page", "http://bare.example/page"},
        {"", "", ""},
        // Without a leading quote the address ends at the first comma.
        {"http://a/x,\"Title\"", "http://a/x", "Title"},
        // Leading commas and quotes of the title are skipped; it ends at the next quote.
        {"\"http://a/\",,,\"\"T\" tail", "http://a/", "T"},
        {"\"http://a/\",", "http://a/", ""},
        // "Netscape" elsewhere in the title: the part 12 characters on, 13 shorter than all.
        {"\"u\",\"My Netscape - [Page]\"", "u", "Page]"},
        {"\"u\",\"Netscape\"", "u", ""},
        {"\"u\",\"Netscape Navigator\"", "u", "igato"},
        // A quoted answer without its closing "\",": the whole text is the address and name.
        {"\"http://a/ \"x\"", "\"http://a/ \"x\"", "\"http://a/ \"x\""},
    };
    for (const Case& c : cases) {
        TWebList list;
        list.AddEntry(EntryKind::Web)->EntryName = "Older";
        TWebPage* e = AddFromBrowser(list, c.Answer);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(&list.Entry(0), e) << c.Answer;
        EXPECT_EQ(list.Entry(1).EntryName, "Older");
        EXPECT_EQ(e->Address, c.Address) << c.Answer;
        EXPECT_EQ(e->EntryName, c.Name) << c.Answer;
        EXPECT_EQ(e->NameSet, 1);
        EXPECT_FALSE(e->IsSearchEntry());
    }
}

TEST(AddFromBrowser, ClipboardAndDroppedPages) {
    using Page = std::optional<BrowserPage>;
    EXPECT_EQ(ClipboardPage("", "", "  https://example.org/a?b=c  \n"),
              Page({"https://example.org/a?b=c", ""}));
    EXPECT_EQ(ClipboardPage("", "", "see https://example.org/"), std::nullopt);
    EXPECT_EQ(ClipboardPage("", "", "file:///etc/passwd"), std::nullopt);
    EXPECT_EQ(ClipboardPage("", "", "http://"), std::nullopt);
    EXPECT_EQ(ClipboardPage("# comment\r\nfile:///home/u/a.txt\r\nhttp://b.example/\r\n",
                            "http://b.example/\nThe B Page\n", ""),
              Page({"http://b.example/", "The B Page"}));
    EXPECT_EQ(ClipboardPage("", "http://t.example/\nTitled", ""),
              Page({"http://t.example/", "Titled"}));
    // A page's own title is kept whole: quotes, commas and "Netscape" are only text in it.
    for (const char* title : {"About \"us\", the team", "History of Netscape Navigator and Mozilla",
                              "Netscape - [Kept]"}) {
        const Page page =
            ClipboardPage("http://q.example/", std::string("http://q.example/\n") + title, "");
        ASSERT_TRUE(page.has_value());
        EXPECT_EQ(page->Title, title);
        TWebList list;
        TWebPage* entry = AddBrowserPage(list, *page);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->EntryName, title);
        EXPECT_EQ(entry->Address, "http://q.example/");
    }

    const std::vector<BrowserPage> pages =
        PagesFromUriList("http://a.example/\r\nhttp://b.example/\r\n", "http://b.example/\nBee");
    EXPECT_EQ(pages,
              (std::vector<BrowserPage>{{"http://a.example/", ""}, {"http://b.example/", "Bee"}}));
    TWebPage entry;
    ApplyBrowserPage(entry, pages[0]);
    EXPECT_EQ(entry.EntryName, "http://a.example/");
    ApplyBrowserPage(entry, pages[1]);
    EXPECT_EQ(entry.EntryName, "Bee");
    EXPECT_EQ(entry.Address, "http://b.example/");
}

// ---- session stores
// ----------------------------------------------------------------------------------

TEST(SessionStore, TheSelectedTabsCurrentPage) {
    EXPECT_EQ(SelectedPageInSession(test::SessionJson("http://here.example/", "Here")),
              (BrowserPage{"http://here.example/", "Here"}));
    const std::pair<const char*, std::optional<BrowserPage>> cases[] = {
        {"", std::nullopt},
        {"not json", std::nullopt},
        {"[]", std::nullopt},
        {R"({"windows":[]})", std::nullopt},
        {R"({"windows":[{"tabs":[]}]})", std::nullopt},
        {R"({"windows":[{"tabs":[{"entries":[{"title":"no url"}]}]}]})", std::nullopt},
        {R"({"windows":"x"})", std::nullopt},
        // Positions out of range or of the wrong type fall back to the first window and tab
        // and the newest history entry.
        {R"({"selectedWindow":9,"windows":[{"selected":"2","tabs":[{"index":7,"entries":[)"
         R"({"url":"http://a/"},{"url":"http://b/","title":5}]}]}]})",
         BrowserPage{"http://b/", ""}},
        {R"({"selectedWindow":0,"windows":[{"selected":-1,"tabs":[{"entries":[{"url":"u","title":"t"}]}]}]})",
         BrowserPage{"u", "t"}},
    };
    for (const auto& [json, page] : cases)
        EXPECT_EQ(SelectedPageInSession(json), page) << json;
}

TEST(SessionStore, ReadsTheNewestStoreOfEveryProfileLocation) {
    TempDir home;
    EXPECT_EQ(CurrentSessionPage(home.Path().string()), std::nullopt) << "no profile";

    const fs::path older = test::WriteFirefoxSession(home.Path(), "old.default",
                                                     test::SessionJson("http://old/", "Old"));
    const fs::path snap = test::WriteFirefoxSession(home.Path(), "snap.default",
                                                    test::SessionJson("http://snap/", "Snap"),
                                                    "snap/firefox/common/.mozilla/firefox");
    const fs::path flat = test::WriteFirefoxSession(
        home.Path(), "flat.default", test::SessionJson("http://flat/", "Flat"),
        ".var/app/org.mozilla.firefox/.mozilla/firefox");
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(older, now - std::chrono::hours(3));
    fs::last_write_time(snap, now - std::chrono::hours(1));
    fs::last_write_time(flat, now - std::chrono::hours(2));
    EXPECT_EQ(SessionStoreCandidates(home.Path().string()).size(), 3u);
    EXPECT_EQ(CurrentSessionPage(home.Path().string()), (BrowserPage{"http://snap/", "Snap"}));

    const fs::path newest = test::WriteFirefoxSession(home.Path(), "new.default",
                                                      test::SessionJson("http://new/", "New"));
    EXPECT_EQ(CurrentSessionPage(home.Path().string()), (BrowserPage{"http://new/", "New"}));

    // The newest store damaged: nothing is read from an older one.
    WriteFileBytes(newest, test::MozLz4Bytes("{\"windows\":").substr(0, 30));
    EXPECT_EQ(CurrentSessionPage(home.Path().string()), std::nullopt);
}

TEST(SessionStore, ProfilesIniPaths) {
    const std::string ini =
        "[Install4F96D1932A9F858E]\r\nDefault=abc.default-release\r\nLocked=1\r\n"
        "[Profile1]\r\nName=default\r\nIsRelative=1\r\nPath=xyz.default\r\n"
        "[Profile0]\r\nName=release\r\nIsRelative=1\r\nPath=abc.default-release\r\n"
        "[Profile2]\r\nName=elsewhere\r\nIsRelative=0\r\nPath=/data/ff\r\n";
    EXPECT_EQ(ProfileFoldersFromIni(ini, "/h/.mozilla/firefox"),
              (std::vector<std::string>{"/h/.mozilla/firefox/abc.default-release",
                                        "/h/.mozilla/firefox/xyz.default", "/data/ff"}));
    EXPECT_TRUE(ProfileFoldersFromIni("", "/h").empty());
}

TEST(MozLz4, FramingIsChecked) {
    const std::string json = test::SessionJson("http://x/", "X");
    const std::string good = test::MozLz4Bytes(json);
    EXPECT_EQ(DecodeMozLz4(good), json);
    EXPECT_EQ(DecodeMozLz4(test::MozLz4Bytes("")), std::string());
    std::string wrongMagic = good;
    wrongMagic[6] = '1';
    EXPECT_EQ(DecodeMozLz4(wrongMagic), std::nullopt);
    for (size_t cut :
         {size_t(0), size_t(7), size_t(11), size_t(12), good.size() / 2, good.size() - 1})
        EXPECT_EQ(DecodeMozLz4(good.substr(0, cut)), std::nullopt) << cut;
    // A size that the block does not fill, or one far beyond any session.
    std::string wrongSize = good;
    wrongSize[8] = static_cast<char>(wrongSize[8] + 1);
    EXPECT_EQ(DecodeMozLz4(wrongSize), std::nullopt);
    std::string huge = good;
    huge[11] = '\x7f';
    EXPECT_EQ(DecodeMozLz4(huge), std::nullopt);
    EXPECT_EQ(ReadMozLz4File("/nonexistent/recovery.jsonlz4"), std::nullopt);
}

} // namespace
} // namespace gathra
