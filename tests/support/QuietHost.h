#pragma once
#include "Run/RunHost.h"

#include <string>

namespace gathra::test {

// A run host that shows nothing; tests override what they watch.
class QuietHost : public RunHost {
public:
    void LockControls(TBrief&) override {}
    void UnlockControls(TBrief&) override {}
    void CreateProgress() override {}
    void ShowProgress() override {}
    void UpdateItem(ProgressLabel, const std::string&) override {}
    void UpdateProgress(int) override {}
    void FreeProgress() override {}
    void SetStatusText(const std::string&) override {}
    void ShowDiskError(const std::string&, const std::string&) override {}
    void BriefReady(const std::string&, const std::string&, const std::string&) override {}
    void AppendArchive(TBrief&, const std::string&, const std::string&) override {}
    void Repaint() override {}
};

} // namespace gathra::test
