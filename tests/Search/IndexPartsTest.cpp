// The index filled in parts while a run stores its pages, and the ranking of words found on
// nearly every page.
#include "Brief/Brief.h"
#include "HitFiles.h"
#include "Search/BriefSearch.h"
#include "Search/IndexingThread.h"
#include "Search/SearchIndex.h"
#include "support/StoredRuns.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace gathra {
namespace {

using test::Files;
using test::TempDir;
using test::WriteFileBytes;

SearchRequest Ask(std::string query, int rankedAtMost, std::string entry = {}) {
    SearchRequest request;
    request.Query = std::move(query);
    request.Limit = 100;
    request.Entry = std::move(entry);
    request.RankedAtMost = rankedAtMost;
    return request;
}

// Page i of run r: "common" i + 1 times in a text of the same length, so that every page has a
// score of its own; "rare" on every seventh page; entry E0, E1 or E2 by turns.
IndexedPage CommonPage(int run, int i) {
    std::string body;
    for (int k = 0; k < 12; ++k)
        body += k <= i % 12 ? "common " : "filler ";
    if (i % 7 == 3) body += "rare";
    const std::string file = std::to_string(run) + "/GA" + std::to_string(i) + ".htm";
    return {file, "t", body, "http://x/" + file, "E" + std::to_string(i % 3)};
}

TEST(SearchIndex, CommonWordsRankTheNewestMatchesOnly) {
    TempDir dir;
    TSearchIndex index;
    ASSERT_TRUE(index.Open((dir / "B.idx").string(), true));
    std::vector<ArchivedRun> runs;
    std::vector<std::string> added; // every page's file, oldest first
    for (int r = 0; r < 3; ++r) {
        runs.push_back({std::to_string(r) + "\\Brief0.htm", "10/" + std::to_string(r + 1) + "/26"});
        std::vector<IndexedPage> pages;
        for (int i = 0; i < 12; ++i) {
            pages.push_back(CommonPage(r, i));
            added.push_back(pages.back().File);
        }
        ASSERT_TRUE(index.AddRun(runs.back(), pages));
    }
    // The matches that a bound of n keeps: the n newest of `all`, in the order of `all`.
    auto newest = [&added](const std::vector<std::string>& all, size_t n) {
        std::vector<std::string> byAge = all;
        std::sort(byAge.begin(), byAge.end(), [&added](const auto& a, const auto& b) {
            return std::find(added.begin(), added.end(), a) >
                   std::find(added.begin(), added.end(), b);
        });
        byAge.resize(std::min(n, byAge.size()));
        std::vector<std::string> kept;
        for (const std::string& file : all)
            if (std::count(byAge.begin(), byAge.end(), file) != 0) kept.push_back(file);
        return kept;
    };
    const struct {
        const char* Query;
        int Bound;
        std::string Entry;
        size_t Live; // runs listed, oldest first
        size_t Expected;
    } cases[] = {
        {"common", 36, "", 3, 36},  // as many matches as the bound: all ranked
        {"common", 500, "", 3, 36}, // far below it
        {"rare", 3, "", 3, 3},      // a rare word below a small bound
        {"common", 7, "", 3, 7},    // the bound reached
        {"common", 1, "", 3, 1},        {"rare", 2, "", 3, 2},
        {"common", 5, "E1", 3, 5}, // counted among the entry's pages only
        {"common", 5, "", 2, 5},   // and among the runs listed only
        {"common filler", 4, "", 3, 4},
    };
    for (const auto& c : cases) {
        const std::vector<ArchivedRun> live(runs.begin(), runs.begin() + c.Live);
        std::vector<SearchHit> all, bounded;
        ASSERT_TRUE(index.Search(Ask(c.Query, 0, c.Entry), live, dir.Folder(), all));
        ASSERT_TRUE(index.Search(Ask(c.Query, c.Bound, c.Entry), live, dir.Folder(), bounded));
        EXPECT_EQ(Files(bounded), newest(Files(all), static_cast<size_t>(c.Bound)))
            << c.Query << " " << c.Bound << " " << c.Entry;
        EXPECT_EQ(bounded.size(), c.Expected) << c.Query << " " << c.Bound;
        for (size_t i = 0; i + 1 < bounded.size(); ++i)
            EXPECT_LE(bounded[i].Rank, bounded[i + 1].Rank) << c.Query;
    }
}

TEST(SearchIndex, ARunAddedInPartsIsOneRun) {
    TempDir dir;
    const std::string path = (dir / "B.idx").string();
    TSearchIndex index, other;
    ASSERT_TRUE(index.Open(path, true));
    ASSERT_TRUE(other.Open(path, false));
    const ArchivedRun old{"0\\Brief0.htm", "old"}, run{"0\\Brief1.htm", "new"};
    const ArchivedRun between{"1\\Brief0.htm", "between"};
    ASSERT_TRUE(index.AddRun(old, {CommonPage(0, 0)}));
    // The first part replaces the folder's earlier run, also when it is empty.
    TSearchIndex::RunRows rows;
    ASSERT_TRUE(index.AddRunPages(run, {}, rows));
    std::vector<SearchHit> hits;
    ASSERT_TRUE(index.Search(Ask("common", 0), {old, run}, dir.Folder(), hits));
    EXPECT_TRUE(hits.empty());
    ASSERT_TRUE(index.AddRunPages(run, {CommonPage(0, 1), CommonPage(0, 2)}, rows));
    // Another writer's rows between two parts: the run goes on in a range of its own.
    ASSERT_TRUE(other.AddRun(between, {CommonPage(1, 0)}));
    ASSERT_TRUE(index.AddRunPages(run, {CommonPage(0, 3)}, rows));
    ASSERT_TRUE(index.AddRunPages(run, {CommonPage(0, 4)}, rows));
    ASSERT_TRUE(index.Search(Ask("common", 0), {run}, dir.Folder(), hits));
    EXPECT_EQ(hits.size(), 4u);
    ASSERT_TRUE(index.Search(Ask("common", 0), {between}, dir.Folder(), hits));
    EXPECT_EQ(Files(hits), std::vector<std::string>{"1/GA0.htm"});
    // Removing the run takes every part.
    ASSERT_TRUE(index.RemoveRun(run.ArchivePath, nullptr));
    ASSERT_TRUE(index.Search(Ask("common", 0), {run, between}, dir.Folder(), hits));
    EXPECT_EQ(Files(hits), std::vector<std::string>{"1/GA0.htm"});
}

TEST(SearchIndex, PagesAfterADroppedLastRunAreFound) {
    TempDir dir;
    TSearchIndex index;
    ASSERT_TRUE(index.Open((dir / "B.idx").string(), true));
    const ArchivedRun first{"0\\Brief0.htm", "a"}, last{"1\\Brief0.htm", "b"};
    const ArchivedRun reused{"1\\Brief1.htm", "c"};
    ASSERT_TRUE(index.AddRun(first, {CommonPage(0, 0)}));
    ASSERT_TRUE(index.AddRun(last, {CommonPage(1, 0), CommonPage(1, 1)}));
    // Folder 1 used again after its files were lost: the old words stay behind as dead rows,
    // and the new pages must not be given their row numbers.
    ASSERT_TRUE(index.AddRun(reused, {CommonPage(1, 5), CommonPage(1, 6)}));
    std::vector<SearchHit> hits;
    ASSERT_TRUE(index.Search(Ask("common", 0), {first, reused}, dir.Folder(), hits));
    EXPECT_EQ(hits.size(), 3u);
    ASSERT_TRUE(index.Search(Ask("common", 0), {reused}, dir.Folder(), hits));
    std::vector<std::string> files = Files(hits);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"1/GA5.htm", "1/GA6.htm"}));
}

class IndexingThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(brief, "brief");
        ::chmod(brief.c_str(), 0640);
        run.BriefFile = brief;
        run.HomeFolder = dir.Folder();
        run.StartStamp = "10/1/26 9:00:00AM";
        run.ArchivePath = test::WriteStoredRun(dir.Folder(), 0, "News",
                                               {{"site/", "<title>Top</title>river flood"},
                                                {"site/b", "<title>B</title>flood warning, flood"},
                                                {"site/c", "<title>Caf\xE9</title>cr\xE8me"}});
    }
    // Hands over the run's pages as a run would (its top page last, a file named twice, files
    // that are no pages) and waits for them.
    std::string IndexAsTheRunGoes(TSearchIndexer& indexer) {
        std::unique_ptr<RunIndexing> indexing = indexer.RunStarted(run);
        indexing->EntryStarted("News");
        for (const char* name :
             {"GA1.htm", "GA2.htm", "GA1.htm", "GAI3.gif", "Brief0.htm", "missing.htm", "GA0.htm"})
            indexing->PageStored(name);
        return indexing->Finish(run);
    }
    std::vector<SearchHit> Search(const std::string& query) {
        std::vector<SearchHit> hits;
        std::string error;
        TBrief listed;
        listed.FileName = brief;
        listed.BriefFolder = dir.Folder();
        listed.ArchivePaths = {run.ArchivePath};
        listed.ArchiveTitles = {run.StartStamp};
        EXPECT_TRUE(SearchBrief(listed, Ask(query, kRankedAtMost), hits, error)) << error;
        return hits;
    }

    TempDir dir;
    std::string brief = (dir / "B.brf").string();
    std::string index = TSearchIndex::PathFor(brief);
    StoredRun run;
};

TEST_F(IndexingThreadTest, FindsWhatTheRunsEndReadWouldFind) {
    TSearchIndexer indexer;
    ASSERT_EQ(IndexAsTheRunGoes(indexer), "");
    struct stat st {};
    ASSERT_EQ(::stat(index.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    const char* const queries[] = {"flood", "river", "cafe", "creme", "top OR b", "warning"};
    std::vector<std::vector<SearchHit>> asItWent;
    for (const char* query : queries)
        asItWent.push_back(Search(query));
    EXPECT_EQ(asItWent[0].size(), 2u);
    EXPECT_EQ(asItWent[0][0].Title, "B");
    EXPECT_EQ(asItWent[0][0].Entry, "News");
    EXPECT_EQ(asItWent[0][0].Address, "http://site/b");
    EXPECT_EQ(asItWent[3].size(), 1u);

    // The same run read whole from its folder, into a new index.
    std::filesystem::remove(index);
    ASSERT_EQ(indexer.RunStored(run), "");
    for (size_t q = 0; q < std::size(queries); ++q) {
        const std::vector<SearchHit> whole = Search(queries[q]);
        ASSERT_EQ(whole.size(), asItWent[q].size()) << queries[q];
        for (size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(whole[i].File, asItWent[q][i].File) << queries[q];
            EXPECT_EQ(whole[i].Entry, asItWent[q][i].Entry) << queries[q];
            EXPECT_EQ(whole[i].Snippet, asItWent[q][i].Snippet) << queries[q];
            EXPECT_DOUBLE_EQ(whole[i].Rank, asItWent[q][i].Rank) << queries[q];
        }
    }
}

TEST_F(IndexingThreadTest, ProblemsAreToldOnceAndNeverStopTheRun) {
    TSearchIndexer indexer;
    // An index lost while the brief has earlier runs: made again, and said so.
    run.EarlierRuns = true;
    EXPECT_NE(IndexAsTheRunGoes(indexer).find("was missing"), std::string::npos);
    EXPECT_EQ(Search("flood").size(), 2u);
    // A run of the same folder with no page left replaces the old one's pages.
    {
        std::unique_ptr<RunIndexing> empty = indexer.RunStarted(run);
        EXPECT_EQ(empty->Finish(run), "");
    }
    EXPECT_TRUE(Search("flood").empty());
    // A damaged index: reported by the first run only (the program's indexer lives as long as
    // the program).
    TSearchIndexer fresh;
    WriteFileBytes(index, std::string(200, 'x'));
    const std::string problem = IndexAsTheRunGoes(fresh);
    EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
    EXPECT_NE(problem.find("--reindex"), std::string::npos) << problem;
    EXPECT_EQ(IndexAsTheRunGoes(fresh), "");
    // A run that ends without Finish (an error thrown through it) stops the thread as well.
    {
        std::unique_ptr<RunIndexing> cut = TSearchIndexer().RunStarted(run);
        for (int i = 0; i < 50; ++i)
            cut->PageStored("GA1.htm");
    }
    // No brief file: nothing to index.
    StoredRun unsaved = run;
    unsaved.BriefFile.clear();
    EXPECT_EQ(indexer.RunStarted(unsaved), nullptr);
}

} // namespace
} // namespace gathra
