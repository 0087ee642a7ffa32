#include "Platform/LookupThreads.h"

#include <algorithm>

namespace gathra {

TLookupThreads::~TLookupThreads() {
    std::list<Slot> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(slots_);
    }
    for (Slot& slot : all)
        if (slot.Thread.joinable()) slot.Thread.join();
}

TLookupThreads& TLookupThreads::Shared() {
    static TLookupThreads threads;
    return threads;
}

void TLookupThreads::Start(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        auto done = std::make_shared<bool>(false);
        slots_.push_back(Slot{std::thread(), done});
        try {
            slots_.back().Thread = std::thread([this, done, work = std::move(work)] {
                work();
                std::lock_guard ending(mutex_);
                *done = true;
            });
        } catch (...) {
            slots_.pop_back();
            throw;
        }
    }
    Reap(); // the threads that ended before
}

void TLookupThreads::Reap() {
    std::list<Slot> ended;
    {
        std::lock_guard lock(mutex_);
        for (auto it = slots_.begin(); it != slots_.end();) {
            auto next = std::next(it);
            if (*it->Done) ended.splice(ended.end(), slots_, it);
            it = next;
        }
    }
    // Joined outside the lock: an ended thread may still be taking it on its way out.
    for (Slot& slot : ended)
        slot.Thread.join();
}

std::size_t TLookupThreads::Running() {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !*s.Done; }));
}

} // namespace gathra
