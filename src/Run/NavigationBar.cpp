#include "Run/NavigationBar.h"

#include "Run/RunContext.h"
#include "Settings/AppSettings.h"

namespace gathra {

std::string FormatTimeStamp(const LocalTime& time) {
    int hour = time.Hour % 12;
    if (hour == 0) hour = 12;
    int year = time.Year % 100;
    if (year < 0) year = -year;
    return std::to_string(time.Month) + "/" + std::to_string(time.Day) + "/" +
           std::to_string(year) + ", " + std::to_string(hour) + ":" + std::to_string(time.Minute) +
           ":" + std::to_string(time.Second) + (time.Hour < 12 ? "AM" : "PM");
}

std::string ProgramImageSource(std::string_view programFolder, std::string_view picture) {
    std::string folder(programFolder);
    for (char& c : folder)
        if (c == '\\') c = '/';
    if (!folder.empty() && folder.back() != '/') folder += '/';
    // A POSIX folder already starts at the root; a drive path gets the root put in front.
    std::string source = (!folder.empty() && folder.front() == '/') ? folder : "/" + folder;
    source += "images/";
    source.append(picture.data(), picture.size());
    return source;
}

std::string WebAddressLink(std::string_view address) {
    if (address.empty()) return std::string();
    // A scheme leads the address: "://" with something before it and no "/" before it. An
    // address that merely carries "://" in its query ("host/a?u=http://x/") has none.
    size_t scheme = address.find("://");
    if (scheme != std::string_view::npos && scheme > 0 &&
        address.substr(0, scheme).find('/') == std::string_view::npos)
        return std::string(address);
    return "http://" + std::string(address);
}

namespace {

std::string HeaderImageTag(std::string_view programFolder, std::string_view picture,
                           std::string_view alternativeText, int height, int width) {
    std::string tag = "<img src=\"" + ProgramImageSource(programFolder, picture) +
                      "\" border=0 align=absmiddle width=" + std::to_string(width) +
                      " height=" + std::to_string(height) + " alt=\"";
    tag.append(alternativeText.data(), alternativeText.size());
    tag += "\">";
    return tag;
}

} // namespace

void DoHeaderImage(TOutputFile& out, std::string_view programFolder, std::string_view picture,
                   std::string_view alternativeText, int height, int width) {
    out.Write(HeaderImageTag(programFolder, picture, alternativeText, height, width));
}

namespace {

// Everything of a header but its time stamp. A page of many links writes a notice page for each,
// all with the same bar: it is put together once and written whole.
struct HeaderParts {
    std::string ProgramFolder, WebAddressLink, SiteMapLink, BriefLink, BriefName;
    std::string Head; // up to the time stamp
    bool Valid = false;

    bool Matches(std::string_view programFolder, std::string_view webAddressLink,
                 std::string_view siteMapLink, std::string_view briefLink,
                 std::string_view briefName) const {
        return Valid && ProgramFolder == programFolder && WebAddressLink == webAddressLink &&
               SiteMapLink == siteMapLink && BriefLink == briefLink && BriefName == briefName;
    }
};

std::string HeadOf(std::string_view programFolder, std::string_view webAddressLink,
                   std::string_view siteMapLink, std::string_view briefLink,
                   std::string_view briefName) {
    std::string head = "<nobr>&#160 <a href=\"";
    head.append(briefLink).append("\" target=\"_top\">");
    auto image = [&](std::string_view picture, std::string_view alternativeText) {
        head += HeaderImageTag(programFolder, picture, alternativeText, 24, 24);
    };
    image("brief.gif", "Brief");
    head += "</a> ";
    if (!siteMapLink.empty()) {
        head.append("<a href=\"").append(siteMapLink).append("\" target=\"_top\">");
        image("toc.gif", "Site Map");
        head += "</a> ";
    }
    if (!webAddressLink.empty()) {
        head.append("<a href=").append(webAddressLink).append(" target=\"_top\">");
        image("orig.gif", "Original Link");
        head += "</a> ";
    }
    head.append("<font size=3>").append(briefName).append("</font>\r\n<font size=3> ");
    return head;
}

} // namespace

void PrintBriefHeader(TOutputFile& out, std::string_view programFolder, const LocalTime& now,
                      bool withoutRule, std::string_view webAddressLink,
                      std::string_view siteMapLink, std::string_view briefLink,
                      std::string_view briefName) {
    thread_local HeaderParts parts;
    thread_local LocalTime stampTime;
    thread_local std::string stamp;
    if (!parts.Matches(programFolder, webAddressLink, siteMapLink, briefLink, briefName)) {
        parts.ProgramFolder = programFolder;
        parts.WebAddressLink = webAddressLink;
        parts.SiteMapLink = siteMapLink;
        parts.BriefLink = briefLink;
        parts.BriefName = briefName;
        parts.Head = HeadOf(programFolder, webAddressLink, siteMapLink, briefLink, briefName);
        parts.Valid = true;
    }
    if (stamp.empty() || now.Second != stampTime.Second || now.Minute != stampTime.Minute ||
        now.Hour != stampTime.Hour || now.Day != stampTime.Day || now.Month != stampTime.Month ||
        now.Year != stampTime.Year) {
        stampTime = now;
        stamp = FormatTimeStamp(now);
    }
    out << parts.Head << stamp
        << (withoutRule ? " <b>by Gathra Light</b></font></nobr><br>\r\n"
                        : " <b>by Gathra Light</b></font></nobr><br><hr size=3><br>\r\n");
}

void PrintBriefHeader(TOutputFile& out, const TRunState& run, bool withoutRule,
                      std::string_view webAddressLink, std::string_view siteMapLink,
                      std::string_view briefLink, std::string_view briefName) {
    std::string_view folder;
    if (run.Settings != nullptr) folder = run.Settings->ProgramFolder;
    LocalTime now = run.Clock != nullptr ? run.Clock->Now() : SystemClock().Now();
    PrintBriefHeader(out, folder, now, withoutRule, webAddressLink, siteMapLink, briefLink,
                     briefName);
}

void PrintBriefFooter(TOutputFile& out, std::string_view webAddressLink,
                      std::string_view siteMapLink, std::string_view briefLink) {
    out << "<hr size=3>";
    out << "<nobr><center><font size=3>";
    if (!briefLink.empty()) out << "| <a href=\"" << briefLink << "\">Brief Summary</a> ";
    if (!siteMapLink.empty()) out << "| <a href=\"" << siteMapLink << "\">Site Map</a>";
    if (!webAddressLink.empty()) out << "| <a href=" << webAddressLink << ">Original Link</a> ";
    if (!briefLink.empty() || !siteMapLink.empty() || !webAddressLink.empty()) out << "|";
    out << "</font><font size=3> Gathra<font size=1>(TM)</font> Light</font></center></nobr>\r\n";
}

} // namespace gathra
