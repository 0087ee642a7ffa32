#pragma once
#include "Platform/OutputFile.h"
#include "Platform/Clock.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gathra {

struct TRunState;

// The run's start stamp: "m/d/yy h:mm:ssAM", 12-hour clock (0 and 12 show as 12), minutes and
// seconds with two digits, "AM" or "PM" right after the seconds. Example: "3/7/26 9:05:03AM".
std::string StartStamp(const LocalTime& time);

// The summary page's first lines: html head with the brief name as title and a body whose
// background is the program's "images/back.gif", then the opening list tag.
void WriteSummaryFirstLines(TOutputFile& summary, std::string_view briefName,
                            std::string_view programFolder);

// The summary head: banner picture, brief name, start stamp and the brief's comments (when it has
// any). Answers the start stamp.
std::string WriteSummaryHead(TOutputFile& summary, std::string_view programFolder,
                             const LocalTime& now, std::string_view briefName,
                             const std::optional<std::string>& comments);
// The same with the program folder from `run.Settings` and the time from `run.Clock`.
std::string WriteSummaryHead(TOutputFile& summary, const TRunState& run, std::string_view briefName,
                             const std::optional<std::string>& comments);

// "<hr size=1>", written before every entry block but the first.
void WriteSummaryEntrySeparator(TOutputFile& summary);

// The entry block of an entry whose top page was stored as a non-HTML file.
void WriteSummaryFileEntry(TOutputFile& summary, std::string_view storedName,
                           std::string_view entryName, std::int32_t spiderDepth);

// The entry block of an entry whose top page is a page, in two parts around the link target
// (the top page's name, or the name of the link notice written for an unsupported address):
// the start ends with `<a href="`; the rest begins with `">`.
void WriteSummaryPageEntryStart(TOutputFile& summary);
void WriteSummaryPageEntryRest(TOutputFile& summary, std::string_view entryName,
                               std::int32_t spiderDepth);
// Both parts with a known link target.
void WriteSummaryPageEntry(TOutputFile& summary, std::string_view linkTarget,
                           std::string_view entryName, std::int32_t spiderDepth);
// The "Site Map" line of an entry of depth 2 or more whose site map got a name.
void WriteSummarySiteMapLine(TOutputFile& summary, std::string_view siteMapName);

// The closing lines: the product line with the maker's notice and the end of the page.
void WriteSummaryClosing(TOutputFile& summary);

} // namespace gathra
