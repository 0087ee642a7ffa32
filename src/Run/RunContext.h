#pragma once
#include "Net/NetContext.h"
#include "Platform/FileQueue.h"
#include "Platform/OutputFile.h"
#include "Run/HashTable.h"
#include "Run/LList.h"
#include "Run/NameFixups.h"
#include "Run/RunFlags.h"
#include "Run/TocList.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace gathra {

class Clock;
class RunHost;
class RunIndexing;
class SocketCanceller;
class TBrief;
struct AppSettings;
struct FileNameCounters;

// What lives for the whole run: its settings and ports, the run folder and catalogue, the
// bounds of its transfers, and what it gathers across entries.
struct TRunState : TNetContext {
    TBrief* Brief = nullptr;
    RunFlags* Flags = nullptr; // ProgramRunFlags() in the program
    RunHost* Host = nullptr;   // may be null in tests: status and progress then go nowhere
    const gathra::Clock* Clock = nullptr;

    std::string BriefName;
    std::string BriefFolder; // the run folder, with a trailing separator
    // Start numbers of new file names; null: the program's own (ProgramFileNameCounters()).
    FileNameCounters* Counters = nullptr;

    // The run catalogue: every file written into the run folder is recorded here first.
    TOutputFile Catalog;
    // Where each page file goes once it is closed, to be indexed while the run goes on (null:
    // the run's pages are indexed at its end, or not at all).
    RunIndexing* Indexing = nullptr;

    // Addresses of images whose fetch failed; they are not asked for again.
    std::unordered_set<std::string> FailedImages;
    // The whole entry's notices flow to the writer, a block of many at a time, and pages do not
    // wait for theirs: the writer creates files while this thread waits for the network.
    bool NoticesAcrossPages = false;
    // The first kDirectNotices notices of a page are written at once, as handing them over would
    // cost more than writing them for a page of few links.
    static constexpr int kDirectNotices = 32;
    std::unique_ptr<TFileQueue> NoticeWriter; // made by the first page that is rewritten

    // Statistics of the progress dialog.
    std::int64_t PagesCount = 0;
    std::int64_t ImagesCount = 0;
    std::int64_t TotalBytes = 0;

    // Stylesheets, scripts, fonts and pictures a page needs, fetched once per run: the local
    // name of each address, or an empty name for one that could not be fetched (not asked for
    // again). Failed: how many could not be fetched.
    std::unordered_map<std::string, std::string> PageResources;
    std::int64_t PageResourcesFailed = 0;
    // Stylesheet copies whose text depends on the images setting of the entry that made them
    // (they name pictures, or import such a stylesheet): local name -> that setting. An entry
    // with the other setting makes a copy of its own (PageResources under kOtherPicturesKey
    // followed by the address).
    std::unordered_map<std::string, bool> PictureStylesheets;
    static constexpr char kOtherPicturesKey = '\n';

    // Answers the free bytes of the run folder's file system; null: std::filesystem::space.
    // Tests count the checks through it.
    std::function<std::uintmax_t()> FreeSpaceProbe;
    // What the last look at the free space allows to be written before the next one
    // (RequireFreeSpace), and TOutputFile::BytesWritten() at that look. A cache of the checks,
    // hence mutable.
    mutable std::uint64_t SpaceAllowance = 0;
    mutable std::uint64_t SpaceLookedAtBytes = 0;
    mutable bool SpaceLooked = false;
};

// What lives for one entry: made afresh when an entry begins (TSkeinThread::ResetEntryTables).
struct TEntryState {
    std::unique_ptr<THashTable> PageTable;
    std::unique_ptr<TOCList> TocRoot;
    // Links found on the current level and on the next one.
    std::unique_ptr<TLList> LevelQueue[2];
    int LevelSelector = 1;
    // References to page names that may still change (applied when the entry ends).
    TNameFixups NameFixups;
    // The entry's own address is a local file: only then may the run read local files
    // ("file://" addresses). A page fetched over the network cannot lead the run to them.
    bool LocalEntry = false;
};

// What belongs to the page being stored.
struct TPageState {
    // The site-map list its links are added to (that of the page's own node).
    TOCList* CurrentTocList = nullptr;
    // Writes notice pages on a thread of its own. Set while a page is rewritten (RewritePage
    // waits for its files before it returns) or, with NoticesAcrossPages, while an entry is
    // spidered (its notices are all on disk when the spidering ends); elsewhere a notice is on
    // disk when WriteLinkNotice returns.
    TFileQueue* NoticeQueue = nullptr;
    // Notices of the page so far (see kDirectNotices).
    int PageNotices = 0;
};

// Everything one brief run works with, handed to the routines of the engine and the page
// rewriter (the HTTP client, the notice pages, the scanner, the spider). One run at a time; only
// the run thread touches it. A routine that needs only one part, or only reads, takes that.
struct TRunContext : TRunState, TEntryState, TPageState {
    // What the HTTP client asks of the run.
    bool SkipOrAbort() const override { return Flags != nullptr && Flags->SkipOrAbort(); }
    TransferObserver* Observer() const override;
    const std::string& SpoolFolder() const override { return BriefFolder; }
    void CheckFreeSpace() const override;
};

} // namespace gathra
