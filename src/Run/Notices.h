#pragma once
#include "Platform/OutputFile.h"
#include "Net/ResponseBuffer.h"
#include "Net/ResponseNotices.h"

#include <optional>
#include <string>
#include <string_view>

namespace gathra {

struct TRunContext;

// Link notices: a page of their own in the run folder, for a link the spider does not fetch.
enum class LinkNoticeKind {
    SpiderLimit,        // an http link beyond the entry's spider depth
    MailLink,           // a "mailto" link or entry
    UnsupportedProtocol // a link or entry of another scheme than http
};

// The names the notice's navigation bars need.
struct NoticeBarNames {
    std::string_view BriefName;
    std::string_view EntryName;   // not shown by the bars; kept for callers' symmetry
    std::string_view SummaryName; // the brief link
    std::string_view SiteMapName; // empty when the entry has no site map
};

// While it stands, the notice pages WriteLinkNotice writes go to the run's notice writer (made
// on first use): those of the whole entry being spidered (acrossPages), or those of one page
// beyond its first TRunContext::kDirectNotices. Finish, or the end of its scope, waits until
// they are all on disk.
class TNoticeFlow {
public:
    TNoticeFlow(TRunContext& run, bool acrossPages);
    ~TNoticeFlow();
    TNoticeFlow(const TNoticeFlow&) = delete;
    TNoticeFlow& operator=(const TNoticeFlow&) = delete;
    // Throws TDiskError when one of the notices could not be written.
    void Finish();

private:
    TRunContext& run_;
    bool flowing_ = true;
};

// Waits until the notices handed to the writer so far are on disk (before the run folder is
// looked at, or a file is stored under a notice's name); throws TDiskError as Finish does.
void WaitForNotices(const TRunContext& run);

// Writes a link notice page into `run.BriefFolder`, under a new page name drawn from
// `run.Counters` (the program's counters when null):
//  - the link's address is ResolveLink(baseAddress, *linkText) when a link text is given, else
//    `baseAddress`; a TocNode is appended to `run.CurrentTocList` and a PageRecord (key = the
//    address without its fragment, Depth 0, Loaded 0) added to `run.PageTable`, when present;
//  - the name is recorded in `run.Catalog`, the page is written with header and footer bars;
//  - finally the name is written into `current`, where the caller is writing the link's href.
// Answers the name, or "error" when no free name exists (then nothing at all is written).
// A write error throws TDiskError.
std::string WriteLinkNotice(TRunContext& run, TOutputFile& current, std::string_view baseAddress,
                            std::optional<std::string_view> linkText, LinkNoticeKind kind,
                            const NoticeBarNames& bar);

// True for the title of a notice page the run writes (a page it could not or would not fetch, a
// link it did not follow): readers of run folders tell them from stored pages by it.
bool IsNoticeTitle(std::string_view title);

} // namespace gathra
