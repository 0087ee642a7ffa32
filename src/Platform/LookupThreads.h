#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace gathra {

// The threads that name lookups run on. A lookup cannot be interrupted once the system resolver
// has it, so whoever waits for it may give up (Stop, Skip, a bound) while its thread goes on to
// the resolver's own end. Such threads are kept here rather than detached: each is joined once it
// has ended (at the next Start, or by Reap), and whatever still runs is joined when the threads
// are destroyed, so none outlives the program's end unnoticed.
class TLookupThreads {
public:
    TLookupThreads() = default;
    ~TLookupThreads();
    TLookupThreads(const TLookupThreads&) = delete;
    TLookupThreads& operator=(const TLookupThreads&) = delete;

    // The program's own, joined at its end.
    static TLookupThreads& Shared();

    // Runs work on a thread of its own; throws std::system_error when no thread can be made.
    void Start(std::function<void()> work);
    // Joins the threads whose work has ended.
    void Reap();
    // Threads whose work has not ended yet.
    std::size_t Running();

private:
    struct Slot {
        std::thread Thread;
        std::shared_ptr<bool> Done; // written under mutex_
    };

    std::mutex mutex_;
    std::list<Slot> slots_;
};

} // namespace gathra
