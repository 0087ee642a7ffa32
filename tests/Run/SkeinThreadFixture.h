#pragma once
// The set-up of the run thread's tests: a brief in a temporary folder run against the loopback
// server, with a host that records every call the run makes into the main thread.
#include "Brief/Brief.h"
#include "Brief/BriefFile.h"
#include "Run/RunHost.h"
#include "Run/SkeinThread.h"
#include "support/BriefRun.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace gathra::test {

// Records the calls a run makes into the main thread, and saves the brief for real.
class RecordingRunHost : public RunHost {
public:
    void LockControls(TBrief& brief) override {
        Log("Lock");
        brief.Generating = 1;
    }
    void UnlockControls(TBrief& brief) override {
        Log("Unlock");
        brief.Generating = 0;
    }
    void CreateProgress() override { Log("CreateProgress"); }
    void ShowProgress() override { Log("ShowProgress"); }
    void UpdateItem(ProgressLabel label, const std::string& text) override {
        std::lock_guard lock(mutex_);
        Labels[static_cast<size_t>(label)] = text;
        if (label == ProgressLabel::CurrAddr) Addresses.push_back(text);
    }
    void UpdateProgress(int) override {}
    void FreeProgress() override { Log("FreeProgress"); }
    void SetStatusText(const std::string& text) override {
        std::lock_guard lock(mutex_);
        LastStatus = text;
    }
    void ShowDiskError(const std::string& text, const std::string& caption) override {
        Log("DiskError");
        dialogs.ShowMessage(text, caption, false);
    }
    void BriefReady(const std::string& briefName, const std::string& summaryName,
                    const std::string& runFolder) override {
        Log("BriefReady");
        Ready = briefName + "|" + summaryName + "|" + runFolder;
    }
    void AppendArchive(TBrief& brief, const std::string& path, const std::string& title) override {
        Log("AppendArchive");
        brief.ArchivePaths.push_back(path);
        brief.ArchiveTitles.push_back(title);
    }
    void Repaint() override { Log("Repaint"); }
    void SaveBrief(TBrief& brief) override {
        Log("SaveBrief");
        SaveBriefs2(brief, dialogs);
    }

    std::vector<std::string> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    size_t CallCount(const std::string& name) const {
        auto c = Calls();
        return static_cast<size_t>(std::count(c.begin(), c.end(), name));
    }

    test::RecordingDialogs dialogs;
    std::string Labels[7];
    std::vector<std::string> Addresses;
    std::string LastStatus;
    std::string Ready;

private:
    void Log(const std::string& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

class SkeinThreadTest : public ::testing::Test {
protected:
    SkeinThreadTest() { parts.Host = &host; }

    TWebPage& AddWeb(const std::string& name, const std::string& address, int depth = 1) {
        return parts.AddEntry(name, address, depth);
    }

    TSkeinThread::Options Options() { return parts.Options(); }

    RunOutcome RunOnce() {
        TSkeinThread run(brief, Options());
        EXPECT_TRUE(run.RunHere());
        return run.Outcome();
    }

    std::string RunFile(const std::string& folder, const std::string& name) {
        return ReadFileBytes(dir / folder / name);
    }

    TempDir dir;
    TestHttpServer server;
    RecordingRunHost host;
    BriefRun parts{dir.Folder(), "Morning"};
    TBrief& brief = parts.Brief;
    AppSettings& settings = parts.Settings;
    RunFlags& flags = parts.Flags;
    SocketCanceller& canceller = parts.Canceller;
    FileNameCounters& counters = parts.Counters;
};

} // namespace gathra::test

namespace gathra {
using test::Occurrences;
using test::SkeinThreadTest;
using test::TestHttpServer;
using test::TestResponse;
} // namespace gathra
