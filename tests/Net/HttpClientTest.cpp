// The HTTP client against the loopback server: the request it sends, authorisation, attempts
// and waits, and the status table.
#include "support/HttpClientFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

namespace gathra {
namespace {

using namespace test;

// ---- request bytes ------------------------------------------------------------------------------

TEST_F(HttpClientTest, SendsTheFourRequestLinesWithoutProxy) {
    TestResponse page = TestResponse::Html("<p>hello</p>");
    server.Enqueue(page);
    std::string address = server.Address("/dir/page.html#top");
    Options o;
    o.AgentComment = "Ann";
    TFetchResult r = Fetch(address, o);

    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Request(0), "GET /dir/page.html HTTP/1.0\r\n"
                                 "User-Agent: GathraLight/2.0 (Ann)\r\n"
                                 "Host: " +
                                     server.HostPort() +
                                     "\r\n"
                                     "Accept: */*; q=1\r\n\r\n");
    EXPECT_EQ(r.Result, 1);
    EXPECT_TRUE(r.IsContent);
    EXPECT_FALSE(r.IsBinary);
    EXPECT_FALSE(r.WasExternal);
    EXPECT_EQ(buffer.Bytes(), WithNul(page.Bytes));
    EXPECT_EQ(buffer.Position(), 0u);
    EXPECT_TRUE(buffer.HasHeader());
}

TEST_F(HttpClientTest, ThroughAProxySendsTheWholeAddressToTheProxy) {
    server.Enqueue(TestResponse::Html("x"));
    std::string address = "server.example/dir/page.html#top";
    Options o;
    o.Base = "www.example";
    o.ProxyHost = "127.0.0.1";
    o.ProxyPort = server.Port();
    EXPECT_TRUE(Fetch(address, o).IsContent);
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Request(0), "GET http://server.example/dir/page.html HTTP/1.0\r\n"
                                 "User-Agent: GathraLight/2.0\r\n"
                                 "Host: server.example\r\n"
                                 "Accept: */*; q=1\r\n\r\n");
}

TEST_F(HttpClientTest, AnAddressWithoutPathAsksForTheRoot) {
    server.Enqueue(TestResponse::Html("x"));
    std::string address = "http://" + server.HostPort();
    Fetch(address);
    EXPECT_EQ(server.Targets(), std::vector<std::string>{"/"});
}

// ---- authorisation ------------------------------------------------------------------------------

TEST_F(HttpClientTest, AuthorisesAfterTheFirst401) {
    server.Enqueue(TestResponse::Http(401, "text/html", "who are you"));
    server.Enqueue(TestResponse::Html("secret"));
    Options o;
    o.UserName = "ann";
    o.Password = "pw";
    o.AgentComment = "c";
    TFetchResult r = Fetch("/private.html", o);

    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Request(0).find("Authorization"), std::string::npos);
    EXPECT_EQ(server.Request(1), "GET /private.html HTTP/1.0\r\n"
                                 "Accept: */*; q=1\r\n"
                                 "User-Agent: GathraLight/2.0 (c)\r\n"
                                 "Host: " +
                                     server.HostPort() +
                                     "\r\n"
                                     "Authorization: Basic " +
                                     Base64Encode("ann:pw") + "\r\n\r\n");
    EXPECT_TRUE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "secret"));
}

TEST_F(HttpClientTest, UsesTheDefaultCredentialsOnlyWhenTheEntryHasNone) {
    settings.DefaultUserName = "dflt";
    settings.DefaultPassword = "dpw";
    server.SetDefault(TestResponse::Http(401, "text/html", "no"));
    settings.Retries = 1;
    Fetch("/a");
    Options o;
    o.Password = "only";
    Fetch("/b", o);
    ASSERT_EQ(server.RequestCount(), 4u);
    EXPECT_NE(server.Request(1).find("Basic " + Base64Encode("dflt:dpw")), std::string::npos);
    EXPECT_NE(server.Request(3).find("Basic " + Base64Encode(":only")), std::string::npos);

    settings.DefaultUserName.clear();
    settings.DefaultPassword.clear();
    Fetch("/c");
    EXPECT_NE(server.Request(5).find("Authorization: Basic Og==\r\n"), std::string::npos);
}

TEST_F(HttpClientTest, ARecurring401UsesUpTheAttemptsAndStaysInTheBuffer) {
    TestResponse denied = TestResponse::Http(401, "text/html", "denied");
    server.SetDefault(denied);
    TFetchResult r = Fetch("/p");
    // The first 401 is free; then three attempts with the Authorization line.
    EXPECT_EQ(server.RequestCount(), 4u);
    EXPECT_EQ(r.Result, 1);
    EXPECT_FALSE(r.IsContent);
    EXPECT_EQ(buffer.Bytes(), WithNul(denied.Bytes));
}

TEST_F(HttpClientTest, AFailedAuthorisedTransferGivesThePasswordNotice) {
    server.Enqueue(TestResponse::Http(401, "text/html", "no"));
    server.Enqueue(TestResponse::Http(200, "text/html", std::string(4096, 'x')));
    run.MaxResponseBytes = 1024; // the authorised transfer fails
    Options o;
    o.UserName = "ann";
    TFetchResult r = Fetch("/z", o);
    EXPECT_TRUE(Holds(buffer, kPassword));
    EXPECT_TRUE(Holds(buffer, "ann"));
    EXPECT_FALSE(r.IsContent);
}

TEST_F(HttpClientTest, ARefusedTypeAfterAuthorisingIsNoPasswordFault) {
    server.Enqueue(TestResponse::Http(401, "text/html", "no"));
    server.Enqueue(TestResponse::Http(200, "application/zip", "PK"));
    Options o;
    o.UserName = "ann";
    TFetchResult r = Fetch("/z", o);
    EXPECT_FALSE(Holds(buffer, kPassword));
    EXPECT_TRUE(Holds(buffer, kRefused));
    EXPECT_TRUE(r.IsBinary);
    EXPECT_FALSE(r.IsContent);
}

// ---- attempts and waits -------------------------------------------------------------------------

TEST_F(HttpClientTest, ThreeServerErrorsGiveTheStatusNotice) {
    server.SetDefault(TestResponse::Http(500, "text/html", "oops"));
    TFetchResult r = Fetch("/e");
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_EQ(r.Result, 1);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "HTTP/1.0 500"));
    EXPECT_TRUE(Holds(buffer, kOtherStatus));
}

TEST_F(HttpClientTest, EachRetryWaitsLongerForTheFirstByte) {
    // The first-byte waits of the three attempts last 5, 10 and 15 units: an answer that comes
    // half a unit before one of them is taken by that attempt, one that comes later by none.
    const int unit = run.TimeUnitMs;
    struct Case {
        int DelayHalfUnits;
        std::size_t Requests;
        bool IsContent;
    } cases[] = {{9, 1, true}, {19, 2, true}, {25, 3, true}, {29, 3, true}, {31, 3, false}};
    for (const Case& c : cases) {
        const std::string name = "after " + std::to_string(c.DelayHalfUnits) + " half units";
        TestResponse late = TestResponse::Html(name);
        late.DelayMs = c.DelayHalfUnits * unit / 2;
        server.SetDefault(late);
        const std::size_t before = server.RequestCount();
        TFetchResult r = Fetch("/slow");
        EXPECT_EQ(server.RequestCount() - before, c.Requests) << name;
        EXPECT_EQ(r.IsContent, c.IsContent) << name;
        EXPECT_EQ(Holds(buffer, name), c.IsContent) << name;
        EXPECT_EQ(Holds(buffer, kOtherStatus), !c.IsContent) << name;
    }
}

TEST_F(HttpClientTest, AServerThatNeverAnswersGivesBusyPassesThenTheStatusNotice) {
    server.SetDefault(TestResponse::Silent());
    settings.Retries = 2;
    TFetchResult r = Fetch("/quiet");
    // The busy notice of each pass carries a 500 status line of its own, which is retried
    // like a server's; after the last attempt the notice for unexpected codes stands.
    EXPECT_TRUE(server.WaitForRequests(2));
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, kOtherStatus));
    EXPECT_TRUE(Holds(buffer, "http://" + server.Address("/quiet")));
}

TEST_F(HttpClientTest, TheTransferWritesTheBusyNoticeForTheHostItCouldNotReach) {
    server.SetDefault(TestResponse::Silent());
    TTransferRequest request;
    request.ConnectTo = server.HostPort();
    request.Request = "GET / HTTP/1.0\r\n\r\n";
    request.DisplayAddress = "http://shown/";
    EXPECT_EQ(TransferResponse(request, buffer, run).Transferred, 1);
    EXPECT_TRUE(Holds(buffer, kNetworkBusy));
    EXPECT_TRUE(Holds(buffer, "HTTP/1.0 500"));
    EXPECT_TRUE(Holds(buffer, server.HostPort()));

    std::string refused = "127.0.0.1:" + std::to_string(TestHttpServer::UnusedPort());
    request.ConnectTo = refused;
    EXPECT_EQ(TransferResponse(request, buffer, run).Transferred, 1);
    EXPECT_TRUE(Holds(buffer, kNetworkBusy));
    EXPECT_TRUE(Holds(buffer, refused));
}

TEST_F(HttpClientTest, ARefusedConnectionIsTheNetworkBusyCase) {
    settings.Retries = 1;
    std::string address = "127.0.0.1:" + std::to_string(TestHttpServer::UnusedPort()) + "/x";
    TFetchResult r = Fetch(address);
    EXPECT_EQ(r.Result, 1);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, kOtherStatus));
    EXPECT_TRUE(Holds(buffer, "HTTP/1.0 500"));
}

TEST_F(HttpClientTest, AHostThatCannotBeFoundGivesConnectFailed) {
    std::string address = "http:///nohost";
    TFetchResult r = Fetch(address);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, kConnectFailed));
}

TEST_F(HttpClientTest, AnEmptyAnswerGivesConnectFailed) {
    server.Enqueue(TestResponse::Hangup());
    TFetchResult r = Fetch("/nothing");
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, kConnectFailed));
}

TEST_F(HttpClientTest, AnAnswerCutMidBodyKeepsWhatArrived) {
    TestResponse cut = TestResponse::Html(std::string(5000, 'b'));
    cut.CloseAfter = cut.Bytes.size() - 1000;
    server.Enqueue(cut);
    TFetchResult r = Fetch("/cut");
    EXPECT_TRUE(r.IsContent);
    EXPECT_EQ(buffer.Bytes(), WithNul(cut.Bytes.substr(0, cut.CloseAfter)));
}

TEST_F(HttpClientTest, AResponseWithoutStatusLineStandsAsTheDocumentAfterTheAttempts) {
    server.SetDefault(TestResponse::Raw("just a body"));
    TFetchResult r = Fetch("/raw");
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_EQ(r.Result, 1);
    EXPECT_TRUE(r.IsContent);
    EXPECT_EQ(buffer.Bytes(), WithNul("just a body"));
}

// ---- status table -------------------------------------------------------------------------------

TEST_F(HttpClientTest, EachStatusCodeHasItsOwnOutcome) {
    settings.Retries = 1;
    struct Case {
        int Code;
        bool IsContent;
        std::string_view Text;
    } cases[] = {
        {200, true, "body"},
        {203, true, "body"},
        {202, false, "chose not to respond"},
        {204, false, "server returned no content"},
        {400, false, "did not respond to the request"},
        {403, false, "refused to fulfill"},
        {404, false, kNotFound},
        {501, false, "not fully functional"},
        {407, false, "body"}, // the proxy's own answer stays
        {418, false, kOtherStatus},
    };
    for (const Case& c : cases) {
        server.Enqueue(TestResponse::Http(c.Code, "text/html", "body"));
        TFetchResult r = Fetch("/s");
        EXPECT_EQ(r.IsContent, c.IsContent) << c.Code;
        EXPECT_TRUE(Holds(buffer, c.Text)) << c.Code << ": " << buffer.Bytes();
    }
}

TEST_F(HttpClientTest, UnexpectedCodesAreRetriedBeforeTheirNotice) {
    server.SetDefault(TestResponse::Http(202, "text/html", "later"));
    Fetch("/accepted");
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_TRUE(Holds(buffer, "chose not to respond"));
}

TEST_F(HttpClientTest, StatusLineIsFoundWithinBlocksOfAThousandBytes) {
    // "http/" inside the first block, anywhere in the line's letter case.
    server.SetDefault(TestResponse::Raw(std::string(995, 'a') + "hTtP/1.0 404 Gone\r\n\r\n"));
    Fetch("/inside");
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_TRUE(Holds(buffer, kNotFound));

    // Split across the boundary it is in neither block: no status line, three attempts.
    server.SetDefault(TestResponse::Raw(std::string(998, 'a') + "HTTP/1.0 404 Gone\r\n\r\n"));
    TFetchResult r = Fetch("/split");
    EXPECT_EQ(server.RequestCount(), 4u);
    EXPECT_TRUE(r.IsContent);
}

TEST(StatusCode, IsReadAfterTheVersionOr404WhenNotDigits) {
    EXPECT_EQ(FindStatusCode("HTTP/1.0 200 OK"), 200);
    EXPECT_EQ(FindStatusCode("xx http/1.1\t \r\n301"), 301);
    EXPECT_EQ(FindStatusCode("HTTP/1.0 2x0"), 404);
    EXPECT_EQ(FindStatusCode("HTTP/1.0 20"), 404);
    EXPECT_EQ(FindStatusCode("HTTP/1.0"), 404);
    EXPECT_EQ(FindStatusCode("no status"), -1);
    EXPECT_EQ(FindStatusCode(std::string(1000, 'x') + "HTTP/1.0 203"), 203);
    EXPECT_EQ(FindStatusCode(std::string(999, 'x') + "HTTP/1.0 203"), -1);
}

TEST(StatusCode, NeverReadsPastTheEndOfAnyPrefix) {
    const std::string response = "HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\nbody";
    for (size_t cut = 0; cut <= response.size(); ++cut) {
        int code = FindStatusCode(response.substr(0, cut));
        if (cut < 5)
            EXPECT_EQ(code, -1) << cut;
        else if (cut < 12)
            EXPECT_EQ(code, 404) << cut;
        else
            EXPECT_EQ(code, 302) << cut;
    }
}

} // namespace
} // namespace gathra
