#include "Run/EntrySpider.h"

#include "Brief/WebPage.h"
#include "Run/FileNames.h"
#include "Run/HashTable.h"
#include "Net/HttpClient.h"
#include "Run/RunHost.h"
#include "Run/TocList.h"
#include "Run/NavigationBar.h"
#include "Run/PageFrame.h"
#include "support/FetchRequest.h"
#include "support/QuietHost.h"
#include "support/RewriteRun.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

namespace gathra {
namespace {

using test::BarFooter;
using test::BarHeader;
using test::TestHttpServer;
using test::TestResponse;

// Calls `onAddress` with every address the spider shows as the current page.
class WatchingHost : public test::QuietHost {
public:
    void UpdateItem(ProgressLabel label, const std::string& text) override {
        if (label == ProgressLabel::CurrAddr && onAddress) onAddress(text);
        if (label == ProgressLabel::CurrDepth) depths.push_back(text);
        if (label == ProgressLabel::ImagesLoaded && onImages) onImages();
    }

    std::function<void(const std::string&)> onAddress;
    std::function<void()> onImages;
    std::vector<std::string> depths;
};

const std::string kGif = std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14);

class EntrySpiderTest : public ::testing::Test {
protected:
    test::RewriteRun r;
    TestHttpServer server;
    TWebPage entry;
    TEntryNames names;
    bool isFrameset = false;

    EntrySpiderTest() { entry.LocalOnly = 0; }

    std::string Addr(const std::string& path) const { return server.Address(path); }
    std::string Web(const std::string& path) const { return "http://" + Addr(path); }
    void Page(const std::string& path, const std::string& html) {
        server.Serve(path, TestResponse::Html(html));
    }

    // Does for the entry what the run does around the spider: fetches the top page, registers
    // it, prepares it, creates its file, runs the spider and closes the top page.
    void RunEntry(const std::string& path, int depth) {
        entry.EntryName = "Entry";
        entry.Address = server.Url(path);
        entry.SpiderDepth = depth;
        std::string address = Addr(path);
        TResponseBuffer top;
        TFetchResult result = FetchDocument(
            test::FetchOf(address, address, entry.LoadImages != 0, false), top, r.Run);
        ASSERT_EQ(result.Result, 1);
        names.SummaryName = "Brief0.htm";
        names.TopPageName = NewPageName(r.Counters, r.Run.BriefFolder, "htm");
        names.SiteMapName =
            depth >= 2 ? NewPageName(r.Counters, r.Run.BriefFolder, "htm") : std::string();
        names.EntryAddress = address;
        names.StartStamp = "3/7/26 9:05:03AM";
        r.Run.TocRoot->Append("");
        r.Run.PageTable->Add(address, names.TopPageName, 0, depth, 1, r.Run.TocRoot->Last(), 0);
        ++r.Run.PagesCount;
        PrepareBody(top, true);
        ASSERT_TRUE(CatalogName(r.Run.Catalog, names.TopPageName));
        TOutputFile out((r.Dir / names.TopPageName).string());
        isFrameset = SpiderEntry(r.Run, entry, names, top, out, result.IsContent);
        if (!isFrameset) PrintBriefFooter(out, Web(path), names.SiteMapName, names.SummaryName);
        WritePageClosing(out, isFrameset, true);
        out.Close();
    }

    std::string SiteMap(const std::string& list) const {
        return "<html><body bgcolor=#FFFFFF text=\"0000FF\" link=\"FF0000\"><title>Site "
               "Map</title>" +
               BarHeader("", "") + "<h1>Site Map</h1><ul><ul>" + list + "</ul></ul>" +
               BarFooter("", "") + "</body></html>\r\n";
    }
};

TEST_F(EntrySpiderTest, DepthOneStoresTheTopPageWithSpiderLimitNoticesAndNoSiteMap) {
    Page("/index.htm", "<html><head><title>Home</title></head><body bgcolor=white>Hi "
                       "<a href=\"a.htm\">A</a> <a href=\"#x\">X</a></body></html>");
    RunEntry("/index.htm", 1);
    EXPECT_FALSE(isFrameset);
    EXPECT_EQ(r.File("GA0.htm"),
              "<body bgcolor=white>" + BarHeader(Web("/index.htm"), "") +
                  "<html><head><title>Home</title></head>" + std::string(20, ' ') +
                  "Hi <a href=\"GA1.htm\">A</a> <a href=\"#x\">X</a></body></html>" + " " +
                  BarFooter(Web("/index.htm"), "") + "</body></html>\r\n");
    std::string notice = r.File("GA1.htm");
    EXPECT_NE(notice.find("Spider Search Limit Exceeded"), std::string::npos);
    EXPECT_NE(notice.find(Web("/a.htm")), std::string::npos);
    EXPECT_FALSE(r.Exists("GA2.htm"));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/index.htm"}));
    EXPECT_EQ(entry.RunFiles, (std::vector<std::string>{"GA0.htm"}));
    EXPECT_EQ(entry.RunNotes, (std::vector<std::string>{"3/7/26 9:05:03AM"}));
}

TEST_F(EntrySpiderTest, DepthTwoStoresLinkedPagesAndTheirSiteMap) {
    Page("/index.htm", "<title>Home</title><a href=\"a.htm#sec\">A</a><a href=\"b.htm\">B</a>"
                       "<a href=\"a.htm\">A again</a>");
    Page("/a.htm", "<title>Page A</title><a href=\"c.htm\">C</a>");
    Page("/b.htm", "no title <a href=\"index.htm\">home</a>");
    WatchingHost host;
    r.Run.Host = &host;
    RunEntry("/index.htm", 2);

    EXPECT_EQ(r.File("GA0.htm"),
              BarHeader(Web("/index.htm"), "GA1.htm") +
                  "<title>Home</title><a href=\"GA2.htm#sec\">A</a><a href=\"GA3.htm\">B</a>"
                  "<a href=\"GA2.htm\">A again</a>" +
                  " " + BarFooter(Web("/index.htm"), "GA1.htm") + "</body></html>\r\n");
    EXPECT_EQ(r.File("GA2.htm"), BarHeader(Web("/a.htm"), "GA1.htm") +
                                     "<title>Page A</title><a href=\"GA4.htm\">C</a> " +
                                     BarFooter(Web("/a.htm"), "GA1.htm") + "</body></html>");
    EXPECT_EQ(r.File("GA3.htm"), BarHeader(Web("/b.htm"), "GA1.htm") +
                                     "no title <a href=\"GA0.htm\">home</a> " +
                                     BarFooter(Web("/b.htm"), "GA1.htm") + "</body></html>");
    EXPECT_NE(r.File("GA4.htm").find("Spider Limit Exceeded"), std::string::npos);
    EXPECT_EQ(r.File("GA1.htm"), SiteMap("<li><a href=\"GA0.htm\">Home</a></li><ul>"
                                         "<li><a href=\"GA2.htm#sec\">Page A</a></li><ul></ul>"
                                         "<li><a href=\"GA3.htm\">" +
                                         Addr("/b.htm") + "</a></li></ul>"));
    // a.htm is queued twice but fetched once; the link back to the top page is not fetched.
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/index.htm", "/a.htm", "/b.htm"}));
    // Level 3 has nothing queued: no "3 of 2" is shown for it.
    EXPECT_EQ(host.depths, (std::vector<std::string>{"2 of 2"}));
    EXPECT_EQ(r.Run.PagesCount, 3);
    r.Run.Catalog.Close();
    EXPECT_EQ(ParseCatalog(r.File("Brief0.cat")).FileNames,
              (std::vector<std::string>{"Brief0.htm", "GA0.htm", "GA1.htm", "GA2.htm", "GA4.htm",
                                        "GA3.htm"}));
}

TEST_F(EntrySpiderTest, FramesAreStoredUnderFrameKeysWithoutBars) {
    Page("/index.htm", "<html><frameset cols=\"*,*\"><frame src=\"left.htm\">"
                       "<frame src=\"right.htm\"></frameset></html>");
    Page("/left.htm", "<a href=\"page.htm\" target=\"_top\">P</a><a href=\"right.htm\">R</a>");
    Page("/right.htm", "right");
    Page("/page.htm", "<title>P</title>page");
    RunEntry("/index.htm", 2);
    EXPECT_TRUE(isFrameset);
    EXPECT_EQ(r.File("GA0.htm"),
              "<frameset rows=\"36,*\"><frame src=\"GA2.htm\" marginwidth=\"1\" "
              "marginheight=\"1\" scrolling=\"no\" resize><frameset cols=\"*,*\"><html>" +
                  std::string(21, ' ') +
                  "<frame src=\"GA3.htm\"><frame src=\"GA4.htm\"></frameset></html> "
                  "</frameset></html>\r\n");
    EXPECT_EQ(r.File("GA2.htm"), BarHeader(Web("/index.htm"), "GA1.htm", false));
    EXPECT_EQ(r.File("GA3.htm"),
              "<a href=\"GA5.htm\" target=\"_top\">P</a><a href=\"GA4.htm\">R</a> </body></html>");
    EXPECT_EQ(r.File("GA4.htm"), "right </body></html>");
    EXPECT_EQ(r.File("GA5.htm"), BarHeader(Web("/page.htm"), "GA1.htm") + "<title>P</title>page " +
                                     BarFooter(Web("/page.htm"), "GA1.htm") + "</body></html>");
    ASSERT_NE(r.Run.PageTable->Find("!!--" + Addr("/left.htm")), nullptr);
    EXPECT_EQ(r.Run.PageTable->Find("!!--" + Addr("/left.htm"))->FramePage, 1);
    ASSERT_NE(r.Run.PageTable->Find(Addr("/page.htm")), nullptr);
    EXPECT_EQ(r.Run.PageTable->Find(Addr("/page.htm"))->FramePage, 0);
    EXPECT_EQ(server.Targets(),
              (std::vector<std::string>{"/index.htm", "/left.htm", "/right.htm", "/page.htm"}));
}

TEST_F(EntrySpiderTest, ImagesOnAreStoredOnceEachAndAMissingOneKeepsItsSource) {
    server.Serve("/bg.gif", TestResponse::Http(200, "image/gif", kGif + "bg"));
    server.Serve("/low.gif", TestResponse::Http(200, "image/gif", kGif + "low"));
    server.Serve("/pic.gif", TestResponse::Http(200, "image/gif", kGif + "pic"));
    Page("/index.htm", "<body background=\"bg.gif\"><img lowsrc=\"low.gif\" src=\"pic.gif\">"
                       "<IMG SRC=pic.gif><img src=\"missing.gif\">");
    entry.LoadImages = 1;
    RunEntry("/index.htm", 1);
    EXPECT_EQ(r.File("GA0.htm"), "<body background=\"GAI0.gif\">" +
                                     BarHeader(Web("/index.htm"), "") + std::string(26, ' ') +
                                     "<img lowsrc=\"GAI1.gif\" src=\"GAI2.gif\"><IMG SRC=GAI2.gif>"
                                     "<img src=\"missing.gif\"> " +
                                     BarFooter(Web("/index.htm"), "") + "</body></html>\r\n");
    EXPECT_EQ(r.File("GAI0.gif"), kGif + "bg");
    EXPECT_EQ(r.File("GAI1.gif"), kGif + "low");
    EXPECT_EQ(r.File("GAI2.gif"), kGif + "pic");
    EXPECT_FALSE(r.Exists("GAI3.gif"));
    EXPECT_EQ(r.Run.ImagesCount, 3);
}

TEST_F(EntrySpiderTest, AStopAfterOneSourceOfAnImageTagLeavesItsOtherSourcesAlone) {
    server.Serve("/pic.gif", TestResponse::Http(200, "image/gif", kGif + "pic"));
    Page("/index.htm", "<img lowsrc=\"pic.gif\" src=\"pic.gif\"><img src=pic.gif>");
    entry.LoadImages = 1;
    WatchingHost host;
    host.onImages = [&] { r.Flags.SkipFlag = 1; };
    r.Run.Host = &host;
    RunEntry("/index.htm", 1);
    EXPECT_NE(r.File("GA0.htm").find("<img lowsrc=\"GAI0.gif\" src=\"pic.gif\"><img src=pic.gif>"),
              std::string::npos)
        << r.File("GA0.htm");
    EXPECT_EQ(r.Run.ImagesCount, 1);
}

TEST_F(EntrySpiderTest, ImagesOffAreNotFetchedAndImageLinksStay) {
    Page("/index.htm", "<body background=bg.gif><img src=\"pic.gif\" width=4>"
                       "<a href=\"big.jpg\">big</a>");
    RunEntry("/index.htm", 2);
    EXPECT_EQ(r.File("GA0.htm"),
              "<body background=/images/NotLoaded>" + BarHeader(Web("/index.htm"), "GA1.htm") +
                  std::string(24, ' ') +
                  "<img src=\"/images/NotLoaded\" width=4>"
                  "<a href=\"big.jpg\">big</a>" +
                  " " + BarFooter(Web("/index.htm"), "GA1.htm") + "</body></html>\r\n");
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/index.htm"}));
}

TEST_F(EntrySpiderTest, ABackgroundThatCannotBeFetchedBecomesEmpty) {
    Page("/index.htm", "<body background=\"nobg.gif\" text=red>x");
    entry.LoadImages = 1;
    RunEntry("/index.htm", 1);
    EXPECT_EQ(r.File("GA0.htm").substr(0, 35), "<body background=\"\" text=red><nobr>");
    EXPECT_EQ(r.Run.ImagesCount, 0);
}

TEST_F(EntrySpiderTest, ChainsOfFramesEndWithTheEntrysDepth) {
    for (int i = 0; i < 10; ++i)
        Page("/f" + std::to_string(i) + ".htm",
             "<frameset><frame src=\"f" + std::to_string(i + 1) + ".htm\"></frameset>");
    WatchingHost host;
    r.Run.Host = &host;
    RunEntry("/f0.htm", 2);
    // Frame sources keep the depth of the level that found them; each level costs one.
    EXPECT_EQ(server.Targets(),
              (std::vector<std::string>{"/f0.htm", "/f1.htm", "/f2.htm", "/f3.htm"}));
    // The passes after the last level fetch frames only and show as that level.
    EXPECT_EQ(host.depths, (std::vector<std::string>{"2 of 2", "2 of 2, frames", "2 of 2, frames",
                                                     "2 of 2, frames"}));
}

TEST(LevelText, APassAfterTheLastLevelShowsAsTheLastLevelWithItsFrames) {
    const struct {
        std::int64_t Level;
        std::int32_t Depth;
        const char* Text;
    } cases[] = {{2, 3, "2 of 3"},         {3, 3, "3 of 3"},
                 {4, 3, "3 of 3, frames"}, {9, 3, "3 of 3, frames"},
                 {2, 1, "1 of 1, frames"}, {2, INT32_MAX, "2 of 2147483647"}};
    for (const auto& c : cases)
        EXPECT_EQ(LevelText(c.Level, c.Depth), c.Text) << c.Level << " " << c.Depth;
}

TEST_F(EntrySpiderTest, AFramesetThatFramesItselfIsStoredOnce) {
    Page("/self.htm", "<frameset><frame src=\"self.htm\"></frameset>");
    RunEntry("/self.htm", 3);
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/self.htm", "/self.htm"}));
    EXPECT_EQ(r.File("GA3.htm"), "<frameset>" + std::string(10, ' ') +
                                     "<frame src=\"GA3.htm\"></frameset> </frameset></html>");
}

TEST_F(EntrySpiderTest, AnExternalLinkOfALocalEntryIsStoredAsItsNoticeWithoutWebLink) {
    Page("/index.htm", "<title>Home</title><a href=\"http://other.example/x.htm\">x</a>");
    entry.LocalOnly = 1;
    RunEntry("/index.htm", 2);
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/index.htm"}));
    std::string stored = r.File("GA2.htm");
    const std::string front = "<body>" + BarHeader("", "GA1.htm"); // the notice's body tag moved
    EXPECT_EQ(stored.substr(0, front.size()), front);
    EXPECT_NE(stored.find("<title>External Link</title>"), std::string::npos);
    EXPECT_EQ(r.File("GA1.htm"), SiteMap("<li><a href=\"GA0.htm\">Home</a></li><ul><li><a "
                                         "href=\"GA2.htm\">External Link</a></li></ul>"));
}

TEST_F(EntrySpiderTest, ABaseTagDecidesWhereLinksLead) {
    Page("/dir/index.htm", "<base href=\"" + server.Url("/other/") + "\"><a href=\"p.htm\">p</a>");
    Page("/other/p.htm", "<title>Other</title>");
    RunEntry("/dir/index.htm", 2);
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/dir/index.htm", "/other/p.htm"}));
    std::string top = r.File("GA0.htm");
    EXPECT_NE(top.find("<a href=\"GA2.htm\">p</a>"), std::string::npos);
    EXPECT_EQ(top.find("href=\"http"), std::string::npos) << "the base href stayed";
}

TEST_F(EntrySpiderTest, MailAndFtpLinksOfTheTopPageLeadToNotices) {
    Page("/index.htm", "<a href=\"mailto:ed@x.org\">m</a><a href=\"ftp://x.org/f.zip\">f</a>");
    RunEntry("/index.htm", 3);
    EXPECT_NE(r.File("GA2.htm").find("<title>Mail Link</title>"), std::string::npos);
    EXPECT_NE(r.File("GA3.htm").find("<title>Unsupported Protocol</title>"), std::string::npos);
    EXPECT_EQ(server.Targets().size(), 1u);
    // Notices have no title of their own in the site map.
    EXPECT_EQ(r.File("GA1.htm"),
              SiteMap("<li><a href=\"GA0.htm\">" + Addr("/index.htm") + "</a></li><ul></ul>"));
}

TEST_F(EntrySpiderTest, AnImageMapAnchorKeepsItsWebAddress) {
    Page("/index.htm", "<a href=\"/cgi/map\"><img src=\"m.gif\" ismap></a>");
    RunEntry("/index.htm", 2);
    EXPECT_NE(r.File("GA0.htm").find("<a href=\"" + Web("/cgi/map") + "\">"), std::string::npos);
    EXPECT_EQ(server.Targets().size(), 1u);
}

TEST_F(EntrySpiderTest, PagesReachedAgainAtSmallerDepthsAndCyclesAreFetchedOnce) {
    Page("/index.htm", "<a href=index.htm>me</a><a href=a.htm>a</a>");
    Page("/a.htm", "<a href=b.htm>b</a><a href=index.htm>top</a><a href=a.htm>me</a>");
    Page("/b.htm", "<a href=a.htm>a</a><a href=index.htm>top</a>");
    RunEntry("/index.htm", 6);
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/index.htm", "/a.htm", "/b.htm"}));
    EXPECT_NE(r.File("GA0.htm").find("<a href=GA0.htm>me</a><a href=GA2.htm>a</a>"),
              std::string::npos);
    EXPECT_NE(r.File("GA3.htm").find("<a href=GA2.htm>a</a><a href=GA0.htm>top</a>"),
              std::string::npos);
}

TEST_F(EntrySpiderTest, ExtremeDepthsFromABriefFileEndTheSpider) {
    Page("/index.htm", "<frameset><frame src=\"index.htm\"><frame src=\"b.htm\"></frameset>");
    Page("/b.htm", "<a href=index.htm>top</a><a href=c.htm>c</a>");
    Page("/c.htm", "c");
    RunEntry("/index.htm", std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/index.htm"}));
    r.NewEntryTables();
    RunEntry("/b.htm", std::numeric_limits<std::int32_t>::max());
    // Each page once as an ordinary page and once as a frame page, then the spider stops.
    EXPECT_EQ(server.Targets(),
              (std::vector<std::string>{"/index.htm", "/b.htm", "/index.htm", "/c.htm",
                                        "/index.htm", "/b.htm", "/c.htm"}));
}

TEST_F(EntrySpiderTest, APageReachedAgainDeeperThanItWasStoredIsFetchedAgain) {
    Page("/p.htm", "<title>P</title>v1");
    entry.EntryName = "Entry";
    names.SummaryName = "Brief0.htm";
    names.EntryAddress = Addr("/index.htm");
    r.Run.TocRoot->Append("");
    r.Run.PageTable->Add(Addr("/p.htm"), "GA7.htm", 0, 0, 1, r.Run.TocRoot->Last(), 0);
    SpiderPage(r.Run, entry, names, Addr("/p.htm"), 1, false, true);
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_NE(r.File("GA7.htm").find("v1"), std::string::npos);
    EXPECT_EQ(r.Run.TocRoot->Last()->Title(), "P");
    EXPECT_EQ(r.Run.PageTable->Find(Addr("/p.htm"))->Depth, 1);
    SpiderPage(r.Run, entry, names, Addr("/p.htm"), 1, false, true);
    SpiderPage(r.Run, entry, names, Addr("/p.htm"), 0, false, true);
    SpiderPage(r.Run, entry, names, Addr("/p.htm"), -1, false, true);
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(EntrySpiderTest, APageThatCannotBeFetchedKeepsItsReservedName) {
    Page("/index.htm", "<title>Home</title><a href=\"gone.htm\">gone</a>");
    server.Serve("/gone.htm", TestResponse::Raw("HTTP/1.0 302 Found\r\n\r\n"));
    RunEntry("/index.htm", 2);
    EXPECT_NE(r.File("GA0.htm").find("<a href=\"GA2.htm\">gone</a>"), std::string::npos);
    EXPECT_FALSE(r.Exists("GA2.htm"));
    EXPECT_EQ(r.File("GA1.htm"), SiteMap("<li><a href=\"GA0.htm\">Home</a></li><ul></ul>"));
}

TEST_F(EntrySpiderTest, ANotFoundPageIsStoredAsItsNoticeWithoutTitle) {
    Page("/index.htm", "<title>Home</title><a href=\"nowhere.htm\">x</a>");
    RunEntry("/index.htm", 2);
    EXPECT_NE(r.File("GA2.htm").find("unable to find or deliver"), std::string::npos);
    EXPECT_EQ(r.File("GA1.htm"), SiteMap("<li><a href=\"GA0.htm\">Home</a></li><ul></ul>"));
}

TEST(SiteMapList, NestsChildrenAndSkipsUntitledNodesButNotTheirChildren) {
    test::RewriteRun r;
    THashTable& table = *r.Run.PageTable;
    TOCList root;
    root.Append("Top");
    table.Add("t", "GA0.htm", 0, 2, 1, root.Last(), 0);
    TOCList& children = *root.Last()->ChildList();
    children.Append("");
    table.Add("n", "GA2.htm", 0, 0, 0, children.Last(), 0);
    children.Last()->ChildList()->Append("Deep");
    table.Add("d", "GA4.htm", 0, 0, 1, children.Last()->ChildList()->Last(), 0);
    children.Append("A & B");
    children.Last()->SetAnchor("#s");
    table.Add("a", "GA3.htm", 0, 1, 1, children.Last(), 0);
    root.Append("Second");
    table.Add("s", "GA5.htm", 0, 1, 1, root.Last(), 0);
    {
        TOutputFile out((r.Dir / "map.htm").string());
        WriteTocList(root, out);
    }
    EXPECT_EQ(r.File("map.htm"), "<li><a href=\"GA0.htm\">Top</a></li><ul><ul><li><a "
                                 "href=\"GA4.htm\">Deep</a></li></ul><li><a "
                                 "href=\"GA3.htm#s\">A & B</a></li></ul><li><a "
                                 "href=\"GA5.htm\">Second</a></li>");
}

TEST(SiteMapList, AVeryDeepTreeIsWrittenWithoutRecursion) {
    test::RewriteRun r;
    TOCList root;
    TOCList* list = &root;
    const int depth = 200000;
    for (int i = 0; i < depth; ++i) {
        list->Append("x");
        list = list->Last()->ChildList();
    }
    {
        TOutputFile out((r.Dir / "map.htm").string());
        WriteTocList(root, out);
    }
    std::string map = r.File("map.htm");
    EXPECT_EQ(map.size(), depth * std::string("<li><a href=\"\">x</a></li>").size() +
                              (depth - 1) * std::string("<ul></ul>").size());
    EXPECT_EQ(map.substr(map.size() - 5), "</ul>");
}

class SpiderStopTest : public EntrySpiderTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SpiderStopTest, SkipOrStopDuringTheSpiderStillWritesTheSiteMap) {
    const bool abort = GetParam();
    Page("/index.htm", "<title>Home</title><a href=a.htm>a</a><a href=b.htm>b</a>"
                       "<a href=c.htm>c</a>");
    Page("/a.htm", "<title>A</title>");
    Page("/b.htm", "<title>B</title>");
    Page("/c.htm", "<title>C</title>");
    WatchingHost host;
    host.onAddress = [&](const std::string& address) {
        if (address == Addr("/b.htm")) (abort ? r.Flags.AbortFlag : r.Flags.SkipFlag) = 1;
    };
    r.Run.Host = &host;
    RunEntry("/index.htm", 3);
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/index.htm", "/a.htm"}));
    EXPECT_NE(r.File("GA3.htm").find("Page Skipped"), std::string::npos);
    EXPECT_FALSE(r.Exists("GA4.htm"));
    EXPECT_EQ(r.File("GA1.htm"), SiteMap("<li><a href=\"GA0.htm\">Home</a></li><ul>"
                                         "<li><a href=\"GA2.htm\">A</a></li></ul>"));
}

INSTANTIATE_TEST_SUITE_P(SkipAndAbort, SpiderStopTest, ::testing::Bool());

TEST_F(EntrySpiderTest, DiskFullStillFinishesTheSiteMap) {
    Page("/index.htm", "<title>Home</title><a href=a.htm>a</a>");
    r.Settings.DiskBufferBytes = std::numeric_limits<std::int64_t>::max();
    try {
        RunEntry("/index.htm", 2);
        FAIL() << "no disk error";
    } catch (const TDiskError& e) {
        EXPECT_STREQ(e.what(), "Disk Full");
    }
    EXPECT_EQ(r.File("GA1.htm"), SiteMap("<li><a href=\"GA0.htm\">Home</a></li>"));
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/index.htm"}));
}

} // namespace
} // namespace gathra
