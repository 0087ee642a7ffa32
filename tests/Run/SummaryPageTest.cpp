#include "Run/SummaryPage.h"

#include "support/RewriteRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace gathra {
namespace {

std::string Written(const std::function<void(TOutputFile&)>& write) {
    test::TempDir dir;
    {
        TOutputFile out((dir / "Brief0.htm").string());
        write(out);
        out.Close();
    }
    return test::ReadFileBytes(dir / "Brief0.htm");
}

TEST(StartStamp, TwoDigitMinutesSecondsAndYearWithAmOrPm) {
    EXPECT_EQ(StartStamp({2026, 3, 7, 9, 5, 3}), "3/7/26 9:05:03AM");
    EXPECT_EQ(StartStamp({2026, 12, 31, 0, 0, 0}), "12/31/26 12:00:00AM");
    EXPECT_EQ(StartStamp({2026, 1, 2, 12, 30, 59}), "1/2/26 12:30:59PM");
    EXPECT_EQ(StartStamp({2009, 1, 2, 23, 10, 10}), "1/2/09 11:10:10PM");
}

TEST(SummaryPage, FirstLinesAndHeadWithoutComments) {
    test::RewriteRun r;
    std::string stamp;
    std::string bytes = Written([&](TOutputFile& out) {
        WriteSummaryFirstLines(out, "News", "/prog/");
        stamp = WriteSummaryHead(out, r.Run, "News", std::nullopt);
    });
    EXPECT_EQ(stamp, "3/7/26 9:05:03AM");
    EXPECT_EQ(bytes, "<html>\r\n<head>\r\n<title>News</title>\r\n</head>\r\n<body bgcolor=#FFFFFF "
                     "background=\"/prog/images/back.gif\"><ul>\r\n"
                     "<p><img src=\"/prog/images/briefbar.gif\" width=460 height=43 alt=\"Gathra "
                     "Light\">\r\n"
                     "<p><font size=5><b>\r\nBrief: </b>News\r\n</font><br>\r\n"
                     "<font size=3><b>Brief Started: </b>3/7/26 9:05:03AM</font><font "
                     "size=1><br></font>\r\n"
                     "</font><font size=1><br></font><hr size=3>\r\n");
}

TEST(SummaryPage, CommentsAreWrittenUnchanged) {
    std::string bytes = Written([&](TOutputFile& out) {
        WriteSummaryHead(out, "C:\\Apps\\Gathra\\", {2026, 3, 7, 15, 0, 0}, "B",
                         std::string("line one\r\n<b>two</b>"));
    });
    EXPECT_EQ(bytes, "<p><img src=\"/C:/Apps/Gathra/images/briefbar.gif\" width=460 height=43 "
                     "alt=\"Gathra Light\">\r\n"
                     "<p><font size=5><b>\r\nBrief: </b>B\r\n</font><br>\r\n"
                     "<font size=3><b>Brief Started: </b>3/7/26 3:00:00PM</font><font "
                     "size=1><br></font>\r\n"
                     "<font size=3><b>\r\n Brief Information: </b>\r\nline one\r\n<b>two</b>"
                     "</font><font size=1><br></font><hr size=3>\r\n");
}

TEST(SummaryPage, ABackslashProgramFolderStaysAsStoredForTheBackground) {
    std::string bytes =
        Written([](TOutputFile& out) { WriteSummaryFirstLines(out, "B", "C:\\Apps\\"); });
    EXPECT_NE(bytes.find("background=\"/C:\\Apps\\images/back.gif\""), std::string::npos);
}

TEST(SummaryPage, EntryBlocksSeparatorsAndClosing) {
    std::string bytes = Written([](TOutputFile& out) {
        WriteSummaryPageEntry(out, "GA0.htm", "Daily", 1);
        WriteSummaryEntrySeparator(out);
        WriteSummaryPageEntryStart(out);
        out.Write("GA1.htm");
        WriteSummaryPageEntryRest(out, "Deep", 3);
        WriteSummarySiteMapLine(out, "GA2.htm");
        WriteSummaryEntrySeparator(out);
        WriteSummaryFileEntry(out, "GA3.gif", "Picture", 2);
        WriteSummaryClosing(out);
    });
    EXPECT_EQ(bytes,
              "<font size=4><b>Web Entry: </b><a href=\"GA0.htm\">Daily</a></font><br>\r\n"
              "<ul><font size=2><b>Retrieval:</b> Top Page, Depth:1 level\r\n</font><br></ul>\r\n"
              "<hr size=1>"
              "<font size=4><b>Web Entry: </b><a href=\"GA1.htm\">Deep</a></font><br>\r\n"
              "<ul><font size=2><b>Retrieval:</b> Top Page, Depth:3 levels\r\n</font><br></ul>\r\n"
              "<ul><font size=2><a href=\"GA2.htm\">Site Map</a></font></ul>\r\n"
              "<hr size=1>"
              "<font size=4><b>Web Entry: </b><a href=\"GA3.gif\">Picture</a></font><br>\r\n"
              "<ul><font size=2><b>Retrieval Depth:</b>2 levels\r\n</font><br></ul>\r\n"
              "<hr size=3><font size=1><br></font>Gathra<font size=1>(TM)</font> Light &#183; "
              "made by Orsolo Development<p>\r\n</ul></body>\r\n</html>\r\n");
}

} // namespace
} // namespace gathra
