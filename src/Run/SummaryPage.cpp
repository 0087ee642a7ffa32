#include "Run/SummaryPage.h"

#include "Run/RunContext.h"
#include "Run/NavigationBar.h"
#include "Settings/AppSettings.h"

namespace gathra {

namespace {

std::string TwoDigits(int n) {
    std::string s = std::to_string(n);
    return n < 10 ? "0" + s : s;
}

std::string Levels(std::int32_t depth) {
    return std::to_string(depth) + " level" + (depth > 1 ? "s" : "");
}

// "/" + the program folder as stored, without doubling the leading slash of a POSIX folder.
std::string StoredFolderPath(std::string_view programFolder) {
    if (!programFolder.empty() && programFolder[0] == '/') return std::string(programFolder);
    return "/" + std::string(programFolder);
}

} // namespace

std::string StartStamp(const LocalTime& time) {
    int hour12 = time.Hour % 12 == 0 ? 12 : time.Hour % 12;
    int year = ((time.Year % 100) + 100) % 100;
    return std::to_string(time.Month) + "/" + std::to_string(time.Day) + "/" + TwoDigits(year) +
           " " + std::to_string(hour12) + ":" + TwoDigits(time.Minute) + ":" +
           TwoDigits(time.Second) + (time.Hour < 12 ? "AM" : "PM");
}

void WriteSummaryFirstLines(TOutputFile& summary, std::string_view briefName,
                            std::string_view programFolder) {
    summary << "<html>\r\n<head>\r\n<title>" << briefName << "</title>\r\n</head>\r\n"
            << "<body bgcolor=#FFFFFF background=\"" << StoredFolderPath(programFolder)
            << "images/back.gif\"><ul>\r\n";
}

std::string WriteSummaryHead(TOutputFile& summary, std::string_view programFolder,
                             const LocalTime& now, std::string_view briefName,
                             const std::optional<std::string>& comments) {
    std::string stamp = StartStamp(now);
    summary << "<p><img src=\"" << ProgramImageSource(programFolder, "briefbar.gif")
            << "\" width=460 height=43 alt=\"Gathra Light\">\r\n";
    summary << "<p><font size=5><b>\r\nBrief: </b>" << briefName << "\r\n</font><br>\r\n"
            << "<font size=3><b>Brief Started: </b>" << stamp
            << "</font><font size=1><br></font>\r\n";
    if (comments.has_value() && !comments->empty())
        summary << "<font size=3><b>\r\n Brief Information: </b>\r\n" << *comments;
    summary << "</font><font size=1><br></font><hr size=3>\r\n";
    return stamp;
}

std::string WriteSummaryHead(TOutputFile& summary, const TRunState& run, std::string_view briefName,
                             const std::optional<std::string>& comments) {
    LocalTime now = run.Clock != nullptr ? run.Clock->Now() : SystemClock().Now();
    std::string folder = run.Settings != nullptr ? run.Settings->ProgramFolder : std::string();
    return WriteSummaryHead(summary, folder, now, briefName, comments);
}

void WriteSummaryEntrySeparator(TOutputFile& summary) {
    summary << "<hr size=1>";
}

void WriteSummaryFileEntry(TOutputFile& summary, std::string_view storedName,
                           std::string_view entryName, std::int32_t spiderDepth) {
    summary << "<font size=4><b>Web Entry: </b><a href=\"" << storedName << "\">" << entryName
            << "</a></font><br>\r\n<ul><font size=2><b>Retrieval Depth:</b>" << Levels(spiderDepth)
            << "\r\n</font><br></ul>\r\n";
}

void WriteSummaryPageEntryStart(TOutputFile& summary) {
    summary << "<font size=4><b>Web Entry: </b><a href=\"";
}

void WriteSummaryPageEntryRest(TOutputFile& summary, std::string_view entryName,
                               std::int32_t spiderDepth) {
    summary << "\">" << entryName
            << "</a></font><br>\r\n<ul><font size=2><b>Retrieval:</b> Top Page, Depth:"
            << Levels(spiderDepth) << "\r\n</font><br></ul>\r\n";
}

void WriteSummaryPageEntry(TOutputFile& summary, std::string_view linkTarget,
                           std::string_view entryName, std::int32_t spiderDepth) {
    WriteSummaryPageEntryStart(summary);
    summary << linkTarget;
    WriteSummaryPageEntryRest(summary, entryName, spiderDepth);
}

void WriteSummarySiteMapLine(TOutputFile& summary, std::string_view siteMapName) {
    summary << "<ul><font size=2><a href=\"" << siteMapName << "\">Site Map</a></font></ul>\r\n";
}

void WriteSummaryClosing(TOutputFile& summary) {
    summary << "<hr size=3><font size=1><br></font>Gathra<font size=1>(TM)</font> Light"
            << " &#183; made by Orsolo Development<p>\r\n</ul></body>\r\n</html>\r\n";
}

} // namespace gathra
