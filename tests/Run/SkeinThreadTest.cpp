#include "Run/SkeinThread.h"
#include "Brief/Brief.h"
#include "Brief/BriefFile.h"
#include "Run/FileNames.h"
#include "Run/ProgressState.h"
#include "Run/RunCancel.h"
#include "Run/RunFlags.h"
#include "Run/RunHost.h"
#include "Platform/Clock.h"
#include "Platform/SocketCanceller.h"
#include "Settings/AppSettings.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <thread>

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

// Records the calls a run makes into the main thread, and saves the brief for real.
class RecordingHost : public RunHost {
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
    SkeinThreadTest() {
        settings.ProgramFolder = "/prog/";
        settings.DiskBufferBytes = 0;
        settings.Retries = 1;
        brief.CreateNewBrief();
        brief.BriefName = "Morning";
        brief.FileName = (dir / "Morning.brf").string();
        brief.BriefFolder = dir.Folder();
    }

    TWebPage& AddWeb(const std::string& name, const std::string& address, int depth = 1) {
        TWebPage& e = *brief.WebList.AddEntry(EntryKind::Web);
        e.EntryName = name;
        e.Address = address;
        e.SpiderDepth = depth;
        return e;
    }

    TSkeinThread::Options Options() {
        TSkeinThread::Options o;
        o.Settings = &settings;
        o.Host = &host;
        o.Clock = &clock;
        o.Flags = &flags;
        o.Canceller = &canceller;
        o.Counters = &counters;
        o.TimeUnitMs = 20;
        return o;
    }

    RunOutcome RunOnce() {
        TSkeinThread run(brief, Options());
        EXPECT_TRUE(run.RunHere());
        return run.Outcome();
    }

    std::string RunFile(const std::string& folder, const std::string& name) {
        return test::ReadFileBytes(dir / folder / name);
    }

    test::TempDir dir;
    TestHttpServer server;
    AppSettings settings;
    FixedClock clock{LocalTime{2026, 3, 7, 9, 5, 3}};
    RunFlags flags;
    SocketCanceller canceller;
    FileNameCounters counters;
    RecordingHost host;
    TBrief brief;
};

TEST(ClassifyEntry, AddressForms) {
    TWebPage e;
    e.Address = "http://example.com";
    EXPECT_EQ(ClassifyEntry(e).FetchAddress, "example.com/");
    e.Address = "HTTP://example.com/a?b#c";
    EXPECT_EQ(ClassifyEntry(e).FetchAddress, "example.com/a?b#c");
    e.Address = "example.com/x";
    EXPECT_EQ(ClassifyEntry(e).FetchAddress, "example.com/x");
    e.Address = "FILE:///tmp/x.htm";
    EXPECT_EQ(ClassifyEntry(e).FetchAddress, "FILE:///tmp/x.htm");
    e.Address = "ftp://ftp.example.com";
    EntryTarget ftp = ClassifyEntry(e);
    EXPECT_TRUE(ftp.NonHttp);
    EXPECT_FALSE(ftp.Mail);
    EXPECT_EQ(ftp.FetchAddress, "ftp://ftp.example.com/");
    e.Address = "mailto://me@example.com";
    EXPECT_TRUE(ClassifyEntry(e).Mail);
    // A "://" after a "/" is part of the path, not a scheme.
    e.Address = "example.com/go?to=http://x";
    EntryTarget inPath = ClassifyEntry(e);
    EXPECT_FALSE(inPath.NonHttp);
    EXPECT_EQ(inPath.FetchAddress, "example.com/go?to=http://x");
}

TEST(ClassifyEntry, SecureAddressesKeepTheirScheme) {
    TWebPage e;
    for (const auto& [address, fetch] : std::vector<std::pair<std::string, std::string>>{
             {"https://example.com", "https://example.com/"},
             {"HTTPS://example.com/a?b#c", "https://example.com/a?b#c"},
             {"https://example.com:8443/x", "https://example.com:8443/x"}}) {
        e.Address = address;
        EntryTarget target = ClassifyEntry(e);
        EXPECT_FALSE(target.NonHttp) << address;
        EXPECT_EQ(target.FetchAddress, fetch);
    }
}

TEST(ClassifyEntry, SearchQueriesJoinWordsWithPlus) {
    TWebPage e(EntryKind::Search);
    e.EntryName = "red  roses&more";
    EXPECT_EQ(ClassifyEntry(e).FetchAddress,
              "http://search.yahoo.com/bin/search?p=red++roses&more");
}

TEST(TopFileExtension, TakesTheLastNameOnly) {
    EXPECT_EQ(TopFileExtension("h.com/a/Pic.GIF"), "gif");
    EXPECT_EQ(TopFileExtension("h.com/a.b/pic"), "");
    EXPECT_EQ(TopFileExtension("h.com/pic.gif?x=1"), "");
    EXPECT_EQ(TopFileExtension("h.com/a?x=1.gif/b.jpg"), "jpg");
    EXPECT_EQ(TopFileExtension("c:\\d.x\\file"), "");
}

TEST_F(SkeinThreadTest, TwoActiveEntriesAndAnInactiveOne) {
    server.Serve("/a.htm", TestResponse::Html("<title>A</title><a href=\"a2.htm\">next</a>"));
    server.Serve("/a2.htm", TestResponse::Html("<title>A two</title>second"));
    server.Serve("/b.htm", TestResponse::Html("<title>B</title>bee"));
    AddWeb("Alpha", server.Url("/a.htm"), 2);
    AddWeb("Off", server.Url("/c.htm")).Active = 0;
    AddWeb("Beta", server.Address("/b.htm"));

    RunOutcome outcome = RunOnce();
    ASSERT_TRUE(outcome.Started);
    EXPECT_FALSE(outcome.DiskError);
    EXPECT_FALSE(outcome.Stopped);
    EXPECT_EQ(outcome.SummaryName, "Brief0.htm");
    EXPECT_EQ(outcome.RunFolder, dir.Folder() + "0/");
    EXPECT_EQ(outcome.StartStamp, "3/7/26 9:05:03AM");
    EXPECT_EQ(outcome.Pages, 3);

    std::string summary = RunFile("0", "Brief0.htm");
    EXPECT_EQ(Count(summary, "<hr size=1>"), 1u);
    EXPECT_EQ(summary.rfind("<html>\r\n<head>\r\n<title>Morning</title>\r\n</head>\r\n", 0), 0u);
    EXPECT_NE(summary.find("<a href=\"GA0.htm\">Alpha</a>"), std::string::npos);
    EXPECT_NE(summary.find("Depth:2 levels\r\n"), std::string::npos);
    EXPECT_NE(summary.find("<a href=\"GA1.htm\">Site Map</a>"), std::string::npos);
    EXPECT_NE(summary.find(">Beta</a>"), std::string::npos);
    EXPECT_EQ(summary.find("Off"), std::string::npos);
    EXPECT_EQ(summary.substr(summary.size() - 9), "</html>\r\n");
    EXPECT_LT(summary.find("Alpha"), summary.find("<hr size=1>"));
    EXPECT_GT(summary.find("Beta"), summary.find("<hr size=1>"));

    std::string top = RunFile("0", "GA0.htm");
    EXPECT_NE(top.find("<title>A</title>"), std::string::npos);
    EXPECT_EQ(top.substr(top.size() - 16), "</body></html>\r\n");
    EXPECT_NE(top.find("Brief Summary</a>"), std::string::npos);
    std::string siteMap = RunFile("0", "GA1.htm");
    EXPECT_NE(siteMap.find(">A</a>"), std::string::npos);
    EXPECT_NE(siteMap.find(">A two</a>"), std::string::npos);

    // The catalogue names every file of the folder, folder number and summary first.
    std::optional<CatalogContents> catalog = ReadCatalog((dir / "0" / "Brief0.cat").string());
    ASSERT_TRUE(catalog.has_value());
    EXPECT_TRUE(catalog->Complete);
    EXPECT_EQ(catalog->FolderName, "0");
    ASSERT_FALSE(catalog->FileNames.empty());
    EXPECT_EQ(catalog->FileNames[0], "Brief0.htm");
    for (const auto& file : std::filesystem::directory_iterator(dir / "0")) {
        std::string name = file.path().filename().string();
        if (name == "Brief0.cat") continue;
        EXPECT_EQ(std::count(catalog->FileNames.begin(), catalog->FileNames.end(), name), 1)
            << name;
    }
    EXPECT_EQ(RunFile("0", "Brief0.cat").back(), '\0');

    for (const std::string& target : server.Targets())
        EXPECT_NE(target, "/c.htm");

    // The archive entry is kept in the brief's ".cat" file.
    TBrief saved;
    saved.FileName = brief.FileName;
    ASSERT_TRUE(ReadBriefs2(saved, host.dialogs));
    ASSERT_EQ(saved.ArchivePaths.size(), 1u);
    EXPECT_EQ(saved.ArchivePaths[0], "0\\Brief0.htm");
    EXPECT_EQ(saved.ArchiveTitles[0], "3/7/26 9:05:03AM");

    EXPECT_EQ(brief.BriefFolder, dir.Folder());
    EXPECT_EQ(brief.Generating, 0);
    EXPECT_EQ(flags.RunActive.load(), 0);
    EXPECT_EQ(host.Ready, "Morning|Brief0.htm|" + dir.Folder() + "0/");
    EXPECT_EQ(host.LastStatus, " Gathra Light");
    EXPECT_EQ(host.Labels[static_cast<size_t>(ProgressLabel::BriefName)], "Morning");
    EXPECT_EQ(host.Labels[static_cast<size_t>(ProgressLabel::CurrEntry)], "Beta");
    EXPECT_EQ(host.Labels[static_cast<size_t>(ProgressLabel::PagesLoaded)], "3");
    EXPECT_EQ(host.Addresses.front(), server.Address("/a.htm"));
    std::vector<std::string> calls = host.Calls();
    ASSERT_GE(calls.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 6, calls.end()),
              (std::vector<std::string>{"AppendArchive", "FreeProgress", "Unlock", "BriefReady",
                                        "Repaint", "SaveBrief"}));
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3),
              (std::vector<std::string>{"Lock", "CreateProgress", "ShowProgress"}));
}

TEST_F(SkeinThreadTest, TwoRunsMakeFoldersZeroAndOneWithContinuingNames) {
    server.Serve("/a.htm", TestResponse::Html("<title>A</title>a"));
    AddWeb("Alpha", server.Address("/a.htm"));
    RunOutcome first = RunOnce();
    RunOutcome second = RunOnce();
    EXPECT_EQ(first.RunFolder, dir.Folder() + "0/");
    EXPECT_EQ(second.RunFolder, dir.Folder() + "1/");
    EXPECT_EQ(first.SummaryName, "Brief0.htm");
    EXPECT_EQ(second.SummaryName, "Brief1.htm");
    EXPECT_TRUE(std::filesystem::exists(dir / "0" / "GA0.htm"));
    EXPECT_TRUE(std::filesystem::exists(dir / "1" / "GA1.htm"));
    EXPECT_FALSE(std::filesystem::exists(dir / "1" / "GA0.htm"));
    EXPECT_EQ(brief.ArchivePaths, (std::vector<std::string>{"0\\Brief0.htm", "1\\Brief1.htm"}));
}

TEST_F(SkeinThreadTest, NoActiveEntryStillMakesASummaryAndAnArchiveEntry) {
    AddWeb("Off", server.Address("/a.htm")).Active = 0;
    RunOutcome outcome = RunOnce();
    std::string summary = RunFile("0", "Brief0.htm");
    EXPECT_EQ(summary.find("Web Entry"), std::string::npos);
    EXPECT_NE(summary.find("<hr size=3>\r\n<hr size=3>"), std::string::npos);
    EXPECT_EQ(RunFile("0", "Brief0.cat"), std::string("\1"
                                                      "0"
                                                      "\x0A"
                                                      "Brief0.htm",
                                                      13) +
                                              std::string(1, '\0'));
    EXPECT_EQ(brief.ArchivePaths.size(), 1u);
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(outcome.SummaryPath, dir.Folder() + "0/Brief0.htm");
}

TEST_F(SkeinThreadTest, ATopPageThatIsAGifIsStoredAsAFile) {
    const std::string gif("GIF89a\1\0\1\0\0\0\0;", 14);
    server.Serve("/pic.gif", TestResponse::Http(200, "image/gif", gif));
    AddWeb("Picture", server.Address("/pic.gif")).LoadImages = 1;
    RunOutcome outcome = RunOnce();
    EXPECT_EQ(RunFile("0", "GA0.gif"), gif);
    EXPECT_EQ(outcome.Images, 1);
    EXPECT_EQ(outcome.Pages, 0);
    std::string summary = RunFile("0", "Brief0.htm");
    EXPECT_NE(summary.find("<a href=\"GA0.gif\">Picture</a></font><br>\r\n<ul><font size=2>"
                           "<b>Retrieval Depth:</b>1 level\r\n</font><br></ul>\r\n"),
              std::string::npos);
}

TEST_F(SkeinThreadTest, MailAndFtpEntriesGetLinkNotices) {
    AddWeb("Write", "mailto://editor@example.com");
    AddWeb("Files", "ftp://ftp.example.com/pub/");
    RunOnce();
    EXPECT_EQ(server.RequestCount(), 0u);
    std::string summary = RunFile("0", "Brief0.htm");
    EXPECT_NE(summary.find("<a href=\"GA0.htm\">Write</a>"), std::string::npos);
    EXPECT_NE(summary.find("<a href=\"GA1.htm\">Files</a>"), std::string::npos);
    EXPECT_NE(RunFile("0", "GA0.htm").find("<title>Mail Link</title>"), std::string::npos);
    EXPECT_NE(RunFile("0", "GA0.htm").find("mailto://editor@example.com/"), std::string::npos);
    EXPECT_NE(RunFile("0", "GA1.htm").find("<title>Unsupported Protocol</title>"),
              std::string::npos);
}

TEST_F(SkeinThreadTest, SearchWithTwoWordsGoesThroughTheProxy) {
    settings.ProxyServer = "127.0.0.1";
    settings.ProxyPort = server.Port();
    server.Serve("/bin/search?p=red+roses", TestResponse::Html("<title>Results</title>found"));
    TWebPage& search = *brief.WebList.AddEntry(EntryKind::Search);
    search.EntryName = "red roses";
    RunOnce();
    ASSERT_EQ(server.Targets().size(), 1u);
    EXPECT_EQ(server.Targets()[0], "http://search.yahoo.com/bin/search?p=red+roses");
    EXPECT_NE(server.Request(0).find("Host: search.yahoo.com\r\n"), std::string::npos);
    EXPECT_NE(RunFile("0", "GA0.htm").find("found"), std::string::npos);
}

TEST_F(SkeinThreadTest, LocalFilesAndRedirectedTopPages) {
    test::WriteFileBytes(dir / "local.htm", "<title>Local</title>from disk");
    AddWeb("Local", "file://" + (dir / "local.htm").string());
    server.Serve("/old.htm", TestResponse::Redirect(302, server.Url("/new.htm")));
    server.Serve("/new.htm", TestResponse::Html("<title>New</title><a href=\"next.htm\">n</a>"));
    server.Serve("/next.htm", TestResponse::Html("<title>Next</title>next page"));
    AddWeb("Moved", server.Address("/old.htm"), 2);
    RunOutcome outcome = RunOnce();
    EXPECT_EQ(outcome.Pages, 3);
    EXPECT_NE(RunFile("0", "GA0.htm").find("from disk"), std::string::npos);
    // Links of a redirected page are taken relative to where it was found.
    std::vector<std::string> targets = server.Targets();
    EXPECT_NE(std::find(targets.begin(), targets.end(), "/next.htm"), targets.end());
}

TEST_F(SkeinThreadTest, SecurePagesEndToEnd) {
    TestHttpServer secure(test::TestCertificate::Valid);
    TestHttpServer expired(test::TestCertificate::Expired);
    secure.Serve("/site/index.htm",
                 TestResponse::Html("<title>Secure Home</title><img src=\"pic.gif\">"
                                    "<a href=\"two.htm\">relative</a>"
                                    "<a href=\"/root.htm\">root</a>"
                                    "<a href=\"" +
                                    secure.Url("/abs.htm") +
                                    "\">absolute</a>"
                                    "<a href=\"" +
                                    server.Url("/plain.htm") + "\">plain</a>"));
    secure.Serve("/site/pic.gif", TestResponse::Http(200, "image/gif", "GIF89a-secure"));
    for (const char* page : {"/site/two.htm", "/root.htm", "/abs.htm"})
        secure.Serve(page, TestResponse::Html(std::string("<title>T") + page + "</title>x"));
    secure.Serve("/moved.htm", TestResponse::Html("<title>Moved Here</title>upgraded"));
    server.Serve("/plain.htm", TestResponse::Html("<title>Plain</title>plain page"));
    server.Serve("/up.htm", TestResponse::Redirect(301, secure.Url("/moved.htm")));
    expired.SetDefault(TestResponse::Html("never shown"));

    AddWeb("Secure", secure.Url("/site/index.htm"), 2).LoadImages = 1;
    AddWeb("Upgraded", server.Address("/up.htm"));
    AddWeb("Stale", expired.Url("/old.htm"));
    TSkeinThread::Options options = Options();
    options.TrustedAuthorities = test::TestAuthorityPem();
    TSkeinThread run(brief, options);
    ASSERT_TRUE(run.RunHere());
    // Four secure pages and the plain one of the first entry, the moved page and the notice.
    EXPECT_EQ(run.Outcome().Pages, 7);

    std::vector<std::string> targets = secure.Targets();
    for (const char* wanted : {"/site/index.htm", "/site/pic.gif", "/site/two.htm", "/root.htm",
                               "/abs.htm", "/moved.htm"})
        EXPECT_EQ(std::count(targets.begin(), targets.end(), wanted), 1) << wanted;
    EXPECT_EQ(expired.RequestCount(), 0u);

    std::string top = RunFile("0", "GA0.htm");
    EXPECT_NE(top.find("<title>Secure Home</title>"), std::string::npos);
    // Every link of the secure page leads to a stored copy.
    for (const char* original :
         {"two.htm\"", "/root.htm\"", "abs.htm\"", "plain.htm\"", "pic.gif\""})
        EXPECT_EQ(top.find(original), std::string::npos) << original << " in\n" << top;
    // The bars lead on-line to the page with its scheme.
    EXPECT_EQ(Count(top, "href=" + secure.Url("/site/index.htm") + " "), 1u) << top;
    EXPECT_EQ(Count(top, "href=" + secure.Url("/site/index.htm") + ">Original Link"), 1u);
    bool noticeFound = false, movedFound = false;
    for (const auto& file : std::filesystem::directory_iterator(dir / "0")) {
        std::string text = test::ReadFileBytes(file.path());
        if (text.find("certificate has expired") != std::string::npos) {
            noticeFound = true;
            EXPECT_NE(text.find(expired.Url("/old.htm")), std::string::npos);
            EXPECT_NE(text.find("Brief Summary</a>"), std::string::npos) << "the bar is missing";
        }
        movedFound = movedFound || text.find("upgraded") != std::string::npos;
    }
    EXPECT_TRUE(noticeFound);
    EXPECT_TRUE(movedFound);
}

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
    TSkeinThread run(brief, Options());
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(server.WaitForRequests(1));
    dialogs.Answers = {0};
    progress.AbortClick();
    EXPECT_FALSE(progress.ButtonsEnabled());
    // A second question is on screen while the run ends: the dialog must stay until it is gone.
    flags.QuestionOpen = 1;
    for (int i = 0; i < 500 && host.CallCount("AppendArchive") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(host.CallCount("AppendArchive"), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(host.CallCount("FreeProgress"), 0u);
    flags.QuestionOpen = 0;
    run.Join();
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
