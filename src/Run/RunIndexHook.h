#pragma once
#include <memory>
#include <string>

namespace gathra {

// A run that has stored its files, as the program's search index takes it.
struct StoredRun {
    std::string BriefFile;    // the brief file's path
    std::string HomeFolder;   // the brief's own folder (archive paths are relative to it)
    std::string ArchivePath;  // "<run folder>\<summary page>", as the archive records it
    std::string StartStamp;   // the run's archive title
    bool EarlierRuns = false; // the brief's archive held runs before this one
};

// A run's pages on their way into the index while the run goes on: the run hands over each page
// file as it closes it, and the indexing reads and adds them on a thread of its own, so that
// the work is done on another core while the run waits for the network.
class RunIndexing {
public:
    // Stops the indexing thread (what was not added by Finish is dropped).
    virtual ~RunIndexing() = default;
    // The entry whose pages follow, named as the run's summary names it.
    virtual void EntryStarted(const std::string& entryName) = 0;
    // A file of the run folder ("GA12.htm") that is written and closed. Returns at once.
    virtual void PageStored(const std::string& fileName) = 0;
    // Waits for every page handed over to be in the index and ends the thread. Answers a problem
    // to report to the user (empty: none); never throws.
    virtual std::string Finish(const StoredRun& run) = 0;
};

// Where a run hands its stored pages to be made searchable. The programs install one.
class RunIndexHook {
public:
    virtual ~RunIndexHook() = default;
    // Called on the run's thread once its folder and start stamp are known; none when the pages
    // are to be read at the run's end instead (RunStored).
    virtual std::unique_ptr<RunIndexing> RunStarted(const StoredRun& run) {
        (void)run;
        return nullptr;
    }
    // Reads every stored page of the run from its folder and adds them, on the run's thread
    // after its files are closed. Answers a problem to report to the user (empty: none). Never
    // throws; a problem never stops the run.
    virtual std::string RunStored(const StoredRun& run) = 0;
};

} // namespace gathra
