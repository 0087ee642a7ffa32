#include "Platform/Ticks.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace gathra {
namespace {

class SteadyClockTicks : public TTicks {
public:
    std::int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace

int TTicks::SliceMs(std::int64_t leftMs) {
    if (leftMs < 0) return -1;
    return static_cast<int>(std::min<std::int64_t>(leftMs, std::numeric_limits<int>::max()));
}

TTicks& SteadyTicks() {
    static SteadyClockTicks ticks;
    return ticks;
}

std::int64_t TDeadline::LeftMs() const {
    if (endMs_ < 0) return -1;
    return std::max<std::int64_t>(0, endMs_ - ticks_.NowMs());
}

} // namespace gathra
