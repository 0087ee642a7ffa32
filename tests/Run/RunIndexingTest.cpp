// A run hands each page to the search index as it closes it: whole files only, each once, every
// page of the run, the top page when its entry ends; the indexing ends with the run.
#include "Brief/Brief.h"
#include "Run/RunIndexHook.h"
#include "Run/SkeinThread.h"
#include "support/BriefRun.h"
#include "support/QuietHost.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace gathra {
namespace {

using test::TestResponse;

struct IndexLog {
    std::string Folder; // the run folder, once known
    std::vector<std::string> Events;
    std::vector<std::string> Unfinished; // files handed over before they were whole
    std::vector<StoredRun> Started, Finished;
    int WholeRuns = 0;
    bool Destroyed = false;
};

class RecordingIndexing : public RunIndexing {
public:
    explicit RecordingIndexing(IndexLog& log) : log_(log) {}
    ~RecordingIndexing() override { log_.Destroyed = true; }
    void EntryStarted(const std::string& entryName) override {
        log_.Events.push_back("entry " + entryName);
    }
    void PageStored(const std::string& fileName) override {
        std::string bytes = test::ReadFileBytes(log_.Folder + fileName);
        if (bytes.ends_with("\r\n")) bytes.resize(bytes.size() - 2);
        if (!bytes.ends_with("</body></html>") && !bytes.ends_with("</frameset></html>"))
            log_.Unfinished.push_back(fileName);
        log_.Events.push_back(fileName);
    }
    std::string Finish(const StoredRun& run) override {
        log_.Finished.push_back(run);
        return "index problem";
    }

private:
    IndexLog& log_;
};

class RecordingHook : public RunIndexHook {
public:
    explicit RecordingHook(IndexLog& log) : log_(log) {}
    std::unique_ptr<RunIndexing> RunStarted(const StoredRun& run) override {
        log_.Started.push_back(run);
        log_.Folder = run.HomeFolder + run.ArchivePath.substr(0, run.ArchivePath.find('\\')) + "/";
        return std::make_unique<RecordingIndexing>(log_);
    }
    std::string RunStored(const StoredRun&) override {
        ++log_.WholeRuns;
        return {};
    }

private:
    IndexLog& log_;
};

class ProblemHost : public test::QuietHost {
public:
    void ShowIndexProblem(const std::string& text) override { Problems.push_back(text); }
    std::vector<std::string> Problems;
};

TEST(RunIndexing, EveryPageIsHandedOverWholeAsTheRunStoresIt) {
    test::TempDir dir;
    test::TestHttpServer server;
    server.Serve("/a/index.htm",
                 TestResponse::Html("<title>Page top</title><a href=\"one.htm\">1</a> "
                                    "<a href=\"two.htm\">2</a> <a href=\"gone.htm\">x</a>"));
    server.Serve("/a/one.htm", TestResponse::Html("<title>Page one</title><a href=\"three.htm\">"
                                                  "3</a> <a href=\"index.htm\">top</a>"));
    server.Serve("/a/two.htm", TestResponse::Html("<title>Page two</title>text"));
    server.Serve("/a/three.htm", TestResponse::Html("<title>Page three</title>deep"));
    server.Serve("/b.htm", TestResponse::Html("<title>Page other</title>other entry"));
    IndexLog log;
    RecordingHook hook(log);
    ProblemHost host;
    test::BriefRun parts(dir.Folder(), "Daily");
    parts.Host = &host;
    parts.AddEntry("Site", server.Url("/a/index.htm"), 3);
    parts.AddEntry("Other", server.Url("/b.htm"), 1);
    TSkeinThread::Options options = parts.Options();
    options.Index = &hook;
    TSkeinThread thread(parts.Brief, options);
    ASSERT_TRUE(thread.RunHere());

    // One indexing for the run, told its folder and stamp, ended and gone with it.
    ASSERT_EQ(log.Started.size(), 1u);
    ASSERT_EQ(log.Finished.size(), 1u);
    EXPECT_EQ(log.WholeRuns, 0);
    EXPECT_TRUE(log.Destroyed);
    EXPECT_EQ(log.Started[0].ArchivePath, "0\\" + thread.Outcome().SummaryName);
    EXPECT_EQ(log.Finished[0].ArchivePath, log.Started[0].ArchivePath);
    EXPECT_FALSE(log.Started[0].StartStamp.empty());
    EXPECT_EQ(log.Finished[0].StartStamp, log.Started[0].StartStamp);
    EXPECT_EQ(log.Finished[0].BriefFile, parts.Brief.FileName);
    EXPECT_EQ(host.Problems, std::vector<std::string>{"index problem"});

    // Every page, whole, once, and the notice stored in the place of the missing one (the
    // index leaves notices out); nothing else of the folder.
    EXPECT_TRUE(log.Unfinished.empty()) << log.Unfinished[0];
    std::set<std::string> pages;
    std::string notice;
    for (const auto& file : std::filesystem::directory_iterator(log.Folder)) {
        const std::string bytes = test::ReadFileBytes(file.path().string());
        if (bytes.find("<title>Page ") != std::string::npos)
            pages.insert(file.path().filename().string());
        else if (bytes.find("<h2>") != std::string::npos && bytes.find("gone.htm") != bytes.npos)
            notice = file.path().filename().string();
    }
    EXPECT_EQ(pages.size(), 5u);
    ASSERT_FALSE(notice.empty());
    pages.insert(notice);
    std::multiset<std::string> handed;
    for (const std::string& event : log.Events)
        if (!event.starts_with("entry ")) handed.insert(event);
    EXPECT_EQ(std::set<std::string>(handed.begin(), handed.end()), pages);
    EXPECT_EQ(handed.size(), pages.size());

    // Each entry's pages after its name, its top page last.
    ASSERT_EQ(log.Events.size(), 8u);
    EXPECT_EQ(log.Events[0], "entry Site");
    EXPECT_EQ(log.Events[6], "entry Other");
    const std::string top = test::ReadFileBytes(log.Folder + log.Events[5]);
    EXPECT_NE(top.find("<title>Page top</title>"), std::string::npos) << log.Events[5];
    EXPECT_NE(test::ReadFileBytes(log.Folder + log.Events[7]).find("Page other"),
              std::string::npos);
}

} // namespace
} // namespace gathra
