#include "Search/BriefSearch.h"

#include "Brief/Brief.h"
#include "Platform/OutputFile.h"
#include "Search/IndexingThread.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace gathra {

namespace {

// The folder archive paths are relative to (a run borrows BriefFolder while it generates).
const std::string& HomeOf(const TBrief& brief) {
    return brief.Generating != 0 ? brief.HomeFolder : brief.BriefFolder;
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

mode_t IndexModeOf(const std::string& briefFile) {
    struct stat st {};
    if (::stat(briefFile.c_str(), &st) != 0) return 0600;
    return st.st_mode & 0666;
}

std::string IndexProblemText(const std::string& briefFile, const std::string& detail) {
    return "The search index " + TSearchIndex::PathFor(briefFile) + " " + detail +
           ". Rebuild it with \"gathra search " + briefFile +
           " --reindex\" or Rebuild Index in Find in Briefs.";
}

std::vector<ArchivedRun> LiveRuns(const TBrief& brief) {
    std::vector<ArchivedRun> runs;
    const std::string home = PosixPath(HomeOf(brief));
    for (size_t i = 0; i < brief.ArchivePaths.size(); ++i) {
        const std::string folder = RunFolderOf(brief.ArchivePaths[i]);
        if (folder.empty() || !FolderExists(home + folder)) continue;
        runs.push_back({brief.ArchivePaths[i],
                        i < brief.ArchiveTitles.size() ? brief.ArchiveTitles[i] : std::string()});
    }
    return runs;
}

std::string TSearchIndexer::Once(const std::string& indexPath, std::string problem) {
    std::lock_guard lock(mutex_);
    if (problem.empty() || !reported_.insert(indexPath).second) return {};
    return problem;
}

std::unique_ptr<RunIndexing> TSearchIndexer::RunStarted(const StoredRun& run) {
    if (run.BriefFile.empty()) return nullptr;
    return std::make_unique<TIndexingThread>(
        run, [this](const std::string& path, std::string text) { return Once(path, text); });
}

std::string TSearchIndexer::RunStored(const StoredRun& run) {
    if (run.BriefFile.empty()) return {};
    const std::string path = TSearchIndex::PathFor(run.BriefFile);
    std::optional<std::vector<IndexedPage>> pages = ReadRunPages(run.HomeFolder, run.ArchivePath);
    if (!pages) return {};
    TSearchIndex index;
    if (!index.Open(path, true, IndexModeOf(run.BriefFile)))
        return Once(path,
                    IndexProblemText(run.BriefFile,
                                     (index.Damaged() ? "is damaged (" : "cannot be opened (") +
                                         index.Error() + "): this run is not in it"));
    if (!index.AddRun({run.ArchivePath, run.StartStamp}, *pages))
        return Once(path,
                    IndexProblemText(run.BriefFile,
                                     (index.Damaged() ? "is damaged (" : "cannot be written (") +
                                         index.Error() + "): this run is not in it"));
    if (!index.Existed() && run.EarlierRuns)
        return Once(path,
                    IndexProblemText(run.BriefFile, "was missing and now holds this run only"));
    return {};
}

std::string RemoveRunFromIndex(const std::string& briefFile, const std::string& homeFolder,
                               const std::string& archivePath) {
    if (briefFile.empty()) return {};
    const std::string path = TSearchIndex::PathFor(briefFile);
    if (::access(path.c_str(), F_OK) != 0) return {};
    const std::optional<std::vector<IndexedPage>> pages = ReadRunPages(homeFolder, archivePath);
    TSearchIndex index;
    if (index.Open(path, false) && index.RemoveRun(archivePath, pages ? &*pages : nullptr))
        return {};
    return IndexProblemText(briefFile, (index.Damaged() ? "is damaged (" : "cannot be written (") +
                                           index.Error() +
                                           "): the deleted run's pages may still "
                                           "be in it");
}

ReindexResult ReindexBrief(const TBrief& brief) {
    ReindexResult result;
    const std::string path = TSearchIndex::PathFor(brief.FileName);
    const std::string fresh = path + ".new";
    ::unlink(fresh.c_str()); // left by a rebuild that was cut short
    {
        TSearchIndex index;
        if (!index.Open(fresh, true, IndexModeOf(brief.FileName)) || !index.SetBulkLoading()) {
            result.Error = index.Error();
            ::unlink(fresh.c_str());
            return result;
        }
        const std::string home = HomeOf(brief);
        for (const ArchivedRun& run : LiveRuns(brief)) {
            std::optional<std::vector<IndexedPage>> pages =
                ReadRunPages(home, run.ArchivePath, &result.PageBytes);
            if (!pages) continue;
            if (!index.AddRun(run, *pages)) {
                result.Error = index.Error();
                ::unlink(fresh.c_str());
                return result;
            }
            ++result.Runs;
            result.Pages += static_cast<std::int64_t>(pages->size());
        }
        if (!index.Optimize()) {
            result.Error = index.Error();
            ::unlink(fresh.c_str());
            return result;
        }
    }
    if (std::rename(fresh.c_str(), path.c_str()) != 0) {
        result.Error = "cannot replace " + path;
        ::unlink(fresh.c_str());
        return result;
    }
    ::unlink((path + "-journal").c_str()); // a journal of the replaced file means nothing now
    result.Ok = true;
    return result;
}

bool SearchBrief(const TBrief& brief, const SearchRequest& request, std::vector<SearchHit>& hits,
                 std::string& error, bool* damaged) {
    hits.clear();
    const std::string path = TSearchIndex::PathFor(brief.FileName);
    TSearchIndex index;
    const bool ok = index.Open(path, false) &&
                    index.Search(request, LiveRuns(brief), PosixPath(HomeOf(brief)), hits);
    if (damaged != nullptr) *damaged = index.Damaged();
    if (!ok)
        error =
            index.Damaged()
                ? IndexProblemText(brief.FileName, "is damaged (" + index.Error() + ")")
                : IndexProblemText(brief.FileName, index.Error().starts_with("there is no")
                                                       ? "is missing"
                                                       : "cannot be read (" + index.Error() + ")");
    return ok;
}

} // namespace gathra
