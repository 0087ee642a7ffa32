#include "Run/PageRewriter.h"

#include "Run/FileNames.h"
#include "Html/HtmlScanner.h"
#include "Run/PageFrame.h"
#include "support/RewriteRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace gathra {
namespace {

using test::BarFooter;
using test::BarHeader;

struct Queued {
    std::string Text;
    int Flag;
    bool operator==(const Queued&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Queued& q) {
    return os << "{" << q.Text << ", " << q.Flag << "}";
}

class RewritePageTest : public ::testing::Test {
protected:
    test::RewriteRun r;

    // Rewrites `text` as a page at "site/dir/a.htm" of the entry "site/index.htm", depth 2,
    // images off, unless `setup` says otherwise; answers what was written.
    std::string Rewrite(const std::string& text,
                        const std::function<void(TPageContext&)>& setup = {}) {
        std::string page = text + '\0';
        TOutputFile out((r.Dir / "page.htm").string());
        TPageContext ctx;
        ctx.Run = &r.Run;
        ctx.Out = &out;
        ctx.Page = &page; // tags paired on the page itself, as the spider has them
        ctx.BaseAddress = "site/dir/a.htm";
        ctx.EntryAddress = "site/index.htm";
        ctx.RemainingDepth = 2;
        ctx.SummaryName = "Brief0.htm";
        ctx.SiteMapName = "GA99.htm";
        ctx.EntryName = "Entry";
        if (setup) setup(ctx);
        RewritePage(ctx);
        out.Close();
        EXPECT_EQ(page.size(), text.size() + 1) << "the page changed its length";
        return r.File("page.htm");
    }

    std::vector<Queued> Next() const {
        std::vector<Queued> all;
        for (TextRecord* t = r.Run.LevelQueue[0]->First(); t != nullptr; t = t->Next)
            all.push_back({std::string(t->Text), t->Flag});
        return all;
    }
};

TEST_F(RewritePageTest, APageWithoutTagsIsCopiedWithoutItsNul) {
    EXPECT_EQ(Rewrite("just text, no tags > here"), "just text, no tags > here");
    EXPECT_EQ(Rewrite(""), "");
}

TEST_F(RewritePageTest, AFollowedLinkGetsANewLocalNameItsAnchorAndIsQueued) {
    EXPECT_EQ(Rewrite("x<a href=\"sub/p.html#x\">P</a>y"), "x<a href=\"GA0.htm#x\">P</a>y");
    PageRecord* record = r.Run.PageTable->Find("site/dir/sub/p.html");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->LocalName(), "GA0.htm");
    EXPECT_EQ(record->Depth, 1);
    EXPECT_EQ(record->Loaded, 0);
    EXPECT_EQ(record->FramePage, 0);
    TocNode* node = r.Run.TocRoot->Last();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Anchor(), "#x");
    EXPECT_EQ(node->Title(), "");
    EXPECT_EQ(node->Page, record);
    EXPECT_EQ(Next(), (std::vector<Queued>{{"site/dir/sub/p.html", 0}}));
}

TEST_F(RewritePageTest, TheLocalNameTakesTheTargetsExtensionUnlessItHasAQuery) {
    EXPECT_EQ(Rewrite("<a href=a.PDF><a href=q.cgi?x=1><a href=\"p?a=1/b.php?c\">"
                      "<a href=\"x?u=http://y.org\"><a href=c.html><a href=d/>"),
              "<a href=GA0.pdf><a href=GA1.htm><a href=\"GA2.htm\">"
              "<a href=\"GA3.htm\"><a href=GA4.htm><a href=GA5.htm>");
}

TEST_F(RewritePageTest, ATagAcrossTheEdgeOfASearchWindowIsFound) {
    for (size_t lead : {4996u, 4997u, 4998u, 4999u, 5000u}) {
        std::string text(lead, '.');
        EXPECT_EQ(Rewrite(text + "<img src=x.gif>"), text + "<img src=/images/NotLoaded>") << lead;
    }
}

TEST_F(RewritePageTest, TheNextLevelQueueFollowsTheSelector) {
    r.Run.LevelSelector = 0;
    Rewrite("<a href=b.htm>");
    EXPECT_EQ(r.Run.LevelQueue[0]->Count(), 0);
    ASSERT_EQ(r.Run.LevelQueue[1]->Count(), 1);
    EXPECT_EQ(r.Run.LevelQueue[1]->First()->Text, "site/dir/b.htm");
}

TEST_F(RewritePageTest, AFragmentOnlyLinkStaysOnTheTopPageAndNamesThePageElsewhere) {
    auto onTop = [](TPageContext& ctx) { ctx.BaseAddress = "site/index.htm"; };
    EXPECT_EQ(Rewrite("<a href=\"#top\">", onTop), "<a href=\"#top\">");
    EXPECT_TRUE(Next().empty());
    EXPECT_EQ(Rewrite("<a href=\"#top\">"), "<a href=\"GA0.htm#top\">");
    EXPECT_EQ(Next(), (std::vector<Queued>{{"site/dir/a.htm", 0}}));
}

TEST_F(RewritePageTest, AtDepthOneLinksLeadToSpiderLimitNotices) {
    auto depth1 = [](TPageContext& ctx) { ctx.RemainingDepth = 1; };
    EXPECT_EQ(Rewrite("<a href=\"b.htm\">B</a>", depth1), "<a href=\"GA0.htm\">B</a>");
    std::string notice = r.File("GA0.htm");
    EXPECT_NE(notice.find("<title>Spider Limit Exceeded</title>"), std::string::npos);
    EXPECT_NE(notice.find("<a href=\"http://site/dir/b.htm\">http://site/dir/b.htm</a>"),
              std::string::npos);
    EXPECT_TRUE(Next().empty());
    // A second link to the same page reuses its notice.
    EXPECT_EQ(Rewrite("<a href=b.htm#s>", depth1), "<a href=GA0.htm#s>");
    EXPECT_FALSE(r.Exists("GA1.htm"));
}

TEST_F(RewritePageTest, MailAndFtpLinksLeadToTheirNoticesAtAnyDepth) {
    auto deep = [](TPageContext& ctx) { ctx.RemainingDepth = 5; };
    EXPECT_EQ(Rewrite("<a href=\"mailto:ann@x.org\">m</a><A HREF=ftp://ftp.x.org/f>f</a>", deep),
              "<a href=\"GA0.htm\">m</a><A HREF=GA1.htm>f</a>");
    std::string mail = r.File("GA0.htm");
    EXPECT_NE(mail.find("<title>Mail Link</title>"), std::string::npos);
    EXPECT_NE(mail.find("<a href=\"mailto:ann@x.org\">mailto:ann@x.org</a>"), std::string::npos);
    std::string ftp = r.File("GA1.htm");
    EXPECT_NE(ftp.find("<title>Unsupported Protocol</title>"), std::string::npos);
    EXPECT_NE(ftp.find("<a href=\"ftp://ftp.x.org/f\">"), std::string::npos);
    EXPECT_TRUE(Next().empty());
}

TEST_F(RewritePageTest, ImagesOffBecomeThePlaceholderEverySourceOfTheTag) {
    EXPECT_EQ(Rewrite("<img src=pic.gif width=3>"), "<img src=/images/NotLoaded width=3>");
    EXPECT_EQ(Rewrite("<IMG LOWSRC=\"a.gif\" SRC='b.gif' alt=x>"),
              "<IMG LOWSRC=\"/images/NotLoaded\" SRC='/images/NotLoaded' alt=x>");
    EXPECT_EQ(Rewrite("<embed src=s.mid>"), "<embed src=/images/NotLoaded>");
    EXPECT_EQ(Rewrite("<img alt=x>"), "<img alt=x>");
    EXPECT_EQ(Rewrite("<imgsrc=x>"), "<imgsrc=x>");
}

TEST_F(RewritePageTest, ImageLinksStayAsTheyAreWithImagesOff) {
    EXPECT_EQ(Rewrite("<a href=\"big.JPG\">j</a><a href=p.gif>g</a>"),
              "<a href=\"big.JPG\">j</a><a href=p.gif>g</a>");
    EXPECT_TRUE(Next().empty());
    auto imagesOn = [](TPageContext& ctx) {
        ctx.LoadImages = true;
        ctx.IsContent = true;
    };
    EXPECT_EQ(Rewrite("<a href=\"big.jpg\">j</a>", imagesOn), "<a href=\"GA0.jpg\">j</a>");
}

TEST_F(RewritePageTest, AnAnchorAroundAnImageMapKeepsItsWebAddress) {
    EXPECT_EQ(Rewrite("<a href=\"map.cgi?x\"><img src=m.gif ISMAP></a>"),
              "<a href=\"http://site/dir/map.cgi?x\"><img src=/images/NotLoaded ISMAP></a>");
    EXPECT_EQ(Rewrite("<a href=\"m.htm\"><img ismapx src=m.gif></a>"),
              "<a href=\"GA0.htm\"><img ismapx src=/images/NotLoaded></a>");
}

TEST_F(RewritePageTest, APageStoredBeforeKeepsItsNameAndIsQueuedAgain) {
    r.Run.PageTable->Add("site/dir/b.htm", "GA7.htm", 0, 1, 1, nullptr, 0);
    EXPECT_EQ(Rewrite("<a href=b.htm>"), "<a href=GA7.htm>");
    EXPECT_EQ(Next(), (std::vector<Queued>{{"site/dir/b.htm", 0}}));
    EXPECT_EQ(r.Run.TocRoot->Count(), 0);
}

TEST_F(RewritePageTest, FrameSourcesOfAFramesetAreKeptUnderFrameKeys) {
    auto frameset = [](TPageContext& ctx) { ctx.IsFrameset = true; };
    EXPECT_EQ(Rewrite("<frame src=\"top.htm\" name=t><FRAME SRC=top.htm>", frameset),
              "<frame src=\"GA0.htm\" name=t><FRAME SRC=GA0.htm>");
    PageRecord* record = r.Run.PageTable->Find("!!--site/dir/top.htm");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->FramePage, 1);
    EXPECT_EQ(r.Run.PageTable->Find("site/dir/top.htm"), nullptr);
    EXPECT_EQ(Next(),
              (std::vector<Queued>{{"!!--site/dir/top.htm", 1}, {"!!--site/dir/top.htm", 1}}));
}

TEST_F(RewritePageTest, AFrameSourceIsFollowedEvenAtDepthOne) {
    auto last = [](TPageContext& ctx) {
        ctx.IsFrameset = true;
        ctx.RemainingDepth = 1;
    };
    EXPECT_EQ(Rewrite("<frame src=f.htm>", last), "<frame src=GA0.htm>");
    EXPECT_EQ(Next(), (std::vector<Queued>{{"!!--site/dir/f.htm", 1}}));
}

TEST_F(RewritePageTest, TheSmallestDepthDoesNotWrapRound) {
    auto smallest = [](TPageContext& ctx) {
        ctx.IsFrameset = true;
        ctx.RemainingDepth = std::numeric_limits<std::int32_t>::min();
    };
    EXPECT_EQ(Rewrite("<frame src=f.htm>", smallest), "<frame src=GA0.htm>");
    EXPECT_EQ(r.Run.PageTable->Find("!!--site/dir/f.htm")->Depth,
              std::numeric_limits<std::int32_t>::min());
}

TEST_F(RewritePageTest, InAFrameTopLinksGetPlainKeysAndOthersFrameKeys) {
    auto inFrame = [](TPageContext& ctx) { ctx.InFrame = true; };
    EXPECT_EQ(Rewrite("<a href=x.htm target=\"_TOP\">x</a><a href=y.htm>y</a>"
                      "<a target='_blank' href=z.htm>z</a>",
                      inFrame),
              "<a href=GA0.htm target=\"_TOP\">x</a><a href=GA1.htm>y</a>"
              "<a target='_blank' href=GA2.htm>z</a>");
    EXPECT_EQ(Next(),
              (std::vector<Queued>{
                  {"site/dir/x.htm", 0}, {"!!--site/dir/y.htm", 1}, {"site/dir/z.htm", 0}}));
    EXPECT_EQ(r.Run.PageTable->Find("!!--site/dir/y.htm")->FramePage, 1);
    EXPECT_EQ(r.Run.PageTable->Find("site/dir/x.htm")->FramePage, 0);
}

TEST_F(RewritePageTest, AFramePageDoesNotReuseAnOrdinaryCopyAndTheOtherWayRound) {
    r.Run.PageTable->Add("site/dir/b.htm", "GA7.htm", 0, 1, 1, nullptr, 0);
    r.Run.PageTable->Add("!!--site/dir/c.htm", "GA8.htm", 0, 1, 1, nullptr, 1);
    auto frameset = [](TPageContext& ctx) { ctx.IsFrameset = true; };
    // In a frameset the plain copy of b does not serve; c's frame copy does.
    EXPECT_EQ(Rewrite("<frame src=b.htm><frame src=c.htm>", frameset),
              "<frame src=GA0.htm><frame src=GA8.htm>");
    // On an ordinary page a link to c gets a page of its own.
    EXPECT_EQ(Rewrite("<a href=c.htm>"), "<a href=GA1.htm>");
}

TEST_F(RewritePageTest, ANoframeSectionGetsBarsAndPlainKeys) {
    auto frameset = [](TPageContext& ctx) { ctx.IsFrameset = true; };
    EXPECT_EQ(Rewrite("<frameset><noframes><a href=n.htm>N</a></noframes></frameset>", frameset),
              "<frameset><noframes>" + BarHeader("", "GA99.htm") + "<a href=GA0.htm>N</a>" +
                  BarFooter("", "GA99.htm") + "</noframes></frameset>");
    EXPECT_EQ(Next(), (std::vector<Queued>{{"site/dir/n.htm", 0}}));
}

TEST_F(RewritePageTest, TheLinksOfANoticePageStayUnchanged) {
    auto notice = [](TPageContext& ctx) { ctx.IsContent = false; };
    const std::string page = "<a href=b.htm><area href=c.htm><frame src=d.htm><img src=e.gif>";
    EXPECT_EQ(Rewrite(page, notice),
              "<a href=b.htm><area href=c.htm><frame src=d.htm><img src=/images/NotLoaded>");
    EXPECT_TRUE(Next().empty());
}

TEST_F(RewritePageTest, AfterAStopLinksAreWrittenAsWebAddressesAndNoImageIsFetched) {
    r.Flags.SkipFlag = 1;
    EXPECT_EQ(Rewrite("<a href=\"b.htm#s\">b</a><img src=i.gif><a href=http://o.org/x>"),
              "<a href=\"http://site/dir/b.htm#s\">b</a><img src=i.gif><a href=http://o.org/x>");
    EXPECT_TRUE(Next().empty());
}

TEST_F(RewritePageTest, AreaTagsAreLinksAndTagsWithoutValuesStayAsTheyAre) {
    EXPECT_EQ(Rewrite("<area shape=rect href=\"r.htm\"><a name=x><a href><a href=>"),
              "<area shape=rect href=\"GA0.htm\"><a name=x><a href><a href=>");
    EXPECT_EQ(Next().size(), 1u);
}

TEST_F(RewritePageTest, ARefusedFreeSpaceCheckIsDiskFull) {
    r.Settings.DiskBufferBytes = std::numeric_limits<std::int64_t>::max();
    try {
        Rewrite("<a href=b.htm>");
        FAIL() << "no disk error";
    } catch (const TDiskError& e) {
        EXPECT_STREQ(e.what(), "Disk Full");
    }
}

// The scan offers a look at the free space before its first tag and then every 52 tags; the
// file system is asked only when half the room its last answer left has been written since.
TEST_F(RewritePageTest, FreeSpaceIsAskedAtEvery52ndTagOnlyWhenTheRoomIsShort) {
    int checks = 0;
    std::uintmax_t room = 1000;
    r.Run.FreeSpaceProbe = [&] {
        ++checks;
        return static_cast<std::uintmax_t>(r.Settings.DiskBufferBytes) + room;
    };
    std::string page;
    for (int i = 0; i < 120; ++i)
        page += "<img src=x><b>"; // only the images count
    Rewrite(page);
    EXPECT_EQ(checks, 3); // tags 1, 53 and 105: 52 tags write more than half of 1,000 bytes
    checks = 0;
    Rewrite("no tags");
    EXPECT_EQ(checks, 1);

    room = std::uintmax_t(1) << 40;
    r.Run.SpaceLooked = false;
    checks = 0;
    Rewrite(page);
    Rewrite("no tags");
    EXPECT_EQ(checks, 1); // the first answer covers both pages
}

// Hostile pages: the scanner must finish, keep the page's length and write every byte it does
// not rewrite. With the page's links left alone (a notice page) and no image tags, the output
// is the page itself.
TEST_F(RewritePageTest, HostilePagesAreCopiedWhole) {
    auto notice = [](TPageContext& ctx) { ctx.IsContent = false; };
    const std::vector<std::string> pages = {"<a href=\"unclosed quote>text",
                                            "<<<<",
                                            ">>>><",
                                            "< a href=x",
                                            "<a href",
                                            "<a href=\"x\" target=>",
                                            std::string("a\0b<a href=x>\0", 14),
                                            "<noframes",
                                            "<a\thref='x'\ttarget='_top'><a",
                                            "\x01<a href=x>\x02",
                                            "<a href=x\r\n><img\nsrc>"};
    for (const std::string& page : pages)
        EXPECT_EQ(Rewrite(page, notice), page) << page;
}

TEST_F(RewritePageTest, APageCutAtEveryOffsetIsRewrittenWhole) {
    const std::string page =
        "<html><head><title>T</title></head><body><a href=\"sub/p.html#x\">P</a> text "
        "<a HREF='mailto:a@b.c'>m</a><area href=q.htm><frameset>n</frameset>"
        "<a href=\"m.cgi\"><img src=\"m.gif\" ismap></a><frame src=f.htm> end</body></html>";
    auto notice = [](TPageContext& ctx) { ctx.IsContent = false; };
    for (size_t cut = 0; cut <= page.size(); ++cut) {
        std::string part = page.substr(0, cut);
        std::string out = Rewrite(part, notice);
        // Only image sources change on a notice page; everything else comes through.
        size_t img = part.find("<img src=\"");
        if (img == std::string::npos || part.find('>', img) == std::string::npos) {
            EXPECT_EQ(out, part) << cut;
        }
        r.NewEntryTables();
        std::string rewritten = Rewrite(part); // links followed: must simply finish
        EXPECT_GE(rewritten.size(), cut > 0 ? 1u : 0u);
        r.NewEntryTables();
    }
}

TEST_F(RewritePageTest, UnclosedNoframeSectionsStillEnd) {
    std::string out = Rewrite("</noframes><noframes><noframes");
    EXPECT_EQ(out, BarFooter("", "GA99.htm") + "</noframes><noframes>" + BarHeader("", "GA99.htm") +
                       "<noframes");
}

TEST_F(RewritePageTest, TenThousandNestedFramesAreAllQueued) {
    std::string page;
    for (int i = 0; i < 10000; ++i)
        page += "<frameset rows=\"*,*\"><frame src=f" + std::to_string(i) + ".htm>";
    for (int i = 0; i < 10000; ++i)
        page += "</frameset>";
    auto frameset = [](TPageContext& ctx) { ctx.IsFrameset = true; };
    std::string out = Rewrite(page, frameset);
    EXPECT_EQ(r.Run.LevelQueue[0]->Count(), 10000);
    EXPECT_NE(out.find("<frame src=GA9999.htm>"), std::string::npos);
}

TEST_F(RewritePageTest, AFiftyMegabyteAttributeValueIsHandled) {
    const size_t size = 50u << 20;
    std::string page = "<img src=\"" + std::string(size, 'x') + "\" src=y>";
    std::string out = Rewrite(page);
    EXPECT_EQ(out, "<img src=\"/images/NotLoaded\" src=/images/NotLoaded>");
    r.NewEntryTables();
    page = "<a href=\"" + std::string(size, 'y') + ".htm\">z</a>";
    out = Rewrite(page);
    EXPECT_EQ(out, "<a href=\"GA0.htm\">z</a>");
    EXPECT_EQ(r.Run.LevelQueue[0]->First()->Text.size(), size + 4 + 9);
}

TEST_F(RewritePageTest, ManySourcesInOneHugeImageTagAreAllReplaced) {
    std::string page = "<img";
    for (int i = 0; i < 100000; ++i)
        page += " src=\"a b\"";
    page += ">";
    std::string out = Rewrite(page);
    std::string expected = "<img";
    for (int i = 0; i < 100000; ++i)
        expected += " src=\"/images/NotLoaded\"";
    EXPECT_EQ(out, expected + ">");
}

// ---- StoreBody ---------------------------------------------------------------------------------

TEST(StoreBody, StoresTheBodyWithoutHeaderAndNulAndRecordsIt) {
    test::RewriteRun r;
    TResponseBuffer buffer;
    std::string body(2500, 'b');
    body[0] = 'G';
    buffer.Append("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n" + body);
    buffer.AppendNul();
    StoreBody(r.Run, buffer, "GAI0.gif");
    EXPECT_EQ(r.File("GAI0.gif"), body);
    EXPECT_TRUE(buffer.Empty());
    r.Run.Catalog.Close();
    EXPECT_EQ(r.File("Brief0.cat"), std::string("\x01"
                                                "0\x0a"
                                                "Brief0.htm\x08"
                                                "GAI0.gif"));
}

TEST(StoreBody, FreeSpaceIsAskedAtEvery22ndBlockOnlyWhenTheRoomIsShort) {
    test::RewriteRun r;
    int checks = 0;
    std::uintmax_t room = 10000;
    r.Run.FreeSpaceProbe = [&] {
        ++checks;
        return room;
    };
    TResponseBuffer buffer;
    auto store = [&](const std::string& name) {
        buffer.Append("HTTP/1.0 200 OK\r\n\r\n" + std::string(45000, 'z'));
        buffer.AppendNul();
        StoreBody(r.Run, buffer, name);
        EXPECT_EQ(r.File(name), std::string(45000, 'z'));
    };
    store("GAI0.gif");
    EXPECT_EQ(checks, 3); // blocks 1, 23 and 45: 22 blocks are more than half the room

    room = std::uintmax_t(1) << 40;
    r.Run.SpaceLooked = false;
    checks = 0;
    store("GAI1.gif");
    store("GAI2.gif");
    EXPECT_EQ(checks, 1);
}

// A disk that fills as the body is written: the copy stops with "Disk Full" at the first offered
// look after the room above the buffer is gone, as it did when every offer was a look.
TEST(StoreBody, ADiskThatFillsStopsTheCopyAtTheFirstLookPastTheBuffer) {
    test::RewriteRun r;
    r.Settings.DiskBufferBytes = 1 << 20;
    const std::uint64_t start = TOutputFile::BytesWritten();
    const std::uint64_t room = 50000;
    r.Run.FreeSpaceProbe = [&] {
        std::uint64_t used = TOutputFile::BytesWritten() - start;
        return (std::uintmax_t(1) << 20) + (used < room ? room - used : 0);
    };
    TResponseBuffer buffer;
    buffer.Append("HTTP/1.0 200 OK\r\n\r\n" + std::string(200000, 'z'));
    buffer.AppendNul();
    EXPECT_THROW(StoreBody(r.Run, buffer, "GAI0.gif"), TDiskError);
    // Looks at blocks 1 and 45 leave room, the one at block 67 finds none.
    EXPECT_LE(r.File("GAI0.gif").size(), 66000u);
    EXPECT_GE(r.File("GAI0.gif").size(), 50000u);
}

TEST(StoreBody, ALocalFileIsStoredWhole) {
    test::RewriteRun r;
    TResponseBuffer buffer;
    buffer.SetHasHeader(false);
    buffer.Append("line\r\n\r\nafter a blank line");
    buffer.AppendNul();
    StoreBody(r.Run, buffer, "GA3.txt");
    EXPECT_EQ(r.File("GA3.txt"), "line\r\n\r\nafter a blank line");
}

TEST(StoreBody, DiskFullEmptiesTheBufferToo) {
    test::RewriteRun r;
    r.Settings.DiskBufferBytes = std::numeric_limits<std::int64_t>::max();
    TResponseBuffer buffer;
    buffer.Append("HTTP/1.0 200 OK\r\n\r\nbody");
    buffer.AppendNul();
    EXPECT_THROW(StoreBody(r.Run, buffer, "GAI0.gif"), TDiskError);
    EXPECT_TRUE(buffer.Empty());
}

// ---- WrapPage ----------------------------------------------------------------------------------

class WrapPageTest : public ::testing::Test {
protected:
    test::RewriteRun r;
    std::string page;
    bool isFrameset = false;

    std::string Wrap(const std::string& text, bool inFrame = false) {
        page = text + '\0';
        TOutputFile out((r.Dir / "page.htm").string());
        TPageContext ctx;
        ctx.Run = &r.Run;
        ctx.Out = &out;
        ctx.Page = &page;
        ctx.BaseAddress = "site/a.htm";
        ctx.EntryAddress = "site/a.htm";
        ctx.InFrame = inFrame;
        isFrameset = WrapPage(ctx, {"http://site/a.htm", "GA9.htm", "Brief0.htm"});
        out.Close();
        EXPECT_EQ(page.size(), text.size() + 1);
        return r.File("page.htm");
    }
};

TEST_F(WrapPageTest, BodyTagsMoveToTheFrontInPageOrder) {
    EXPECT_EQ(Wrap("<html><body bgcolor=red>text<BODY text=blue>more</body>"),
              "<body bgcolor=red><BODY text=blue>");
    EXPECT_FALSE(isFrameset);
    EXPECT_EQ(page, std::string("<html>") + std::string(18, ' ') + "text" + std::string(16, ' ') +
                        "more</body>" + '\0');
}

TEST_F(WrapPageTest, ABackgroundWithImagesOffBecomesThePlaceholder) {
    EXPECT_EQ(Wrap("<body background=\"bg.gif\" text=x>"),
              "<body background=\"/images/NotLoaded\" text=x>");
    EXPECT_EQ(Wrap("<body background=bg.gif>"), "<body background=/images/NotLoaded>");
    EXPECT_EQ(Wrap("<body background>"), "<body background>");
}

TEST_F(WrapPageTest, ALongScriptMovesWhole) {
    std::string script = "<script>" + std::string(7000, 's') + "</SCRIPT>";
    std::string text = "<p>a</p>" + script + "<p>b</p><script>x";
    EXPECT_EQ(Wrap(text), script);
    EXPECT_EQ(page, "<p>a</p>" + std::string(script.size(), ' ') + "<p>b</p><script>x" + '\0');
}

TEST_F(WrapPageTest, AScriptWithoutEndTagEndsAtTheHeadEndOrTheBody) {
    EXPECT_EQ(Wrap("<head><script>a</head><body>b"), "<body><script>a</head>");
    EXPECT_EQ(Wrap("<script>a<BODY x>b"), "<BODY x>");
    EXPECT_EQ(Wrap("<script>a<p>b"), "");
}

TEST_F(WrapPageTest, ManyScriptsWithoutEndTagsAreLeftInPlace) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "<script>x";
    EXPECT_EQ(Wrap(text), "");
    EXPECT_EQ(page, text + '\0');
}

TEST_F(WrapPageTest, AFramesetGetsAnOuterFramesetWithAHeaderFrame) {
    EXPECT_EQ(Wrap("<html><FRAMESET cols=\"50%,50%\"><frame src=a></frameset>"),
              "<frameset rows=\"36,*\"><frame src=\"GA0.htm\" marginwidth=\"1\" "
              "marginheight=\"1\" scrolling=\"no\" resize><FRAMESET cols=\"50%,50%\">");
    EXPECT_TRUE(isFrameset);
    EXPECT_EQ(r.File("GA0.htm"), BarHeader("http://site/a.htm", "GA9.htm", false));
    r.Run.Catalog.Close();
    EXPECT_EQ(r.File("Brief0.cat"), std::string("\x01"
                                                "0\x0a"
                                                "Brief0.htm\x07"
                                                "GA0.htm"));
}

TEST_F(WrapPageTest, AFramesetInAFrameGetsNoHeaderFrame) {
    EXPECT_EQ(Wrap("<frameset rows=\"*,*\"><frame src=a></frameset>", true),
              "<frameset rows=\"*,*\">");
    EXPECT_TRUE(isFrameset);
    EXPECT_FALSE(r.Exists("GA0.htm"));
}

TEST(PageClosing, EndsFramesetsAndPages) {
    test::RewriteRun r;
    {
        TOutputFile out((r.Dir / "a").string());
        WritePageClosing(out, true, true);
        WritePageClosing(out, false, false);
    }
    EXPECT_EQ(r.File("a"), "</frameset></html>\r\n</body></html>");
}

} // namespace
} // namespace gathra
