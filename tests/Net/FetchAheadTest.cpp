// Fetching ahead over several kept connections: answers come back in the order asked for, a
// stalled transfer holds up none of the others, and Stop or Skip ends every transfer under way.
#include "Net/FetchAhead.h"
#include "Net/ConnectionPool.h"
#include "support/FetchRequest.h"
#include "support/HttpClientFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

namespace gathra {
namespace {

using namespace test;

class FetchAheadTest : public HttpClientTest {
protected:
    FetchAheadTest() {
        run.Pool = &pool;
        server.SetKeepAlive(100);
    }
    TFetchRequest Request(const std::string& path) {
        return FetchOf(server.Address(path), server.HostPort(), false, false);
    }
    void ExpectAll(TFetchAhead& ahead, const std::vector<std::string>& paths) {
        for (const std::string& path : paths)
            ahead.Expect(Request(path), false);
    }

    TConnectionPool pool{6, 0};
};

TEST_F(FetchAheadTest, OneTransferStallsWhileTheOthersGoOnAndAnswersComeInOrder) {
    server.Serve("/slow", TestResponse::Silent());
    for (int i = 1; i <= 5; ++i)
        server.Serve("/p" + std::to_string(i), TestResponse::Html("page " + std::to_string(i)));
    run.TimeUnitMs = 10000; // the stalled answer is waited for far longer than the test lasts
    TFetchAhead ahead(run, 6);
    const std::vector<std::string> paths = {"/slow", "/p1", "/p2", "/p3", "/p4", "/p5"};
    ExpectAll(ahead, paths);
    // The five behind the stalled one are asked for and answered meanwhile.
    ASSERT_TRUE(server.WaitForRequests(6));
    for (int i = 0; i < 1000 && ahead.Ready() < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(ahead.Ready(), 5u);
    // Skip ends the stalled one; the others were stored ahead and come in their order.
    flags.SkipFlag = 1;
    canceller.Cancel();
    for (const std::string& path : paths) {
        TResponseBuffer answer;
        TFetchResult r = ahead.Fetch(Request(path), answer);
        EXPECT_EQ(r.IsContent, path != "/slow") << path;
        EXPECT_TRUE(
            Holds(answer, path == "/slow" ? std::string(kSkipped) : "page " + path.substr(2)))
            << path;
    }
    EXPECT_EQ(server.RequestCount(), 6u);
    // An address not expected is fetched when asked for.
    flags.SkipFlag = 0;
    canceller.Reset();
    TResponseBuffer late;
    EXPECT_TRUE(ahead.Fetch(Request("/p1"), late).IsContent);
    EXPECT_EQ(server.RequestCount(), 7u);
}

TEST_F(FetchAheadTest, AnAddressExpectedButPassedOverIsNotFetched) {
    server.SetDefault(TestResponse::Html("x"));
    TFetchAhead ahead(run, 1);
    // One worker and a window of three: the later ones wait; asking for the last drops the
    // ones before it that were never begun.
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i)
        paths.push_back("/q" + std::to_string(i));
    ExpectAll(ahead, paths);
    TResponseBuffer answer;
    EXPECT_TRUE(ahead.Fetch(Request("/q11"), answer).IsContent);
    ahead.Forget();
    EXPECT_LE(server.RequestCount(), 1u + ahead.Window());
    const std::vector<std::string> targets = server.Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/q11"), 1);
    for (int i = 4; i < 11; ++i)
        EXPECT_EQ(std::count(targets.begin(), targets.end(), "/q" + std::to_string(i)), 0) << i;
}

TEST_F(FetchAheadTest, LargePagesAreFetchedAheadOnlyAsFarAsTheirBytesAllow) {
    // Twenty pages of 300 kB with 1 MB to hold: the window (36 answers) would take them all, the
    // bytes stop the fetches ahead after about four; asked for in order, each comes once.
    const std::string body(300000, 'x');
    for (int i = 0; i < 20; ++i)
        server.Serve("/big" + std::to_string(i),
                     TestResponse::Http(200, "text/html", std::to_string(i) + body,
                                        "Connection: keep-alive\r\n"));
    constexpr std::size_t kHeld = std::size_t(1) << 20;
    TFetchAhead ahead(run, 2, kHeld);
    std::vector<std::string> paths;
    for (int i = 0; i < 20; ++i)
        paths.push_back("/big" + std::to_string(i));
    ExpectAll(ahead, paths);
    // Bounded: the fetches that may begin end at once on the loopback.
    for (int i = 0; i < 3000 && !ahead.Idle(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(ahead.Idle());
    EXPECT_GE(ahead.Ready(), kHeld / body.size());
    EXPECT_LE(ahead.Ready(), kHeld / body.size() + 1 + 2); // the last to begin, one per worker
    EXPECT_EQ(server.RequestCount(), ahead.Ready());
    for (int i = 0; i < 20; ++i) {
        TResponseBuffer answer;
        EXPECT_TRUE(ahead.Fetch(Request(paths[i]), answer).IsContent) << i;
        EXPECT_TRUE(Holds(answer, std::to_string(i) + "xxx")) << i;
    }
    EXPECT_EQ(server.RequestCount(), 20u);
}

TEST_F(FetchAheadTest, AFetchPassedOverServesItsAddressWhenItComesBackLater) {
    // Fetched ahead, passed over when a later address was asked for, then met again in the
    // run's order (expected again, or asked for at once): the fetch made serves, nothing is
    // asked for twice.
    const struct { bool ExpectedAgain; } cases[] = {{true}, {false}};
    for (const auto& c : cases) {
        TestHttpServer fresh;
        fresh.SetKeepAlive(100);
        fresh.SetDefault(
            TestResponse::Http(200, "text/html", "page", "Connection: keep-alive\r\n"));
        auto request = [&](const std::string& path) {
            return FetchOf(fresh.Address(path), fresh.HostPort(), false, false);
        };
        TFetchAhead ahead(run, 6);
        for (const char* path : {"/a", "/b", "/c"})
            ahead.Expect(request(path), false);
        ASSERT_TRUE(fresh.WaitForRequests(3));
        TResponseBuffer answer;
        EXPECT_TRUE(ahead.Fetch(request("/c"), answer).IsContent); // /a and /b passed over
        if (c.ExpectedAgain)
            for (const char* path : {"/b", "/a"})
                ahead.Expect(request(path), false);
        for (const char* path : {"/b", "/a"}) {
            TResponseBuffer again;
            EXPECT_TRUE(ahead.Fetch(request(path), again).IsContent) << path;
            EXPECT_TRUE(Holds(again, "page")) << path;
        }
        ahead.Forget();
        EXPECT_EQ(fresh.RequestCount(), 3u) << c.ExpectedAgain;
    }
}

// A run's script of expectations and questions: "E /p" expects /p, "F /a /b" expects /a and /b
// before every page expected so far (what the page being stored names), "N /p /a" expects /a
// after page /p once /p is fetched, "A /p" asks for /p.
struct OrderCase {
    const char* Name;
    int Workers;
    std::vector<std::string> Steps;
};

class FetchAheadOrderTest : public FetchAheadTest,
                            public ::testing::WithParamInterface<OrderCase> {};

// Whatever the order of expectations, every address is answered with its own body and fetched
// once: nothing asked for is dropped as passed over, nothing is fetched twice.
TEST_P(FetchAheadOrderTest, AnswersEachAddressOnceWithItsOwnBody) {
    server.SetDefault(TestResponse::Html("x"));
    std::vector<std::string> asked;
    for (const std::string& step : GetParam().Steps) {
        std::istringstream words(step.substr(2));
        for (std::string path; words >> path;) {
            if (step[0] == 'A') asked.push_back(path);
            server.Serve(path, TestResponse::Html("body of " + path));
        }
    }
    TFetchAhead ahead(run, GetParam().Workers);
    for (const std::string& step : GetParam().Steps) {
        std::istringstream words(step.substr(2));
        std::vector<std::string> paths;
        for (std::string path; words >> path;)
            paths.push_back(path);
        if (step[0] == 'E') ExpectAll(ahead, paths);
        if (step[0] == 'F') {
            std::vector<std::pair<TFetchRequest, bool>> first;
            for (const std::string& path : paths)
                first.emplace_back(Request(path), false);
            ahead.ExpectFirst(first);
        }
        if (step[0] == 'N') {
            std::vector<std::pair<TFetchRequest, bool>> after;
            for (size_t i = 1; i < paths.size(); ++i)
                after.emplace_back(Request(paths[i]), false);
            // The page must be fetched before its pictures are named.
            for (int i = 0; i < 1000 && ahead.Peek(Request(paths[0]), false, 1 << 20).State !=
                                            TFetchAhead::Peeked::Ready;
                 ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            EXPECT_TRUE(ahead.ExpectAfter(Request(paths[0]), false, after));
        }
        if (step[0] != 'A') continue;
        TResponseBuffer answer;
        EXPECT_TRUE(ahead.Fetch(Request(paths[0]), answer).IsContent) << paths[0];
        EXPECT_TRUE(Holds(answer, "body of " + paths[0])) << paths[0];
    }
    EXPECT_EQ(ahead.Pending(), 0u);
    ahead.Forget();
    std::vector<std::string> targets = server.Targets();
    std::sort(targets.begin(), targets.end());
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(targets, asked);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, FetchAheadOrderTest,
    ::testing::Values(
        OrderCase{"PagesInTurn", 2, {"E /p1 /p2 /p3", "A /p1", "A /p2", "A /p3"}},
        // A page's pictures, named once the page is taken, come before the pages after it.
        OrderCase{"PicturesBeforeLaterPages",
                  1,
                  {"E /p1 /p2 /p3 /p4 /p5", "A /p1", "F /i1 /i2", "A /i1", "A /i2", "A /p2",
                   "F /i3", "A /i3", "A /p3", "A /p4", "A /p5"}},
        // A picture expected as a page already keeps that place and is fetched once.
        OrderCase{
            "PictureAlreadyExpected", 3, {"E /p1 /p2", "A /p1", "F /p2 /i1", "A /i1", "A /p2"}},
        // Pages expected while a page's pictures are asked for (the next level filling up).
        OrderCase{"PagesExpectedMeanwhile",
                  6,
                  {"E /p1", "A /p1", "F /i1 /i2 /i3", "A /i1", "E /q1 /q2", "A /i2", "A /i3",
                   "A /q1", "F /i4", "A /i4", "A /q2"}},
        // A picture asked for before the one named first (a stylesheet of the page names it):
        // the first is still there when asked for.
        OrderCase{"PictureAskedOutOfItsOrder",
                  6,
                  {"E /p1 /p2", "A /p1", "F /a /b /c", "A /c", "A /a", "A /b", "A /p2"}},
        // The pictures of a later page, named while it waits, asked for by an earlier page
        // first: the pages between are not passed over.
        OrderCase{"LaterPagesPictureAskedEarly",
                  6,
                  {"E /p1 /p2 /p3", "N /p3 /c /d", "A /p1", "A /d", "A /p2", "A /p3", "A /c"}},
        // More pictures than the window holds, with one worker.
        OrderCase{"MorePicturesThanTheWindow",
                  1,
                  {"E /p1 /p2", "A /p1", "F /a /b /c /d /e /f /g", "A /a", "A /b", "A /c", "A /d",
                   "A /e", "A /f", "A /g", "A /p2"}}),
    [](const auto& info) { return std::string(info.param.Name); });

struct StopCase {
    const char* Name;
    bool Skip;
};

class FetchAheadStopTest : public FetchAheadTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(FetchAheadStopTest, EndsEveryTransferUnderWay) {
    server.SetDefault(TestResponse::Silent());
    run.TimeUnitMs = 1000; // waits that would last long: only the cancel ends them
    TFetchAhead ahead(run, 6);
    const std::vector<std::string> paths = {"/s1", "/s2", "/s3", "/s4", "/s5", "/s6"};
    ExpectAll(ahead, paths);
    ASSERT_TRUE(server.WaitForRequests(6));
    (GetParam().Skip ? flags.SkipFlag : flags.AbortFlag) = 1;
    canceller.Cancel();
    for (const std::string& path : paths) {
        TResponseBuffer answer;
        EXPECT_FALSE(ahead.Fetch(Request(path), answer).IsContent) << path;
        EXPECT_TRUE(Holds(answer, kSkipped)) << path;
    }
    ahead.Forget();
    EXPECT_EQ(server.RequestCount(), 6u);
}

INSTANTIATE_TEST_SUITE_P(Flags, FetchAheadStopTest,
                         ::testing::Values(StopCase{"Stop", false}, StopCase{"Skip", true}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace gathra
