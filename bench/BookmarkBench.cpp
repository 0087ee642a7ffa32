// Reading bookmark files of the size a long-kept browser profile exports: 20,000 bookmarks in
// 2,000 folders, each with a favicon attribute (about 6 MB of exported page).
#include "Imports/BookmarkFile.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

namespace gathra {
namespace {

constexpr int kFolders = 2000;
constexpr int kPerFolder = 10;

std::string ExportedPage() {
    std::string icon = "data:image/png;base64,";
    for (int i = 0; i < 200; ++i)
        icon += static_cast<char>('A' + i % 26);
    std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n";
    for (int f = 0; f < kFolders; ++f) {
        text += "<DT><H3 ADD_DATE=\"1700000000\">Folder " + std::to_string(f) + "</H3>\n<DL><p>\n";
        for (int b = 0; b < kPerFolder; ++b)
            text += "<DT><A HREF=\"https://site" + std::to_string(f) +
                    ".example/page?a=" + std::to_string(b) +
                    "&amp;b=2\" ADD_DATE=\"1700000000\" ICON=\"" + icon + "\">Page &amp; " +
                    std::to_string(b) + "</A>\n";
        text += "</DL><p>\n";
    }
    return text + "</DL>\n";
}

void BM_ScanExportedPage(benchmark::State& state) {
    const std::string text = ExportedPage();
    for (auto _ : state) {
        TBookmarkOutline outline;
        if (!ScanBookmarks(text, outline) || outline.Count() != kFolders * (kPerFolder + 1))
            state.SkipWithError("scan failed");
        benchmark::DoNotOptimize(outline);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.counters["items"] = kFolders * (kPerFolder + 1);
}
BENCHMARK(BM_ScanExportedPage)->Unit(benchmark::kMillisecond);

void BM_ReadChromiumBookmarks(benchmark::State& state) {
    std::string json =
        R"({"roots": {"bookmark_bar": {"name": "Bar", "type": "folder", "children": [)";
    for (int f = 0; f < kFolders; ++f) {
        json +=
            (f ? "," : "") + std::string(R"({"name": "Folder", "type": "folder", "children": [)");
        for (int b = 0; b < kPerFolder; ++b)
            json += (b ? "," : "") +
                    std::string(R"({"name": "Page", "type": "url", "url": "https://site)") +
                    std::to_string(f) + ".example/" + std::to_string(b) + "\"}";
        json += "]}";
    }
    json += "]}}}";
    for (auto _ : state) {
        TBookmarkOutline outline = ReadChromiumBookmarks(json);
        if (outline.Count() != 1 + kFolders * (kPerFolder + 1)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(outline);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(json.size()));
}
BENCHMARK(BM_ReadChromiumBookmarks)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace gathra

BENCHMARK_MAIN();
