#pragma once
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
class SocketCanceller;
class TBrief;
struct AppSettings;
struct FileNameCounters;

// What lives for the whole run: its settings and ports, the run folder and catalogue, the
// bounds of its transfers, and what it gathers across entries.
struct TRunState {
    const AppSettings* Settings = nullptr;
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

    // The unit of the HTTP client's waits, in milliseconds (tests shorten it).
    int TimeUnitMs = 1000;
    // Ends the run's blocking socket call when the user stops or skips; null means
    // ProgramSocketCanceller().
    SocketCanceller* Canceller = nullptr;
    // PEM text of the certificate authorities that secure pages are checked against; empty: the
    // system's trust store (tests give their own authority here).
    std::string TrustedAuthorities;
    // A single response held in memory larger than this is refused (tests lower it). The body of
    // a file (binary, or text that is not HTML) written as it arrives has no bound but the disk
    // buffer.
    std::size_t MaxResponseBytes = std::size_t(1) << 30;
    // Such a body is written to an unnamed file of the run folder where the file system allows
    // it; false: always to a hidden ".part" file, as where it does not (tests take both paths).
    bool UnnamedSpoolFiles = true;
    // A file's body smaller than this is held and written whole, as pages are: a spool file is
    // only worth its cost for a large one.
    std::size_t SpoolAfterBytes = std::size_t(64) << 10;
    // A page (a text response, held in memory to be rewritten) is cut at this size, with a
    // notice at its end.
    std::size_t MaxPageBytes = std::size_t(64) << 20;
    // A transfer fails when its header is not complete after this many time units, or when a
    // stretch of RateStretchUnits after the header brings fewer than MinStretchBytes.
    int HeaderTimeUnits = 60;
    int RateStretchUnits = 30;
    std::size_t MinStretchBytes = 1024;

    // Answers the free bytes of the run folder's file system; null: std::filesystem::space.
    // Tests count the checks through it.
    std::function<std::uintmax_t()> FreeSpaceProbe;
    // What the last look at the free space allows to be written before the next one
    // (RequireFreeSpace), and TOutputFile::BytesWritten() at that look. A cache of the checks,
    // hence mutable.
    mutable std::uint64_t SpaceAllowance = 0;
    mutable std::uint64_t SpaceLookedAtBytes = 0;
    mutable bool SpaceLooked = false;

    bool SkipOrAbort() const { return Flags != nullptr && Flags->SkipOrAbort(); }
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
struct TRunContext : TRunState, TEntryState, TPageState {};

} // namespace gathra
