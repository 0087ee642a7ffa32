#pragma once
#include "App/gathra/RunCommands.h"
#include "Brief/Brief.h"
#include "Platform/Clock.h"
#include "Run/FileNames.h"
#include "Settings/AppSettings.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace gathra::test {

// How often `path` is among the request targets.
inline size_t Count(const std::vector<std::string>& targets, const std::string& path) {
    return static_cast<size_t>(std::count(targets.begin(), targets.end(), path));
}

// A brief of web entries generated as `gathra generate` does (progress and the check's report
// on its error text), with the run's own settings (no disk buffer, one try), a fixed clock and
// a short time unit.
struct CliBriefRun {
    struct Entry {
        std::string Name;
        std::string Address;
        int Depth = 1;
        bool Images = false;
    };

    AppSettings Settings;
    FixedClock Clock{LocalTime{2026, 3, 7, 9, 5, 3}};
    bool Check = true; // check the run folder afterwards
    int Status = -1;
    std::string Out;
    std::string Err;

    CliBriefRun() {
        Settings.ProgramFolder = "/prog/";
        Settings.DiskBufferBytes = 0;
        Settings.Retries = 1;
    }

    // Generates a brief of `entries` (in that order, other sites followed) into a new folder
    // of `dir`; answers that run folder.
    std::filesystem::path Generate(const std::filesystem::path& dir,
                                   const std::vector<Entry>& entries) {
        TBrief brief;
        brief.CreateNewBrief();
        brief.BriefName = "Brief";
        brief.FileName = (dir / "Brief.brf").string();
        brief.BriefFolder = (dir / "").string();
        for (const Entry& e : entries) {
            TWebPage& page = *brief.WebList.AddEntry(EntryKind::Web);
            page.EntryName = e.Name;
            page.Address = e.Address;
            page.SpiderDepth = e.Depth;
            page.LoadImages = e.Images ? 1 : 0;
            page.LocalOnly = 0;
        }
        ProgramFileNameCounters().Reset();
        GenerateOptions options;
        options.CatchInterrupt = false;
        options.TimeUnitMs = 50;
        options.Check = Check;
        options.Clock = &Clock;
        std::ostringstream out, err;
        Status = GenerateLoadedBrief(brief, Settings, options, out, err);
        Out = out.str();
        Err = err.str();
        return std::filesystem::path(Out.substr(0, Out.find('\n'))).parent_path();
    }
};

} // namespace gathra::test
