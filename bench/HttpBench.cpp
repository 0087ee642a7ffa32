// Throughput of the HTTP client's receive path over the loopback and of body preparation.
// Both should run near memory speed, far above what any network delivers.
#include "Net/HttpClient.h"
#include "Run/RunContext.h"
#include "Run/RunFlags.h"
#include "Platform/SocketCanceller.h"
#include "Settings/AppSettings.h"
#include "support/TestHttpServer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

using namespace gathra;

// A run that fetches from one loopback server, plain or secure (then trusting the test
// authority).
struct LoopbackFetch {
    explicit LoopbackFetch(bool secure)
        : server(secure ? std::make_unique<test::TestHttpServer>(test::TestCertificate::Valid)
                        : std::make_unique<test::TestHttpServer>()) {
        run.Settings = &settings;
        run.Flags = &flags;
        run.Canceller = &canceller;
        if (secure) run.TrustedAuthorities = test::TestAuthorityPem();
    }
    bool Fetch(const std::string& path, size_t atLeast) {
        std::string address = server->Address(path);
        TFetchRequest request;
        request.Address = address;
        request.BaseAddress = address;
        TFetchResult r = FetchDocument(request, buffer, run);
        return r.IsContent && buffer.Size() >= atLeast;
    }

    std::unique_ptr<test::TestHttpServer> server;
    AppSettings settings;
    RunFlags flags;
    SocketCanceller canceller;
    TRunContext run;
    TResponseBuffer buffer;
};

// Argument 0: plain HTTP; 1: over TLS.
void ReceiveHundredMegabytes(benchmark::State& state) {
    const size_t bodySize = 100u << 20;
    LoopbackFetch fetch(state.range(0) != 0);
    fetch.server->SetDefault(
        test::TestResponse::Http(200, "text/html", std::string(bodySize, 'x')));
    for (auto _ : state) {
        if (!fetch.Fetch("/big.html", bodySize)) state.SkipWithError("transfer failed");
        benchmark::DoNotOptimize(fetch.buffer.Data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(bodySize));
}
BENCHMARK(ReceiveHundredMegabytes)
    ->ArgName("tls")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A thousand small pages, each on a connection (and, over TLS, a handshake) of its own.
void ThousandSmallPages(benchmark::State& state) {
    LoopbackFetch fetch(state.range(0) != 0);
    fetch.server->SetDefault(test::TestResponse::Html("<html><title>Small</title><body>" +
                                                      std::string(2000, 's') + "</body></html>"));
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i)
            if (!fetch.Fetch("/p" + std::to_string(i) + ".htm", 2000)) {
                state.SkipWithError("transfer failed");
                break;
            }
    state.counters["pages"] = benchmark::Counter(1000.0 * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(ThousandSmallPages)
    ->ArgName("tls")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
