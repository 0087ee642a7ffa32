#pragma once
#include "Net/ConnectionPool.h"
#include "Net/FetchAhead.h"
#include "Net/ResponseBuffer.h"
#include "Run/FileNames.h"
#include "Run/RunContext.h"
#include "Run/RunIndexHook.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace gathra {

class Clock;
class RunHost;
class SocketCanceller;
class TBrief;
struct AppSettings;
struct RunFlags;
struct TWebPage;

inline constexpr std::string_view kIdleStatus = " Gathra Light";

// How an entry's address is fetched.
struct EntryTarget {
    std::string FetchAddress;
    bool NonHttp = false; // a scheme other than http (no fetch; a link notice stands instead)
    bool Mail = false;    // that scheme is "mailto"
};

// The fetch address of an entry: search entries ask the search service for their query (blanks
// become "+", nothing else is encoded); "file:" addresses stay as they are; "http://" is taken
// off; "https://" stays (in lower case); another scheme makes a non-http entry. An address with
// "://" and nothing after the host gets a "/".
EntryTarget ClassifyEntry(const TWebPage& entry);

// The extension a top page stored as a file takes from its address: none after a "?" that
// follows the last "/", else what follows a last "." that stands after the last "/" and "\",
// lowered.
std::string TopFileExtension(std::string_view fetchAddress);

// The free bytes of the file system that holds `folder`, or none when it cannot be told.
std::optional<std::uint64_t> FreeSpaceOf(const std::string& folder);

// What a run did, for callers that report it (the command line).
struct RunOutcome {
    bool Started = false;    // the run got past the free space test and made its folder
    bool DiskError = false;  // "Disk Error" was shown
    bool Stopped = false;    // a confirmed Stop Brief ended it early
    std::string RunFolder;   // with a trailing separator
    std::string SummaryName; // empty when no summary page was made
    std::string SummaryPath; // RunFolder + SummaryName
    std::string StartStamp;
    std::int64_t Pages = 0;
    std::int64_t Images = 0;
    std::int64_t Bytes = 0;
    std::int64_t PageResourcesFailed = 0; // stylesheets, scripts and the like not fetched
};

// One brief run: makes the run folder, summary page and catalogue, retrieves every active entry
// through the entry spider, closes everything, records the run in the brief's archive lists and
// saves the brief. Everything that touches the user interface goes through RunHost. Only one run
// may be active in the process at a time.
class TSkeinThread {
public:
    struct Options {
        const AppSettings* Settings = nullptr; // required
        RunHost* Host = nullptr;               // required
        const gathra::Clock* Clock = nullptr;  // required
        RunFlags* Flags = nullptr;             // null: ProgramRunFlags()
        SocketCanceller* Canceller = nullptr;  // null: ProgramSocketCanceller()
        FileNameCounters* Counters = nullptr;  // null: ProgramFileNameCounters()
        int TimeUnitMs = 1000;
        // Certificate authorities for secure pages (PEM); empty: the system's trust store.
        std::string TrustedAuthorities;
        // The free space test; null asks the file system. Tests give other answers.
        std::function<std::optional<std::uint64_t>(const std::string& folder)> FreeSpace;
        // Called on the run's thread for each pause while a question of the progress dialog is
        // still open before the dialog is freed; null: a short sleep. Tests look at the run there.
        std::function<void()> QuestionPause;
        // Called on the run's thread as its very last act (after Start only), so that the
        // desktop program can let go of the thread object from its main thread without waiting.
        std::function<void()> OnFinished;
        // Makes the stored pages searchable as they are stored or at the run's end; null: not
        // indexed.
        RunIndexHook* Index = nullptr;
    };

    TSkeinThread(TBrief& brief, Options options);
    ~TSkeinThread(); // joins
    TSkeinThread(const TSkeinThread&) = delete;
    TSkeinThread& operator=(const TSkeinThread&) = delete;

    // Starts the run on a thread of its own. False (nothing started) while another run of the
    // process is active.
    bool Start();
    void Join();
    // The whole run on the calling thread; false when another run is active.
    bool RunHere();

    const RunOutcome& Outcome() const { return outcome_; } // after Join or RunHere
    static bool AnyRunActive();

private:
    enum class EntryEnd { Next, Stop };

    void Run();
    void RunBody();
    EntryEnd RunEntry(TWebPage& entry, bool firstActive);
    EntryEnd EntryInterrupted();
    void StoreTopFile(TWebPage& entry, const std::string& fetchAddress, TResponseBuffer& buffer,
                      bool isText);
    void StoreTopPage(TWebPage& entry, const EntryTarget& target, TResponseBuffer& buffer,
                      bool isContent);
    void ResetEntryTables();
    void FreeEntryTables();
    void ReplaceProgressDialog();
    void ShowStatistics();
    void WaitForNoQuestion();
    void ReportDiskError(const std::string& cause = {},
                         const std::optional<SpaceBelowBuffer>& space = std::nullopt);
    void Finish();
    StoredRun IndexedRun() const;
    void IndexStoredPages();

    TBrief& brief_;
    Options options_;
    RunFlags& flags_;
    SocketCanceller& canceller_;
    FileNameCounters& counters_;
    TRunContext run_;
    std::unique_ptr<TConnectionPool> pool_; // fast transfers only
    std::unique_ptr<TFetchAhead> ahead_;    // uses pool_, so goes first
    RunOutcome outcome_;
    std::thread thread_;

    std::optional<TOutputFile> summary_;
    std::unique_ptr<RunIndexing> indexing_; // while the run's pages are indexed as they come
    std::string folderNumber_;
    bool catalogOpen_ = false;
    bool locked_ = false;
    bool progressShown_ = false;
};

} // namespace gathra
