// The fast transfers against the loopback server: kept connections and their failures, the
// chunked coding, compressed bodies, Retry-After, and the addresses of a host tried in turn.
#include "Net/ConnectionPool.h"
#include "Net/ResponseFraming.h"
#include "Net/ResponseReader.h"
#include "Net/TransferParts.h"
#include "Platform/Socket.h"
#include "support/Compression.h"
#include "support/HttpClientFixture.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gathra {
namespace {

using namespace test;

constexpr std::string_view kKept = "Connection: keep-alive\r\n";

TestResponse KeptPage(std::string_view body) {
    return TestResponse::Http(200, "text/html", body, kKept);
}

// A response of the given header lines (each ending with CR LF) and raw body bytes.
TestResponse RawAnswer(std::string_view type, std::string_view lines, std::string_view body) {
    return TestResponse::Raw("HTTP/1.1 200 OK\r\nContent-Type: " + std::string(type) + "\r\n" +
                             std::string(lines) + "\r\n" + std::string(body));
}

class KeptConnectionTest : public HttpClientTest {
protected:
    KeptConnectionTest() {
        run.Pool = &pool;
        server.SetKeepAlive(100);
    }
    TConnectionPool pool{6, 0, &ticks};
};

TEST_F(KeptConnectionTest, RequestsFollowOneAnotherOnOneConnectionAsHttp11WithCompression) {
    for (const char* path : {"/a.htm", "/b.htm", "/c.htm"})
        server.Serve(path, KeptPage(std::string("page ") + path));
    for (const char* path : {"/a.htm", "/b.htm", "/c.htm"}) {
        TFetchResult r = Fetch(path);
        EXPECT_TRUE(r.IsContent) << path;
        EXPECT_EQ(BodyOf(buffer), std::string("page ") + path);
    }
    EXPECT_EQ(server.ConnectionCount(), 1u);
    EXPECT_EQ(pool.Opened(), 1u);
    EXPECT_EQ(pool.Requests(), 3u);
    EXPECT_EQ(server.Request(1), "GET /b.htm HTTP/1.1\r\n"
                                 "User-Agent: GathraLight/2.0\r\n"
                                 "Host: " +
                                     server.HostPort() +
                                     "\r\n"
                                     "Accept: */*; q=1\r\n"
                                     "Accept-Encoding: gzip, deflate\r\n\r\n");
    pool.CloseIdle();
}

TEST_F(KeptConnectionTest, AServerThatClosesAfterSomeAnswersIsAskedAgainOnANewConnection) {
    // Two answers per connection: the third request finds its kept connection closed before the
    // first byte and goes once more on a new one; no page is lost.
    server.SetKeepAlive(2);
    server.SetDefault(KeptPage("same"));
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(Fetch("/p" + std::to_string(i)).IsContent) << i;
        EXPECT_EQ(BodyOf(buffer), "same") << i;
    }
    EXPECT_EQ(server.RequestCount(), 5u + (server.ConnectionCount() - 3u));
    EXPECT_GE(server.ConnectionCount(), 3u);
}

TEST_F(KeptConnectionTest, AnAnswerCutInTheMiddleKeepsThePageAndFailsTheFile) {
    TestResponse page = TestResponse::Http(200, "text/html", std::string(400, 'p'), kKept);
    page.CloseAfter = page.Bytes.size() - 100;
    TestResponse file = TestResponse::Http(200, "image/gif", std::string(400, 'g'), kKept);
    file.CloseAfter = file.Bytes.size() - 100;
    server.Serve("/cut.htm", page);
    server.Serve("/cut.gif", file);
    server.Serve("/next.htm", KeptPage("next"));

    EXPECT_TRUE(Fetch("/cut.htm").IsContent);
    EXPECT_EQ(BodyOf(buffer), std::string(300, 'p'));
    // A file is stored as it came only where the run has its folder.
    TempDir folder;
    run.BriefFolder = folder.Path().string() + "/";
    buffer.SetSpoolsFiles(true);
    Options images;
    images.LoadImages = true;
    TFetchResult gif = Fetch("/cut.gif", images);
    EXPECT_FALSE(gif.IsContent);
    EXPECT_TRUE(Holds(buffer, "failed to load"));
    // The cut connection is not used again.
    EXPECT_TRUE(Fetch("/next.htm").IsContent);
    EXPECT_EQ(BodyOf(buffer), "next");
    EXPECT_EQ(server.ConnectionCount(), 3u);
}

struct BodyCase {
    const char* Name;
    std::string Type;
    std::string Lines;
    std::string Body;
    bool Content;          // the document is kept
    std::string Expected;  // its body, or a phrase of the notice
    bool Reused;           // the connection carries the next request
    bool EndsWith = false; // Expected is only the end of the body
};

class KeptBodyTest : public KeptConnectionTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(KeptBodyTest, IsReadToItsEndAndDecoded) {
    const BodyCase& c = GetParam();
    run.MaxPageBytes = 4096;
    TestResponse answer = RawAnswer(c.Type, c.Lines, c.Body);
    // An answer whose end the client cannot know (or must not trust) ends with the close.
    if (!c.Reused) answer.CloseAfter = answer.Bytes.size();
    server.Serve("/body", answer);
    server.Serve("/after", KeptPage("after"));
    Options o;
    o.LoadImages = o.LoadBinaries = true;
    TFetchResult r = Fetch("/body", o);
    EXPECT_EQ(r.IsContent, c.Content);
    const std::string body = BodyOf(buffer);
    if (c.EndsWith)
        EXPECT_EQ(body.substr(body.size() - std::min(body.size(), c.Expected.size())), c.Expected);
    else if (c.Content)
        EXPECT_EQ(body, c.Expected);
    else
        EXPECT_TRUE(Holds(buffer, c.Expected)) << buffer.Bytes();
    EXPECT_TRUE(Fetch("/after").IsContent);
    EXPECT_EQ(server.ConnectionCount(), c.Reused ? 1u : 2u);
}

std::string Gzip(std::string_view text) {
    return Compress(text, Packing::Gzip);
}

const std::string kText = "<p>" + std::string(3000, 'x') + "</p>";

INSTANTIATE_TEST_SUITE_P(
    Bodies, KeptBodyTest,
    ::testing::Values(
        BodyCase{"Chunked", "text/html", "Transfer-Encoding: chunked\r\n",
                 "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", true, "hello world", true},
        BodyCase{"ChunkedWithExtensionsAndTrailers", "text/html", "Transfer-Encoding: chunked\r\n",
                 "5;name=value\r\nhello\r\n0\r\nX-Trailer: yes\r\n\r\n", true, "hello", true},
        BodyCase{"ChunkedWithABadSize", "text/html", "Transfer-Encoding: chunked\r\n",
                 "5\r\nhello\r\nzz\r\nmore\r\n0\r\n\r\n", false, std::string(kConnectFailed),
                 false},
        BodyCase{"ChunkedCutShort", "text/html", "Transfer-Encoding: chunked\r\n",
                 "5\r\nhello\r\n40\r\nnot all", true, "hellonot all", false},
        BodyCase{"Gzip", "text/html",
                 "Content-Encoding: gzip\r\nContent-Length: " + std::to_string(Gzip(kText).size()) +
                     "\r\n",
                 Gzip(kText), true, kText, true},
        BodyCase{"DeflateChunked", "text/html",
                 "Content-Encoding: deflate\r\nTransfer-Encoding: chunked\r\n",
                 [] {
                     std::string z = Compress(kText, Packing::Zlib);
                     char size[16];
                     std::snprintf(size, sizeof size, "%zx\r\n", z.size());
                     return size + z + "\r\n0\r\n\r\n";
                 }(),
                 true, kText, true},
        BodyCase{"GzipTruncated", "text/html", "Content-Encoding: gzip\r\n",
                 Gzip(kText).substr(0, 20), false, std::string(kConnectFailed), false},
        // A small body that expands far past the page bound is cut there with the page's notice.
        BodyCase{"GzipBomb", "text/html", "Content-Encoding: gzip\r\n",
                 Gzip(std::string(8 << 20, 'b')), true, "bbbb" + std::string(kPageCutNotice), false,
                 true},
        // A compressed file sent as what it is stays compressed.
        BodyCase{"GzipFile", "application/gzip",
                 "Content-Encoding: gzip\r\nContent-Length: " +
                     std::to_string(Gzip("file").size()) + "\r\n",
                 Gzip("file"), true, Gzip("file"), true}),
    [](const auto& info) { return std::string(info.param.Name); });

struct RetryCase {
    const char* Name;
    int Code;
    const char* RetryAfter;
    bool Content;
    size_t Requests;
    int PauseUnits; // the pause before the second request
};

class RetryAfterTest : public KeptConnectionTest,
                       public ::testing::WithParamInterface<RetryCase> {};

TEST_P(RetryAfterTest, WaitsAsLongAsTheHostAsksUpToABound) {
    const RetryCase& c = GetParam();
    server.Enqueue(TestResponse::Http(c.Code, "text/html", "busy",
                                      std::string("Retry-After: ") + c.RetryAfter + "\r\n"));
    server.Enqueue(TestResponse::Html("at last"));
    const std::int64_t started = ticks.NowMs();
    TFetchResult r = Fetch("/busy");
    EXPECT_EQ(r.IsContent, c.Content);
    EXPECT_EQ(server.RequestCount(), c.Requests);
    // The time moved only while the client paused, to the end of what the host asked for.
    const std::int64_t paused = ticks.NowMs() - started;
    EXPECT_GE(paused, c.PauseUnits * run.TimeUnitMs);
    EXPECT_LT(paused, c.PauseUnits * run.TimeUnitMs + 2);
    if (!c.Content) {
        EXPECT_TRUE(Holds(buffer, kOtherStatus));
    }
}

// Retry-After counts in the client's time units (5 ms here): the waits stay short.
INSTANTIATE_TEST_SUITE_P(Answers, RetryAfterTest,
                         ::testing::Values(RetryCase{"TooManyRequests", 429, "2", true, 2, 2},
                                           RetryCase{"Unavailable", 503, "1", true, 2, 1},
                                           RetryCase{"BeyondTheBound", 503, "100000", false, 1, 0}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(KeptConnectionTest, AHostsAddressThatDoesNotAnswerGivesWayToTheNextOne) {
    // An IPv6 listener whose queue is full takes no new connection: its handshakes go
    // unanswered. The lookup's first address is that one, the second the server's.
    int dead = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 six{};
    six.sin6_family = AF_INET6;
    six.sin6_addr = in6addr_loopback;
    if (dead < 0 || bind(dead, reinterpret_cast<sockaddr*>(&six), sizeof six) != 0)
        GTEST_SKIP() << "no IPv6 loopback here";
    ASSERT_EQ(listen(dead, 0), 0);
    socklen_t length = sizeof six;
    getsockname(dead, reinterpret_cast<sockaddr*>(&six), &length);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int f = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        connect(f, reinterpret_cast<sockaddr*>(&six), sizeof six);
        fillers.push_back(f);
    }
    sockaddr_in four{};
    four.sin_family = AF_INET;
    four.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    four.sin_port = htons(static_cast<std::uint16_t>(server.Port()));
    pool.Remember("dual.test", static_cast<std::uint16_t>(server.Port()),
                  {std::string(reinterpret_cast<char*>(&six), sizeof six),
                   std::string(reinterpret_cast<char*>(&four), sizeof four)});
    server.SetDefault(KeptPage("over four"));
    std::string address = "dual.test:" + std::to_string(server.Port()) + "/";
    Options o;
    o.Base = address;
    // Nothing answers on the dead address, so the time moves while the client waits on it (as
    // if on a silent connection), until the server has the request; a unit of 100 ms leaves the
    // quiet thread plenty of room to hold it still again before the first-byte bound.
    FreeTime free(ticks);
    std::thread waker([&] {
        server.WaitForRequests(1);
        free.End();
    });
    run.TimeUnitMs = 100;
    const std::int64_t started = ticks.NowMs();
    EXPECT_TRUE(Fetch(address, o).IsContent);
    waker.join();
    EXPECT_EQ(BodyOf(buffer), "over four");
    // The dead address had a quarter of the connect bound of 32 units.
    EXPECT_GE(ticks.NowMs() - started, 8 * run.TimeUnitMs);
    for (int f : fillers)
        close(f);
    close(dead);
}

} // namespace
} // namespace gathra
