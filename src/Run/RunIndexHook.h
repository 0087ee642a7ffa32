#pragma once
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

// Where a run hands its stored pages to be made searchable. The programs install one; the run
// calls it on its own thread after its files are closed and before it reports its end.
class RunIndexHook {
public:
    virtual ~RunIndexHook() = default;
    // Answers a problem to report to the user (empty: none). Never throws; a problem never
    // stops the run.
    virtual std::string RunStored(const StoredRun& run) = 0;
};

} // namespace gathra
