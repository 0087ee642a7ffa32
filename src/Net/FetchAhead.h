#pragma once
#include "Net/HttpClient.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gathra {

// Fetches the addresses the run will ask for next while it stores the ones before: the run names
// what comes (Expect) and then asks for each in its own order (Fetch), getting what was fetched
// ahead or, for an address not named before, what is fetched there and then. So the run stores,
// names and numbers everything in the same order whatever the number of connections.
//
// The fetches ahead run on threads of their own over the run's connection pool, which keeps to
// its connections per host; at most Window() answers wait in memory (a file's body over the
// spool threshold waits on disk). Stop and Skip end them with the run's flags and canceller;
// Forget drops what waits and waits for the fetches under way to end.
class TFetchAhead {
public:
    // net: the run's context (its pool must be set); workers: fetches at once.
    TFetchAhead(TNetContext& net, int workers);
    ~TFetchAhead();
    TFetchAhead(const TFetchAhead&) = delete;
    TFetchAhead& operator=(const TFetchAhead&) = delete;

    // The run will ask for request (a buffer that spools files as spoolsFiles says). An address
    // already expected is not fetched twice.
    void Expect(const TFetchRequest& request, bool spoolsFiles);
    // The answer to request: the one fetched ahead, waited for, or else a fetch made now on the
    // calling thread. A disk error of a fetch ahead is thrown here, as the fetch itself would.
    TFetchResult Fetch(const TFetchRequest& request, TResponseBuffer& buffer);
    // Drops every answer not asked for (the end of an entry), after the fetches under way end.
    void Forget();
    // Answers fetched and not yet asked for.
    std::size_t Ready();
    // How many answers may wait at once.
    std::size_t Window() const { return window_; }

private:
    struct Job {
        TFetchRequest Request;
        TResponseBuffer Buffer;
        TFetchResult Result;
        std::exception_ptr Error;
        std::uint64_t Seq = 0; // the order of Expect
        bool Started = false;
        bool Done = false;
    };
    static std::string KeyOf(const TFetchRequest& request, bool spoolsFiles);
    void Work();
    bool DropBefore(std::uint64_t seq); // true when fetches under way or done were passed over
    void KeepPassed(const std::string& key, std::shared_ptr<Job> job);

    TNetContext& net_;
    const std::size_t window_;
    std::mutex mutex_;
    std::condition_variable changed_; // a fetch is done: the run and Forget wait for it
    std::condition_variable work_;    // a fetch waits to be made: the workers wait for one
    std::map<std::string, std::shared_ptr<Job>> jobs_;   // by key: waiting, under way or done
    std::deque<std::shared_ptr<Job>> queue_;             // not started yet, in the run's order
    std::map<std::string, std::shared_ptr<Job>> passed_; // started, then passed over
    int running_ = 0;
    std::uint64_t expected_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// FetchDocument through net.Ahead when the run fetches ahead, else directly.
TFetchResult FetchInTurn(const TFetchRequest& request, TResponseBuffer& buffer, TNetContext& net);

} // namespace gathra
