#include "Run/EntrySpider.h"

#include "Brief/WebPage.h"
#include "Html/HtmlScanner.h"
#include "Net/FetchAhead.h"
#include "Net/HttpClient.h"
#include "Run/FileNames.h"
#include "Run/NavigationBar.h"
#include "Run/Notices.h"
#include "Run/PageFrame.h"
#include "Run/PageRewriter.h"
#include "Run/RunContext.h"
#include "Run/RunHost.h"
#include "Settings/AppSettings.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <tuple>
#include <unordered_set>
#include <utility>
#include <vector>

namespace gathra {

namespace {

void ShowItem(const TRunState& run, ProgressLabel label, const std::string& text) {
    if (run.Host != nullptr) run.Host->UpdateItem(label, text);
}

void SetStatus(const TRunState& run, const std::string& text) {
    if (run.Host != nullptr) run.Host->SetStatusText(text);
}

// The page's title, else `address`; a found title is shown as the current page.
std::string TitleOrAddress(const TRunState& run, std::string_view page, std::string_view address) {
    std::optional<std::string> title = TitleOfPage(page);
    // An empty title would leave the page out of the site map, which lists titled pages only.
    if (!title || title->empty()) return std::string(address);
    ShowItem(run, ProgressLabel::CurrAddr, *title);
    return *title;
}

TPageContext MakeContext(TRunContext& run, const TWebPage& entry, const TEntryNames& names,
                         TOutputFile& out, std::string& page, std::string_view siteMapLink) {
    TPageContext ctx;
    ctx.Run = &run;
    ctx.Out = &out;
    ctx.Page = &page;
    ctx.EntryAddress = EntryAddressOf(names.EntryAddress);
    ctx.LoadImages = entry.LoadImages != 0;
    ctx.LoadBinaries = entry.LoadBinaries != 0;
    ctx.UserName = entry.UserName;
    ctx.Password = entry.Password;
    ctx.AgentComment = entry.AgentComment;
    ctx.SummaryName = names.SummaryName;
    ctx.SiteMapName = std::string(siteMapLink);
    ctx.EntryName = entry.EntryName;
    return ctx;
}

// Takes the page's base address and rewrites it into the context's output; the tags are paired
// on the page itself as the scan reaches them, without a marked copy of the page.
void MarkAndRewrite(TPageContext& ctx) {
    if (std::optional<std::string> base = TakeBaseHref(*ctx.Page)) ctx.BaseAddress = *base;
    ctx.Marked = nullptr;
    // The spider is done with a page once it is rewritten.
    ctx.UseUpPage = true;
    RewritePage(ctx);
}

bool HasExtension(std::string_view name, std::string_view ext) {
    return name.size() > ext.size() && name[name.size() - ext.size() - 1] == '.' &&
           name.substr(name.size() - ext.size()) == ext;
}

// Gives a page reserved under one extension the name of the same number with `ext` (or a new
// name when that is taken); the links written to the old name are patched when the entry ends.
void RenameStored(TRunContext& run, PageRecord& record, std::string_view ext) {
    std::string name = WithExtension(record.LocalName(), ext);
    // The folder is looked at: the notices on their way must be in it.
    WaitForNotices(run);
    std::error_code error;
    if (std::filesystem::exists(
            std::filesystem::symlink_status(PosixPath(InFolder(run.BriefFolder, name)), error)))
        name = NewPageName(CountersOf(run), run.BriefFolder, ext);
    if (name == kNoFreeName) return;
    run.NameFixups.Rename(std::string(record.LocalName()), name);
    run.PageTable->Rename(record, name);
}

std::string SiteMapLinkOf(const TWebPage& entry, const TEntryNames& names) {
    return entry.SpiderDepth > 1 ? names.SiteMapName : std::string();
}

} // namespace

// A brief file may ask for any depth and a site may have no end of new pages, so the tree can
// be as deep as the run went: it is walked with a stack of its own rather than by recursion.
std::string LevelText(std::int64_t level, std::int32_t depth) {
    const std::string of = " of " + std::to_string(depth);
    if (level > depth) return std::to_string(depth) + of + ", frames";
    return std::to_string(level) + of;
}

void WriteTocList(const TOCList& list, TOutputFile& siteMap) {
    // Where each open child list's parent list goes on.
    std::vector<std::pair<const TOCList*, int>> resume;
    const TOCList* current = &list;
    int next = 0;
    for (;;) {
        while (next < current->Count()) {
            const TocNode* node = current->At(next++);
            if (!node->Title().empty()) {
                siteMap << "<li><a href=\"";
                if (node->Page != nullptr) siteMap << node->Page->LocalName();
                siteMap << node->Anchor();
                siteMap << "\">" << node->Title() << "</a></li>";
            }
            if (node->Children != nullptr && node->Children->Count() > 0) {
                siteMap << "<ul>";
                resume.emplace_back(current, next);
                current = node->Children.get();
                next = 0;
            }
        }
        if (resume.empty()) return;
        siteMap << "</ul>";
        std::tie(current, next) = resume.back();
        resume.pop_back();
    }
}

namespace {

// Stores a file, or text that is not HTML, as it came: under its record's name (a text's ".htm"
// name becomes ".txt") or a new one.
void StoreAsItCame(TRunContext& run, PageRecord* record, TResponseBuffer& buffer,
                   const TFetchResult& fetched, const std::string& address, std::int32_t depth,
                   bool siteMapOn) {
    ++run.ImagesCount;
    run.TotalBytes += static_cast<std::int64_t>(buffer.ResponseSize());
    ShowRunCounts(run);
    std::string name;
    if (record != nullptr) {
        // A browser would read text under a page's name as HTML.
        if (fetched.IsText && HasExtension(record->LocalName(), "htm"))
            RenameStored(run, *record, "txt");
        name = record->LocalName();
        record->Depth = depth;
        record->Loaded = 1;
        // Text files are listed in the site map as they were as pages, leading to the file.
        if (fetched.IsText && siteMapOn && record->Toc != nullptr) record->Toc->SetTitle(address);
    } else {
        name = NewPageName(CountersOf(run), run.BriefFolder, fetched.IsText ? "txt" : "htm");
    }
    if (name != kNoFreeName) StoreBody(run, buffer, name);
}

} // namespace

namespace {

// Names the pages SpiderPage will fetch next, in its order, so that they are fetched ahead (fast
// transfers): as many as may wait, each address once, and none that is stored deeply enough
// already. It goes on from the page it looked at last, so each queued page is looked at once;
// when a level's queue is looked through, it goes on into the next level's queue, which the pages
// of this level fill as they are stored. Every page of the level before the next level's first
// was looked at first, so one stored by this level is named once, for this level.
class TLookAhead {
public:
    TLookAhead(TRunContext& run, const TWebPage& entry, const TEntryNames& names)
        : run_(run), entry_(entry), names_(names) {}

    // Called before each page of level `level` (whose pages of Flag 1 have depth t), so that
    // what the pages before it stored is seen.
    void Expect(std::int64_t level, std::int32_t t) {
        if (run_.Ahead == nullptr || run_.PageTable == nullptr) return;
        if (level_ < level) {
            level_ = level;
            last_ = nullptr;
        }
        while (run_.Ahead->Pending() < run_.Ahead->Window()) {
            const bool thisLevel = level_ == level;
            const TLList* queue =
                run_.LevelQueue[thisLevel ? run_.LevelSelector : 1 - run_.LevelSelector].get();
            const TextRecord* record = last_ != nullptr   ? last_->Next
                                       : queue != nullptr ? queue->First()
                                                          : nullptr;
            if (record == nullptr) {
                if (!thisLevel) return;
                level_ = level + 1;
                last_ = nullptr;
                continue;
            }
            last_ = record;
            ExpectPage(*record, thisLevel ? t : OneLevelLess(t));
        }
    }

    // Names the pictures that the storing of this level's pages fetched ahead (from the next
    // page on, in their order, up to the first still being fetched) will fetch, so that they are
    // fetched while the pages before them are stored. Called after Expect.
    void PlanPictures(std::int64_t level, std::int32_t t) {
        if (run_.Ahead == nullptr || run_.PageTable == nullptr) return;
        if (plannedLevel_ != level) {
            plannedLevel_ = level;
            planned_ = nullptr;
        }
        const TLList* queue = run_.LevelQueue[run_.LevelSelector].get();
        for (;;) {
            // Only pages Expect looked at: one not expected yet is not fetched yet either.
            if (level_ == level && (last_ == nullptr || planned_ == last_)) return;
            const TextRecord* record = planned_ != nullptr ? planned_->Next
                                       : queue != nullptr  ? queue->First()
                                                           : nullptr;
            if (record == nullptr) return;
            std::optional<TFetchRequest> request = RequestOf(*record, t);
            TFetchAhead::Peeked peeked;
            if (request) peeked = run_.Ahead->Peek(*request, true, kMostPlannedBytes);
            if (peeked.State == TFetchAhead::Peeked::Waiting) return;
            planned_ = record;
            if (peeked.State == TFetchAhead::Peeked::Ready &&
                PlanPage(*request, peeked, record->Flag == 1))
                whole_.emplace(record->Text);
        }
    }

    // Whether every fetch of the storing of page `key` was expected (its scan ahead left out
    // nothing): it need not be scanned again.
    bool TakeWhole(const std::string& key) { return whole_.erase(key) != 0; }

    // The first record of level `level`'s queue is about to be removed.
    void Removing(std::int64_t level, const TextRecord* record) {
        if (level_ == level && last_ == record) last_ = nullptr;
        if (plannedLevel_ == level && planned_ == record) planned_ = nullptr;
    }

private:
    // A page larger than this is only looked at when it is stored.
    static constexpr std::size_t kMostPlannedBytes = std::size_t(1) << 20;

    // The fetch SpiderPage will make for record, on a level whose frames have depth t; none
    // when it will not fetch the page (too deep, or stored deeply enough already).
    std::optional<TFetchRequest> RequestOf(const TextRecord& record, std::int32_t t) const {
        const std::string_view key(record.Text);
        const std::int32_t depth = record.Flag == 1 ? t : OneLevelLess(t);
        if (depth < 0) return std::nullopt;
        const PageRecord* stored = run_.PageTable->Find(key.substr(0, key.find('#')));
        if (stored != nullptr && stored->Loaded == 1 && stored->Depth >= depth) return std::nullopt;
        std::string address(
            key.substr(key.rfind(kFrameKeyPrefix, 0) == 0 ? kFrameKeyPrefix.size() : 0));
        return RunFetchRequest(run_, entry_, address, names_.EntryAddress, entry_.LoadImages != 0,
                               entry_.LoadBinaries != 0);
    }

    void ExpectPage(const TextRecord& record, std::int32_t t) {
        // An address expected already and not asked for yet is not expected again.
        if (std::optional<TFetchRequest> request = RequestOf(record, t))
            run_.Ahead->Expect(*request, true);
    }

    // Prepares a copy of a page fetched ahead as SpiderPage prepares the page, and scans it for
    // the pictures its storing will fetch, without fetching or writing anything. True when
    // that is all it will fetch.
    bool PlanPage(const TFetchRequest& request, TFetchAhead::Peeked& peeked, bool inFrame) {
        const TFetchResult& fetched = peeked.Result;
        if (fetched.Result == 0 || ((fetched.IsBinary || fetched.IsText) && fetched.IsContent))
            return false;
        TResponseBuffer buffer;
        buffer.MutableBytes() = std::move(peeked.Bytes);
        buffer.SetHasHeader(peeked.HasHeader);
        PrepareBody(buffer, true, run_.Settings != nullptr && run_.Settings->KeepPageResources);
        TOutputFile unused; // nothing is written while planning
        const std::string siteMapLink = SiteMapLinkOf(entry_, names_);
        TPageContext ctx =
            MakeContext(run_, entry_, names_, unused, buffer.MutableBytes(), siteMapLink);
        TFetchPlan plan;
        plan.Ahead = true;
        plan.Before = &plannedAddresses_;
        ctx.Plan = &plan;
        ctx.BaseAddress = fetched.Address;
        ctx.InFrame = inFrame;
        ctx.IsContent = fetched.IsContent;
        ctx.IsFrameset = WrapPage(ctx, TBarLinks{});
        if (std::optional<std::string> base = TakeBaseHref(*ctx.Page)) ctx.BaseAddress = *base;
        PlanRewrite(ctx);
        if (plan.Fetches.empty()) return !plan.Partial;
        plannedAddresses_.insert(plan.Addresses.begin(), plan.Addresses.end());
        return run_.Ahead->ExpectAfter(request, true, plan.Fetches) && !plan.Partial;
    }

    TRunContext& run_;
    const TWebPage& entry_;
    const TEntryNames& names_;
    std::int64_t level_ = 0;           // the level of the queue looked at
    const TextRecord* last_ = nullptr; // the record of that queue looked at last; none: its first
    std::int64_t plannedLevel_ = 0;    // the level PlanPictures looks at
    const TextRecord* planned_ = nullptr; // the record it looked at last; none: the first
    std::unordered_set<std::string> plannedAddresses_; // pictures named ahead this entry
    std::unordered_set<std::string> whole_; // pages whose every fetch is expected, by key
};

} // namespace

void SpiderPage(TRunContext& run, TWebPage& entry, const TEntryNames& names, std::string_view key,
                std::int32_t depth, bool inFrame, bool siteMapOn, bool fetchesExpected) {
    if (run.SkipOrAbort() || depth < 0 || run.PageTable == nullptr) return;
    std::string address(
        key.substr(key.rfind(kFrameKeyPrefix, 0) == 0 ? kFrameKeyPrefix.size() : 0));
    std::string webLink = WebAddressLink(address);
    std::string tableKey(key.substr(0, key.find('#')));
    PageRecord* record = run.PageTable->Find(tableKey);
    ShowItem(run, ProgressLabel::CurrAddr, address);
    if (record != nullptr && record->Loaded == 1 && record->Depth >= depth) return;

    TResponseBuffer buffer;
    buffer.SetSpoolsFiles(true);
    TFetchResult fetched =
        FetchInTurn(RunFetchRequest(run, entry, address, names.EntryAddress, entry.LoadImages != 0,
                                    entry.LoadBinaries != 0),
                    buffer, run);
    address = fetched.Address;
    if (fetched.Result == 0) {
        SetStatus(run, " Gathra Light");
        return;
    }
    // What is stored now goes under the name of the notice that stood for the page so far; that
    // notice may still be on its way to the disk, and must not land over the page.
    if (record != nullptr && record->NoticeQueued == 1) WaitForNotices(run);

    // A file, or text that is not HTML, is stored as it came. A notice standing in for a file
    // is a page like any other notice.
    if ((fetched.IsBinary || fetched.IsText) && fetched.IsContent) {
        StoreAsItCame(run, record, buffer, fetched, address, depth, siteMapOn);
        return;
    }

    ++run.PagesCount;
    run.TotalBytes += static_cast<std::int64_t>(buffer.Size());
    ShowRunCounts(run);
    PrepareBody(buffer, true, run.Settings != nullptr && run.Settings->KeepPageResources);
    // A page (or a notice) reached through a link named like a file or a server's script
    // ("report.pdf", "about.php", "page.aspx") is still a page: under such a name a browser would
    // not show it as one.
    if (record != nullptr && !HasExtension(record->LocalName(), "htm"))
        RenameStored(run, *record, "htm");
    std::string name = record != nullptr ? std::string(record->LocalName())
                                         : NewPageName(CountersOf(run), run.BriefFolder, "htm");
    if (name == kNoFreeName) return;
    if (record != nullptr) {
        record->SmartMatch = 0;
        record->Depth = depth;
        record->Loaded = 1;
    } else {
        TocNode* node = nullptr;
        if (run.CurrentTocList != nullptr) {
            run.CurrentTocList->Append("");
            node = run.CurrentTocList->Last();
        }
        record = run.PageTable->Add(tableKey, name, 0, depth, 1, node, 0);
    }
    std::string& page = buffer.MutableBytes();
    if (siteMapOn && (fetched.IsContent || fetched.WasExternal) && record->Toc != nullptr)
        record->Toc->SetTitle(TitleOrAddress(run, page, address));
    if (fetched.WasExternal) webLink.clear();

    if (!CatalogName(run.Catalog, name)) return;
    TOutputFile out(InFolder(run.BriefFolder, name));
    std::string siteMapLink = SiteMapLinkOf(entry, names);
    TPageContext ctx = MakeContext(run, entry, names, out, page, siteMapLink);
    ctx.BaseAddress = address;
    ctx.PageAddress =
        tableKey.substr(tableKey.rfind(kFrameKeyPrefix, 0) == 0 ? kFrameKeyPrefix.size() : 0);
    ctx.InFrame = inFrame;
    TBarLinks bar{webLink, siteMapLink, names.SummaryName};
    ctx.IsFrameset = WrapPage(ctx, bar);
    const bool withBar = !ctx.IsFrameset && !inFrame;
    if (withBar)
        PrintBriefHeader(out, run, false, webLink, siteMapLink, names.SummaryName, run.BriefName);
    if (record->Toc != nullptr) run.CurrentTocList = record->Toc->ChildList();
    ctx.RemainingDepth = depth;
    ctx.IsContent = fetched.IsContent;
    ctx.FetchesExpected = fetchesExpected;
    MarkAndRewrite(ctx);
    if (withBar) PrintBriefFooter(out, webLink, siteMapLink, names.SummaryName);
    WritePageClosing(out, ctx.IsFrameset, false);
    out.Close();
}

bool SpiderEntry(TRunContext& run, TWebPage& entry, const TEntryNames& names,
                 TResponseBuffer& topPage, TOutputFile& topOut, bool isContent) {
    const std::string webLink = WebAddressLink(names.EntryAddress);
    entry.RunFiles.push_back(names.TopPageName);
    entry.RunNotes.push_back(names.StartStamp);
    std::string& page = topPage.MutableBytes();

    TOutputFile siteMap;
    bool siteMapStarted = false;
    bool isFrameset = false;
    bool diskFailed = false;
    std::string diskCause;
    std::optional<SpaceBelowBuffer> diskSpace;
    std::string siteMapLink;
    // The entry's notices flow to the writer while it is spidered; they are all on disk when
    // the spidering ends, also when it fails.
    TNoticeFlow notices(run, true);
    try {
        if (entry.SpiderDepth > 1 && !names.SiteMapName.empty() &&
            CatalogName(run.Catalog, names.SiteMapName)) {
            siteMap.Open(InFolder(run.BriefFolder, names.SiteMapName));
            siteMapStarted = true;
            siteMapLink = names.SiteMapName;
            siteMap << "<html><body bgcolor=#FFFFFF text=\"0000FF\" link=\"FF0000\">"
                       "<title>Site Map</title>";
            PrintBriefHeader(siteMap, run, false, "", "", names.SummaryName, run.BriefName);
            siteMap << "<h1>Site Map</h1><ul>";
            if (run.TocRoot != nullptr && run.TocRoot->Last() != nullptr)
                run.TocRoot->Last()->SetTitle(TitleOrAddress(run, page, names.EntryAddress));
            siteMap << "<ul>";
        }

        TPageContext ctx = MakeContext(run, entry, names, topOut, page, siteMapLink);
        ctx.BaseAddress = names.EntryAddress;
        ctx.PageAddress = ctx.EntryAddress;
        ctx.InFrame = false;
        TBarLinks bar{webLink, siteMapLink, names.SummaryName};
        isFrameset = WrapPage(ctx, bar);
        ctx.IsFrameset = isFrameset;
        if (!isFrameset)
            PrintBriefHeader(topOut, run, false, webLink, siteMapLink, names.SummaryName,
                             run.BriefName);
        if (run.TocRoot != nullptr && run.TocRoot->First() != nullptr)
            run.CurrentTocList = run.TocRoot->First()->ChildList();
        ctx.RemainingDepth = entry.SpiderDepth;
        ctx.IsContent = isContent;
        MarkAndRewrite(ctx);
        // The levels below never read the top page again: its memory is not held through them.
        std::string().swap(page);

        TLookAhead lookAhead(run, entry, names);
        std::int32_t t = entry.SpiderDepth;
        for (std::int64_t level = 2;; ++level, t = OneLevelLess(t)) {
            if (run.SkipOrAbort()) break;
            run.LevelSelector = run.LevelSelector == 0 ? 1 : 0;
            TLList* queue = run.LevelQueue[run.LevelSelector].get();
            if (queue == nullptr || queue->First() == nullptr) break;
            if (entry.SpiderDepth > 1)
                ShowItem(run, ProgressLabel::CurrDepth, LevelText(level, entry.SpiderDepth));
            for (TextRecord* record = queue->First(); record != nullptr; record = queue->First()) {
                lookAhead.Expect(level, t);
                lookAhead.PlanPictures(level, t);
                // The record is removed before the page is stored, so a copy of its text is used.
                std::string key(record->Text);
                bool frame = record->Flag == 1;
                lookAhead.Removing(level, record);
                queue->Remove(record);
                SpiderPage(run, entry, names, key, frame ? t : OneLevelLess(t), frame,
                           entry.SpiderDepth > 1, lookAhead.TakeWhole(key));
            }
        }
        notices.Finish();
    } catch (const TDiskError& error) {
        diskFailed = true;
        diskCause = error.Cause();
        diskSpace = error.Space();
    }

    if (siteMapStarted) {
        if (run.TocRoot != nullptr) WriteTocList(*run.TocRoot, siteMap);
        siteMap << "</ul></ul>";
        PrintBriefFooter(siteMap, "", "", names.SummaryName);
        siteMap << "</body></html>\r\n";
        siteMap.Close();
    }
    if (diskFailed) throw TDiskError("Disk Full", diskCause, diskSpace);
    return isFrameset;
}

} // namespace gathra
