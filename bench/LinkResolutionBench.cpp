// Link resolution runs once per link of every stored page; it must stay linear in the link's
// length even for links made of thousands of dot steps.
#include "Html/LinkResolution.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_ResolveTypicalLink(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            gathra::ResolveLink("www.example.com/news/today/index.htm", "../sport/./page.htm#top"));
}
BENCHMARK(BM_ResolveTypicalLink);

void BM_ResolveDotStepLink(benchmark::State& state) {
    std::string value;
    for (int64_t i = 0; i < state.range(0); ++i)
        value += "d/";
    for (int64_t i = 0; i < state.range(0); ++i)
        value += "../";
    value += "x.htm";
    for (auto _ : state)
        benchmark::DoNotOptimize(gathra::ResolveLink("www.example.com/a/b.htm", value));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(value.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ResolveDotStepLink)->RangeMultiplier(8)->Range(8, 32768)->Complexity();

} // namespace

BENCHMARK_MAIN();
