#include "Search/SearchIndex.h"
#include "HitFiles.h"
#include "Platform/OutputFile.h"
#include "Run/NavigationBar.h"
#include "Search/BriefSearch.h"
#include "Search/StoredPages.h"
#include "support/StoredRuns.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace gathra {
namespace {

using test::Files;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// A page file as the run assembles it: moved body tag, header bar, the page, footer bar.
std::string StoredPageBytes(const TempDir& dir, const std::string& address, const std::string& page,
                            bool bars = true) {
    const std::string path = (dir / "assembled.htm").string();
    {
        TOutputFile out(path);
        out << "<body bgcolor=white>";
        if (bars)
            PrintBriefHeader(out, "/opt/g/", LocalTime{2026, 3, 7, 9, 5, 3}, false,
                             WebAddressLink(address), "GA1.htm", "Brief0.htm", "Brief name words");
        out << page;
        if (bars) PrintBriefFooter(out, WebAddressLink(address), "GA1.htm", "Brief0.htm");
        out << "</body></html>\r\n";
        out.Close();
    }
    return ReadFileBytes(path);
}

TEST(StoredPages, WhatAStoredFileGivesTheIndex) {
    TempDir dir;
    // An ordinary page: bars cut off, address from the header's button.
    std::optional<StoredPageText> page = ReadStoredPage(
        StoredPageBytes(dir, "site/a.htm", "<title>River</title>The <b>flood</b> came"));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Title, "River");
    EXPECT_EQ(page->Body, "The flood came");
    EXPECT_EQ(page->Address, "http://site/a.htm");

    // A page shown in a frame has no bar and no address.
    page = ReadStoredPage(StoredPageBytes(dir, "", "<title>F</title>framed", false));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Body, "framed");
    EXPECT_EQ(page->Address, "");

    const struct {
        const char* Name;
        std::string Bytes;
    } skipped[] = {
        {"fetch notice", StoredPageBytes(dir, "x/",
                                         "<html><title>Inaccessible Page</title>      "
                                         "<h2>Inaccessible Page</h2>Gathra Light...")},
        {"link notice", StoredPageBytes(dir, "",
                                        "<html><body><title>Spider Limit Exceeded</title>"
                                        "<h2>Spider Search Limit Exceeded</h2>This")},
        {"notice in capitals", StoredPageBytes(dir, "x/",
                                               "\r\n<HTML> <Body bgcolor=white><TITLE>Mail Link"
                                               "</TITLE>\r\n<body><h2>Mail</h2>")},
        {"header frame", StoredPageBytes(dir, "x/", "")},
        {"site map", "<html><body bgcolor=#FFFFFF text=\"0000FF\" link=\"FF0000\"><title>Site "
                     "Map</title><ul><li>a</li></ul></body></html>\r\n"},
        {"picture", std::string("GIF89a\0\1\2", 9)},
        {"stylesheet", "p { color: red }"},
    };
    for (const auto& s : skipped)
        EXPECT_FALSE(ReadStoredPage(s.Bytes)) << s.Name;
    // A page that only borrows a notice's title is a page.
    EXPECT_TRUE(ReadStoredPage(StoredPageBytes(dir, "x/", "<title>External Link</title>text")));
    EXPECT_TRUE(ReadStoredPage(
        StoredPageBytes(dir, "x/", "<title>External Link<b>s</b></title><h2>Links</h2>")));
}

TEST(StoredPages, SummaryNamesEntriesAndSiteMaps) {
    const std::string summary =
        "<font size=4><b>Web Entry: </b><a href=\"GA0.htm\">News &amp; Caf\xE9</a></font><br>\r\n"
        "<ul><font size=2><a href=\"GA1.htm\">Site Map</a></font></ul>\r\n<hr size=1>"
        "<font size=4><b>Web Entry: </b><a href=\"GA9.gif\">Picture</a></font><br>\r\n";
    const SummaryEntries entries = ReadSummaryEntries(summary);
    ASSERT_EQ(entries.TopPages.size(), 2u);
    EXPECT_EQ(entries.TopPages[0],
              std::make_pair(std::string("GA0.htm"), std::string("News &amp; Caf\xC3\xA9")));
    EXPECT_EQ(entries.TopPages[1].first, "GA9.gif");
    EXPECT_EQ(entries.SiteMaps, std::vector<std::string>{"GA1.htm"});
    EXPECT_EQ(RunFolderOf("12\\Brief3.htm"), "12");
    EXPECT_EQ(RunFolderOf("Brief3.htm"), "");
}

TEST(SearchIndex, QueryTextBecomesASafeExpression) {
    const std::pair<const char*, const char*> cases[] = {
        {"river flood", "\"river\" \"flood\""},
        {"\"river flood\"", "\"river flood\""},
        {"flo* \"half phrase", "\"flo\"* \"half phrase\""},
        {"a OR b", "\"a\" OR \"b\""},
        {"OR a OR", "\"a\""},
        {"title:x -y NEAR(z)", "\"title:x\" \"-y\" \"NEAR(z)\""},
        {"say \"\"\"", "\"say\" \"\" \"\""},
        {"  * ", ""},
    };
    for (const auto& [query, expression] : cases)
        EXPECT_EQ(MatchExpression(query), expression) << query;
    EXPECT_EQ(MarkedSnippet("a \x02"
                            "b\x03 c",
                            "[", "]"),
              "a [b] c");
}

TEST(SearchIndex, StampsSortAsTime) {
    const std::pair<const char*, const char*> cases[] = {
        {"12/7/98 9:05:03PM", "1998-12-07 21:05:03"},
        {"3/7/26 12:05:09AM", "2026-03-07 00:05:09"},
        {"3/7/26 12:00:00PM", "2026-03-07 12:00:00"},
        {"1/2/2031  \t1:02:03 AM", "2031-01-02 01:02:03"},
        {"13/1/98 1:00:00AM", ""},
        {"", ""},
    };
    for (const auto& [stamp, sortable] : cases)
        EXPECT_EQ(SortableStamp(stamp), sortable) << stamp;
    EXPECT_EQ(TSearchIndex::PathFor("/b/News.BRF"), "/b/News.idx");
    EXPECT_EQ(TSearchIndex::PathFor("/b.x/News"), "/b.x/News.idx");
}

IndexedPage Page(const std::string& file, const std::string& title, const std::string& body,
                 const std::string& entry = "E") {
    return {file, title, body, "http://x/" + file, entry};
}

SearchRequest Ask(std::string query, int limit = 20, std::string entry = {},
                  std::string since = {}) {
    SearchRequest request;
    request.Query = std::move(query);
    request.Limit = limit;
    request.Entry = std::move(entry);
    request.Since = std::move(since);
    return request;
}

TEST(SearchIndex, AddSearchReuseAndRemove) {
    TempDir dir;
    const std::string path = (dir / "B.idx").string();
    TSearchIndex index;
    ASSERT_TRUE(index.Open(path, true, 0640)) << index.Error();
    EXPECT_FALSE(index.Existed());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const ArchivedRun first{"0\\Brief0.htm", "10/1/26 9:00:00AM"};
    const ArchivedRun second{"1\\Brief1.htm", "10/2/26 9:00:00AM"};
    ASSERT_TRUE(index.AddRun(first, {Page("0/GA0.htm", "Weather", "flood once in the valley"),
                                     Page("0/GA1.htm", "Flood flood", "flood flood flood water"),
                                     Page("0/GA2.htm", "Caf\xC3\xA9",
                                          "Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9"
                                          "e",
                                          "Food")}));
    ASSERT_TRUE(index.AddRun(second, {Page("1/GA0.htm", "River", "the river flood warning")}));
    std::vector<SearchHit> hits;
    const std::vector<ArchivedRun> both{first, second};

    // Relevance: the page full of the word first; the phrase only where the words stand together.
    ASSERT_TRUE(index.Search(Ask("flood"), both, dir.Folder(), hits));
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[0].File, "0/GA1.htm");
    EXPECT_EQ(hits[0].Stamp, first.Stamp);
    ASSERT_TRUE(index.Search(Ask("\"river flood\""), both, dir.Folder(), hits));
    EXPECT_EQ(Files(hits), std::vector<std::string>{"1/GA0.htm"});
    EXPECT_EQ(hits[0].ArchivePath, second.ArchivePath);
    // Case, accents and prefixes.
    for (const char* query : {"CREME brulee", "caf*", "cr\xC3\xA8me", "\"BRULEE\""}) {
        ASSERT_TRUE(index.Search(Ask(query), both, dir.Folder(), hits));
        EXPECT_EQ(Files(hits), std::vector<std::string>{"0/GA2.htm"}) << query;
    }
    // Filters: entry, day, live runs, limit.
    ASSERT_TRUE(index.Search(Ask("flood", 20, "Food"), both, dir.Folder(), hits));
    EXPECT_TRUE(hits.empty());
    ASSERT_TRUE(index.Search(Ask("flood", 20, "", "2026-10-02"), both, dir.Folder(), hits));
    EXPECT_EQ(Files(hits), std::vector<std::string>{"1/GA0.htm"});
    ASSERT_TRUE(index.Search(Ask("flood"), {second}, dir.Folder(), hits));
    EXPECT_EQ(hits.size(), 1u);
    ASSERT_TRUE(index.Search(Ask("flood", 1), both, dir.Folder(), hits));
    EXPECT_EQ(hits.size(), 1u);
    // A run listed under the same folder with another title is not the indexed run.
    ASSERT_TRUE(index.Search(Ask("flood"), {{"1/Brief1.htm", "other"}}, dir.Folder(), hits));
    EXPECT_TRUE(hits.empty());

    // A new run in folder 0 replaces every page of the old one.
    const ArchivedRun reused{"0\\Brief5.htm", "10/3/26 9:00:00AM"};
    ASSERT_TRUE(index.AddRun(reused, {Page("0/GA0.htm", "New", "fresh text")}));
    ASSERT_TRUE(index.Search(Ask("flood"), {first, second, reused}, dir.Folder(), hits));
    EXPECT_EQ(Files(hits), std::vector<std::string>{"1/GA0.htm"});
    ASSERT_TRUE(index.Search(Ask("fresh"), {reused}, dir.Folder(), hits));
    EXPECT_EQ(hits.size(), 1u);

    // Removing a run, also one the index never had.
    // with the pages read again (their words go), without (their rows are left out for good).
    const std::vector<IndexedPage> secondPages{
        Page("1/GA0.htm", "River", "the river flood warning")};
    ASSERT_TRUE(index.RemoveRun("1/Brief1.htm", &secondPages));
    ASSERT_TRUE(index.RemoveRun("7\\Brief7.htm", nullptr));
    ASSERT_TRUE(index.Search(Ask("flood OR fresh"), {reused, second}, dir.Folder(), hits));
    EXPECT_EQ(Files(hits), std::vector<std::string>{"0/GA0.htm"});
    // Only the reused folder's run left words behind.
    SqliteDatabase raw;
    ASSERT_TRUE(raw.Open(path, SqliteDatabase::Mode::ReadOnly));
    SqliteStatement dead = raw.Prepare("SELECT count(*) FROM dead");
    ASSERT_TRUE(dead.Step());
    EXPECT_EQ(dead.Int(0), 1);
    SqliteStatement words = raw.Prepare("SELECT count(*) FROM pages WHERE pages MATCH 'warning'");
    ASSERT_TRUE(words.Step());
    EXPECT_EQ(words.Int(0), 0);
}

TEST(SearchIndex, DamagedFilesAreToldApart) {
    TempDir dir;
    const std::string path = (dir / "B.idx").string();
    {
        TSearchIndex index;
        ASSERT_TRUE(index.Open(path, true));
        std::vector<IndexedPage> pages;
        for (int i = 0; i < 300; ++i)
            pages.push_back(Page("0/GA" + std::to_string(i) + ".htm", "t",
                                 std::string(500, 'a' + i % 26) + " word"));
        ASSERT_TRUE(index.AddRun({"0\\Brief0.htm", "s"}, pages));
    }
    const std::string whole = ReadFileBytes(path);
    const struct {
        const char* Name;
        std::string Bytes;
    } damaged[] = {
        {"cut short", whole.substr(0, whole.size() / 2)},
        {"not a database", "just some text, not a database at all, long enough for a header "
                           "of one hundred bytes to be read from it......................"},
        {"a foreign database", ""},
    };
    for (const auto& d : damaged) {
        std::filesystem::remove(path);
        if (d.Bytes.empty()) {
            SqliteDatabase other;
            ASSERT_TRUE(other.Open(path, SqliteDatabase::Mode::Create));
            ASSERT_TRUE(other.Exec("CREATE TABLE t(x)"));
        } else {
            WriteFileBytes(path, d.Bytes);
        }
        TSearchIndex index;
        EXPECT_FALSE(index.Open(path, true)) << d.Name;
        EXPECT_TRUE(index.Damaged()) << d.Name;
        EXPECT_FALSE(index.Error().empty()) << d.Name;
    }
    TSearchIndex none;
    EXPECT_FALSE(none.Open((dir / "none.idx").string(), false));
    EXPECT_FALSE(none.Damaged());
}

TEST(SearchIndex, RunEndsReportProblemsOncePerIndex) {
    TempDir dir;
    const std::string brief = (dir / "B.brf").string();
    WriteFileBytes(brief, "brief");
    ::chmod(brief.c_str(), 0640);
    const std::string index = TSearchIndex::PathFor(brief);
    StoredRun run{brief, dir.Folder(),
                  test::WriteStoredRun(
                      dir.Folder(), 0, "News",
                      {{"site/", "<title>Top</title>river"}, {"site/b", "<title>B</title>flood"}}),
                  "10/1/26 9:00:00AM", false};
    TSearchIndexer indexer;
    // A first run makes the index quietly, with the brief's permissions.
    EXPECT_EQ(indexer.RunStored(run), "");
    struct stat st {};
    ASSERT_EQ(::stat(index.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    TSearchIndex opened;
    std::vector<SearchHit> hits;
    ASSERT_TRUE(opened.Open(index, false));
    ASSERT_TRUE(
        opened.Search(Ask("flood"), {{run.ArchivePath, run.StartStamp}}, dir.Folder(), hits));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].Entry, "News");
    EXPECT_EQ(hits[0].Address, "http://site/b");
    EXPECT_EQ(hits[0].File, "0/GA1.htm");
    EXPECT_EQ(hits[0].Snippet, "\x02"
                               "flood\x03"); // from the stored file
    EXPECT_EQ(RemoveRunFromIndex(brief, dir.Folder(), run.ArchivePath), "");
    ASSERT_TRUE(
        opened.Search(Ask("flood"), {{run.ArchivePath, run.StartStamp}}, dir.Folder(), hits));
    EXPECT_TRUE(hits.empty());

    // A lost index with earlier runs: made again with this run, and said so.
    std::filesystem::remove(index);
    run.EarlierRuns = true;
    EXPECT_NE(indexer.RunStored(run).find("was missing"), std::string::npos);
    // A damaged one: said once, for this index, however many runs come.
    TSearchIndexer fresh;
    WriteFileBytes(index, std::string(200, 'x'));
    const std::string problem = fresh.RunStored(run);
    EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
    EXPECT_NE(problem.find("--reindex"), std::string::npos);
    EXPECT_EQ(fresh.RunStored(run), "");
    EXPECT_NE(RemoveRunFromIndex(brief, dir.Folder(), run.ArchivePath).find("damaged"),
              std::string::npos);
    // A brief without an index has nothing to remove.
    EXPECT_EQ(RemoveRunFromIndex((dir / "Other.brf").string(), dir.Folder(), run.ArchivePath), "");
}

} // namespace
} // namespace gathra
