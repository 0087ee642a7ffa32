#pragma once
#include "Run/RunIndexHook.h"
#include "Search/SearchIndex.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace gathra {

class TBrief;

// The search index of a brief as the programs use it: filled at the end of each run, emptied of
// a run when the run is deleted, rebuilt from the run folders on request, and searched.

// The permissions a brief's index takes: those of the brief file (read and write bits), 0600
// when the brief file cannot be looked at.
mode_t IndexModeOf(const std::string& briefFile);

// The runs the brief lists whose folders are still on disk.
std::vector<ArchivedRun> LiveRuns(const TBrief& brief);

// The runs' side: indexes a run's pages as it stores them, or reads them all from its folder at
// its end. A problem is answered once per index for the life of this object (a damaged index
// would otherwise be reported at every run until it is rebuilt).
class TSearchIndexer : public RunIndexHook {
public:
    // A TIndexingThread that reports its problems through this object.
    std::unique_ptr<RunIndexing> RunStarted(const StoredRun& run) override;
    std::string RunStored(const StoredRun& run) override;

private:
    std::string Once(const std::string& indexPath, std::string problem);
    std::mutex mutex_;
    std::set<std::string> reported_;
};

// Drops a run's pages from the brief's index, before its files are deleted (its words are
// taken out with the text read again from them). Answers a problem to report; empty when it
// worked or the brief keeps no index.
std::string RemoveRunFromIndex(const std::string& briefFile, const std::string& homeFolder,
                               const std::string& archivePath);

struct ReindexResult {
    bool Ok = false;
    std::string Error;
    int Runs = 0;
    std::int64_t Pages = 0;
    std::uint64_t PageBytes = 0; // bytes of the page files indexed
};
// Builds the brief's index anew from the run folders on disk (beside the old one, which it then
// replaces, so that a failure leaves the old index as it was).
ReindexResult ReindexBrief(const TBrief& brief);

// Searches the brief's index over the runs it lists whose folders are on disk. False with
// `error` set when the index is missing, damaged or cannot be read (`damaged` tells which).
bool SearchBrief(const TBrief& brief, const SearchRequest& request, std::vector<SearchHit>& hits,
                 std::string& error, bool* damaged = nullptr);

// The text of a problem with a brief's index, with the way to repair it.
std::string IndexProblemText(const std::string& briefFile, const std::string& detail);

} // namespace gathra
