#pragma once
#include <atomic>
#include <cstdint>

namespace gathra {

// The four program-wide flags that the main thread and the one brief run share. The main thread
// writes Abort, Skip and QuestionOpen; the run writes RunActive.
struct RunFlags {
    std::atomic<std::uint8_t> AbortFlag{0};
    std::atomic<std::uint8_t> SkipFlag{0};
    std::atomic<std::uint8_t> QuestionOpen{0};
    std::atomic<std::uint8_t> RunActive{0};

    bool SkipOrAbort() const { return AbortFlag.load() != 0 || SkipFlag.load() != 0; }
    void Reset() {
        AbortFlag = 0;
        SkipFlag = 0;
        QuestionOpen = 0;
        RunActive = 0;
    }
};

// The flags of the process; tests may make their own RunFlags instead.
RunFlags& ProgramRunFlags();

} // namespace gathra
