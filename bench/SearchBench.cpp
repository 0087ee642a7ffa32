// The search index at scale: a brief of RUNS runs of PAGES stored pages each (default 100 x 1,000
// = 100,000 pages, written as a run writes them), then
//   - the time of `--reindex` (ReindexBrief) over all of them,
//   - the index's size against the bytes of the page files it covers,
//   - the time of a query (SearchBrief: open the index, look at the run folders, search, 20
//     hits with snippets) for rare and common words, a phrase and a prefix, with every match
//     ranked and with the newest kRankedAtMost only: median of 9 runs.
// Times are given as wall time and as this process's processor time.
// Usage: SearchBench [FOLDER [RUNS [PAGES]]]   (FOLDER: where the brief goes; default a new folder
// under /dev/shm or /tmp, removed at the end)
#include "Brief/Brief.h"
#include "Brief/BriefFile.h"
#include "Search/BriefSearch.h"
#include "support/RecordingDialogs.h"
#include "support/StoredRuns.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace fs = std::filesystem;
using namespace gathra;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The processor time of this process so far (user and system), in seconds: on a shared machine
// the wall time mostly measures the others.
double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Words drawn from a vocabulary of 20,000 made-up words with a Zipf distribution, as the words of
// real text fall; a few words are planted for the queries.
class TextMaker {
public:
    TextMaker() : random_(7) {
        static const char* const kSyllables[] = {"ka", "ro",  "mi", "tel", "an", "us", "ver",
                                                 "lo", "ni",  "sa", "dor", "pe", "qu", "ist",
                                                 "ba", "fen", "gu", "ho",  "ja", "lyn"};
        for (int i = 0; i < 20000; ++i) {
            std::string word;
            int n = i;
            do {
                word += kSyllables[n % 20];
                n /= 20;
            } while (n > 0);
            words_.push_back(word);
        }
        double total = 0;
        for (int i = 0; i < 20000; ++i) {
            total += 1.0 / (i + 1);
            cumulative_.push_back(total);
        }
    }
    std::string Word() {
        std::uniform_real_distribution<double> pick(0, cumulative_.back());
        const double at = pick(random_);
        const size_t i = static_cast<size_t>(
            std::lower_bound(cumulative_.begin(), cumulative_.end(), at) - cumulative_.begin());
        return words_[std::min(i, words_.size() - 1)];
    }
    // A page as news and blog sites make them: a head with metadata, a script and a stylesheet,
    // a menu, paragraphs of about `bytes` bytes with links, a side list and a footer.
    std::string Page(size_t bytes, int number) {
        const std::string title = Word() + " " + Word() + " " + Word();
        std::string page =
            "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width\"><title>" +
            title +
            "</title><link rel=\"stylesheet\" href=\"/css/site.css\">"
            "<script>window.dataLayer = window.dataLayer || []; function track(e)"
            " { dataLayer.push({event: e, page: " +
            std::to_string(number) +
            "}); } document.addEventListener('click', function (e) { "
            "track(e.target.id || 'page'); });</script></head><body class=\"article\">"
            "<header class=\"site-header\"><nav class=\"menu\"><ul>";
        for (int i = 0; i < 20; ++i)
            page += "<li class=\"menu-item\"><a class=\"menu-link\" href=\"/section/" +
                    std::to_string(i) + "/\">" + Word() + "</a></li>";
        page += "</ul></nav></header><main><article><h1 class=\"headline\">" + title + "</h1>\n";
        const size_t end = page.size() + bytes;
        while (page.size() < end) {
            page += "<p class=\"body-text\">";
            for (int i = 0; i < 40; ++i) {
                page += Word();
                page += i % 9 == 8 ? ". " : " ";
            }
            page += "<a class=\"inline\" href=\"/p" + std::to_string(random_() % 5000) + ".htm\">" +
                    Word() + "</a> <span class=\"em\">" + Word() + "</span></p>\n";
        }
        // Planted words: one page in 1,000 has the rare one, one in 10 the common one.
        if (number % 1000 == 17) page += "<p>the river flood warning</p>";
        if (number % 10 == 3) page += "<p>weather today</p>";
        page += "</article><aside class=\"related\"><ul>";
        for (int i = 0; i < 8; ++i)
            page += "<li><a href=\"/story/" + std::to_string(random_() % 90000) +
                    "\" class=\"related-link\">" + Word() + " " + Word() + "</a></li>";
        return page + "</ul></aside></main><footer class=\"site-footer\"><p>&copy; 2026 " + Word() +
               " <a href=\"/privacy\">Privacy</a> <a href=\"/terms\">Terms</a></p>"
               "</footer></body>";
    }

private:
    std::mt19937 random_;
    std::vector<std::string> words_;
    std::vector<double> cumulative_;
};

std::string TempFolder() {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "gathra-search-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
}

std::uint64_t FolderBytes(const fs::path& folder, const std::string& prefix) {
    std::uint64_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename().string().starts_with(prefix))
            bytes += entry.file_size();
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    const bool own = argc < 2;
    const std::string folder = own ? TempFolder() : argv[1];
    const int runs = argc > 2 ? std::atoi(argv[2]) : 100;
    const int pagesPerRun = argc > 3 ? std::atoi(argv[3]) : 1000;
    if (folder.empty() || runs <= 0 || pagesPerRun <= 0) {
        std::fprintf(stderr, "usage: SearchBench [FOLDER [RUNS [PAGES]]]\n");
        return 2;
    }
    fs::create_directories(folder);
    TBrief brief;
    brief.FileName = folder + "/Bench.brf";
    brief.BriefFolder = folder + "/";
    brief.BriefName = "Search benchmark";

    auto start = Clock::now();
    // A brief stored by an earlier call with the same FOLDER is used again.
    test::RecordingDialogs dialogs;
    const bool stored = !own && fs::exists(brief.FileName) && ReadBriefs2(brief, dialogs);
    TextMaker text;
    std::mt19937 sizes(11);
    std::uniform_int_distribution<size_t> pageSize(1500, 6000); // of text, in markup
    for (int run = 0; run < runs && !stored; ++run) {
        std::vector<test::StoredPageSpec> pages;
        for (int i = 0; i < pagesPerRun; ++i)
            pages.push_back(
                {"site.example/r" + std::to_string(run) + "/p" + std::to_string(i) + ".htm",
                 text.Page(pageSize(sizes), run * pagesPerRun + i)});
        brief.ArchivePaths.push_back(test::WriteStoredRun(
            brief.BriefFolder, run, "Entry " + std::to_string(run % 3), pages));
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%d/%d/26 9:%02d:%02dAM", 1 + run / 28, 1 + run % 28,
                      run % 60, run % 60);
        brief.ArchiveTitles.push_back(stamp);
    }
    if (!stored && !SaveBriefs2(brief, dialogs)) {
        std::fprintf(stderr, "cannot save %s\n", brief.FileName.c_str());
        return 1;
    }
    std::printf("stored %d pages in %d runs in %.1f s\n", runs * pagesPerRun, runs, Seconds(start));

    start = Clock::now();
    double cpu = CpuSeconds();
    const ReindexResult result = ReindexBrief(brief);
    const double reindex = Seconds(start);
    const double reindexCpu = CpuSeconds() - cpu;
    if (!result.Ok) {
        std::fprintf(stderr, "reindex failed: %s\n", result.Error.c_str());
        return 1;
    }
    const std::uint64_t indexBytes = fs::file_size(TSearchIndex::PathFor(brief.FileName));
    const std::uint64_t pageFiles = FolderBytes(folder, "GA");
    std::printf("reindex: %lld pages in %.1f s wall, %.1f s processor (%.0f pages/s)\n",
                static_cast<long long>(result.Pages), reindex, reindexCpu,
                result.Pages / reindexCpu);
    std::printf("index: %.1f MB for %.1f MB of page files (%.0f%%)\n", indexBytes / 1048576.0,
                pageFiles / 1048576.0, 100.0 * static_cast<double>(indexBytes) / pageFiles);

    // The same shapes with every match ranked ("all") and with the bound the program uses, then
    // the word on every page with other bounds, to choose it.
    struct Query {
        const char* Text;
        int Bound;
    };
    std::vector<Query> queries;
    for (const char* text : {"\"river flood\"", "flood", "weather", "weather today", "ka",
                             "kamiro*", "ka ro mi", "ka flood", "ka OR flood"})
        for (int bound : {0, kRankedAtMost})
            queries.push_back({text, bound});
    for (const char* text : {"ka", "ka ro mi", "ka OR flood"})
        for (int bound : {1000, 2000, 3000, 5000, 10000, 20000})
            if (bound != kRankedAtMost) queries.push_back({text, bound});
    for (const auto& [query, bound] : queries) {
        std::vector<double> times, cpus;
        size_t found = 0;
        for (int i = 0; i < 9; ++i) {
            std::vector<SearchHit> hits;
            std::string error;
            SearchRequest request;
            request.Query = query;
            request.RankedAtMost = bound;
            start = Clock::now();
            cpu = CpuSeconds();
            if (!SearchBrief(brief, request, hits, error)) {
                std::fprintf(stderr, "search failed: %s\n", error.c_str());
                return 1;
            }
            times.push_back(Seconds(start) * 1000);
            cpus.push_back((CpuSeconds() - cpu) * 1000);
            found = hits.size();
        }
        std::sort(times.begin(), times.end());
        std::sort(cpus.begin(), cpus.end());
        const std::string ranked = bound == 0 ? std::string("all") : std::to_string(bound);
        std::printf("query %-16s ranked %-5s %2zu hits  median %7.1f ms wall, %7.1f ms processor\n",
                    query, ranked.c_str(), found, times[times.size() / 2], cpus[cpus.size() / 2]);
    }
    if (own) fs::remove_all(folder);
    return 0;
}
