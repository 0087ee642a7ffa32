#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace gathra {

// Writes whole small files (the notice pages of a page's links) on a thread of its own, so that
// a page with thousands of links beyond the run's reach is scanned while the system creates
// their files. Files are written in the order they were begun, each created or truncated as
// TOutputFile does. The files are gathered into large blocks that go to the thread whole, so a
// file costs no allocation and no call between the threads of its own.
//
// One thread fills the queue (Begin, Append, End, Drain); one file is filled at a time. The first
// failure stops the writing: the files after it are dropped, and the failure is thrown (as
// TDiskError) by the next End, Drain or ThrowFailure.
class TFileQueue {
public:
    // A block goes to the thread when it holds this much.
    static constexpr std::size_t kBlockBytes = 64 * 1024;
    // At most this many bytes wait in blocks handed over; the filler waits beyond it.
    static constexpr std::size_t kMostPendingBytes = 1u << 20;

    // ownThread false: every block is written by the thread that hands it over (as when no
    // thread can be started).
    explicit TFileQueue(bool ownThread = true) : writesHere_(!ownThread) {}
    // Writes what is still waiting (a failure has nobody left to report to) and ends the thread.
    ~TFileQueue();
    TFileQueue(const TFileQueue&) = delete;
    TFileQueue& operator=(const TFileQueue&) = delete;

    // Begins the file at `path` (separators "/"); false when another file is still open.
    bool Begin(std::string_view path);
    void Append(std::string_view bytes);
    // Ends the open file: it is written as it stands.
    void End();
    // Waits until every file ended so far is written.
    void Drain();
    // Throws the first failure, if there was one (without waiting).
    void ThrowFailure();

private:
    void Finish();
    void HandOver();
    void Work();
    // Writes a block with the lock let go meanwhile; false on a failure (message and cause say
    // what failed).
    bool WriteUnlocked(std::unique_lock<std::mutex>& lock, std::string_view block,
                       std::string& message, std::string& cause);
    // Under the lock: the first failure stops the writing of everything still waiting.
    void NoteFailure(std::string& message, std::string& cause);
    void WriteBlock(std::string_view block, bool& ok, std::string& message, std::string& cause);
    bool WriteFile(std::string_view path, std::string_view bytes, std::string& message,
                   std::string& cause);

    // The filler's own.
    std::string block_;
    std::size_t open_ = std::string::npos; // where the open file's length field is

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> blocks_; // handed over, not written yet
    std::vector<std::string> spare_; // written, kept for their memory
    std::size_t pendingBytes_ = 0;
    bool busy_ = false;       // the thread writes a block taken from blocks_
    bool sleeping_ = false;   // the thread waits for blocks
    bool full_ = false;       // the filler waits for room
    bool writesHere_ = false; // no thread could be started: HandOver writes each block itself
    bool stop_ = false;
    bool failed_ = false;
    bool reported_ = false;
    std::string failure_;
    std::string cause_;
    std::thread thread_;

    // The thread's own: the folder it last wrote into, open, so that each file is created by its
    // name alone.
    std::string folder_;
    int folderFd_ = -1;
};

} // namespace gathra
