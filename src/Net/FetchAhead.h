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
#include <utility>
#include <vector>

namespace gathra {

// Fetches the addresses the run will ask for next while it stores the ones before: the run names
// what comes (Expect) and then asks for each in its own order (Fetch), getting what was fetched
// ahead or, for an address not named before, what is fetched there and then. So the run stores,
// names and numbers everything in the same order whatever the number of connections.
//
// The run's order is one of pages (Expect), each followed by what its storing fetches
// (ExpectFirst for the page being stored, ExpectAfter for a page after it). Asking for a page
// drops whatever was expected before it and not asked for (the run passed it over); a page's
// pictures asked for out of their order (another page named one of them first) drop nothing.
//
// The fetches ahead run on threads of their own over the run's connection pool, which keeps to
// its connections per host; at most Window() answers wait in memory (a file's body over the
// spool threshold waits on disk). Stop and Skip end them with the run's flags and canceller;
// Forget drops what waits and waits for the fetches under way to end.
class TFetchAhead {
public:
    // net: the run's context (its pool must be set); workers: fetches at once; heldBytes: the
    // bytes that answers waiting in memory may hold before no further fetch ahead begins.
    TFetchAhead(TNetContext& net, int workers, std::size_t heldBytes = kHeldBytes);
    // Pages wait whole (each up to the page bound), so a site of very large pages is fetched
    // ahead only this far; the fetch the run waits for always begins.
    static constexpr std::size_t kHeldBytes = std::size_t(32) << 20;
    ~TFetchAhead();
    TFetchAhead(const TFetchAhead&) = delete;
    TFetchAhead& operator=(const TFetchAhead&) = delete;

    // The run will ask for request (a buffer that spools files as spoolsFiles says). An address
    // already expected is not fetched twice.
    void Expect(const TFetchRequest& request, bool spoolsFiles);
    // The run will ask for these next, in this order, before any page expected so far (what the
    // page being stored fetches). An address already expected keeps its place.
    using Requests = std::vector<std::pair<TFetchRequest, bool>>; // each with spoolsFiles
    void ExpectFirst(const Requests& requests);
    // The run will ask for these, in this order, right after page (expected with spoolsFiles),
    // before the pages expected after it. False when that page is not expected.
    bool ExpectAfter(const TFetchRequest& page, bool spoolsFiles, const Requests& requests);

    // A copy of what was fetched ahead for page (expected with spoolsFiles): Ready with its
    // result and bytes when it is fetched and held in memory, at most maxBytes; Waiting while it
    // is being fetched or waits to be; None when it is not expected (or held elsewhere).
    struct Peeked {
        enum { None, Waiting, Ready } State = None;
        TFetchResult Result;
        std::string Bytes;
        bool HasHeader = false;
    };
    Peeked Peek(const TFetchRequest& page, bool spoolsFiles, std::size_t maxBytes);
    // The answer to request: the one fetched ahead, waited for, or else a fetch made now on the
    // calling thread. A disk error of a fetch ahead is thrown here, as the fetch itself would.
    TFetchResult Fetch(const TFetchRequest& request, TResponseBuffer& buffer);
    // Drops every answer not asked for (the end of an entry), after the fetches under way end.
    void Forget();
    // Answers fetched and not yet asked for.
    std::size_t Ready();
    // Addresses expected and not yet asked for: waiting, under way or fetched.
    std::size_t Pending();
    // How many answers may wait at once.
    std::size_t Window() const { return window_; }
    // No fetch is under way and none may begin until the run asks for one.
    bool Idle();

private:
    // The place in the run's order: the page's number (in the order of Expect) and, after the
    // page itself (0), what its storing fetches.
    using Seq = std::pair<std::int64_t, std::int64_t>;
    struct Job {
        TFetchRequest Request;
        TResponseBuffer Buffer;
        TFetchResult Result;
        std::exception_ptr Error;
        Seq Order;
        bool First = false; // expected by ExpectFirst
        bool Asked = false; // the run waits for it
        bool Started = false;
        bool Done = false;
    };
    static std::string KeyOf(const TFetchRequest& request, bool spoolsFiles);
    // The bytes an ended fetch holds in memory.
    static std::size_t HeldBy(const Job& job);
    // The bytes the fetches passed over hold in memory (under mutex_).
    std::size_t HeldByPassed() const;
    // Whether a worker may begin the next fetch of the queue (under mutex_).
    bool MayBegin() const;
    void Work();
    void DropBefore(Seq order);
    void KeepPassed(const std::string& key, std::shared_ptr<Job> job);
    // Makes and queues (in the run's order) a job unless request is expected already.
    std::shared_ptr<Job> Add(const TFetchRequest& request, bool spoolsFiles, Seq order);
    void AddAll(const Requests& requests, std::int64_t page, bool first);

    TNetContext& net_;
    const std::size_t window_;
    const std::size_t heldBytes_;
    std::mutex mutex_;
    std::condition_variable changed_; // a fetch is done: the run and Forget wait for it
    std::condition_variable work_;    // a fetch waits to be made: the workers wait for one
    std::map<std::string, std::shared_ptr<Job>> jobs_;   // by key: waiting, under way or done
    std::deque<std::shared_ptr<Job>> queue_;             // not started yet, in the run's order
    std::map<std::string, std::shared_ptr<Job>> passed_; // started, then passed over
    int running_ = 0;
    std::int64_t expected_ = 0; // the number of the last page expected
    std::int64_t asked_ = 0;    // the number of the last page asked for
    std::int64_t after_ = 0;    // the last number given to what a page's storing fetches
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// FetchDocument through net.Ahead when the run fetches ahead, else directly.
TFetchResult FetchInTurn(const TFetchRequest& request, TResponseBuffer& buffer, TNetContext& net);

} // namespace gathra
