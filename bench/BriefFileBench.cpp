// Saving and loading the largest brief a file can hold: 32,767 entries.
#include "Brief/BriefFile.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

namespace gathra {
namespace {

void FillLargestBrief(TBrief& brief) {
    for (int i = 0; i < TWebList::MaxEntries; ++i) {
        TWebPage* e = brief.WebList.AddEntry(i % 10 == 0 ? EntryKind::Search : EntryKind::Web);
        if (e->IsSearchEntry()) {
            e->EntryName = "search query number " + std::to_string(i);
            e->NameSet = 1;
        } else {
            e->Address = "www.example" + std::to_string(i % 500) + ".com/news/page" +
                         std::to_string(i) + ".html";
            e->ApplyShownName();
            e->UserName = "reader";
            e->Password = "secret" + std::to_string(i);
        }
        e->SpiderDepth = 1 + i % 3;
    }
}

void BM_SaveLargestBrief(benchmark::State& state) {
    test::TempDir dir;
    TBrief brief;
    brief.FileName = (dir / "Large.brf").string();
    FillLargestBrief(brief);
    SilentDialogs dialogs;
    for (auto _ : state) {
        if (!SaveBriefs2(brief, dialogs)) state.SkipWithError("save failed");
    }
    state.counters["entries"] = brief.WebList.Count();
}
BENCHMARK(BM_SaveLargestBrief)->Unit(benchmark::kMillisecond);

void BM_LoadLargestBrief(benchmark::State& state) {
    test::TempDir dir;
    TBrief brief;
    brief.FileName = (dir / "Large.brf").string();
    FillLargestBrief(brief);
    SilentDialogs dialogs;
    if (!SaveBriefs2(brief, dialogs)) state.SkipWithError("save failed");
    for (auto _ : state) {
        TBrief loaded;
        loaded.FileName = brief.FileName;
        if (!ReadBriefs2(loaded, dialogs) || loaded.WebList.Count() != TWebList::MaxEntries)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(loaded);
    }
}
BENCHMARK(BM_LoadLargestBrief)->Unit(benchmark::kMillisecond);

// Encoding alone, to tell the format's cost from the disk's (fsync and rename).
void BM_EncodeLargestBrief(benchmark::State& state) {
    TBrief brief;
    FillLargestBrief(brief);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string file = EncodeBriefFile(brief);
        bytes = file.size();
        benchmark::DoNotOptimize(file);
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodeLargestBrief)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace gathra

BENCHMARK_MAIN();
