#pragma once
#include "Desktop/CommandState.h"
#include "Run/RunHost.h"

#include <QPointer>
#include <functional>

namespace gathra {

class TBriefProcessing;
class TMDIFrame;
class TSkeinForm;

// The run's calls into the desktop program. Each one runs on the main thread; a call from the
// run thread waits until the main thread has carried it out.
class GuiRunHost : public RunHost {
public:
    explicit GuiRunHost(TMDIFrame& frame) : frame_(frame) {}

    void LockControls(TBrief& brief) override;
    void UnlockControls(TBrief& brief) override;
    void CreateProgress() override;
    void ShowProgress() override;
    void UpdateItem(ProgressLabel label, const std::string& text) override;
    void UpdateProgress(int percent) override;
    void FreeProgress() override;
    void SetStatusText(const std::string& text) override;
    void ShowDiskError(const std::string& text, const std::string& caption) override;
    void ShowDiskFailure(const std::string& text, const std::string& caption,
                         const std::string& cause) override;
    void BriefReady(const std::string& briefName, const std::string& summaryName,
                    const std::string& runFolder) override;
    void AppendArchive(TBrief& brief, const std::string& path, const std::string& title) override;
    void ShowIndexProblem(const std::string& text) override;
    void Repaint() override;
    void SaveBrief(TBrief& brief) override;

    // The run's progress dialog while it is up (a child of the main window), else null.
    TBriefProcessing* Progress() const { return progress_; }
    // Called on the main thread after each call of the run has been carried out, so that a
    // watcher sees every state the run puts the windows in (the progress dialog shown, its
    // texts, the controls locked), not a sample of them. Empty: nothing is called.
    void SetAfterEachCall(std::function<void()> hook) { afterEachCall_ = std::move(hook); }

private:
    void OnMain(const std::function<void()>& call);
    TSkeinForm* FormOf(const TBrief& brief) const;

    TMDIFrame& frame_;
    RunLockSaved saved_;
    TSkeinForm* runForm_ = nullptr;
    QPointer<TBriefProcessing> progress_;
    std::function<void()> afterEachCall_;
};

} // namespace gathra
