#pragma once
#include "Platform/OutputFile.h"

#include <string>
#include <string_view>

namespace gathra {

struct TPageContext;

// The links of a page's navigation bars (see NavigationBar.h); the brief name comes from the run.
struct TBarLinks {
    std::string WebAddressLink; // the page on the web; empty: no such item
    std::string SiteMapLink;    // the entry's site map; empty: no such item
    std::string BriefLink;      // the brief summary page
};

// Readies the front of a stored page before its header, on the prepared page (before its marked
// copy is made): a frameset page gets an outer frameset whose 36 pixel top frame shows the bar
// from a header frame file of its own (not for a page in a frame), and its own frameset tag moves
// in front; any other page has its body tags (background pictures stored or replaced) moved to
// the front of the output file. Then every page's script blocks follow them. Moved bytes are
// blanked in the page. `page.BaseAddress` must be the page's own address. Answers whether the page
// is a frameset.
bool WrapPage(TPageContext& page, const TBarLinks& bar);

// The tags that close a stored page: "</frameset></html>" or "</body></html>", with CR LF after
// them for an entry's top page.
void WritePageClosing(TOutputFile& out, bool isFrameset, bool lineBreak);

} // namespace gathra
