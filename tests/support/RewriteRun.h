#pragma once
#include "Run/FileNames.h"
#include "Run/HashTable.h"
#include "Run/LList.h"
#include "Run/RunContext.h"
#include "Run/RunFlags.h"
#include "Run/TocList.h"
#include "Platform/Clock.h"
#include "Settings/AppSettings.h"
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
        WriteCatalogHead(Run.Catalog, "0", "Brief0.htm");
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

// The bars as a stored page of that run shows them (brief link "Brief0.htm"), spelled out here
// from their documented form so that stored files can be compared byte for byte.
inline std::string BarHeader(const std::string& webLink, const std::string& siteMap,
                             bool rule = true) {
    const std::string img = "<img src=\"/prog/images/";
    const std::string size = "\" border=0 align=absmiddle width=24 height=24 alt=\"";
    std::string h = "<nobr>&#160 <a href=\"Brief0.htm\" target=\"_top\">" + img + "brief.gif" +
                    size + "Brief\"></a> ";
    if (!siteMap.empty())
        h += "<a href=\"" + siteMap + "\" target=\"_top\">" + img + "toc.gif" + size +
             "Site Map\"></a> ";
    if (!webLink.empty())
        h += "<a href=" + webLink + " target=\"_top\">" + img + "orig.gif" + size +
             "Original Link\"></a> ";
    h += "<font size=3>News</font>\r\n<font size=3> 3/7/26, 9:5:3AM <b>by Gathra "
         "Light</b></font></nobr><br>";
    if (rule) h += "<hr size=3><br>";
    return h + "\r\n";
}

inline std::string BarFooter(const std::string& webLink, const std::string& siteMap,
                             const std::string& brief = "Brief0.htm") {
    std::string f = "<hr size=3><nobr><center><font size=3>";
    if (!brief.empty()) f += "| <a href=\"" + brief + "\">Brief Summary</a> ";
    if (!siteMap.empty()) f += "| <a href=\"" + siteMap + "\">Site Map</a>";
    if (!webLink.empty()) f += "| <a href=" + webLink + ">Original Link</a> ";
    if (!brief.empty() || !siteMap.empty() || !webLink.empty()) f += "|";
    return f + "</font><font size=3> Gathra<font size=1>(TM)</font> Light</font></center></nobr>"
               "\r\n";
}

} // namespace gathra::test
