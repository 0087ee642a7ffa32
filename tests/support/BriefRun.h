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
    std::string TrustedAuthorities;       // PEM text; empty: the system's trust store

    BriefRun(const std::string& folder, const std::string& name) {
        Brief.CreateNewBrief();
        Brief.BriefName = name;
        Brief.FileName = folder + name + ".brf";
        Brief.BriefFolder = folder;
        Settings.ProgramFolder = "/prog/";
        Settings.DiskBufferBytes = 0;
        Settings.Retries = 1;
    }

    // A web entry with the entry's own defaults.
    TWebPage& AddEntry(const std::string& name, const std::string& address, int depth) {
        TWebPage& e = *Brief.WebList.AddEntry(EntryKind::Web);
        e.EntryName = name;
        e.Address = address;
        e.SpiderDepth = depth;
        return e;
    }

    // A web entry named by its address, with images and other files on.
    TWebPage& AddWeb(const std::string& address, int depth) {
        TWebPage& e = AddEntry(address, address, depth);
        e.LoadImages = 1;
        e.LoadBinaries = 1;
        return e;
    }

    // What a run of this brief is given.
    TSkeinThread::Options Options() {
        TSkeinThread::Options options;
        options.Settings = &Settings;
        options.Host = Host;
        options.Clock = &Clock;
        options.Flags = &Flags;
        options.Canceller = &Canceller;
        options.Counters = &Counters;
        options.TimeUnitMs = 20;
        options.TrustedAuthorities = TrustedAuthorities;
        return options;
    }

    bool Run() {
        Thread = std::make_unique<TSkeinThread>(Brief, Options());
        return Thread->RunHere();
    }
};

// How often `what` stands in `text` (overlapping places count).
inline size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace gathra::test
