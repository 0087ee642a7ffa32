// Rewriting speed of generated pages of growing size: a link every ~100 bytes, depth 2 so that
// every link gets a local name and is queued, images off. MB/s must stay roughly constant.
#include "Platform/OutputFile.h"
#include "Html/HtmlScanner.h"
#include "Run/PageRewriter.h"
#include "support/RewriteRun.h"

#include <benchmark/benchmark.h>

#include <optional>
#include <string>

namespace {

using namespace gathra;

std::string GeneratedPage(size_t size) {
    std::string page = "<html><head><title>Bench</title></head><body>\n";
    for (size_t i = 0; page.size() < size; ++i) {
        page += "<p>Some text of the page, number " + std::to_string(i) + ". <a href=\"dir/p" +
                std::to_string(i) + ".html\">link</a> <img src=\"i" + std::to_string(i % 50) +
                ".gif\">\n";
    }
    page += "</body></html>";
    page.push_back('\0');
    return page;
}

void BM_RewritePage(benchmark::State& state) {
    const std::string source = GeneratedPage(static_cast<size_t>(state.range(0)));
    // The run's tables and folder are made and removed outside the timed part.
    std::optional<test::RewriteRun> run;
    std::optional<TOutputFile> out;
    std::string page;
    for (auto _ : state) {
        state.PauseTiming();
        out.reset();
        run.reset();
        run.emplace();
        out.emplace((run->Dir / "page.htm").string());
        page = source;
        state.ResumeTiming();
        std::string marked = MarkTags(page);
        TPageContext ctx;
        ctx.Run = &run->Run;
        ctx.Out = &*out;
        ctx.Page = &page;
        ctx.Marked = &marked;
        ctx.BaseAddress = "bench.example/index.html";
        ctx.EntryAddress = "bench.example/index.html";
        ctx.RemainingDepth = 2;
        ctx.SummaryName = "Brief0.htm";
        RewritePage(ctx);
        out->Close();
        benchmark::DoNotOptimize(run->Run.LevelQueue[0]->Count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(source.size()));
}
BENCHMARK(BM_RewritePage)
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
