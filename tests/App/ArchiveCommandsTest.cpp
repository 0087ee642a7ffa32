#include "App/gathra/Cli.h"
#include "Brief/BriefFile.h"
#include "Platform/Registry.h"
#include "Settings/Settings.h"
#include "support/CliRun.h"
#include "support/RecordingDialogs.h"
#include "support/SessionFiles.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace gathra {
namespace {

using test::ReadFileBytes;
using test::TestHttpServer;
using test::TestResponse;

// Sets an environment variable for the test's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The start page of stored archive entry `index`, as a path.
std::string ArchiveStart(const TBrief& b, size_t index) {
    std::string path = b.ArchivePaths[index];
    for (char& c : path)
        if (c == '\\') c = '/';
    return fs::path(b.FileName).parent_path().string() + "/" + path;
}

class ArchiveCommandsTest : public ::testing::Test {
protected:
    struct Result {
        int Status = -1;
        std::string Out;
        std::string Err;
    };
    Result Cli(std::vector<std::string> args) {
        std::ostringstream out, err;
        Result r;
        r.Status = test::RunCli(args, out, err);
        r.Out = out.str();
        r.Err = err.str();
        return r;
    }
    TBrief Load() {
        TBrief b;
        b.FileName = brief;
        test::RecordingDialogs dialogs;
        EXPECT_TRUE(ReadBriefs2(b, dialogs));
        return b;
    }

    test::TempDir config;
    test::TempDir work;
    ScopedEnv configDir{"GATHRA_CONFIG_DIR", config.Path().string()};
    std::string brief = (work / "Daily.brf").string();
    TestHttpServer server;
};

// Two real runs, then every archive command on them (one long test, as the commands work on
// what the runs and the earlier commands left).
TEST_F(ArchiveCommandsTest, ListPathViewAndDeleteRealRuns) {
    Registry registry(config / "registry");
    const fs::path seen = work / "seen.txt";
    const fs::path browser = work / "browser.sh";
    test::WriteFileBytes(browser, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + seen.string() +
                                      ".tmp' && mv '" + seen.string() + ".tmp' '" + seen.string() +
                                      "'\n");
    fs::permissions(browser, fs::perms::owner_all);
    ASSERT_TRUE(registry.WriteValue(settings_keys::Browser, settings_keys::BrowserPath,
                                    "'" + browser.string() + "' --new %u"));
    ASSERT_TRUE(registry.WriteValue(settings_keys::Browser, settings_keys::BrowserService, "SH"));
    ASSERT_TRUE(registry.WriteValue(settings_keys::Briefs, settings_keys::Retries, "1"));
    server.Serve("/a.htm", TestResponse::Html("<title>A</title><a href=\"b.htm\">b</a>"));
    server.Serve("/b.htm", TestResponse::Html("<title>B</title>bee"));
    ASSERT_EQ(Cli({"new", brief}).Status, 0);
    ASSERT_EQ(Cli({"add", brief, "--url", server.Url("/a.htm"), "--depth", "2"}).Status, 0);
    ASSERT_EQ(Cli({"generate", brief, "--quiet"}).Status, 0);
    ASSERT_EQ(Cli({"generate", brief, "--quiet"}).Status, 0);

    // list: newest first, as the dialog shows the titles.
    Result list = Cli({"archive", "list", brief});
    ASSERT_EQ(list.Status, 0) << list.Err;
    const TBrief before = Load();
    ASSERT_EQ(before.ArchivePaths.size(), 2u);
    std::istringstream lines(list.Out);
    std::string first, second, extra;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, extra));
    EXPECT_TRUE(first.starts_with("0  ")) << first;
    EXPECT_NE(first.find("  " + before.ArchivePaths[1] + "  present"), std::string::npos) << first;
    EXPECT_NE(second.find("  " + before.ArchivePaths[0] + "  present"), std::string::npos);
    // "12/8/26 9:05:03 PM" is shown as "Dec-08-26  9:05:03 PM".
    EXPECT_NE(first.find("-"), std::string::npos);
    EXPECT_TRUE(first.ends_with("present"));

    Result json = Cli({"archive", "list", brief, "--json"});
    EXPECT_NE(json.Out.find("\"index\": 1"), std::string::npos) << json.Out;
    EXPECT_NE(json.Out.find("\"present\": true"), std::string::npos);
    EXPECT_NE(json.Out.find("\"start-page\": \"" + work.Folder()), std::string::npos);

    // path: the newest run's start page, absolute.
    Result path = Cli({"archive", "path", brief, "0"});
    const std::string newest = ArchiveStart(before, 1);
    EXPECT_EQ(path.Out, newest + "\n");
    EXPECT_TRUE(fs::exists(newest));

    // view: the browser gets the file address, with no shell between.
    Result view = Cli({"archive", "view", brief, "1"});
    EXPECT_EQ(view.Status, 0) << view.Err;
    for (int i = 0; i < 250 && !fs::exists(seen); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadFileBytes(seen), "--new\nfile://" + ArchiveStart(before, 0) + "\n");

    // delete without a terminal and without --yes: nothing happens.
    const int savedIn = dup(STDIN_FILENO);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    Result refused = Cli({"archive", "delete", brief, "0"});
    dup2(savedIn, STDIN_FILENO);
    close(null);
    close(savedIn);
    EXPECT_EQ(refused.Status, 2);
    EXPECT_NE(refused.Err.find("--yes"), std::string::npos);
    EXPECT_TRUE(fs::exists(newest));

    // delete --yes: the newest run's folder and entry go, the older stays.
    const fs::path newestFolder = fs::path(newest).parent_path();
    Result del = Cli({"archive", "delete", brief, "0", "--yes"});
    EXPECT_EQ(del.Status, 0) << del.Err;
    EXPECT_NE(del.Out.find("folder removed"), std::string::npos) << del.Out;
    EXPECT_FALSE(fs::exists(newestFolder));
    const TBrief after = Load();
    EXPECT_EQ(after.ArchivePaths, std::vector<std::string>{before.ArchivePaths[0]});
    EXPECT_EQ(after.ArchiveTitles, std::vector<std::string>{before.ArchiveTitles[0]});
    EXPECT_TRUE(fs::exists(ArchiveStart(before, 0)));

    // Files gone by hand: listed as missing, still deletable.
    fs::remove_all(fs::path(ArchiveStart(before, 0)).parent_path());
    EXPECT_TRUE(Cli({"archive", "list", brief}).Out.ends_with("  missing\n"));
    Result gone = Cli({"archive", "delete", brief, "0", "--yes"});
    EXPECT_EQ(gone.Status, 0);
    EXPECT_NE(gone.Err.find("no catalogue"), std::string::npos);
    EXPECT_TRUE(Load().ArchivePaths.empty());
    EXPECT_EQ(Cli({"archive", "list", brief, "--json"}).Out, "[]\n");

    // Indices past the end are usage errors.
    EXPECT_EQ(Cli({"archive", "path", brief, "0"}).Status, 2);
    EXPECT_EQ(Cli({"archive", "view", brief, "3"}).Status, 2);
    EXPECT_EQ(Cli({"archive", "list", (work / "none.brf").string()}).Status, 1);
}

TEST_F(ArchiveCommandsTest, ViewWithoutABrowserSaysSo) {
    Registry registry(config / "registry");
    ASSERT_TRUE(
        registry.WriteValue(settings_keys::Browser, settings_keys::BrowserPath, "/bin/true"));
    ASSERT_EQ(Cli({"new", brief}).Status, 0);
    TBrief b = Load();
    b.ArchivePaths = {"0\\Brief0.htm"};
    b.ArchiveTitles = {"12/7/98 9:05:03PM"};
    test::RecordingDialogs dialogs;
    ASSERT_TRUE(SaveBriefs2(b, dialogs));
    EXPECT_EQ(Cli({"archive", "list", brief}).Out,
              "0  Dec-07-98  9:05:03 PM  0\\Brief0.htm  missing\n");
    Result view = Cli({"archive", "view", brief, "0"});
    EXPECT_EQ(view.Status, 1);
    EXPECT_NE(view.Err.find("Browser Not Set"), std::string::npos) << view.Err;
}

TEST_F(ArchiveCommandsTest, AddFromBrowserTakesTheSessionsSelectedTab) {
    test::TempDir home;
    ScopedEnv homeDir("HOME", home.Path().string());
    ASSERT_EQ(Cli({"new", brief}).Status, 0);
    ASSERT_EQ(Cli({"add", brief, "--url", "http://older.example/"}).Status, 0);
    Result none = Cli({"add", brief, "--from-browser"});
    EXPECT_EQ(none.Status, 1);
    EXPECT_NE(none.Err.find("no browser page found"), std::string::npos);
    EXPECT_EQ(Load().WebList.Count(), 1);

    test::WriteFirefoxSession(home.Path(), "p.default",
                              test::SessionJson("http://here.example/a", "Here, and Now"));
    Result added = Cli({"add", brief, "--from-browser"});
    EXPECT_EQ(added.Status, 0) << added.Err;
    const TBrief b = Load();
    ASSERT_EQ(b.WebList.Count(), 2);
    EXPECT_EQ(b.WebList.Entry(0).Address, "http://here.example/a");
    EXPECT_EQ(b.WebList.Entry(0).EntryName, "Here, and Now");
    EXPECT_EQ(b.WebList.Entry(1).Address, "http://older.example/");
    EXPECT_EQ(Cli({"add", brief, "--from-browser", "--url", "http://x/"}).Status, 2);

    // The session's title is the page's own: quotes and "Netscape" in it are kept.
    for (const char* title :
         {"About \"us\", the team", "History of Netscape Navigator and Mozilla"}) {
        std::string json = title;
        for (size_t at = json.find('"'); at != std::string::npos; at = json.find('"', at + 2))
            json.insert(at, "\\");
        test::WriteFirefoxSession(home.Path(), "p.default",
                                  test::SessionJson("http://titles.example/", json));
        ASSERT_EQ(Cli({"add", brief, "--from-browser"}).Status, 0);
        EXPECT_EQ(Load().WebList.Entry(0).EntryName, title);
    }
}

} // namespace
} // namespace gathra
