#include "Net/FetchAhead.h"

#include "Settings/AppSettings.h"

#include <algorithm>
#include <filesystem>

namespace gathra {
namespace {

// Answers waiting in memory per fetch under way, and at least in all: a few connections (HTTP/1.1)
// need a deeper window than their number gives, or a page slow to come holds the others up once
// the answers after it fill the window (measured: at a 60 ms round trip six connections ran 4%
// over their floor with 18 answers waiting, at it with 36).
constexpr std::size_t kWindowPerWorker = 3;
constexpr std::size_t kLeastWindow = 36;
// A fetch ahead looks at the free space each time it has spooled this much.
constexpr std::uint64_t kSpaceLookBytes = std::uint64_t(1) << 20;

// The disk filled while a body was fetched ahead: the run's own check decides what it means.
struct AheadDiskFull {};

// What a fetch ahead runs with: the run's bounds, pool, canceller and flags, but no status or
// progress (they belong to what the run stores now), and a free-space check of its own, since
// the run's is the run thread's.
class AheadContext : public TNetContext {
public:
    explicit AheadContext(const TNetContext& run) : run_(run) {
        TNetContext::operator=(run);
        Ahead = nullptr;
    }
    bool SkipOrAbort() const override { return run_.SkipOrAbort(); }
    const std::string& SpoolFolder() const override { return run_.SpoolFolder(); }
    void CheckFreeSpace() const override {
        if (++blocks_ % (kSpaceLookBytes / 10000 + 1) != 1) return;
        std::error_code error;
        const auto space =
            std::filesystem::space(SpoolFolder().empty() ? std::string(".") : SpoolFolder(), error);
        const std::int64_t limit = Settings != nullptr ? Settings->DiskBufferBytes : 0;
        if (!error &&
            space.available <= static_cast<std::uintmax_t>(std::max<std::int64_t>(limit, 0)))
            throw AheadDiskFull{};
    }

private:
    const TNetContext& run_;
    mutable std::uint64_t blocks_ = 0;
};

} // namespace

TFetchAhead::TFetchAhead(TNetContext& net, int workers, std::size_t heldBytes)
    : net_(net), window_(std::max(static_cast<std::size_t>(std::max(1, workers)) * kWindowPerWorker,
                                  kLeastWindow)),
      heldBytes_(heldBytes) {
    for (int i = 0; i < std::max(1, workers); ++i)
        workers_.emplace_back([this] { Work(); });
}

TFetchAhead::~TFetchAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    work_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

std::string TFetchAhead::KeyOf(const TFetchRequest& r, bool spoolsFiles) {
    std::string key = r.Address;
    for (const std::string* part :
         {&r.BaseAddress, &r.UserName, &r.Password, &r.ProxyHost, &r.AgentComment}) {
        key += '\n';
        key += *part;
    }
    key += '\n';
    key += std::to_string(r.ProxyPort);
    key += r.LocalOnly ? 'L' : '-';
    key += r.LoadImages ? 'I' : '-';
    key += r.LoadBinaries ? 'B' : '-';
    key += r.AllowLocalFiles ? 'F' : '-';
    key += spoolsFiles ? 'S' : '-';
    return key;
}

std::shared_ptr<TFetchAhead::Job> TFetchAhead::Add(const TFetchRequest& request, bool spoolsFiles,
                                                   Seq order) {
    // Local files are read where they are asked for; there is nothing to win ahead.
    if (request.Address.rfind("file:", 0) == 0) return nullptr;
    const std::string key = KeyOf(request, spoolsFiles);
    if (stopping_ || jobs_.count(key) != 0) return nullptr;
    if (auto passed = passed_.find(key); passed != passed_.end()) {
        // Expected again: the fetch made before takes its new place in the run's order.
        passed->second->Order = order;
        jobs_.insert(passed_.extract(passed));
        return nullptr;
    }
    auto job = std::make_shared<Job>();
    job->Order = order;
    job->Request = request;
    job->Buffer.SetSpoolsFiles(spoolsFiles);
    jobs_.emplace(key, job);
    // Mostly at the end or near the front: looked for from the end.
    auto at = queue_.end();
    while (at != queue_.begin() && order < (*std::prev(at))->Order)
        --at;
    queue_.insert(at, job);
    return job;
}

void TFetchAhead::Expect(const TFetchRequest& request, bool spoolsFiles) {
    {
        std::lock_guard lock(mutex_);
        Add(request, spoolsFiles, {expected_ + 1, 0});
        expected_ += 1;
    }
    work_.notify_one(); // one more fetch to make
}

void TFetchAhead::AddAll(const Requests& requests, std::int64_t page, bool first) {
    for (const auto& [request, spoolsFiles] : requests)
        if (auto job = Add(request, spoolsFiles, {page, ++after_})) job->First = first;
}

void TFetchAhead::ExpectFirst(const Requests& requests) {
    {
        std::lock_guard lock(mutex_);
        AddAll(requests, asked_, true);
    }
    work_.notify_all();
}

bool TFetchAhead::ExpectAfter(const TFetchRequest& page, bool spoolsFiles,
                              const Requests& requests) {
    {
        std::lock_guard lock(mutex_);
        auto found = jobs_.find(KeyOf(page, spoolsFiles));
        if (found == jobs_.end() || found->second->Order.second != 0) return false;
        AddAll(requests, found->second->Order.first, false);
    }
    work_.notify_all();
    return true;
}

TFetchAhead::Peeked TFetchAhead::Peek(const TFetchRequest& page, bool spoolsFiles,
                                      std::size_t maxBytes) {
    Peeked peeked;
    std::lock_guard lock(mutex_);
    auto found = jobs_.find(KeyOf(page, spoolsFiles));
    if (found == jobs_.end()) return peeked;
    const Job& job = *found->second;
    if (!job.Done) {
        peeked.State = Peeked::Waiting;
        return peeked;
    }
    if (job.Error != nullptr || job.Buffer.Spool() != nullptr || job.Buffer.Size() > maxBytes)
        return peeked;
    peeked.State = Peeked::Ready;
    peeked.Result = job.Result;
    peeked.Bytes = job.Buffer.Bytes();
    peeked.HasHeader = job.Buffer.HasHeader();
    return peeked;
}

std::size_t TFetchAhead::HeldBy(const Job& job) {
    // Only a fetch that has ended is looked at: one under way is its worker's alone.
    return job.Done ? job.Buffer.Size() : 0;
}

std::size_t TFetchAhead::HeldByPassed() const {
    std::size_t held = 0;
    for (const auto& [key, job] : passed_)
        held += HeldBy(*job);
    return held;
}

bool TFetchAhead::MayBegin() const {
    if (queue_.empty()) return false;
    // The run waits for an address asked for; what a page about to be stored names is asked for
    // next, and may go past the window by one per worker.
    const Job& next = *queue_.front();
    if (next.Asked) return true;
    std::size_t waiting = 0, held = 0;
    for (const auto& [key, job] : jobs_) {
        waiting += job->Started ? 1 : 0;
        held += HeldBy(*job);
    }
    held += HeldByPassed();
    return waiting < window_ + (next.First ? workers_.size() : 0) && held < heldBytes_;
}

bool TFetchAhead::Idle() {
    std::lock_guard lock(mutex_);
    return running_ == 0 && !MayBegin();
}

void TFetchAhead::Work() {
    AheadContext context(net_);
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] {
            if (stopping_) return true;
            if (queue_.empty()) return false;
            // The run waits for an address asked for; what a page about to be stored names
            // is asked for next, and may go past the window by one per worker.
            return MayBegin();
        });
        if (stopping_) return;
        std::shared_ptr<Job> job = queue_.front();
        queue_.pop_front();
        job->Started = true;
        ++running_;
        lock.unlock();
        try {
            job->Result = FetchDocument(job->Request, job->Buffer, context);
        } catch (...) {
            job->Buffer.Clear();
            job->Error = std::current_exception();
        }
        lock.lock();
        --running_;
        job->Done = true;
        changed_.notify_all();
    }
}

TFetchResult TFetchAhead::Fetch(const TFetchRequest& request, TResponseBuffer& buffer) {
    const std::string key = KeyOf(request, buffer.SpoolsFiles());
    std::shared_ptr<Job> job;
    {
        std::unique_lock lock(mutex_);
        auto found = jobs_.find(key);
        auto passed = found == jobs_.end() ? passed_.find(key) : passed_.end();
        if (passed != passed_.end()) {
            // Passed over and asked for after all: what was fetched serves.
            job = passed->second;
            passed_.erase(passed);
            changed_.wait(lock, [&] { return job->Done; });
        } else if (found != jobs_.end()) {
            job = found->second;
            jobs_.erase(found);
            // A page asked for passes over what was expected before it.
            if (job->Order.second == 0) {
                DropBefore(job->Order);
                asked_ = job->Order.first;
            }
            if (!job->Started) {
                queue_.erase(std::find(queue_.begin(), queue_.end(), job));
                if (running_ < static_cast<int>(workers_.size())) {
                    // Not begun yet: the next fetch of a worker that is free.
                    job->Asked = true;
                    queue_.push_front(job);
                    work_.notify_one();
                } else {
                    // Every worker is busy: fetched here instead.
                    job.reset();
                }
            }
            if (job != nullptr) changed_.wait(lock, [&] { return job->Done; });
            work_.notify_all(); // room in the window
        }
    }
    if (job == nullptr) return FetchDocument(request, buffer, net_);
    if (job->Error != nullptr) {
        // The disk filled while the body came: the run's own check says so the run's way; if
        // it finds room after all, the fetch is made again here.
        net_.CheckFreeSpace();
        return FetchDocument(request, buffer, net_);
    }
    buffer = std::move(job->Buffer);
    return job->Result;
}

void TFetchAhead::DropBefore(Seq order) {
    // What was expected before and not asked for when its turn came will not be asked for: it
    // is dropped (unstarted, it is never fetched), so that it holds no room of the window.
    for (auto at = jobs_.begin(); at != jobs_.end();) {
        if (!(at->second->Order < order)) {
            ++at;
            continue;
        }
        if (!at->second->Started)
            queue_.erase(std::find(queue_.begin(), queue_.end(), at->second));
        else
            KeepPassed(at->first, at->second);
        at = jobs_.erase(at);
    }
}

void TFetchAhead::KeepPassed(const std::string& key, std::shared_ptr<Job> job) {
    // A fetch already made is kept for a later turn of its address (it may come back at another
    // place of the run's order); the oldest go first, so that at most a window's worth waits.
    passed_.emplace(key, std::move(job));
    while (!passed_.empty() && (passed_.size() > window_ || HeldByPassed() > heldBytes_ / 2)) {
        auto oldest =
            std::min_element(passed_.begin(), passed_.end(), [](const auto& a, const auto& b) {
                return a.second->Order < b.second->Order;
            });
        passed_.erase(oldest);
    }
}

std::size_t TFetchAhead::Pending() {
    std::lock_guard lock(mutex_);
    return jobs_.size();
}

std::size_t TFetchAhead::Ready() {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        jobs_.begin(), jobs_.end(), [](const auto& entry) { return entry.second->Done; }));
}

void TFetchAhead::Forget() {
    std::unique_lock lock(mutex_);
    queue_.clear();
    changed_.wait(lock, [&] { return running_ == 0; });
    jobs_.clear();
    passed_.clear();
    work_.notify_all();
}

TFetchResult FetchInTurn(const TFetchRequest& request, TResponseBuffer& buffer, TNetContext& net) {
    return net.Ahead != nullptr ? net.Ahead->Fetch(request, buffer)
                                : FetchDocument(request, buffer, net);
}

} // namespace gathra
