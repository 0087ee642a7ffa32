// The TLS and SQLite libraries are opened when first needed, not linked: the built gathra, in a
// process of its own each time, once with the real libraries and once with decoys in their place.
#include "Brief/Brief.h"
#include "Brief/BriefFile.h"
#include "Platform/Registry.h"
#include "Platform/TlsStream.h"
#include "Imports/BookmarkFile.h"
#include "Settings/Settings.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace gathra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::TestCertificate;
using test::TestHttpServer;
using test::TestResponse;

struct Outcome {
    int Status = -1; // the exit code; -1 when the program did not exit by itself
    std::string Out;
    std::string Err;
};

// Runs the built gathra with args and the settings in config; with libraryPath first on
// LD_LIBRARY_PATH. Stopped after a minute at the latest.
Outcome RunGathra(const std::vector<std::string>& args, const TempDir& config,
                  const std::string& libraryPath) {
    const std::string program = std::string(GATHRA_BUILD_DIR) + "/gathra";
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string_view entry(*e);
        if (!entry.starts_with("GATHRA_CONFIG_DIR=") && !entry.starts_with("LD_LIBRARY_PATH="))
            env.emplace_back(entry);
    }
    env.push_back("GATHRA_CONFIG_DIR=" + config.Path().string());
    if (!libraryPath.empty()) env.push_back("LD_LIBRARY_PATH=" + libraryPath);
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (std::string& s : strings)
            p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> argp = pointers(argv), envp = pointers(env);

    const std::string out = (config / "out.txt").string(), err = (config / "err.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome outcome;
    if (spawned != 0) return outcome;
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 6000 && (ended = ::waitpid(pid, &status, WNOHANG)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    } else if (WIFEXITED(status)) {
        outcome.Status = WEXITSTATUS(status);
    }
    outcome.Out = test::ReadFileBytes(out);
    outcome.Err = test::ReadFileBytes(err);
    return outcome;
}

// A places database with one bookmark in the menu, made with SQLite itself.
void WritePlaces(const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR);"
                           "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, "
                           "fk INTEGER, parent INTEGER, position INTEGER, title LONGVARCHAR, "
                           "guid TEXT);"
                           "INSERT INTO moz_places VALUES (1, 'http://kept.example/');"
                           "INSERT INTO moz_bookmarks VALUES (1, 2, NULL, 0, 0, '', "
                           "'root________'), (2, 2, NULL, 1, 0, 'menu', 'menu________'), "
                           "(3, 1, 1, 2, 0, 'Kept', 'b1');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

// Every page of a run folder, one after the other.
std::string PagesOf(const fs::path& folder) {
    std::string all;
    std::error_code error;
    for (const auto& file : fs::directory_iterator(folder, error))
        if (file.path().extension() == ".htm") all += test::ReadFileBytes(file.path());
    return all;
}

bool Holds(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

TEST(RuntimeLibraries, PlainRunsNeedNeitherLibraryAndAMissingOneIsNamed) {
    TestHttpServer plain;
    TestHttpServer secure(TestCertificate::Valid);
    plain.Serve("/a.htm", TestResponse::Html("<title>A</title>plain garden"));
    secure.Serve("/s.htm", TestResponse::Html("<title>S</title>secret garden"));

    TempDir config, work, decoys;
    {
        Registry registry(config / "registry");
        // A browser is stored so that none is looked for; the test authority is not the
        // system's, so certificates go unchecked.
        ASSERT_TRUE(
            registry.WriteValue(settings_keys::Browser, settings_keys::BrowserPath, "/bin/true"));
        ASSERT_TRUE(registry.WriteValue(settings_keys::Briefs, settings_keys::Retries, "1"));
        ASSERT_TRUE(
            registry.WriteValue(settings_keys::Briefs, settings_keys::CheckCertificates, "No"));
    }
    TBrief brief;
    brief.CreateNewBrief();
    brief.FileName = (work / "Both.brf").string();
    for (const std::string& address : {plain.Url("/a.htm"), secure.Url("/s.htm")}) {
        TWebPage& e = *brief.WebList.AddEntry(EntryKind::Web);
        e.EntryName = e.Address = address;
        e.NameSet = 1;
    }
    test::RecordingDialogs dialogs;
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    const std::string places = (work / "places.sqlite").string();
    WritePlaces(places);
    for (std::string_view name : {TlsLibraryName(), PlacesLibraryName()})
        fs::copy_file(GATHRA_DECOY_LIBRARY, decoys / std::string(name));

    const std::string tlsMissing = "because secure pages cannot be read: the TLS library " +
                                   std::string(TlsLibraryName()) + " could not be loaded.";
    const std::string sqliteMissing =
        "Bookmark File Loading Error: Gathra Light cannot read Firefox bookmark databases: the "
        "SQLite library " +
        std::string(PlacesLibraryName()) + " could not be loaded.\n";
    const struct {
        bool Decoys;
        const char* Run; // the run folder
    } cases[] = {{false, "0"}, {true, "1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Decoys ? "decoy libraries" : "the real libraries");
        const size_t secureRequests = secure.RequestCount();
        Outcome run = RunGathra({"generate", brief.FileName, "--quiet"}, config,
                                c.Decoys ? decoys.Path().string() : std::string());
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Out, work.Folder() + c.Run + "/Brief0.htm\n");
        const std::string pages = PagesOf(work / c.Run);
        EXPECT_TRUE(Holds(pages, "plain garden"));
        EXPECT_EQ(Holds(pages, "secret garden"), !c.Decoys);
        EXPECT_EQ(Holds(pages, tlsMissing), c.Decoys) << pages;
        // Not a certificate problem: nothing to turn off.
        EXPECT_FALSE(Holds(pages, "Check certificates"));
        EXPECT_EQ(secure.RequestCount() - secureRequests, c.Decoys ? 0u : 1u);

        Outcome import = RunGathra({"import", "bookmarks", brief.FileName, places, "--list"},
                                   config, c.Decoys ? decoys.Path().string() : std::string());
        if (c.Decoys) {
            EXPECT_EQ(import.Status, 1);
            EXPECT_EQ(import.Out, "");
            // The message, then the dynamic linker's reason (the decoy has no SQLite at all).
            ASSERT_TRUE(import.Err.starts_with(sqliteMissing)) << import.Err;
            EXPECT_TRUE(
                Holds(import.Err.substr(sqliteMissing.size()), "undefined symbol: sqlite3_"))
                << import.Err;
        } else {
            EXPECT_EQ(import.Status, 0) << import.Err;
            EXPECT_EQ(import.Out, "Bookmarks Menu/\n  Kept  <http://kept.example/>\n");
        }
    }
}

} // namespace
} // namespace gathra
