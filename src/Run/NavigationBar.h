#pragma once
#include "Platform/OutputFile.h"
#include "Platform/Clock.h"

#include <string>
#include <string_view>

namespace gathra {

struct TRunState;

// How the bars begin and end in a stored page, for readers of run folders that leave them out.
// The header's end may be followed by its rule ("<hr size=3><br>") and CR LF.
inline constexpr std::string_view kHeaderBarStart = "<nobr>&#160 <a href=\"";
inline constexpr std::string_view kHeaderBarEnd = " <b>by Gathra Light</b></font></nobr><br>";
inline constexpr std::string_view kFooterBarStart = "<hr size=3><nobr><center><font size=3>";
inline constexpr std::string_view kFooterBarEnd =
    "</font><font size=3> Gathra<font size=1>(TM)</font> Light</font></center></nobr>\r\n";

// "month/day/yy, h:m:sAM" without leading zeros, 12-hour clock (0 and 12 show as 12); the header
// and the summary page stamp times in this form. Example: "3/7/26, 12:5:9AM".
std::string FormatTimeStamp(const LocalTime& time);

// The src value of one of the program's pictures: "/" + program folder with "\" turned into "/"
// + "images/" + picture, without doubling a leading slash: "/opt/g/" gives
// "/opt/g/images/brief.gif" and "C:\Apps\Tool\" gives "/C:/Apps/Tool/images/brief.gif".
std::string ProgramImageSource(std::string_view programFolder, std::string_view picture);

// The bar's web address link for an address: "http://" in front unless it already begins with a
// scheme ("http://www.x.com" stays as it is; "host/a?u=http://x/" gets one); empty stays empty.
std::string WebAddressLink(std::string_view address);

// `<img src="...picture" border=0 align=absmiddle width=W height=H alt="alt">`, no line break.
void DoHeaderImage(TOutputFile& out, std::string_view programFolder, std::string_view picture,
                   std::string_view alternativeText, int height, int width);

// The bar above a stored page: brief summary button, site map button (when `siteMapLink` is not
// empty), original link button (when `webAddressLink` is not empty), brief name, the time stamp
// from `run.Clock`, and a rule unless `withoutRule`. Pictures come from
// `run.Settings->ProgramFolder`. Links are written as given.
void PrintBriefHeader(TOutputFile& out, const TRunState& run, bool withoutRule,
                      std::string_view webAddressLink, std::string_view siteMapLink,
                      std::string_view briefLink, std::string_view briefName);
// The same with the program folder and the time given directly.
void PrintBriefHeader(TOutputFile& out, std::string_view programFolder, const LocalTime& now,
                      bool withoutRule, std::string_view webAddressLink,
                      std::string_view siteMapLink, std::string_view briefLink,
                      std::string_view briefName);

// The bar below a stored page: a rule and text links for each non-empty link.
void PrintBriefFooter(TOutputFile& out, std::string_view webAddressLink,
                      std::string_view siteMapLink, std::string_view briefLink);

} // namespace gathra
