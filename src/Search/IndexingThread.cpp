#include "Search/IndexingThread.h"

#include "Search/BriefSearch.h"
#include "Text/StoredText.h"

namespace gathra {

namespace {

std::string RunNameOf(const StoredRun& run, bool summary) {
    std::string runName, summaryName;
    SplitArchivePath(run.ArchivePath, runName, summaryName);
    return summary ? summaryName : runName;
}

} // namespace

TIndexingThread::TIndexingThread(const StoredRun& run, Reporter report)
    : run_(run), report_(std::move(report)), indexPath_(TSearchIndex::PathFor(run.BriefFile)),
      reader_(run.HomeFolder, RunNameOf(run, false), RunNameOf(run, true)),
      thread_([this] { Work(); }) {}

TIndexingThread::~TIndexingThread() {
    {
        std::lock_guard lock(mutex_);
        abandon_ = finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void TIndexingThread::EntryStarted(const std::string& entryName) {
    std::string name = StoredTextAsUtf8(entryName);
    std::lock_guard lock(mutex_);
    entry_ = std::move(name);
}

void TIndexingThread::PageStored(const std::string& fileName) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        pages_.push_back({fileName, entry_});
        wake = pages_.size() == kWakeAfter;
    }
    // The thread is woken for a few pages at a time: once per page, waking it would cost this
    // thread about as much as the thread's own work on a small page.
    if (wake) wake_.notify_one();
}

std::string TIndexingThread::Finish(const StoredRun& run) {
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    if (failed_) return report_(indexPath_, problem_);
    if (!index_.Existed() && run.EarlierRuns)
        return report_(indexPath_,
                       IndexProblemText(run.BriefFile, "was missing and now holds this run only"));
    return {};
}

void TIndexingThread::Work() {
    std::vector<Page> taken;
    for (;;) {
        bool last = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return finishing_ || pages_.size() >= kWakeAfter; });
            if (abandon_) return;
            taken.assign(std::make_move_iterator(pages_.begin()),
                         std::make_move_iterator(pages_.end()));
            pages_.clear();
            last = finishing_;
        }
        for (const Page& page : taken) {
            if (failed_) break;
            Add(page);
            // A Finish that comes now waits for no more than the part at hand.
            if (part_.size() >= kPartPages || partBytes_ >= kPartBytes) WritePart();
        }
        taken.clear();
        if (last) {
            // Also with no page at all: the run's record replaces the earlier runs of its folder.
            if (!failed_) WritePart();
            return;
        }
    }
}

void TIndexingThread::Add(const Page& page) {
    std::optional<IndexedPage> read = reader_.Read(page.File, page.Entry);
    if (!read) return;
    partBytes_ += read->Title.size() + read->Body.size() + read->Address.size();
    part_.push_back(std::move(*read));
}

bool TIndexingThread::WritePart() {
    if (!opened_) {
        opened_ = true;
        if (!index_.Open(indexPath_, true, IndexModeOf(run_.BriefFile))) {
            Problem(index_.Damaged() ? "is damaged (" : "cannot be opened (");
            return false;
        }
    }
    if (!index_.AddRunPages({run_.ArchivePath, run_.StartStamp}, part_, rows_)) {
        Problem(index_.Damaged() ? "is damaged (" : "cannot be written (");
        return false;
    }
    part_.clear();
    partBytes_ = 0;
    return true;
}

void TIndexingThread::Problem(const std::string& detail) {
    failed_ = true;
    part_.clear();
    const bool partly = rows_.Id != 0;
    problem_ = IndexProblemText(run_.BriefFile, detail + index_.Error() +
                                                    (partly ? "): this run is only partly in it"
                                                            : "): this run is not in it"));
}

} // namespace gathra
