#pragma once
#include "Brief/Brief.h"
#include "Run/FileNames.h"
#include "Run/RunFlags.h"
#include "Run/SkeinThread.h"
#include "Platform/Clock.h"
#include "Platform/SocketCanceller.h"
#include "Settings/AppSettings.h"
#include "support/QuietHost.h"

#include <memory>
#include <string>

namespace gathra::test {

// A whole brief run on the calling thread, as the program makes one: a brief of web entries in
// `folder` (with its trailing separator), the run's own settings (no disk buffer, one try), a
// fixed clock and a short time unit. `Host` shows nothing unless a test gives another one.
struct BriefRun {
    TBrief Brief;
    AppSettings Settings;
    QuietHost Quiet;
    RunHost* Host = &Quiet;
    FixedClock Clock{LocalTime{2026, 3, 7, 9, 5, 3}};
    RunFlags Flags;
    SocketCanceller Canceller;
    FileNameCounters Counters;
    std::unique_ptr<TSkeinThread> Thread; // the last run, kept for its outcome

    BriefRun(const std::string& folder, const std::string& name) {
        Brief.CreateNewBrief();
        Brief.BriefName = name;
        Brief.FileName = folder + name + ".brf";
        Brief.BriefFolder = folder;
        Settings.ProgramFolder = "/prog/";
        Settings.DiskBufferBytes = 0;
        Settings.Retries = 1;
    }

    // A web entry with images and other files on.
    TWebPage& AddWeb(const std::string& address, int depth) {
        TWebPage& e = *Brief.WebList.AddEntry(EntryKind::Web);
        e.EntryName = address;
        e.Address = address;
        e.SpiderDepth = depth;
        e.LoadImages = 1;
        e.LoadBinaries = 1;
        return e;
    }

    bool Run() {
        TSkeinThread::Options options;
        options.Settings = &Settings;
        options.Host = Host;
        options.Clock = &Clock;
        options.Flags = &Flags;
        options.Canceller = &Canceller;
        options.Counters = &Counters;
        options.TimeUnitMs = 20;
        Thread = std::make_unique<TSkeinThread>(Brief, options);
        return Thread->RunHere();
    }
};

} // namespace gathra::test
