#pragma once
#include "Engine/FileNames.h"
#include "Engine/HashTable.h"
#include "Engine/LList.h"
#include "Engine/RunContext.h"
#include "Engine/RunFlags.h"
#include "Engine/TocList.h"
#include "Platform/Clock.h"
#include "Shell/AppSettings.h"
#include "support/TempDir.h"

#include <memory>
#include <string>

namespace gathra::test {

// A brief run's shared state around a temporary run folder, for the page rewriter and the
// spider: fixed clock (3/7/26 9:05:03 in the morning), program folder "/prog/", brief "News",
// its own counters and flags, an open catalogue and fresh entry tables.
struct RewriteRun {
    TempDir Dir;
    AppSettings Settings;
    FixedClock Clock{LocalTime{2026, 3, 7, 9, 5, 3}};
    RunFlags Flags;
    FileNameCounters Counters;
    TRunContext Run;

    RewriteRun() {
        Settings.ProgramFolder = "/prog/";
        Settings.DiskBufferBytes = 0;
        Settings.Retries = 1;
        Run.Settings = &Settings;
        Run.Clock = &Clock;
        Run.Flags = &Flags;
        Run.Counters = &Counters;
        Run.BriefName = "News";
        Run.BriefFolder = Dir.Folder();
        Run.TimeUnitMs = 20;
        Run.Catalog.Open((Dir / "Brief0.cat").string());
        NewEntryTables();
    }

    // What the run does at the start of every entry.
    void NewEntryTables() {
        Run.PageTable = std::make_unique<THashTable>(97);
        Run.TocRoot = std::make_unique<TOCList>();
        Run.CurrentTocList = Run.TocRoot.get();
        Run.LevelQueue[0] = std::make_unique<TLList>();
        Run.LevelQueue[1] = std::make_unique<TLList>();
        Run.LevelSelector = 1;
    }

    std::string File(const std::string& name) const { return ReadFileBytes(Dir / name); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Dir / name); }
};

} // namespace gathra::test
