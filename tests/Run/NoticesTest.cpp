#include "Run/Notices.h"

#include "Run/FileNames.h"
#include "Run/RunContext.h"
#include "Platform/Clock.h"
#include "Settings/AppSettings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace gathra {
namespace {

using test::ReadFileBytes;
using test::TempDir;

const std::string kNul(1, '\0');
const std::string k200 = "HTTP/1.0 200\r\n\r\n";
const std::string k500 = "HTTP/1.0 500\r\n\r\n";
const std::string kHead = "<html><title>Inaccessible Page</title><body><h2>Inaccessible Page</h2>";

// A buffer that already holds a response, as the notices find it.
TResponseBuffer Used() {
    TResponseBuffer buffer;
    buffer.Append("HTTP/1.0 404 Not Found\r\n\r\nold body that must go");
    buffer.SetHasHeader(false);
    return buffer;
}

TEST(ResponseNotices, ReplaceTheBufferAndEndInOneNul) {
    TResponseBuffer buffer = Used();
    PageSkippedNotice(buffer, "http://www.x.com/");
    EXPECT_EQ(buffer.Bytes(),
              k200 +
                  "<html><title>Gathra Light Web page skipped</title><body><h2>Page Skipped</h2>"
                  "You asked Gathra Light to skip <a href=\"http://www.x.com/\">this Web "
                  "entry</a>.</body></html>" +
                  kNul);
    EXPECT_TRUE(buffer.HasHeader());
    EXPECT_EQ(buffer.Position(), 0u);
}

TEST(ResponseNotices, ConnectFailedAndNetworkBusy) {
    TResponseBuffer buffer = Used();
    ConnectFailedNotice(buffer, "http://a.b/c");
    EXPECT_EQ(buffer.Bytes(), k500 + kHead +
                                  "Gathra Light was unable to connect to the server to load <a "
                                  "href=\"http://a.b/c\">this page</a>. The server or network "
                                  "may be down.</body></html>" +
                                  kNul);
    NetworkBusyNotice(buffer, "proxy.x.com:8080");
    EXPECT_EQ(buffer.Bytes(), k500 + kHead +
                                  "Gathra Light was unable to load <a "
                                  "href=\"proxy.x.com:8080\">this page</a>. The network appears "
                                  "to be heavily loaded at this time and Gathra Light could not "
                                  "access the page.</body></html>" +
                                  kNul);
}

TEST(ResponseNotices, PasswordNoticeNeverShowsThePassword) {
    const std::string lead = k200 + kHead +
                             "Gathra Light was unable to load the Web page located at <a "
                             "href=\"http://x.com/p\">http://x.com/p</a>.<p>This page requires a "
                             "UserName and Password.<p>The current UserName is: ";
    const std::string tail = "<p>This combination is not correct. Please correct it to properly "
                             "load the page.</body></html>" +
                             kNul;
    TResponseBuffer buffer = Used();
    PasswordNotice(buffer, "http://x.com/p", "joe", "s3cret");
    EXPECT_EQ(buffer.Bytes(), lead + "joe<p>The current Password is: <i>(hidden)</i>" + tail);
    EXPECT_EQ(buffer.Bytes().find("s3cret"), std::string::npos);

    PasswordNotice(buffer, "http://x.com/p", "", "");
    EXPECT_EQ(buffer.Bytes(), lead +
                                  "<i>None Entered</i><p>The current Password is: <i>None "
                                  "Entered</i>" +
                                  tail);
}

TEST(ResponseNotices, FileAndExternalLink) {
    TResponseBuffer buffer = Used();
    FileNotice(buffer, "file:///tmp/x.htm", kFileNotFound);
    EXPECT_EQ(buffer.Bytes(), k500 + kHead +
                                  "Gathra Light was unable to load the file. The <a "
                                  "href=\"file:///tmp/x.htm\">file</a> was not found. "
                                  "</body></html>" +
                                  kNul);
    FileNotice(buffer, "file:///tmp/e.htm", kFileFailedToLoad);
    EXPECT_NE(buffer.Bytes().find("\">file</a> failed to load. </body></html>"), std::string::npos);

    ExternalLinkNotice(buffer, "http://other.org/");
    EXPECT_EQ(buffer.Bytes(),
              k200 +
                  "<html><title>External Link</title><body><h2>External Link</h2>In the Web "
                  "properties for this brief entry, Gathra Light was instructed to not follow "
                  "links which led to external sites. This link (<a "
                  "href=\"http://other.org/\">http://other.org/</a>) is external to the original "
                  "page and, as such, was not followed. On future visits to this site, you may "
                  "want to select \"Follow External Links\" in the Web Page "
                  "Properties</body></html>" +
                  kNul);
}

TEST(ResponseNotices, StatusNoticeTextsByCode) {
    const std::string addr = "http://x.com/p";
    const std::string tried =
        "Gathra Light attempted to load the Web page located at <a href=\"" + addr + "\">" + addr;
    struct Expected {
        int code;
        std::string text;
    } cases[] = {
        {202, k500 + "<html><title>Inaccessible Page</title><body><h2>Inaccessible Page</h2>" +
                  tried +
                  "</a>.<p>The server accepted this request but chose not to "
                  "respond.</body></html>"},
        {204, k500 + kHead + "Gathra Light loaded the Web page located at <a href=\"" + addr +
                  "\">" + addr +
                  "</a>.<p>This page, however, is empty; the server returned no "
                  "content.</body></html>"},
        {400, k500 + kHead + tried +
                  "</a>.<p>The server did not respond to the "
                  "request.</body></html>"},
        {403, k500 + kHead + tried +
                  "</a>.<p>The server understood the request but refused to fulfill it. This "
                  "response is often used when the server does not wish to reveal exactly why "
                  "the request was refused.</body></html>"},
        {404, k500 + kHead + tried +
                  "</a>.<p>The server was unable to find or deliver the requested "
                  "page.</body></html>"},
        {501, k500 + kHead + tried +
                  "</a>.<p>The server is not fully functional and was unable to respond to the "
                  "request.</body></html>"},
        {500, k500 + kHead + tried +
                  "</a>.<p>The server was unable to respond to the request.</body></html>"},
        {302, k500 + kHead + tried +
                  "</a>.<p>The server was unable to respond to the request.</body></html>"},
    };
    for (const Expected& c : cases) {
        TResponseBuffer buffer = Used();
        StatusNotice(buffer, addr, c.code);
        EXPECT_EQ(buffer.Bytes(), c.text + kNul) << c.code;
    }
}

// A run with a run folder, a catalogue, a page table and a table of contents, as the run sets
// them up for an entry.
class LinkNotices : public ::testing::Test {
protected:
    void SetUp() override {
        settings.ProgramFolder = "/opt/g/";
        run.Settings = &settings;
        run.Clock = &clock;
        run.Counters = &counters;
        run.BriefFolder = dir.Folder();
        run.BriefName = "Daily";
        run.Catalog.Open((dir / "Brief0.cat").string());
        run.PageTable = std::make_unique<THashTable>(97);
        run.TocRoot = std::make_unique<TOCList>();
        run.CurrentTocList = run.TocRoot.get();
        current.Open((dir / "page.htm").string());
    }

    std::string Notice(const std::string& name) { return ReadFileBytes(dir / name); }
    std::string Current() {
        current.Close();
        return ReadFileBytes(dir / "page.htm");
    }
    std::string Catalogue() {
        run.Catalog.Close();
        return ReadFileBytes(dir / "Brief0.cat");
    }

    static std::string Bars(const std::string& middle) {
        return "<nobr>&#160 <a href=\"Brief0.htm\" target=\"_top\"><img "
               "src=\"/opt/g/images/brief.gif\" border=0 align=absmiddle width=24 height=24 "
               "alt=\"Brief\"></a> <a href=\"GA9.htm\" target=\"_top\"><img "
               "src=\"/opt/g/images/toc.gif\" border=0 align=absmiddle width=24 height=24 "
               "alt=\"Site Map\"></a> <font size=3>Daily</font>\r\n<font size=3> 3/7/26, "
               "12:5:9AM <b>by Gathra Light</b></font></nobr><br><hr size=3><br>\r\n" +
               middle +
               "<hr size=3><nobr><center><font size=3>| <a href=\"Brief0.htm\">Brief "
               "Summary</a> | <a href=\"GA9.htm\">Site Map</a>|</font><font size=3> "
               "Gathra<font size=1>(TM)</font> Light</font></center></nobr>\r\n";
    }

    TempDir dir;
    AppSettings settings;
    FixedClock clock{LocalTime{2026, 3, 7, 0, 5, 9}};
    FileNameCounters counters;
    TRunContext run;
    TOutputFile current;
    NoticeBarNames bar{"Daily", "Entry", "Brief0.htm", "GA9.htm"};
};

TEST_F(LinkNotices, SpiderLimitPageIsWrittenRegisteredAndLinked) {
    std::string name =
        WriteLinkNotice(run, current, "www.x.com/a/b.htm", std::string_view("../deep.htm#part"),
                        LinkNoticeKind::SpiderLimit, bar);
    EXPECT_EQ(name, "GA0.htm");
    EXPECT_EQ(Notice(name),
              Bars("<html><body><title>Spider Limit Exceeded</title><h2>Spider Search Limit "
                   "Exceeded</h2>This link (<a "
                   "href=\"http://www.x.com/deep.htm#part\">http://www.x.com/deep.htm#part</a>) "
                   "is beyond the range of the spider search set by the user."));
    EXPECT_EQ(Current(), "GA0.htm");
    EXPECT_EQ(Catalogue(), "\x07GA0.htm");

    PageRecord* record = run.PageTable->Find("www.x.com/deep.htm");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->LocalName(), "GA0.htm");
    EXPECT_EQ(record->Depth, 0);
    EXPECT_EQ(record->Loaded, 0);
    EXPECT_EQ(record->SmartMatch, 0);
    EXPECT_EQ(record->FramePage, 0);
    ASSERT_EQ(run.TocRoot->Count(), 1);
    EXPECT_EQ(record->Toc, run.TocRoot->Last());
    EXPECT_EQ(run.TocRoot->Last()->Page, record);
    EXPECT_EQ(run.TocRoot->Last()->Title(), "");
    EXPECT_EQ(counters.PageCounter, 1);
}

TEST_F(LinkNotices, SpiderLimitShowsHttpOnce) {
    std::string name = WriteLinkNotice(run, current, "www.x.com/a/b.htm",
                                       std::string_view("http://other.org/x.htm"),
                                       LinkNoticeKind::SpiderLimit, bar);
    std::string page = Notice(name);
    EXPECT_NE(page.find("(<a href=\"http://other.org/x.htm\">http://other.org/x.htm</a>)"),
              std::string::npos);
    EXPECT_EQ(page.find("http://http://"), std::string::npos);
    EXPECT_NE(run.PageTable->Find("other.org/x.htm"), nullptr);
}

TEST_F(LinkNotices, MailLinkShowsTheLinkAsWritten) {
    std::string name =
        WriteLinkNotice(run, current, "www.x.com/a/b.htm", std::string_view("mailto:Joe@X.com"),
                        LinkNoticeKind::MailLink, bar);
    EXPECT_EQ(Notice(name), Bars("<html><body><title>Mail Link</title><h2>Mail Link.</h2>This "
                                 "link (<a href=\"mailto:Joe@X.com\">mailto:Joe@X.com</a>) is a "
                                 "mail link. If your browser has mail client support, you can "
                                 "click on the link to send mail."));
    EXPECT_NE(run.PageTable->Find("Joe@X.com"), nullptr);
}

TEST_F(LinkNotices, UnsupportedEntryUsesTheBaseAddress) {
    // Two notices into one page: the names follow each other in the page and the catalogue.
    WriteLinkNotice(run, current, "gopher://g.org/", std::nullopt,
                    LinkNoticeKind::UnsupportedProtocol, bar);
    std::string second = WriteLinkNotice(run, current, "news:comp.lang", std::nullopt,
                                         LinkNoticeKind::UnsupportedProtocol, bar);
    EXPECT_EQ(second, "GA1.htm");
    EXPECT_EQ(Notice("GA0.htm"),
              Bars("<html><body><title>Unsupported Protocol</title><h2>Gathra Light does not "
                   "support this protocol.</h2>This link (<a "
                   "href=\"gopher://g.org/\">gopher://g.org/</a>) is not an HTTP Web link."));
    EXPECT_EQ(Current(), "GA0.htmGA1.htm");
    EXPECT_EQ(Catalogue(), "\x07GA0.htm\x07GA1.htm");
    EXPECT_NE(run.PageTable->Find("gopher://g.org/"), nullptr);
    EXPECT_EQ(run.TocRoot->Count(), 2);
}

TEST_F(LinkNotices, NoFreeNameWritesNothingAtAll) {
    counters.PageCounter = 999999;
    EXPECT_EQ(WriteLinkNotice(run, current, "www.x.com/", std::string_view("a.htm"),
                              LinkNoticeKind::SpiderLimit, bar),
              "error");
    EXPECT_EQ(Current(), "");
    EXPECT_EQ(Catalogue(), "");
    EXPECT_EQ(run.TocRoot->Count(), 0);
    EXPECT_EQ(run.PageTable->Find("www.x.com/a.htm"), nullptr);
}

TEST_F(LinkNotices, UnwritableFolderIsADiskError) {
    run.BriefFolder = dir.Folder() + "gone/";
    EXPECT_THROW(WriteLinkNotice(run, current, "www.x.com/", std::string_view("a.htm"),
                                 LinkNoticeKind::SpiderLimit, bar),
                 TDiskError);
}

} // namespace
} // namespace gathra
