#include "Platform/LookupThreads.h"

#include "Platform/Socket.h"
#include "Platform/SocketCanceller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace gathra {
namespace {

// Work that holds its thread until the test lets it go, as a resolver that does not answer.
class Gate {
public:
    void Hold() {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
    }
    void Open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

TEST(LookupThreads, AreJoinedWhenTheyEndAndNeverLeftRunning) {
    Gate gate;
    std::atomic<int> finished{0};
    {
        TLookupThreads threads;
        for (int i = 0; i < 3; ++i)
            threads.Start([&] {
                gate.Hold();
                ++finished;
            });
        EXPECT_EQ(threads.Running(), 3u);
        threads.Reap(); // nothing has ended: nothing is joined, nothing waits
        EXPECT_EQ(threads.Running(), 3u);
        gate.Open();
        // Bounded: the released work ends at once on any machine.
        for (int i = 0; i < 3000 && threads.Running() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(threads.Running(), 0u);
        threads.Start([&] { ++finished; }); // reaps the ended ones on the way
    }
    // Destroying the threads joined the last one: its work is done, not cut off or detached.
    EXPECT_EQ(finished.load(), 4);
}

TEST(LookupThreads, LookupsLeaveNoThreadRunning) {
    SocketCanceller canceller;
    canceller.Cancel();
    std::vector<std::string> found;
    EXPECT_EQ(TSocket::LookupAll("localhost", 80, found, &canceller, 2000),
              SocketStatus::Cancelled);
    SocketCanceller live;
    EXPECT_EQ(TSocket::LookupAll("localhost", 80, found, &live, 2000), SocketStatus::Ok);
    EXPECT_FALSE(found.empty());
    for (int i = 0; i < 3000 && TLookupThreads::Shared().Running() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(TLookupThreads::Shared().Running(), 0u);
}

} // namespace
} // namespace gathra
