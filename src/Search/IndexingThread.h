#pragma once
#include "Run/RunIndexHook.h"
#include "Search/SearchIndex.h"
#include "Search/StoredPages.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gathra {

// Indexes a run's pages on a thread of its own while the run stores them: each page file handed
// over is read (its text taken out of the markup and decoded) and added with the others in
// parts of up to kPartPages pages, each part one transaction. The index is opened with the first
// part; a problem with it stops the indexing and is answered by Finish, once: the run goes on.
class TIndexingThread final : public RunIndexing {
public:
    // Turns a problem into the text to report, or into nothing when it was reported already.
    using Reporter = std::function<std::string(const std::string& indexPath, std::string text)>;

    TIndexingThread(const StoredRun& run, Reporter report);
    ~TIndexingThread() override;

    void EntryStarted(const std::string& entryName) override;
    void PageStored(const std::string& fileName) override;
    std::string Finish(const StoredRun& run) override;

    static constexpr size_t kWakeAfter = 16; // pages handed over
    static constexpr size_t kPartPages = 200;
    static constexpr size_t kPartBytes = 4u << 20; // of text

private:
    struct Page {
        std::string File;
        std::string Entry;
    };
    void Work();
    void Add(const Page& page);
    bool WritePart();
    void Problem(const std::string& detail);

    const StoredRun run_;
    const Reporter report_;
    const std::string indexPath_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Page> pages_; // handed over, not read yet
    std::string entry_;      // the run's side: the entry being stored
    bool finishing_ = false;
    bool abandon_ = false;

    // The thread's own.
    TRunPages reader_;
    TSearchIndex index_;
    bool opened_ = false;
    bool failed_ = false;
    std::string problem_;
    TSearchIndex::RunRows rows_;
    std::vector<IndexedPage> part_;
    size_t partBytes_ = 0;

    std::thread thread_; // last: started when everything above is ready
};

} // namespace gathra
