// Fast transfers over HTTP/2 against the loopback server: many requests as streams of one
// connection, answers read exactly as over HTTP/1.1, resets and GOAWAY asked once more on a new
// connection, Stop ending every stream, and HTTP/1.1 where the server does not choose HTTP/2.
#include "Net/ConnectionPool.h"
#include "Net/FetchAhead.h"
#include "Net/Http2Connection.h"
#include "Net/HttpText.h"
#include "Net/ResponseNotices.h"
#include "Platform/SocketCanceller.h"
#include "Run/RunCancel.h"
#include "Run/RunContext.h"
#include "Settings/AppSettings.h"
#include "support/Compression.h"
#include "support/FetchRequest.h"
#include "support/HttpClientFixture.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace gathra {
namespace {

using namespace test;

// Text that does not compress to nothing and differs from place to place.
std::string Varied(size_t size) {
    std::string text;
    std::uint32_t x = 12345;
    while (text.size() < size) {
        x = x * 1103515245u + 12345u;
        text += static_cast<char>('a' + (x >> 16) % 26);
        if (x % 61 == 0) text += "\n";
    }
    return text;
}

// Two TLS servers with the same script: one chooses HTTP/2, the other HTTP/1.1.
class Http2Transfer : public ::testing::Test {
protected:
    Http2Transfer() {
        run.Settings = &settings;
        run.Flags = &flags;
        run.Canceller = &canceller;
        run.TimeUnitMs = 20;
        run.TrustedAuthorities = TestAuthorityPem();
        run.BriefFolder = dir.Path().string() + "/";
        run.Pool = &pool;
        pool.AllowHttp2(true);
        h2.OfferHttp2(true);
        for (TestHttpServer* server : {&h2, &h1})
            server->SetKeepAlive(100);
    }
    static TFetchRequest Request(const TestHttpServer& server, const std::string& path,
                                 bool files = false) {
        return FetchOf(server.Url(path), server.Url("/"), files, files);
    }
    TFetchResult Fetch(const TestHttpServer& server, const std::string& path, TResponseBuffer& into,
                       bool files = false) {
        return FetchDocument(Request(server, path, files), into, run);
    }
    void ServeBoth(const std::string& path, const TestResponse& response) {
        h2.Serve(path, response);
        h1.Serve(path, response);
    }

    TempDir dir;
    TestHttpServer h2{TestCertificate::Valid};
    TestHttpServer h1{TestCertificate::Valid};
    AppSettings settings;
    RunFlags flags;
    SocketCanceller canceller;
    TRunContext run;
    TConnectionPool pool{6, 0};
};

TEST_F(Http2Transfer, AnswersReadTheSameAsOverHttp11) {
    const std::string big = Varied(3000000); // past the stream's and the connection's windows
    const std::string page = "<html><body>" + Varied(5000) + "</body></html>";
    ServeBoth("/gone.zip", [] {
        TestResponse cut = TestResponse::Http(200, "application/zip", std::string(9000, 'z'));
        cut.CloseAfter = 5000; // the stream is reset (the connection closed) in the body
        return cut;
    }());
    ServeBoth("/cut.htm", [&] {
        TestResponse cut = TestResponse::Http(200, "text/html", page);
        cut.CloseAfter = 3000;
        return cut;
    }());
    ServeBoth("/page.htm", TestResponse::Html(page));
    ServeBoth("/big.htm", TestResponse::Html(big));
    ServeBoth("/big.bin", TestResponse::Http(200, "application/octet-stream", big));
    ServeBoth("/packed.htm", TestResponse::Http(200, "text/html", Compress(page, Packing::Gzip),
                                                "Content-Encoding: gzip\r\n"));
    ServeBoth("/moved", TestResponse::Redirect(302, "/page.htm"));
    ServeBoth("/text.txt", TestResponse::Http(200, "text/plain", "plain text"));
    ServeBoth("/empty.htm", TestResponse::Http(204, "", ""));
    const struct {
        std::string Path;
        std::string Says; // a phrase of the answer or its notice
    } cases[] = {
        {"/page.htm", "<html><body>"},
        {"/big.htm", big.substr(0, 100)},
        {"/big.bin", ""},
        {"/packed.htm", "<html><body>"},
        {"/moved", "<html><body>"},
        {"/missing.htm", "unable to find or deliver"},
        {"/text.txt", "plain text"},
        {"/gone.zip", "failed to load"},
        {"/cut.htm", page.substr(0, 100)},
        {"/empty.htm", "is empty"},
    };
    for (const auto& c : cases) {
        TResponseBuffer over2, over1;
        over2.SetSpoolsFiles(true);
        over1.SetSpoolsFiles(true);
        const TFetchResult r2 = Fetch(h2, c.Path, over2, true);
        const TFetchResult r1 = Fetch(h1, c.Path, over1, true);
        EXPECT_EQ(r2.IsContent, r1.IsContent) << c.Path;
        EXPECT_EQ(r2.IsBinary, r1.IsBinary) << c.Path;
        EXPECT_EQ(r2.IsText, r1.IsText) << c.Path;
        EXPECT_EQ(r2.Address.substr(h2.Url("").size()), r1.Address.substr(h1.Url("").size()))
            << c.Path;
        std::string body2 = BodyOf(over2), body1 = BodyOf(over1);
        for (auto* body : {&body2, &body1}) // notices name the address asked for
            for (const std::string& port : {h2.HostPort(), h1.HostPort()})
                for (size_t at = body->find(port); at != std::string::npos; at = body->find(port))
                    body->replace(at, port.size(), "HOST");
        EXPECT_EQ(body2, body1) << c.Path;
        EXPECT_NE(body2.find(c.Says), std::string::npos) << c.Path << ": " << body2.substr(0, 300);
        ASSERT_EQ(over2.Spool() != nullptr, over1.Spool() != nullptr) << c.Path;
        if (over2.Spool() != nullptr) {
            EXPECT_EQ(over2.Spool()->Size(), big.size()) << c.Path;
        }
    }
    // The HTTP/2 server had one connection and no HTTP/1.1 requests.
    EXPECT_EQ(h2.Http2ConnectionCount(), 1u);
    EXPECT_EQ(h2.ConnectionCount(), 1u);
    EXPECT_EQ(h1.Http2ConnectionCount(), 0u);
    for (const std::string& request : h2.Requests())
        EXPECT_EQ(
            request.find(" HTTP/2\r\nhost: " + h2.HostPort() + "\r\nuser-agent: GathraLight/"),
            request.find(' ', 4))
            << request;
    EXPECT_NE(h2.Request(0).find("accept-encoding: gzip, deflate\r\n"), std::string::npos);
}

TEST_F(Http2Transfer, TheRequestsOfALevelGoAsConcurrentStreamsOfOneConnection) {
    constexpr int kPages = 12;
    h2.SetHttp2HoldUntil(kPages); // nothing is answered before all twelve are open at once
    std::vector<std::string> paths;
    for (int i = 0; i < kPages; ++i) {
        paths.push_back("/p" + std::to_string(i) + ".htm");
        h2.Serve(paths.back(), TestResponse::Html("page " + std::to_string(i)));
    }
    TFetchAhead ahead(run, pool.FetchesAtOnce());
    for (const std::string& path : paths)
        ahead.Expect(Request(h2, path), false);
    for (int i = 0; i < kPages; ++i) {
        TResponseBuffer answer;
        EXPECT_TRUE(ahead.Fetch(Request(h2, paths[i]), answer).IsContent) << paths[i];
        EXPECT_EQ(BodyOf(answer), "page " + std::to_string(i));
    }
    EXPECT_GE(h2.MaxOpenStreams(), size_t(kPages));
    EXPECT_EQ(h2.ConnectionCount(), 1u);
    EXPECT_EQ(pool.Requests(), size_t(kPages));
    EXPECT_EQ(pool.Opened(), 1u);
}

TEST_F(Http2Transfer, UnansweredStreamsAreAskedOnceMoreOnANewConnection) {
    // A reset before the answer, and a GOAWAY that leaves the later streams out: each request
    // goes once more, on a new connection, and no page is lost or asked for twice where it
    // was answered.
    const struct {
        std::string Name;
        int GoAwayAfter;
        bool ResetFirst;
    } cases[] = {{"reset", 0, true}, {"goaway", 3, false}};
    for (const auto& c : cases) {
        TestHttpServer server(TestCertificate::Valid);
        server.OfferHttp2(true);
        server.SetHttp2HoldUntil(6);
        server.SetHttp2GoAwayAfter(c.GoAwayAfter);
        if (c.ResetFirst) server.Enqueue(TestResponse::Hangup());
        std::vector<std::string> paths;
        for (int i = 0; i < 6; ++i) {
            paths.push_back("/" + c.Name + std::to_string(i));
            server.Serve(paths.back(), TestResponse::Html("page " + std::to_string(i)));
        }
        TFetchAhead ahead(run, pool.FetchesAtOnce());
        for (const std::string& path : paths)
            ahead.Expect(Request(server, path), false);
        for (int i = 0; i < 6; ++i) {
            TResponseBuffer answer;
            EXPECT_TRUE(ahead.Fetch(Request(server, paths[i]), answer).IsContent) << paths[i];
            EXPECT_EQ(BodyOf(answer), "page " + std::to_string(i)) << c.Name;
        }
        // A new connection for what the first did not answer (a further one when the second
        // goes away before the last of them arrive).
        EXPECT_GE(server.Http2ConnectionCount(), 2u) << c.Name;
        EXPECT_EQ(server.RequestCount(), c.ResetFirst ? 7u : 6u) << c.Name;
        pool.CloseIdle();
    }
}

TEST_F(Http2Transfer, StopEndsEveryStreamAtOnce) {
    h2.SetDefault(TestResponse::Silent());
    run.TimeUnitMs = 10000; // the silent answers are waited for far longer than the test lasts
    TFetchAhead ahead(run, pool.FetchesAtOnce());
    for (int i = 0; i < 8; ++i)
        ahead.Expect(Request(h2, "/s" + std::to_string(i)), false);
    ASSERT_TRUE(h2.WaitForRequests(8));
    const auto stopped = std::chrono::steady_clock::now();
    RequestAbort(flags, canceller);
    for (int i = 0; i < 8; ++i) {
        TResponseBuffer answer;
        EXPECT_FALSE(ahead.Fetch(Request(h2, "/s" + std::to_string(i)), answer).IsContent);
        EXPECT_NE(BodyOf(answer).find("Web page skipped"), std::string::npos) << i;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, kEndsPromptly);
    EXPECT_EQ(h2.ConnectionCount(), 1u);
}

TEST_F(Http2Transfer, AServerThatDoesNotChooseHttp2GetsHttp11OnKeptConnections) {
    h1.SetDefault(TestResponse::Http(200, "text/html", "plain", "Connection: keep-alive\r\n"));
    for (int i = 0; i < 3; ++i) {
        TResponseBuffer answer;
        EXPECT_TRUE(Fetch(h1, "/f" + std::to_string(i), answer).IsContent);
    }
    EXPECT_EQ(h1.Http2ConnectionCount(), 0u);
    EXPECT_EQ(h1.ConnectionCount(), 1u);
    EXPECT_EQ(h1.Request(2).substr(0, 18), "GET /f2 HTTP/1.1\r\n");
    // HTTP/2 not allowed (classic or switched off): never offered, even to a server that has it.
    pool.AllowHttp2(false);
    h2.SetDefault(TestResponse::Html("plain"));
    TResponseBuffer answer;
    EXPECT_TRUE(Fetch(h2, "/x", answer).IsContent);
    EXPECT_EQ(h2.Http2ConnectionCount(), 0u);
    EXPECT_EQ(h2.Request(0).substr(0, 17), "GET /x HTTP/1.1\r\n");
}

TEST(Http2Request, IsMadeFromTheHttp11Text) {
    const struct {
        std::string_view Text;
        std::vector<std::pair<std::string, std::string>> Headers;
    } cases[] = {
        {"GET /a?b HTTP/1.1\r\nUser-Agent: G/2\r\nHost: h:1\r\nAccept:  */*\r\n\r\n",
         {{":method", "GET"},
          {":scheme", "https"},
          {":authority", "h:1"},
          {":path", "/a?b"},
          {"user-agent", "G/2"},
          {"accept", "*/*"}}},
        {"GET http://h/p HTTP/1.1\r\nHOST: h\r\nConnection: keep-alive\r\nTE: x\r\n\r\n",
         {{":method", "GET"}, {":scheme", "https"}, {":authority", "h"}, {":path", "/p"}}},
        {"GET / HTTP/1.1\r\nAccept: x\r\n\r\n", {}},         // no host
        {"GET / HTTP/1.1\r\nHost: h\r\nbroken\r\n\r\n", {}}, // a line without a colon
        {"GET /\r\n\r\n", {}},                               // no version
        {"GET / HTTP/1.1\r\nHost: h\r\n", {}},               // no blank line: text cut short
    };
    for (const auto& c : cases)
        EXPECT_EQ(Http2RequestHeaders(c.Text), c.Headers) << c.Text;
}

} // namespace
} // namespace gathra
