// Whole runs against the loopback server with pages in the shapes that documentation generators
// write: navigation lists with bare ">", a top page with an in-page table of contents, links with
// queries and fragments, text files, refused file types and pictures that every page shares.
#include "Brief/Brief.h"
#include "Engine/FileNames.h"
#include "Engine/RunFlags.h"
#include "Engine/RunHost.h"
#include "Engine/SkeinThread.h"
#include "Platform/Clock.h"
#include "Platform/SocketCanceller.h"
#include "Shell/AppSettings.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace gathra {
namespace {

using test::TestHttpServer;
using test::TestResponse;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class QuietHost : public RunHost {
public:
    void LockControls(TBrief& brief) override { brief.Generating = 1; }
    void UnlockControls(TBrief& brief) override { brief.Generating = 0; }
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

class RealPagesTest : public ::testing::Test {
protected:
    RealPagesTest() {
        settings.ProgramFolder = "/prog/";
        settings.DiskBufferBytes = 0;
        settings.Retries = 1;
        brief.CreateNewBrief();
        brief.BriefName = "Docs";
        brief.FileName = (dir / "Docs.brf").string();
        brief.BriefFolder = dir.Folder();
    }

    TWebPage& AddWeb(const std::string& address, int depth) {
        TWebPage& e = *brief.WebList.AddEntry(EntryKind::Web);
        e.EntryName = "Manual";
        e.Address = address;
        e.SpiderDepth = depth;
        return e;
    }

    RunOutcome RunOnce() {
        TSkeinThread::Options o;
        o.Settings = &settings;
        o.Host = &host;
        o.Clock = &clock;
        o.Flags = &flags;
        o.Canceller = &canceller;
        o.Counters = &counters;
        o.TimeUnitMs = 20;
        TSkeinThread run(brief, o);
        EXPECT_TRUE(run.RunHere());
        return run.Outcome();
    }

    std::string File(const std::string& name) { return test::ReadFileBytes(dir / "0" / name); }
    bool Exists(const std::string& name) { return std::filesystem::exists(dir / "0" / name); }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& f : std::filesystem::directory_iterator(dir / "0"))
            names.push_back(f.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    size_t Requests(const std::string& target) {
        std::vector<std::string> all = server.Targets();
        return static_cast<size_t>(std::count(all.begin(), all.end(), target));
    }

    test::TempDir dir;
    TestHttpServer server;
    AppSettings settings;
    FixedClock clock{LocalTime{2026, 3, 7, 9, 5, 3}};
    RunFlags flags;
    SocketCanceller canceller;
    FileNameCounters counters;
    QuietHost host;
    TBrief brief;
};

// A breadcrumb trail and a long list of entries whose text holds bare ">" (as "&gt;" written
// unescaped) and "<" ("a < b"), so that several 4,999-byte windows hold more of one bracket
// than of the other and tags straddle their edges.
TEST_F(RealPagesTest, BracketsInTextLeaveEveryLinkRewritten) {
    std::string nav = "<html><title>Index</title><body><p>Home > Guide > Index</p><ul>";
    const int kLinks = 300;
    for (int i = 0; i < kLinks; ++i) {
        nav += "<li>step " + std::to_string(i) + " >> then > next";
        if (i % 3 == 0) nav += " if a < b and b <= c";
        nav += ": <a href=\"p" + std::to_string(i) + ".html\">page " + std::to_string(i) +
               "</a></li>\n";
    }
    nav += "</ul></body></html>";
    ASSERT_GT(nav.size(), 4u * 4999u);
    server.Serve("/docs/index.html", TestResponse::Html(nav));
    for (int i = 0; i < kLinks; ++i)
        server.Serve("/docs/p" + std::to_string(i) + ".html",
                     TestResponse::Html("<title>P" + std::to_string(i) + "</title>a > b"));
    AddWeb(server.Address("/docs/index.html"), 2);

    RunOutcome outcome = RunOnce();
    EXPECT_EQ(outcome.Pages, 1 + kLinks);
    std::string top = File("GA0.htm");
    EXPECT_EQ(top.find("href=\"p"), std::string::npos) << "a link was copied unrewritten";
    EXPECT_NE(top.find("Home > Guide > Index"), std::string::npos);
    EXPECT_EQ(Count(top, " >> then > next"), static_cast<size_t>(kLinks));
    for (int i = 0; i < kLinks; ++i)
        EXPECT_EQ(Requests("/docs/p" + std::to_string(i) + ".html"), 1u) << i;
    // The stored pages keep their text, and each is listed under its title.
    std::string siteMap = File("GA1.htm");
    EXPECT_EQ(Count(siteMap, "\">P"), static_cast<size_t>(kLinks));
}

} // namespace
} // namespace gathra
