#include "Run/NavigationBar.h"

#include "Run/RunContext.h"
#include "Platform/Clock.h"
#include "Settings/AppSettings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gathra {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// Writes with `write` into a fresh file and answers the bytes written.
template <typename Write> std::string Written(Write write) {
    TempDir dir;
    std::string path = (dir / "out.htm").string();
    {
        TOutputFile out(path);
        write(out);
        out.Close();
    }
    return ReadFileBytes(path);
}

const LocalTime kMorning{2026, 3, 7, 0, 5, 9};

TEST(TimeStamp, TwelveHourClockWithoutLeadingZeros) {
    EXPECT_EQ(FormatTimeStamp(kMorning), "3/7/26, 12:5:9AM");
    EXPECT_EQ(FormatTimeStamp({2026, 3, 7, 12, 0, 0}), "3/7/26, 12:0:0PM");
    EXPECT_EQ(FormatTimeStamp({2026, 12, 31, 23, 59, 58}), "12/31/26, 11:59:58PM");
    EXPECT_EQ(FormatTimeStamp({2005, 1, 2, 11, 10, 30}), "1/2/5, 11:10:30AM");
    EXPECT_EQ(FormatTimeStamp({2000, 1, 2, 13, 1, 1}), "1/2/0, 1:1:1PM");
}

TEST(ProgramImages, PathsBecomeRootedUrlsWithoutADoubledSlash) {
    EXPECT_EQ(ProgramImageSource("/opt/g/", "brief.gif"), "/opt/g/images/brief.gif");
    EXPECT_EQ(ProgramImageSource("/opt/g", "toc.gif"), "/opt/g/images/toc.gif");
    EXPECT_EQ(ProgramImageSource("C:\\Apps\\Tool\\", "brief.gif"),
              "/C:/Apps/Tool/images/brief.gif");
    EXPECT_EQ(ProgramImageSource("", "back.gif"), "/images/back.gif");
}

TEST(WebAddressLinks, GetAnHttpSchemeUnlessTheyHaveOne) {
    EXPECT_EQ(WebAddressLink("www.x.com/a.htm"), "http://www.x.com/a.htm");
    EXPECT_EQ(WebAddressLink("http://www.x.com/a.htm"), "http://www.x.com/a.htm");
    EXPECT_EQ(WebAddressLink("ftp://ftp.x.org/f"), "ftp://ftp.x.org/f");
    EXPECT_EQ(WebAddressLink("http://www.x.com"), "http://www.x.com");
    EXPECT_EQ(WebAddressLink("host/a?u=http://x/y"), "http://host/a?u=http://x/y");
    EXPECT_EQ(WebAddressLink(""), "");
}

TEST(HeaderImage, WritesOneImageTag) {
    std::string bytes = Written([](TOutputFile& out) {
        DoHeaderImage(out, "/opt/g/", "orig.gif", "Original Link", 24, 30);
    });
    EXPECT_EQ(bytes, "<img src=\"/opt/g/images/orig.gif\" border=0 align=absmiddle width=30 "
                     "height=24 alt=\"Original Link\">");
}

TEST(BriefHeader, FullBarWithEveryButtonAndTheRule) {
    AppSettings settings;
    settings.ProgramFolder = "/opt/g/";
    FixedClock clock(kMorning);
    TRunContext run;
    run.Settings = &settings;
    run.Clock = &clock;
    std::string bytes = Written([&](TOutputFile& out) {
        PrintBriefHeader(out, run, false, "http://www.x.com/a.htm", "GA3.htm", "Brief0.htm",
                         "Morning News");
    });
    EXPECT_EQ(bytes, "<nobr>&#160 <a href=\"Brief0.htm\" target=\"_top\"><img "
                     "src=\"/opt/g/images/brief.gif\" border=0 align=absmiddle width=24 height=24 "
                     "alt=\"Brief\"></a> <a href=\"GA3.htm\" target=\"_top\"><img "
                     "src=\"/opt/g/images/toc.gif\" border=0 align=absmiddle width=24 height=24 "
                     "alt=\"Site Map\"></a> <a href=http://www.x.com/a.htm target=\"_top\"><img "
                     "src=\"/opt/g/images/orig.gif\" border=0 align=absmiddle width=24 height=24 "
                     "alt=\"Original Link\"></a> <font size=3>Morning News</font>\r\n"
                     "<font size=3> 3/7/26, 12:5:9AM <b>by Gathra Light</b></font></nobr><br>"
                     "<hr size=3><br>\r\n");
}

TEST(BriefHeader, OnlyTheBriefItemWithoutRule) {
    std::string bytes = Written([](TOutputFile& out) {
        PrintBriefHeader(out, "C:\\Apps\\Tool\\", LocalTime{2026, 3, 7, 12, 0, 0}, true, "", "",
                         "Brief2.htm", "B");
    });
    EXPECT_EQ(bytes, "<nobr>&#160 <a href=\"Brief2.htm\" target=\"_top\"><img "
                     "src=\"/C:/Apps/Tool/images/brief.gif\" border=0 align=absmiddle width=24 "
                     "height=24 alt=\"Brief\"></a> <font size=3>B</font>\r\n"
                     "<font size=3> 3/7/26, 12:0:0PM <b>by Gathra Light</b></font></nobr><br>\r\n");
}

// Headers are written many times in a row with the same bar (a notice for every link of a page):
// one that differs in any part, or only in its second, is written as itself.
TEST(BriefHeader, EachHeaderOfASeriesIsItsOwn) {
    struct Case {
        std::string Folder, Web, Map, Brief, Name;
        LocalTime Time;
        bool WithoutRule;
    };
    const LocalTime noon{2026, 3, 7, 12, 0, 0};
    const LocalTime later{2026, 3, 7, 12, 0, 1};
    const std::vector<Case> cases = {
        {"/opt/g/", "", "GA1.htm", "Brief0.htm", "Docs", noon, false},
        {"/opt/g/", "", "GA1.htm", "Brief0.htm", "Docs", noon, true},
        {"/opt/g/", "", "GA1.htm", "Brief0.htm", "Docs", later, false},
        {"/opt/h/", "", "GA1.htm", "Brief0.htm", "Docs", later, false},
        {"/opt/h/", "http://x/", "GA1.htm", "Brief0.htm", "Docs", later, false},
        {"/opt/h/", "http://x/", "", "Brief0.htm", "Docs", later, false},
        {"/opt/h/", "http://x/", "", "Brief1.htm", "Docs", later, false},
        {"/opt/h/", "http://x/", "", "Brief1.htm", "News", later, false},
        {"/opt/g/", "", "GA1.htm", "Brief0.htm", "Docs", noon, false},
    };
    for (const Case& c : cases) {
        std::string expected = "<nobr>&#160 <a href=\"" + c.Brief +
                               "\" target=\"_top\"><img src=\"" + c.Folder +
                               "images/brief.gif\" border=0 align=absmiddle width=24 "
                               "height=24 alt=\"Brief\"></a> ";
        if (!c.Map.empty())
            expected += "<a href=\"" + c.Map + "\" target=\"_top\"><img src=\"" + c.Folder +
                        "images/toc.gif\" border=0 align=absmiddle width=24 height=24 "
                        "alt=\"Site Map\"></a> ";
        if (!c.Web.empty())
            expected += "<a href=" + c.Web + " target=\"_top\"><img src=\"" + c.Folder +
                        "images/orig.gif\" border=0 align=absmiddle width=24 height=24 "
                        "alt=\"Original Link\"></a> ";
        expected += "<font size=3>" + c.Name + "</font>\r\n<font size=3> " +
                    FormatTimeStamp(c.Time) + " <b>by Gathra Light</b></font></nobr><br>" +
                    (c.WithoutRule ? "" : "<hr size=3><br>") + "\r\n";
        EXPECT_EQ(Written([&](TOutputFile& out) {
                      PrintBriefHeader(out, c.Folder, c.Time, c.WithoutRule, c.Web, c.Map, c.Brief,
                                       c.Name);
                  }),
                  expected)
            << c.Folder << " " << c.Web << " " << c.Map << " " << c.Brief << " " << c.Name;
    }
}

TEST(BriefHeader, TheClockPortGivesTheStamp) {
    AppSettings settings;
    FixedClock clock(LocalTime{2030, 11, 9, 18, 30, 1});
    TRunContext run;
    run.Settings = &settings;
    run.Clock = &clock;
    std::string bytes =
        Written([&](TOutputFile& out) { PrintBriefHeader(out, run, true, "", "", "b", "n"); });
    EXPECT_NE(bytes.find("<font size=3> 11/9/30, 6:30:1PM <b>by Gathra Light</b>"),
              std::string::npos);
    EXPECT_NE(bytes.find("src=\"/images/brief.gif\""), std::string::npos);
}

TEST(BriefFooter, EachLinkHasItsTextAndBars) {
    std::string all = Written([](TOutputFile& out) {
        PrintBriefFooter(out, "http://www.x.com/", "GA3.htm", "Brief0.htm");
    });
    EXPECT_EQ(all, "<hr size=3><nobr><center><font size=3>| <a href=\"Brief0.htm\">Brief "
                   "Summary</a> | <a href=\"GA3.htm\">Site Map</a>| <a "
                   "href=http://www.x.com/>Original Link</a> |</font><font size=3> "
                   "Gathra<font size=1>(TM)</font> Light</font></center></nobr>\r\n");

    std::string briefOnly =
        Written([](TOutputFile& out) { PrintBriefFooter(out, "", "", "B.htm"); });
    EXPECT_EQ(briefOnly, "<hr size=3><nobr><center><font size=3>| <a href=\"B.htm\">Brief "
                         "Summary</a> |</font><font size=3> Gathra<font size=1>(TM)</font> "
                         "Light</font></center></nobr>\r\n");
}

TEST(BriefFooter, NoLinksNoBars) {
    std::string none = Written([](TOutputFile& out) { PrintBriefFooter(out, "", "", ""); });
    EXPECT_EQ(none, "<hr size=3><nobr><center><font size=3></font><font size=3> "
                    "Gathra<font size=1>(TM)</font> Light</font></center></nobr>\r\n");
}

} // namespace
} // namespace gathra
