#include "App/gathra/RunCommands.h"
#include "App/gathra/Cli.h"
#include "Brief/Brief.h"
#include "Brief/BriefFile.h"
#include "Run/FileNames.h"
#include "Platform/Clock.h"
#include "Platform/Registry.h"
#include "Settings/Settings.h"
#include "support/CliRun.h"
#include "support/FileAddressPath.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

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

struct CliResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

CliResult Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    CliResult r;
    r.Status = test::RunCli(args, out, err);
    r.Out = out.str();
    r.Err = err.str();
    return r;
}

// A settings folder of the test's own, put in place through GATHRA_CONFIG_DIR for the test.
class RunCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("GATHRA_CONFIG_DIR");
        if (previous != nullptr) previousConfig_ = previous;
        ::setenv("GATHRA_CONFIG_DIR", config.Path().c_str(), 1);
        registry = std::make_unique<Registry>(config / "registry");
        // A browser is stored so that no detection runs; retries are kept short.
        Set(settings_keys::Browser, settings_keys::BrowserPath, "/bin/true");
        Set(settings_keys::Briefs, settings_keys::Retries, "1");
    }
    void TearDown() override {
        if (previousConfig_)
            ::setenv("GATHRA_CONFIG_DIR", previousConfig_->c_str(), 1);
        else
            ::unsetenv("GATHRA_CONFIG_DIR");
    }
    void Set(std::string_view group, std::string_view name, std::string_view value) {
        ASSERT_TRUE(registry->WriteValue(group, name, value));
    }

    // Saves a brief of the given addresses (depth 1 each) and answers its file name.
    std::string SaveBrief(const std::vector<std::string>& addresses,
                          const std::filesystem::path& folder = {}) {
        TBrief brief;
        brief.CreateNewBrief();
        brief.BriefName = "Evening";
        brief.FileName = ((folder.empty() ? work.Path() : folder) / "Evening.brf").string();
        for (const std::string& address : addresses) {
            TWebPage& e = *brief.WebList.AddEntry(EntryKind::Web);
            e.EntryName = "Entry " + address.substr(address.rfind('/') + 1);
            e.Address = address;
            e.NameSet = 1;
        }
        test::RecordingDialogs dialogs;
        EXPECT_TRUE(SaveBriefs2(brief, dialogs));
        return brief.FileName;
    }

    test::TempDir config;
    test::TempDir work;
    std::unique_ptr<Registry> registry;
    TestHttpServer server;

private:
    std::optional<std::string> previousConfig_;
};

TEST_F(RunCommandsTest, GeneratePrintsTheSummaryPathAndRecordsTheRun) {
    server.Serve("/a.htm", TestResponse::Html("<title>A</title>aye"));
    std::string file = SaveBrief({server.Url("/a.htm")});
    CliResult r = Cli({"generate", file, "--quiet"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, work.Folder() + "0/Brief0.htm\n");
    EXPECT_EQ(r.Err, "");
    EXPECT_NE(test::ReadFileBytes(work / "0" / "GA0.htm").find("aye"), std::string::npos);
    TBrief saved;
    saved.FileName = file;
    test::RecordingDialogs dialogs;
    ASSERT_TRUE(ReadBriefs2(saved, dialogs));
    EXPECT_EQ(saved.ArchivePaths, std::vector<std::string>{"0\\Brief0.htm"});
}

TEST_F(RunCommandsTest, ProgressGoesToStandardErrorAsPlainLines) {
    server.Serve("/a.htm", TestResponse::Html("<title>A</title>aye"));
    std::string file = SaveBrief({server.Url("/a.htm")});
    CliResult r = Cli({"generate", file});
    EXPECT_EQ(r.Status, 0);
    EXPECT_NE(r.Err.find("Entry a.htm [level 1 of 1] " + server.Address("/a.htm") + "\n"),
              std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find("1 pages, 0 images, 0 KB\n"), std::string::npos);
    EXPECT_EQ(r.Err.find('\r'), std::string::npos);
}

TEST_F(RunCommandsTest, ABriefWhoseEntriesAllFailStillSucceeds) {
    std::string file =
        SaveBrief({"127.0.0.1:" + std::to_string(TestHttpServer::UnusedPort()) + "/gone.htm"});
    CliResult r = Cli({"generate", file, "--quiet"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, work.Folder() + "0/Brief0.htm\n");
    std::string notice = test::ReadFileBytes(work / "0" / "GA0.htm");
    EXPECT_NE(notice.find("<h2>Inaccessible Page</h2>"), std::string::npos) << notice;
}

TEST_F(RunCommandsTest, DiskErrorExitsWithOneAndSaysSo) {
    // The largest disk buffer the settings take (976 GiB) is more than the test machine's disk.
    Set(settings_keys::DiskBuffer, settings_keys::MegaBytes, "999999");
    std::string file = SaveBrief({server.Url("/a.htm")});
    CliResult r = Cli({"generate", file, "--quiet"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "");
    // The buffer is what stops the run: the message names the setting as this tool calls it.
    EXPECT_NE(r.Err.find("Disk Error: Gathra Light stopped the retrieval: the disk has "),
              std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find(" MB free, and the disk-buffer-mb setting (gathra settings set "
                         "disk-buffer-mb) keeps 999,999 MB free. Lower that setting or make room "
                         "on the disk.\n"),
              std::string::npos)
        << r.Err;
    EXPECT_FALSE(std::filesystem::exists(work / "0"));
}

TEST_F(RunCommandsTest, MissingOrDamagedBriefsExitWithOne) {
    CliResult missing = Cli({"generate", (work / "none.brf").string()});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("none.brf"), std::string::npos);
    test::WriteFileBytes(work / "bad.brf", "not a brief at all, just some words");
    CliResult damaged = Cli({"generate", (work / "bad.brf").string()});
    EXPECT_EQ(damaged.Status, 1);
    EXPECT_EQ(damaged.Out, "");
    EXPECT_EQ(Cli({"generate"}).Status, 2);
}

TEST_F(RunCommandsTest, OpenHandsTheSummarysFileAddressToTheBrowser) {
    // A run folder whose path a bare or half-encoded address would cut at "#" or "?".
    const std::filesystem::path folder = work / "Notes #1 100%? \"q\" \xC3\xA9t\xC3\xA9";
    std::filesystem::create_directory(folder);
    std::filesystem::path script = work / "browser.sh";
    std::filesystem::path seen = work / "seen.txt";
    test::WriteFileBytes(script, "#!/bin/sh\necho \"$1\" > \"" + seen.string() + ".tmp\" && mv \"" +
                                     seen.string() + ".tmp\" \"" + seen.string() + "\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    Set(settings_keys::Browser, settings_keys::BrowserPath, "\"" + script.string() + "\" \"%1\"");
    Set(settings_keys::Browser, settings_keys::BrowserService, "SH");
    std::string file = SaveBrief({}, folder);
    CliResult r = Cli({"generate", file, "--quiet", "--open"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, (folder / "0" / "Brief0.htm").string() + "\n");
    for (int i = 0; i < 250 && !std::filesystem::exists(seen); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string address = test::ReadFileBytes(seen);
    ASSERT_FALSE(address.empty());
    address.pop_back();
    EXPECT_EQ(address, "file://" + work.Folder() +
                           "Notes%20%231%20100%25%3F%20%22q%22%20%C3%A9t%C3%A9/0/Brief0.htm");
    EXPECT_EQ(test::FileAddressPath(address), (folder / "0" / "Brief0.htm").string());
}

TEST_F(RunCommandsTest, ARunThatCannotBeRecordedIsAFailure) {
    TBrief brief;
    brief.CreateNewBrief();
    // A folder stands where the brief file should be written, so no save can succeed.
    std::filesystem::create_directories(work / "Blocked.brf");
    brief.FileName = (work / "Blocked.brf").string();
    brief.BriefFolder = work.Folder();
    AppSettings settings;
    settings.DiskBufferBytes = 0;
    GenerateOptions options;
    options.Quiet = true;
    options.CatchInterrupt = false;
    std::ostringstream out, err;
    ProgramFileNameCounters().Reset();
    EXPECT_EQ(GenerateLoadedBrief(brief, settings, options, out, err), 1);
    EXPECT_EQ(out.str(), work.Folder() + "0/Brief0.htm\n");
    EXPECT_NE(err.str().find("not recorded"), std::string::npos) << err.str();
}

TEST_F(RunCommandsTest, ARunWhoseCatalogueCannotBeWrittenFailsAndKeepsItsFolder) {
    server.Serve("/a.htm", TestResponse::Html("<title>A</title>aye"));
    std::string file = SaveBrief({server.Url("/a.htm")});
    // A folder where the catalogue belongs cannot be replaced, not even by root.
    std::filesystem::remove(work / "Evening.cat");
    std::filesystem::create_directory(work / "Evening.cat");
    CliResult r = Cli({"generate", file, "--quiet"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find(kBriefSavingErrorText), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("not recorded"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(work.Folder() + "0"), std::string::npos) << r.Err;
    EXPECT_TRUE(std::filesystem::exists(work / "0" / "Brief0.htm"));
}

TEST_F(RunCommandsTest, OnATerminalProgressIsOneUpdatingLine) {
    server.Serve("/a.htm", TestResponse::Html("<title>A</title>aye"));
    TBrief brief;
    brief.CreateNewBrief();
    brief.FileName = (work / "Line.brf").string();
    brief.BriefFolder = work.Folder();
    TWebPage& e = *brief.WebList.AddEntry(EntryKind::Web);
    e.EntryName = "Alpha";
    e.Address = server.Address("/a.htm");
    AppSettings settings;
    settings.DiskBufferBytes = 0;
    GenerateOptions options;
    options.Terminal = true;
    options.CatchInterrupt = false;
    std::ostringstream out, err;
    EXPECT_EQ(GenerateLoadedBrief(brief, settings, options, out, err), 0);
    std::string text = err.str();
    EXPECT_NE(text.find("\r\033[KAlpha  level 1 of 1  pages 1  images 0  0 KB  100%  "),
              std::string::npos)
        << text;
    // Only the final statistics stand on lines of their own.
    EXPECT_EQ(Count(text, "\n"), 2u) << text;
    EXPECT_NE(text.find("\n1 pages, 0 images, 0 KB\n"), std::string::npos);
}

// A clock that presses Ctrl+C the first time it is read: the run reads it for its start stamp,
// while it is still making its folder and summary, before it locks the brief.
class InterruptingClock : public Clock {
public:
    LocalTime Now() const override {
        if (!pressed_.exchange(true)) ::raise(SIGINT);
        return LocalTime{2026, 3, 7, 9, 5, 3};
    }

private:
    mutable std::atomic<bool> pressed_{false};
};

TEST_F(RunCommandsTest, InterruptWhilePreparingStillStopsTheBrief) {
    server.Serve("/a.htm", TestResponse::Html("<title>A</title>aye"));
    TBrief brief;
    brief.CreateNewBrief();
    brief.FileName = (work / "Early.brf").string();
    brief.BriefFolder = work.Folder();
    TWebPage& e = *brief.WebList.AddEntry(EntryKind::Web);
    e.EntryName = "Alpha";
    e.Address = server.Address("/a.htm");
    AppSettings settings;
    settings.DiskBufferBytes = 0;
    InterruptingClock clock;
    GenerateOptions options;
    options.Quiet = true;
    options.Clock = &clock;
    std::ostringstream out, err;
    ProgramFileNameCounters().Reset();
    EXPECT_EQ(GenerateLoadedBrief(brief, settings, options, out, err), 130) << err.str();
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(out.str(), work.Folder() + "0/Brief0.htm\n");
    std::string summary = test::ReadFileBytes(work / "0" / "Brief0.htm");
    EXPECT_EQ(summary.substr(summary.size() - 9), "</html>\r\n");
    EXPECT_EQ(brief.ArchivePaths, std::vector<std::string>{"0\\Brief0.htm"});
}

TEST(BrowserCommand, PlacesTheTargetAndHonoursQuotes) {
    EXPECT_EQ(BrowserCommand("", "/x.htm"), (std::vector<std::string>{"xdg-open", "/x.htm"}));
    EXPECT_EQ(BrowserCommand("firefox", "/x.htm"), (std::vector<std::string>{"firefox", "/x.htm"}));
    EXPECT_EQ(BrowserCommand("\"/opt/my browser/run\" -new \"%1\"", "/x y.htm"),
              (std::vector<std::string>{"/opt/my browser/run", "-new", "/x y.htm"}));
}

TEST_F(RunCommandsTest, DemoServesItsSiteAndKeepsItsOwnSettings) {
    std::filesystem::path folder = work / "demo";
    CliResult r = Cli({"demo", folder.string(), "--quiet"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, folder.string() + "/0/Brief0.htm\n");
    std::string summary = test::ReadFileBytes(folder / "0" / "Brief0.htm");
    EXPECT_EQ(Count(summary, "Web Entry: "), 6u);
    EXPECT_EQ(Count(summary, "Site Map</a>"), 3u);
    // The search went through the demo server and its results led into the site.
    bool foundResults = false, foundRoses = false;
    for (const auto& f : std::filesystem::directory_iterator(folder / "0")) {
        std::string page = test::ReadFileBytes(f.path());
        foundResults |= page.find("You searched for <b>roses tomatoes</b>") != std::string::npos;
        foundRoses |= page.find("Pruning roses before the frost</h1>") != std::string::npos;
    }
    EXPECT_TRUE(foundResults);
    EXPECT_TRUE(foundRoses);
    EXPECT_TRUE(std::filesystem::exists(folder / "settings" / "registry"));
    Registry demoSettings(folder / "settings" / "registry");
    EXPECT_EQ(demoSettings.ReadValue(settings_keys::Proxy, settings_keys::ProxyServer),
              std::optional<std::string>("127.0.0.1"));
    // The user's settings were not touched.
    EXPECT_EQ(registry->ReadValue(settings_keys::Proxy, settings_keys::ProxyServer), std::nullopt);

    CliResult again = Cli({"demo", folder.string(), "--quiet"});
    EXPECT_EQ(again.Status, 0);
    EXPECT_EQ(again.Out, folder.string() + "/1/Brief0.htm\n");
    TBrief demo;
    demo.FileName = (folder / "Demo.brf").string();
    test::RecordingDialogs dialogs;
    ASSERT_TRUE(ReadBriefs2(demo, dialogs));
    EXPECT_EQ(demo.ArchivePaths.size(), 2u);
    // Demo.brf can be generated again on its own: its search entry keeps its query.
    bool searchKept = false;
    for (int i = 0; i < demo.WebList.Count(); ++i) {
        const TWebPage& e = demo.WebList.Entry(i);
        if (e.IsSearchEntry()) searchKept = e.EntryName == "roses tomatoes";
    }
    EXPECT_TRUE(searchKept);
}

// Ctrl+C needs a process of its own: the program's gathra, stopped while its first entry waits.
TEST_F(RunCommandsTest, InterruptStopsTheBriefAndExitsWith130) {
    const std::string program = std::string(GATHRA_BUILD_DIR) + "/gathra";
    ASSERT_TRUE(std::filesystem::exists(program));
    server.Enqueue(TestResponse::Silent());
    std::string file = SaveBrief({server.Url("/slow.htm"), server.Url("/b.htm")});

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> args{program, "generate", file, "--quiet"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);

    ASSERT_TRUE(server.WaitForRequests(1));
    ::kill(pid, SIGINT);
    std::string out;
    char buf[512];
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0) break;
        ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, size_t(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    for (int i = 0; i < 500 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "gathra did not stop";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(out, work.Folder() + "0/Brief0.htm\n");
    std::string summary = test::ReadFileBytes(work / "0" / "Brief0.htm");
    EXPECT_EQ(summary.substr(summary.size() - 9), "</html>\r\n");
    EXPECT_EQ(server.RequestCount(), 1u);
    TBrief saved;
    saved.FileName = file;
    test::RecordingDialogs dialogs;
    ASSERT_TRUE(ReadBriefs2(saved, dialogs));
    EXPECT_EQ(saved.ArchivePaths, std::vector<std::string>{"0\\Brief0.htm"});
}

} // namespace
} // namespace gathra
