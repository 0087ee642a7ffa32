// Runs that are skipped, stopped or run out of disk space, and the one run at a time.
#include "Run/SkeinThread.h"
#include "Run/ProgressState.h"
#include "Run/RunCancel.h"
#include "Run/SkeinThreadFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

namespace gathra {
namespace {

TEST_F(SkeinThreadTest, SkipDuringTheTopPageStoresTheNoticeAndGoesOn) {
    server.Enqueue(TestResponse::Silent());
    server.Serve("/b.htm", TestResponse::Html("<title>B</title>bee"));
    AddWeb("Slow", server.Address("/slow.htm"));
    AddWeb("Beta", server.Address("/b.htm"));
    TSkeinThread::Options options = Options();
    std::atomic<int> finished{0};
    options.OnFinished = [&] { ++finished; };
    TSkeinThread run(brief, options);
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(server.WaitForRequests(1));
    RequestSkip(flags, canceller);
    run.Join();
    EXPECT_EQ(finished.load(), 1);
    EXPECT_NE(RunFile("0", "GA0.htm").find("<h2>Page Skipped</h2>"), std::string::npos);
    std::string summary = RunFile("0", "Brief0.htm");
    EXPECT_NE(summary.find(">Slow</a>"), std::string::npos);
    EXPECT_NE(summary.find(">Beta</a>"), std::string::npos);
    EXPECT_NE(RunFile("0", "GA1.htm").find("bee"), std::string::npos);
    EXPECT_FALSE(run.Outcome().Stopped);
    // A fresh progress dialog for the next entry.
    EXPECT_EQ(host.CallCount("CreateProgress"), 2u);
    EXPECT_EQ(host.CallCount("FreeProgress"), 2u);
}

TEST_F(SkeinThreadTest, SkipDuringASpiderLevelClosesTheEntryAndGoesOn) {
    server.Serve("/a.htm", TestResponse::Html("<title>A</title><a href=\"slow.htm\">s</a>"));
    server.Serve("/slow.htm", TestResponse::Silent());
    server.Serve("/b.htm", TestResponse::Html("<title>B</title>bee"));
    AddWeb("Alpha", server.Address("/a.htm"), 2);
    AddWeb("Beta", server.Address("/b.htm"));
    TSkeinThread run(brief, Options());
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(server.WaitForRequests(2));
    RequestSkip(flags, canceller);
    run.Join();
    EXPECT_FALSE(run.Outcome().Stopped);
    // The top page and the site map of the skipped entry are still whole.
    std::string top = RunFile("0", "GA0.htm");
    EXPECT_EQ(top.substr(top.size() - 16), "</body></html>\r\n");
    std::string siteMap = RunFile("0", "GA1.htm");
    EXPECT_EQ(siteMap.substr(siteMap.size() - 16), "</body></html>\r\n");
    EXPECT_NE(RunFile("0", "Brief0.htm").find(">Beta</a>"), std::string::npos);
    std::vector<std::string> targets = server.Targets();
    EXPECT_NE(std::find(targets.begin(), targets.end(), "/b.htm"), targets.end());
    EXPECT_EQ(host.CallCount("CreateProgress"), 2u);
    EXPECT_EQ(brief.ArchivePaths, std::vector<std::string>{"0\\Brief0.htm"});
}

TEST_F(SkeinThreadTest, StopDuringTheFirstEntryClosesEverythingAndRecordsTheRun) {
    server.Enqueue(TestResponse::Silent());
    AddWeb("Slow", server.Address("/slow.htm"));
    AddWeb("Beta", server.Address("/b.htm"));
    TSkeinThread run(brief, Options());
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(server.WaitForRequests(1));
    RequestAbort(flags, canceller);
    run.Join();
    EXPECT_TRUE(run.Outcome().Stopped);
    EXPECT_EQ(server.RequestCount(), 1u);
    std::string summary = RunFile("0", "Brief0.htm");
    EXPECT_EQ(summary.substr(summary.size() - 9), "</html>\r\n");
    EXPECT_EQ(summary.find(">Beta</a>"), std::string::npos);
    std::optional<CatalogContents> catalog = ReadCatalog((dir / "0" / "Brief0.cat").string());
    ASSERT_TRUE(catalog.has_value());
    EXPECT_TRUE(catalog->Complete);
    EXPECT_EQ(brief.ArchivePaths, std::vector<std::string>{"0\\Brief0.htm"});
    EXPECT_EQ(host.CallCount("BriefReady"), 1u);
    EXPECT_EQ(brief.Generating, 0);
}

TEST_F(SkeinThreadTest, StopFromTheProgressDialogWaitsForTheQuestionThenEnds) {
    server.Enqueue(TestResponse::Silent());
    AddWeb("Slow", server.Address("/slow.htm"));
    test::RecordingDialogs dialogs;
    TProgressState progress(dialogs, flags, canceller);
    // The run waits for the open question after it has recorded its archive: the user answers
    // it only then, and the dialog must still be there.
    std::atomic<size_t> archivedWhileAsked{0}, freedWhileAsked{0};
    TSkeinThread::Options options = Options();
    options.QuestionPause = [&] {
        if (host.CallCount("AppendArchive") == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2)); // not at its end yet
            return;
        }
        archivedWhileAsked = host.CallCount("AppendArchive");
        freedWhileAsked = host.CallCount("FreeProgress");
        flags.QuestionOpen = 0;
    };
    TSkeinThread run(brief, options);
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(server.WaitForRequests(1));
    dialogs.Answers = {0};
    progress.AbortClick();
    EXPECT_FALSE(progress.ButtonsEnabled());
    // A second question is on screen while the run ends: the dialog must stay until it is gone.
    flags.QuestionOpen = 1;
    run.Join();
    EXPECT_EQ(archivedWhileAsked.load(), 1u);
    EXPECT_EQ(freedWhileAsked.load(), 0u);
    EXPECT_EQ(host.CallCount("AppendArchive"), 1u);
    EXPECT_EQ(host.CallCount("FreeProgress"), 1u);
    EXPECT_EQ(host.CallCount("BriefReady"), 1u);
    EXPECT_TRUE(run.Outcome().Stopped);
    EXPECT_EQ(flags.RunActive.load(), 0);
}

TEST_F(SkeinThreadTest, DiskBufferAboveFreeSpaceRecordsNothing) {
    AddWeb("Alpha", server.Address("/a.htm"));
    // A buffer set above the free space is what stops the run, not a full disk: the message
    // names the setting and both sizes.
    settings.DiskBufferBytes = std::int64_t(100000) << 20;
    TSkeinThread::Options options = Options();
    options.FreeSpace = [](const std::string&) {
        return std::optional<std::uint64_t>((std::uint64_t(78123) << 20) + 5);
    };
    TSkeinThread run(brief, options);
    ASSERT_TRUE(run.RunHere());
    EXPECT_TRUE(run.Outcome().DiskError);
    EXPECT_FALSE(run.Outcome().Started);
    ASSERT_EQ(host.dialogs.Log.size(), 1u);
    EXPECT_EQ(host.dialogs.Log[0].Text,
              "Gathra Light stopped the retrieval: the disk has 78,123 MB free, and the \"Minimum "
              "disk space\" setting (Edit, Preferences) keeps 100,000 MB free. Lower that setting "
              "or make room on the disk.");
    EXPECT_EQ(host.dialogs.Log[0].Caption, "Disk Error");
    EXPECT_FALSE(host.dialogs.Log[0].Information);
    EXPECT_FALSE(std::filesystem::exists(dir / "0"));
    EXPECT_TRUE(brief.ArchivePaths.empty());
    EXPECT_EQ(brief.BriefFolder, dir.Folder());
    EXPECT_EQ(host.Calls(), std::vector<std::string>{"DiskError"});
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(SkeinThreadTest, DiskFullWhileStoringEndsTheRunButClosesAndRecordsIt) {
    server.Serve("/pic.gif", TestResponse::Http(200, "image/gif", "GIF89a"));
    AddWeb("Picture", server.Address("/pic.gif")).LoadImages = 1;
    AddWeb("Beta", server.Address("/b.htm"));
    // The run's own test passes; the one made while storing the file finds the disk full.
    settings.DiskBufferBytes = std::numeric_limits<std::int64_t>::max();
    TSkeinThread::Options options = Options();
    options.FreeSpace = [](const std::string&) {
        return std::optional<std::uint64_t>(std::numeric_limits<std::uint64_t>::max());
    };
    TSkeinThread run(brief, options);
    ASSERT_TRUE(run.RunHere());
    EXPECT_TRUE(run.Outcome().DiskError);
    EXPECT_EQ(host.CallCount("DiskError"), 1u);
    EXPECT_EQ(server.RequestCount(), 1u);
    std::string summary = RunFile("0", "Brief0.htm");
    EXPECT_EQ(summary.substr(summary.size() - 9), "</html>\r\n");
    std::optional<CatalogContents> catalog = ReadCatalog((dir / "0" / "Brief0.cat").string());
    ASSERT_TRUE(catalog.has_value());
    EXPECT_TRUE(catalog->Complete);
    EXPECT_EQ(brief.ArchivePaths, std::vector<std::string>{"0\\Brief0.htm"});
    EXPECT_EQ(brief.Generating, 0);
    EXPECT_EQ(brief.BriefFolder, dir.Folder());
}

TEST_F(SkeinThreadTest, TheRealFreeSpaceTestPassesWithASmallBuffer) {
    settings.DiskBufferBytes = 1;
    EXPECT_TRUE(FreeSpaceOf(dir.Folder()).has_value());
    EXPECT_FALSE(FreeSpaceOf((dir / "missing" / "x").string() + "/").has_value());
    RunOutcome outcome = RunOnce();
    EXPECT_FALSE(outcome.DiskError);
    settings.DiskBufferBytes = std::numeric_limits<std::int64_t>::max();
    outcome = RunOnce();
    EXPECT_TRUE(outcome.DiskError);
}

TEST_F(SkeinThreadTest, OnlyOneRunAtATime) {
    server.Enqueue(TestResponse::Silent());
    AddWeb("Slow", server.Address("/slow.htm"));
    TSkeinThread run(brief, Options());
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(server.WaitForRequests(1));
    EXPECT_TRUE(TSkeinThread::AnyRunActive());
    TBrief other;
    other.BriefFolder = dir.Folder();
    TSkeinThread second(other, Options());
    EXPECT_FALSE(second.Start());
    EXPECT_FALSE(second.RunHere());
    RequestAbort(flags, canceller);
    run.Join();
    EXPECT_FALSE(TSkeinThread::AnyRunActive());
}

} // namespace
} // namespace gathra
