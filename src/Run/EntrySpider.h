#pragma once
#include "Net/ResponseBuffer.h"
#include "Platform/OutputFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace gathra {

struct TRunContext;
struct TWebPage;
class TOCList;

// The names the run hands to the spider for one entry.
struct TEntryNames {
    std::string SummaryName;  // the brief link of every bar
    std::string TopPageName;  // the stored top page
    std::string SiteMapName;  // empty when the entry has no site map
    std::string EntryAddress; // the entry's address as queued (a web address without "http://")
    std::string StartStamp;   // the run's start stamp, added to the entry's RunNotes
};

// Stores an entry's top page and everything the spider reaches from it, level by level, and
// writes the entry's site map. Called by the run after it has registered the top page (a
// TocNode in TocRoot and its PageRecord), prepared the page's body and created `topOut`. The
// run writes the top page's footer (unless it is a frameset) and its closing tags afterwards.
// A disk failure on the way still finishes and closes the site map, then is thrown on as
// TDiskError("Disk Full"). Answers whether the top page is a frameset.
bool SpiderEntry(TRunContext& run, TWebPage& entry, const TEntryNames& names,
                 TResponseBuffer& topPage, TOutputFile& topOut, bool isContent);

// Fetches and stores the queued page `key` ("!!--" in front for a frame source) with `depth`
// levels still allowed below it, unless it is already stored at least that deeply.
// fetchesExpected: what storing the page fetches was expected already (fast transfers).
void SpiderPage(TRunContext& run, TWebPage& entry, const TEntryNames& names, std::string_view key,
                std::int32_t depth, bool inFrame, bool siteMapOn, bool fetchesExpected = false);

// The progress dialog's depth label for spider level `level` of an entry of `depth` levels:
// "2 of 3". A pass after the last level only fetches the sources of frames found there; it
// shows as the last level: "3 of 3, frames".
std::string LevelText(std::int64_t level, std::int32_t depth);

// The site map's nested list: every titled node as a list item linking to its page (with its
// anchor), every non-empty child list nested in "<ul>" ... "</ul>". No line breaks.
void WriteTocList(const TOCList& list, TOutputFile& siteMap);

} // namespace gathra
