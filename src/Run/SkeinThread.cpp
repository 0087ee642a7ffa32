#include "Run/SkeinThread.h"

#include "Run/RunIndexHook.h"

#include "Brief/Brief.h"
#include "Net/HttpClient.h"
#include "Platform/SocketCanceller.h"
#include "Run/EntrySpider.h"
#include "Run/NavigationBar.h"
#include "Run/Notices.h"
#include "Run/PageRewriter.h"
#include "Run/RunHost.h"
#include "Run/SummaryPage.h"
#include "Settings/AppSettings.h"
#include "Text/AsciiText.h"

#include <cassert>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace gathra {

namespace {

constexpr int kPageTableBuckets = 97;

std::atomic<bool> gRunActive{false};

// The position of a "://" that has no "/" before it, or npos.
size_t SchemeMark(std::string_view address) {
    size_t mark = address.find("://");
    if (mark == std::string_view::npos) return mark;
    if (address.substr(0, mark).find('/') != std::string_view::npos) return std::string_view::npos;
    return mark;
}

// The original link of the summary and the bars: the address as it stands when it carries its own
// scheme, else with "http://" in front.
std::string OriginalLink(std::string_view fetchAddress) {
    if (SchemeMark(fetchAddress) != std::string_view::npos) return std::string(fetchAddress);
    return "http://" + std::string(fetchAddress);
}

} // namespace

EntryTarget ClassifyEntry(const TWebPage& entry) {
    EntryTarget target;
    if (entry.IsSearchEntry()) {
        std::string query = entry.EntryName;
        for (char& c : query)
            if (c == ' ') c = '+';
        target.FetchAddress = "http://" + std::string(kSearchHost) + "/bin/search?p=" + query;
        return target;
    }
    const std::string& address = entry.Address;
    target.FetchAddress = address;
    if (EqualsNoCase(std::string_view(address).substr(0, 5), "file:")) return target;
    size_t mark = SchemeMark(address);
    if (mark == std::string::npos) return target;
    if (mark == 5 && EqualsNoCase(std::string_view(address).substr(0, 5), "https")) {
        target.FetchAddress = "https://" + address.substr(mark + 3);
    } else if (mark < 4 || !EqualsNoCase(std::string_view(address).substr(mark - 4, 4), "http")) {
        target.NonHttp = true;
        target.Mail =
            mark >= 6 && EqualsNoCase(std::string_view(address).substr(mark - 6, 6), "mailto");
    } else {
        target.FetchAddress = address.substr(mark + 3);
    }
    if (address.find_first_of("/\\", mark + 3) == std::string::npos) target.FetchAddress += "/";
    return target;
}

std::string TopFileExtension(std::string_view fetchAddress) {
    size_t slash = fetchAddress.rfind('/');
    size_t question = fetchAddress.rfind('?');
    if (question != std::string_view::npos && (slash == std::string_view::npos || question > slash))
        return "";
    size_t dot = fetchAddress.rfind('.');
    if (dot == std::string_view::npos) return "";
    size_t backslash = fetchAddress.rfind('\\');
    if (slash != std::string_view::npos && dot < slash) return "";
    if (backslash != std::string_view::npos && dot < backslash) return "";
    std::string ext(fetchAddress.substr(dot + 1));
    for (char& c : ext)
        c = AsciiLower(c);
    return ext;
}

std::optional<std::uint64_t> FreeSpaceOf(const std::string& folder) {
    std::error_code ec;
    std::filesystem::space_info info = std::filesystem::space(PosixPath(folder), ec);
    if (ec) return std::nullopt;
    return info.available;
}

TSkeinThread::TSkeinThread(TBrief& brief, Options options)
    : brief_(brief), options_(std::move(options)),
      flags_(options_.Flags != nullptr ? *options_.Flags : ProgramRunFlags()),
      canceller_(options_.Canceller != nullptr ? *options_.Canceller : ProgramSocketCanceller()),
      counters_(options_.Counters != nullptr ? *options_.Counters : ProgramFileNameCounters()) {
    assert(options_.Settings != nullptr && options_.Host != nullptr && options_.Clock != nullptr);
}

TSkeinThread::~TSkeinThread() {
    Join();
}

bool TSkeinThread::AnyRunActive() {
    return gRunActive.load();
}

bool TSkeinThread::Start() {
    bool expected = false;
    if (thread_.joinable() || !gRunActive.compare_exchange_strong(expected, true)) return false;
    thread_ = std::thread([this] {
        Run();
        gRunActive = false;
        if (options_.OnFinished) options_.OnFinished();
    });
    return true;
}

void TSkeinThread::Join() {
    if (thread_.joinable()) thread_.join();
}

bool TSkeinThread::RunHere() {
    bool expected = false;
    if (!gRunActive.compare_exchange_strong(expected, true)) return false;
    Run();
    gRunActive = false;
    return true;
}

void TSkeinThread::Run() {
    outcome_ = RunOutcome{};
    summary_.reset();
    folderNumber_.clear();
    catalogOpen_ = locked_ = progressShown_ = false;
    run_.Settings = options_.Settings;
    run_.Brief = &brief_;
    run_.Flags = &flags_;
    run_.Host = options_.Host;
    run_.Clock = options_.Clock;
    run_.Counters = &counters_;
    run_.Canceller = &canceller_;
    run_.TimeUnitMs = options_.TimeUnitMs;
    run_.TrustedAuthorities = options_.TrustedAuthorities;
    run_.BriefName = brief_.BriefName;
    run_.SpaceLooked = false;
    // Fast transfers share one pool of kept connections for the whole run; classic ones open a
    // connection per request.
    ahead_.reset();
    pool_.reset();
    if (options_.Settings != nullptr && !options_.Settings->ClassicTransfers) {
        pool_ = std::make_unique<TConnectionPool>(options_.Settings->ConnectionsPerSite,
                                                  options_.Settings->RequestPauseMs, run_.Ticks);
        pool_->AllowHttp2(Http2Wanted());
        run_.Pool = pool_.get();
        // Several connections at once: the pages of a level are fetched while earlier ones are
        // stored.
        if (options_.Settings->ConnectionsPerSite > 1)
            ahead_ = std::make_unique<TFetchAhead>(run_, pool_->FetchesAtOnce());
    }
    run_.Pool = pool_.get();
    run_.Ahead = ahead_.get();

    brief_.HomeFolder = brief_.BriefFolder;
    std::optional<std::uint64_t> free =
        options_.FreeSpace ? options_.FreeSpace(brief_.HomeFolder) : FreeSpaceOf(brief_.HomeFolder);
    // Unknown free space counts as none: a folder that cannot even be examined will not take a
    // brief either.
    const std::int64_t buffer = options_.Settings->DiskBufferBytes;
    if (!free) {
        ReportDiskError();
        return;
    }
    if (buffer >= 0 && *free <= static_cast<std::uint64_t>(buffer)) {
        ReportDiskError({}, SpaceBelowBuffer{*free, static_cast<std::uint64_t>(buffer)});
        return;
    }

    RunFolderName folder;
    try {
        folder = CreateRunFolder(brief_.HomeFolder);
    } catch (const TDiskError& error) {
        ReportDiskError(error.Cause());
        return;
    }
    outcome_.Started = true;
    // The indexing thread ends with the run, whichever way the run ends.
    struct EndIndexing {
        TSkeinThread& Thread;
        ~EndIndexing() {
            Thread.run_.Indexing = nullptr;
            Thread.indexing_.reset();
        }
    } endIndexing{*this};
    const std::string runFolder = folder.Path + "/";
    // The folder was made just now by this run, so it holds only what the run names in it: new
    // names need no look at the disk.
    counters_.ClaimFreshFolder(runFolder);
    struct Release {
        FileNameCounters& Counters;
        ~Release() { Counters.ReleaseFreshFolder(); }
    } release{counters_};
    outcome_.RunFolder = runFolder;
    folderNumber_ = folder.Number;
    const std::string summaryName = NewSummaryName(counters_, runFolder);
    // No free summary name: the empty folder stays and nothing else happens.
    if (summaryName == kNoFreeName) return;
    outcome_.SummaryName = summaryName;
    outcome_.SummaryPath = runFolder + summaryName;
    brief_.BriefFolder = runFolder;
    run_.BriefFolder = runFolder;

    try {
        RunBody();
    } catch (const TDiskError& error) {
        ReportDiskError(error.Cause(), error.Space());
    }
    Finish();
}

void TSkeinThread::RunBody() {
    const std::string& summaryName = outcome_.SummaryName;
    run_.Catalog.Open(run_.BriefFolder + CatalogFileName(summaryName));
    catalogOpen_ = true;
    WriteCatalogHead(run_.Catalog, folderNumber_, summaryName);

    summary_.emplace(run_.BriefFolder + summaryName);
    WriteSummaryFirstLines(*summary_, brief_.BriefName, options_.Settings->ProgramFolder);
    outcome_.StartStamp = WriteSummaryHead(*summary_, run_, brief_.BriefName, brief_.Comments);
    if (options_.Index != nullptr) {
        indexing_ = options_.Index->RunStarted(IndexedRun());
        run_.Indexing = indexing_.get();
    }

    flags_.AbortFlag = 0;
    options_.Host->LockControls(brief_);
    locked_ = true;
    flags_.RunActive = 1;
    run_.PagesCount = run_.ImagesCount = run_.TotalBytes = 0;
    options_.Host->CreateProgress();
    options_.Host->ShowProgress();
    progressShown_ = true;
    options_.Host->UpdateItem(ProgressLabel::BriefName, brief_.BriefName);
    ShowStatistics();

    bool firstActive = true;
    for (int i = 0; i < brief_.WebList.Count(); ++i) {
        TWebPage& entry = brief_.WebList.Entry(i);
        options_.Host->UpdateItem(ProgressLabel::CurrDepth,
                                  "1 of " + std::to_string(entry.SpiderDepth));
        if (entry.Active == 0) continue;
        EntryEnd end = RunEntry(entry, firstActive);
        firstActive = false;
        if (end == EntryEnd::Stop) {
            outcome_.Stopped = true;
            break;
        }
    }
}

void TSkeinThread::ResetEntryTables() {
    run_.LevelSelector = 1;
    run_.NameFixups.Clear();
    run_.LevelQueue[0] = std::make_unique<TLList>();
    run_.LevelQueue[1] = std::make_unique<TLList>();
    run_.PageTable = std::make_unique<THashTable>(kPageTableBuckets);
    run_.TocRoot = std::make_unique<TOCList>();
    run_.CurrentTocList = run_.TocRoot.get();
}

void TSkeinThread::FreeEntryTables() {
    // Nothing fetched ahead and no idle connection is kept from one entry to the next.
    if (ahead_ != nullptr) ahead_->Forget();
    if (pool_ != nullptr) pool_->CloseIdle();
    run_.CurrentTocList = nullptr;
    run_.TocRoot.reset();
    run_.PageTable.reset();
}

TSkeinThread::EntryEnd TSkeinThread::EntryInterrupted() {
    if (flags_.AbortFlag.load() != 0) {
        FreeEntryTables();
        return EntryEnd::Stop;
    }
    // A skip abandons the rest of the entry and puts up a fresh progress dialog for the next.
    FreeEntryTables();
    ReplaceProgressDialog();
    return EntryEnd::Next;
}

TSkeinThread::EntryEnd TSkeinThread::RunEntry(TWebPage& entry, bool firstActive) {
    ResetEntryTables();
    if (!firstActive) WriteSummaryEntrySeparator(*summary_);
    const EntryTarget target = ClassifyEntry(entry);

    flags_.SkipFlag = 0;
    // A cancel left from an earlier skip must not end this entry's first call; a new one is seen
    // through the flags tested right after.
    canceller_.Reset();
    options_.Host->UpdateItem(ProgressLabel::CurrEntry, entry.EntryName);
    if (flags_.SkipOrAbort()) return EntryInterrupted();
    options_.Host->UpdateItem(ProgressLabel::CurrAddr, target.FetchAddress);

    run_.LocalEntry = EqualsNoCase(std::string_view(target.FetchAddress).substr(0, 5), "file:");
    TResponseBuffer buffer;
    buffer.SetSpoolsFiles(true);
    std::string fetchAddress = target.FetchAddress;
    TFetchResult fetched;
    if (!target.NonHttp) {
        TFetchRequest request = RunFetchRequest(run_, entry, target.FetchAddress,
                                                target.FetchAddress, entry.LoadImages != 0, false);
        request.LocalOnly = false;
        fetched = FetchDocument(request, buffer, run_);
        fetchAddress = fetched.Address;
        options_.Host->SetStatusText(std::string(kIdleStatus));
        if (fetched.Result == 0) {
            if (flags_.SkipOrAbort()) return EntryInterrupted();
            FreeEntryTables();
            return EntryEnd::Next;
        }
    }

    EntryTarget stored = target;
    stored.FetchAddress = fetchAddress;
    // A notice standing in for a file is stored as a page, like every notice.
    if (!target.NonHttp && (fetched.IsBinary || fetched.IsText) && fetched.IsContent)
        StoreTopFile(entry, fetchAddress, buffer, fetched.IsText);
    else
        StoreTopPage(entry, stored, buffer, fetched.IsContent);

    buffer.Clear();
    if (flags_.SkipOrAbort()) return EntryInterrupted();
    FreeEntryTables();
    return EntryEnd::Next;
}

void TSkeinThread::StoreTopFile(TWebPage& entry, const std::string& fetchAddress,
                                TResponseBuffer& buffer, bool isText) {
    ++run_.ImagesCount;
    run_.TotalBytes += static_cast<std::int64_t>(buffer.ResponseSize());
    ShowStatistics();
    const std::string name = NewPageName(counters_, run_.BriefFolder,
                                         isText && TopFileExtension(fetchAddress).empty()
                                             ? std::string("txt")
                                             : TopFileExtension(fetchAddress));
    WriteSummaryFileEntry(*summary_, name, entry.EntryName, entry.SpiderDepth);
    if (name != kNoFreeName) StoreBody(run_, buffer, name);
}

void TSkeinThread::StoreTopPage(TWebPage& entry, const EntryTarget& target, TResponseBuffer& buffer,
                                bool isContent) {
    const std::string& summaryName = outcome_.SummaryName;
    const std::string originalLink = OriginalLink(target.FetchAddress);
    std::string name;
    if (!target.NonHttp) name = NewPageName(counters_, run_.BriefFolder, "htm");

    WriteSummaryPageEntryStart(*summary_);
    if (target.NonHttp) {
        NoticeBarNames bar{brief_.BriefName, entry.EntryName, summaryName, ""};
        WriteLinkNotice(
            run_, *summary_, originalLink, std::nullopt,
            target.Mail ? LinkNoticeKind::MailLink : LinkNoticeKind::UnsupportedProtocol, bar);
    } else {
        summary_->Write(name);
    }
    WriteSummaryPageEntryRest(*summary_, entry.EntryName, entry.SpiderDepth);
    if (target.NonHttp) return;

    if (name != kNoFreeName) {
        run_.TocRoot->Append("");
        TocNode* node = run_.TocRoot->Last();
        std::string key = target.FetchAddress.substr(0, target.FetchAddress.find('#'));
        run_.PageTable->Add(key, name, 0, entry.SpiderDepth, 1, node, 0);
    }
    ++run_.PagesCount;
    run_.TotalBytes += static_cast<std::int64_t>(buffer.Size());
    ShowStatistics();
    PrepareBody(buffer, true, options_.Settings->KeepPageResources);

    std::string siteMapName;
    if (entry.SpiderDepth >= 2) {
        siteMapName = NewPageName(counters_, run_.BriefFolder, "htm");
        if (siteMapName == kNoFreeName)
            siteMapName.clear();
        else
            WriteSummarySiteMapLine(*summary_, siteMapName);
    }
    options_.Host->SetStatusText(" Processing \"" + entry.EntryName + "\"");
    // Without a name for the top page there is nothing to store it under: the entry keeps its
    // summary line and is left out.
    if (name == kNoFreeName || !CatalogName(run_.Catalog, name)) return;

    TOutputFile page(run_.BriefFolder + name);
    TEntryNames names;
    names.SummaryName = summaryName;
    names.TopPageName = name;
    names.SiteMapName = siteMapName;
    names.EntryAddress = target.FetchAddress;
    names.StartStamp = outcome_.StartStamp;
    if (run_.Indexing != nullptr) run_.Indexing->EntryStarted(entry.EntryName);
    bool frameset = SpiderEntry(run_, entry, names, buffer, page, isContent);
    if (!frameset) PrintBriefFooter(page, WebAddressLink(originalLink), siteMapName, summaryName);
    page << (frameset ? "</frameset></html>" : "</body></html>") << "\r\n";
    page.Close();
    if (run_.Indexing != nullptr) run_.Indexing->PageStored(name);
    // Every file of the entry is closed now: links to names that changed meanwhile are mended.
    run_.NameFixups.Apply();
    options_.Host->SaveBrief(brief_);
}

void TSkeinThread::ShowStatistics() {
    ShowRunCounts(run_);
}

void TSkeinThread::WaitForNoQuestion() {
    // The question's answer may still raise a flag that this run must see; freeing the dialog under
    // it would leave the user answering a dialog that is gone.
    while (flags_.QuestionOpen.load() != 0) {
        if (options_.QuestionPause)
            options_.QuestionPause();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void TSkeinThread::ReplaceProgressDialog() {
    WaitForNoQuestion();
    options_.Host->FreeProgress();
    options_.Host->CreateProgress();
    options_.Host->ShowProgress();
    options_.Host->UpdateItem(ProgressLabel::BriefName, brief_.BriefName);
    ShowStatistics();
}

void TSkeinThread::ReportDiskError(const std::string& cause,
                                   const std::optional<SpaceBelowBuffer>& space) {
    outcome_.DiskError = true;
    if (space)
        options_.Host->ShowDiskBufferReached(space->FreeBytes, space->BufferBytes);
    else
        options_.Host->ShowDiskFailure(std::string(kDiskErrorText), std::string(kDiskErrorCaption),
                                       cause);
}

namespace {
// Whole megabytes with thousands separators: "78,123 MB".
std::string MegaBytesText(std::uint64_t bytes) {
    std::string digits = std::to_string(bytes >> 20);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits + " MB";
}
} // namespace

std::string DiskBufferText(std::uint64_t freeBytes, std::uint64_t bufferBytes,
                           std::string_view setting) {
    return "Gathra Light stopped the retrieval: the disk has " + MegaBytesText(freeBytes) +
           " free, and " + std::string(setting) + " keeps " + MegaBytesText(bufferBytes) +
           " free. Lower that setting or make room on the disk.";
}

StoredRun TSkeinThread::IndexedRun() const {
    StoredRun stored;
    stored.BriefFile = brief_.FileName;
    stored.HomeFolder = brief_.HomeFolder;
    stored.ArchivePath = folderNumber_ + "\\" + outcome_.SummaryName;
    stored.StartStamp = outcome_.StartStamp;
    stored.EarlierRuns = brief_.ArchivePaths.size() > 1;
    return stored;
}

void TSkeinThread::IndexStoredPages() {
    RunHost& host = *options_.Host;
    host.SetStatusText(" Indexing");
    std::string problem;
    if (indexing_ != nullptr) {
        // Only what the indexing thread has not reached yet is left to wait for.
        run_.Indexing = nullptr;
        problem = indexing_->Finish(IndexedRun());
        indexing_.reset();
    } else {
        problem = options_.Index->RunStored(IndexedRun());
    }
    if (!problem.empty()) host.ShowIndexProblem(problem);
}

void TSkeinThread::Finish() {
    if (summary_) {
        try {
            WriteSummaryClosing(*summary_);
            summary_->Close();
        } catch (const TDiskError&) {
            // The run is ending anyway; what could be written stays.
        }
        summary_.reset();
    }
    if (catalogOpen_) FinishCatalog(run_.Catalog);
    run_.LevelQueue[0].reset();
    run_.LevelQueue[1].reset();
    FreeEntryTables();

    RunHost& host = *options_.Host;
    // A run whose catalogue exists is recorded, so that its files can be deleted as an archived
    // brief even when the disk filled up early.
    if (catalogOpen_)
        host.AppendArchive(brief_, folderNumber_ + "\\" + outcome_.SummaryName,
                           outcome_.StartStamp);
    if (catalogOpen_ && options_.Index != nullptr) IndexStoredPages();
    host.SetStatusText(std::string(kIdleStatus));
    WaitForNoQuestion();
    if (progressShown_) host.FreeProgress();
    if (locked_) host.UnlockControls(brief_);
    flags_.RunActive = 0;

    outcome_.Pages = run_.PagesCount;
    outcome_.Images = run_.ImagesCount;
    outcome_.Bytes = run_.TotalBytes;
    outcome_.PageResourcesFailed = run_.PageResourcesFailed;
    std::error_code ec;
    if (!outcome_.SummaryName.empty() &&
        std::filesystem::exists(PosixPath(outcome_.SummaryPath), ec))
        host.BriefReady(brief_.BriefName, outcome_.SummaryName, outcome_.RunFolder);
    else
        outcome_.SummaryPath.clear();

    brief_.BriefFolder = brief_.HomeFolder;
    host.Repaint();
    host.SaveBrief(brief_);
}

} // namespace gathra
