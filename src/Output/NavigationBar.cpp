#include "Output/NavigationBar.h"

#include "Engine/RunContext.h"
#include "Shell/AppSettings.h"

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

void DoHeaderImage(TOutputFile& out, std::string_view programFolder, std::string_view picture,
                   std::string_view alternativeText, int height, int width) {
    std::string tag = "<img src=\"" + ProgramImageSource(programFolder, picture) +
                      "\" border=0 align=absmiddle width=" + std::to_string(width) +
                      " height=" + std::to_string(height) + " alt=\"";
    tag.append(alternativeText.data(), alternativeText.size());
    tag += "\">";
    out.Write(tag);
}

void PrintBriefHeader(TOutputFile& out, std::string_view programFolder, const LocalTime& now,
                      bool withoutRule, std::string_view webAddressLink,
                      std::string_view siteMapLink, std::string_view briefLink,
                      std::string_view briefName) {
    out << "<nobr>&#160 ";
    out << "<a href=\"" << briefLink << "\" target=\"_top\">";
    DoHeaderImage(out, programFolder, "brief.gif", "Brief", 24, 24);
    out << "</a> ";
    if (!siteMapLink.empty()) {
        out << "<a href=\"" << siteMapLink << "\" target=\"_top\">";
        DoHeaderImage(out, programFolder, "toc.gif", "Site Map", 24, 24);
        out << "</a> ";
    }
    if (!webAddressLink.empty()) {
        out << "<a href=" << webAddressLink << " target=\"_top\">";
        DoHeaderImage(out, programFolder, "orig.gif", "Original Link", 24, 24);
        out << "</a> ";
    }
    out << "<font size=3>" << briefName << "</font>\r\n";
    out << "<font size=3> " << FormatTimeStamp(now) << " <b>by Gathra Light</b></font></nobr><br>";
    if (!withoutRule) out << "<hr size=3><br>";
    out << "\r\n";
}

void PrintBriefHeader(TOutputFile& out, const TRunContext& run, bool withoutRule,
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
