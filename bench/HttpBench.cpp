// Throughput of the HTTP client's receive path over the loopback and of body preparation.
// Both should run near memory speed, far above what any network delivers.
#include "Engine/HttpClient.h"
#include "Engine/RunContext.h"
#include "Engine/RunFlags.h"
#include "Platform/SocketCanceller.h"
#include "Shell/AppSettings.h"
#include "support/TestHttpServer.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace gathra;

void ReceiveHundredMegabytes(benchmark::State& state) {
    const size_t bodySize = 100u << 20;
    test::TestHttpServer server;
    server.SetDefault(test::TestResponse::Http(200, "text/html", std::string(bodySize, 'x')));
    AppSettings settings;
    RunFlags flags;
    SocketCanceller canceller;
    TRunContext run;
    run.Settings = &settings;
    run.Flags = &flags;
    run.Canceller = &canceller;
    TResponseBuffer buffer;
    for (auto _ : state) {
        std::string address = server.Address("/big.html");
        TFetchResult r =
            FetchDocument(address, buffer, "", "", address, false, "", 80, false, false, "", run);
        if (!r.IsContent || buffer.Size() < bodySize) state.SkipWithError("transfer failed");
        benchmark::DoNotOptimize(buffer.Data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bodySize));
}
BENCHMARK(ReceiveHundredMegabytes)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string SixteenMegabytePage() {
    std::mt19937 random(1);
    const char* pieces[] = {"<p>Some text of the page, long enough to matter.</p>\n",
                            "<!-- a comment with <a href=\"x.htm\">a link</a> -->\n",
                            "<script>if (a < b) document.write('<!-- kept -->');</script>\n",
                            "<!DOCTYPE html>\n", "<a href=\"page.htm\">link</a>\n"};
    std::string page = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    while (page.size() < (16u << 20))
        page += pieces[random() % 5];
    return page;
}

void PrepareSixteenMegabytePage(benchmark::State& state) {
    const std::string page = SixteenMegabytePage();
    TResponseBuffer buffer;
    for (auto _ : state) {
        state.PauseTiming();
        buffer.Clear();
        buffer.SetHasHeader(true);
        buffer.Append(page);
        buffer.AppendNul();
        state.ResumeTiming();
        PrepareBody(buffer, true);
        benchmark::DoNotOptimize(buffer.Data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}
BENCHMARK(PrepareSixteenMegabytePage)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
