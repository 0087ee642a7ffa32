// gathra search over real runs of a site served on loopback: the index filled at each run's
// end, emptied of a deleted run, rebuilt, and reported when damaged.
#include "Brief/BriefFile.h"
#include "Platform/Registry.h"
#include "Search/SearchIndex.h"
#include "Settings/Settings.h"
#include "support/CliRun.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace gathra {
namespace {

using test::TestResponse;

class SearchCommandsTest : public ::testing::Test {
protected:
    using Result = test::CliResult;
    void SetUp() override {
        if (const char* old = std::getenv("GATHRA_CONFIG_DIR")) oldConfig_ = old;
        ::setenv("GATHRA_CONFIG_DIR", config.Path().c_str(), 1);
        Registry registry(config / "registry");
        ASSERT_TRUE(registry.WriteValue(settings_keys::Briefs, settings_keys::Retries, "1"));
    }
    void TearDown() override {
        if (oldConfig_)
            ::setenv("GATHRA_CONFIG_DIR", oldConfig_->c_str(), 1);
        else
            ::unsetenv("GATHRA_CONFIG_DIR");
    }
    static Result Cli(const std::vector<std::string>& args) { return test::RunCliCaptured(args); }
    Result Search(std::vector<std::string> more) {
        std::vector<std::string> args{"search", brief};
        args.insert(args.end(), more.begin(), more.end());
        return Cli(args);
    }
    // The "file" fields of a JSON answer, in order.
    static std::vector<std::string> Files(const std::string& json) {
        std::vector<std::string> files;
        for (size_t at = json.find("\"file\": \""); at != std::string::npos;
             at = json.find("\"file\": \"", at + 1)) {
            const size_t start = at + 9;
            files.push_back(json.substr(start, json.find('"', start) - start));
        }
        return files;
    }
    // The brief's archive paths as saved.
    std::vector<std::string> Runs() {
        TBrief saved;
        saved.FileName = brief;
        test::RecordingDialogs dialogs;
        EXPECT_TRUE(ReadBriefs2(saved, dialogs));
        return saved.ArchivePaths;
    }

    test::TempDir config;
    test::TempDir work;
    std::string brief = (work / "Daily.brf").string();
    std::string index = (work / "Daily.idx").string();
    test::TestHttpServer server;

private:
    std::optional<std::string> oldConfig_;
};

TEST_F(SearchCommandsTest, RunsAreSearchableUntilDeletedAndTheIndexIsRepaired) {
    server.Serve("/a.htm", TestResponse::Html("<title>River News</title><a href=\"b.htm\">b</a> "
                                              "<a href=\"c.htm\">c</a> <a href=\"d.htm\">d</a> "
                                              "<a href=\"gone.htm\">gone</a> One flood today."));
    server.Serve("/b.htm", TestResponse::Html("<title>Edition</title>The first edition speaks "
                                              "of rain."));
    // Windows-1252 text, no declaration.
    server.Serve("/c.htm", TestResponse::Html("<title>Caf\xE9</title>Z\xFCrich cr\xE8me report"));
    server.Serve("/d.htm", TestResponse::Html("<title>Flood Flood</title>flood flood flood, "
                                              "the flood was everywhere"));
    ASSERT_EQ(Cli({"new", brief}).Status, 0);
    ::chmod(brief.c_str(), 0600);
    ASSERT_EQ(
        Cli({"add", brief, "--url", server.Url("/a.htm"), "--depth", "2", "--name", "News"}).Status,
        0);
    Result first = Cli({"generate", brief, "--quiet"});
    ASSERT_EQ(first.Status, 0) << first.Err;
    EXPECT_EQ(first.Err, ""); // a new brief's first run makes its index without a word
    struct stat st {};
    ASSERT_EQ(::stat(index.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    server.Serve("/b.htm", TestResponse::Html("<title>Edition</title>A river flood warning was "
                                              "given."));
    ASSERT_EQ(Cli({"generate", brief, "--quiet"}).Status, 0);
    ASSERT_EQ(Runs().size(), 2u);

    // A phrase of the second run only, with every field.
    Result phrase = Search({"\"river flood\"", "--json"});
    ASSERT_EQ(phrase.Status, 0) << phrase.Err;
    ASSERT_EQ(Files(phrase.Out).size(), 1u) << phrase.Out;
    EXPECT_TRUE(Files(phrase.Out)[0].starts_with(work.Folder() + "1/GA")) << phrase.Out;
    EXPECT_NE(phrase.Out.find("\"title\": \"Edition\""), std::string::npos) << phrase.Out;
    EXPECT_NE(phrase.Out.find("\"entry\": \"News\""), std::string::npos);
    EXPECT_NE(phrase.Out.find("\"address\": \"" + server.Url("/b.htm") + "\""), std::string::npos);
    EXPECT_NE(phrase.Out.find("\"snippet\": \"A [river flood] warning"), std::string::npos);
    EXPECT_NE(phrase.Out.find("\"run\": \""), std::string::npos);
    EXPECT_TRUE(fs::exists(Files(phrase.Out)[0]));

    // A word on many pages: the page that is all about it first, both runs' copies.
    Result word = Search({"flood", "--json"});
    ASSERT_EQ(word.Status, 0);
    const std::vector<std::string> floods = Files(word.Out);
    ASSERT_EQ(floods.size(), 5u) << word.Out; // a, d in both runs; b in the second
    EXPECT_NE(word.Out.find("Flood Flood"), std::string::npos);
    EXPECT_LT(word.Out.find("Flood Flood"), word.Out.find("River News"));
    Result limited = Search({"flood", "--limit", "2"});
    EXPECT_EQ(limited.Out.find("River News"), std::string::npos) << limited.Out;

    // Accents and case, in a page that came as Windows-1252.
    for (const char* query : {"zurich", "CAFE", "cr\xC3\xA8me*"}) {
        Result accents = Search({query, "--json"});
        EXPECT_EQ(accents.Status, 0) << query;
        EXPECT_EQ(Files(accents.Out).size(), 2u) << query << accents.Out;
    }
    Result plain = Search({"zurich"});
    EXPECT_NE(plain.Out.find("Caf\xC3\xA9\n  News, "), std::string::npos) << plain.Out;

    // No hits, wrong command lines, filters.
    EXPECT_EQ(Search({"nowhere"}).Status, 1);
    EXPECT_EQ(Search({"nowhere", "--json"}).Out, "[]\n");
    EXPECT_EQ(Search({}).Status, 2);
    EXPECT_EQ(Search({"flood", "--since", "2026-13-01"}).Status, 2);
    EXPECT_EQ(Search({"flood", "--limit", "0"}).Status, 2);
    EXPECT_EQ(Search({"flood", "--since", "2999-01-01"}).Status, 1);
    EXPECT_EQ(Search({"flood", "--entry", "Other"}).Status, 1);
    EXPECT_EQ(Search({"flood", "--entry", "News", "--since", "1999-01-01"}).Status, 0);
    // Notice pages (the missing page) and the summary and site map are not indexed.
    EXPECT_EQ(Search({"Inaccessible"}).Status, 1);
    EXPECT_EQ(Search({"\"Site Map\""}).Status, 1);

    // Deleting the first run takes its pages out of the index.
    EXPECT_EQ(Search({"\"first edition\""}).Status, 0);
    Result del = Cli({"archive", "delete", brief, "1", "--yes"});
    ASSERT_EQ(del.Status, 0) << del.Err;
    EXPECT_EQ(Search({"\"first edition\""}).Status, 1);
    const std::string afterDelete = Search({"flood", "--json"}).Out;
    EXPECT_EQ(Files(afterDelete).size(), 3u);

    // The next run reuses folder 0: its pages only, never the deleted run's.
    server.Serve("/b.htm", TestResponse::Html("<title>Edition</title>The first edition again."));
    ASSERT_EQ(Cli({"generate", brief, "--quiet"}).Status, 0);
    ASSERT_EQ(Runs().back().substr(0, 2), "0\\");
    Result again = Search({"\"first edition\"", "--json"});
    EXPECT_EQ(Files(again.Out).size(), 1u) << again.Out;
    EXPECT_NE(again.Out.find("again"), std::string::npos);
    const std::string built = Search({"flood OR edition", "--json", "--limit", "50"}).Out;

    // Lost index: reported, and --reindex gives the same hits.
    fs::remove(index);
    Result lost = Search({"flood"});
    EXPECT_EQ(lost.Status, 1);
    EXPECT_NE(lost.Err.find("--reindex"), std::string::npos) << lost.Err;
    Result rebuilt = Search({"--reindex"});
    ASSERT_EQ(rebuilt.Status, 0) << rebuilt.Err;
    EXPECT_EQ(Search({"flood OR edition", "--json", "--limit", "50"}).Out, built);
    ASSERT_EQ(::stat(index.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A run folder removed by hand drops out of the results.
    fs::remove_all(work / "1");
    EXPECT_EQ(Search({"\"river flood\""}).Status, 1);

    // A truncated index: the run still completes and says so once; --reindex repairs it.
    const auto size = fs::file_size(index);
    fs::resize_file(index, size / 2);
    Result damaged = Search({"flood"});
    EXPECT_EQ(damaged.Status, 1);
    EXPECT_NE(damaged.Err.find("damaged"), std::string::npos) << damaged.Err;
    Result run = Cli({"generate", brief, "--quiet"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Runs().size(), 3u);
    EXPECT_NE(run.Err.find("damaged"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("damaged"), run.Err.rfind("damaged"));
    ASSERT_EQ(Search({"--reindex"}).Status, 0);
    Result repaired = Search({"\"first edition\"", "--json"});
    EXPECT_EQ(Files(repaired.Out).size(), 2u) << repaired.Out;
}

} // namespace
} // namespace gathra
