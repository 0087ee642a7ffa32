#include "Engine/HttpClient.h"

#include "Engine/Base64.h"
#include "Engine/RunCancel.h"
#include "Engine/RunContext.h"
#include "Engine/RunHost.h"
#include "Platform/SocketCanceller.h"
#include "Shell/AppSettings.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

namespace gathra {
namespace {

using test::TestHttpServer;
using test::TestResponse;

// Records what the client shows in the status bar and the progress bar.
class RecordingHost : public RunHost {
public:
    void LockControls(TBrief&) override {}
    void UnlockControls(TBrief&) override {}
    void CreateProgress() override {}
    void ShowProgress() override {}
    void UpdateItem(ProgressLabel, const std::string&) override {}
    void UpdateProgress(int percent) override {
        std::lock_guard lock(mutex);
        progress.push_back(percent);
    }
    void FreeProgress() override {}
    void SetStatusText(const std::string& text) override {
        std::lock_guard lock(mutex);
        status.push_back(text);
    }
    void ShowDiskError(const std::string&, const std::string&) override {}
    void BriefReady(const std::string&, const std::string&, const std::string&) override {}
    void AppendArchive(TBrief&, const std::string&, const std::string&) override {}
    void Repaint() override {}

    std::mutex mutex;
    std::vector<std::string> status;
    std::vector<int> progress;
};

struct Options {
    std::string UserName;
    std::string Password;
    std::string Base; // empty: the test server's own address
    bool LocalOnly = false;
    std::string ProxyHost;
    int ProxyPort = 80;
    bool LoadImages = false;
    bool LoadBinaries = false;
    std::string AgentComment;
};

// The notices, told apart by a phrase of their own.
bool Holds(const TResponseBuffer& buffer, std::string_view text) {
    return buffer.Bytes().find(text) != std::string::npos;
}
constexpr std::string_view kSkipped = "<title>Gathra Light Web page skipped</title>";
constexpr std::string_view kConnectFailed = "was unable to connect to the server";
constexpr std::string_view kNetworkBusy = "heavily loaded";
constexpr std::string_view kPassword = "This page requires a UserName and Password.";
constexpr std::string_view kRefused = "a type of file that this brief entry does not retrieve";
constexpr std::string_view kExternal = "<title>External Link</title>";
constexpr std::string_view kOtherStatus = "The server was unable to respond to the request.";
constexpr std::string_view kNotFound = "unable to find or deliver";

std::string WithNul(std::string bytes) {
    bytes.push_back('\0');
    return bytes;
}

class HttpClientTest : public ::testing::Test {
protected:
    HttpClientTest() {
        run.Settings = &settings;
        run.Flags = &flags;
        run.Canceller = &canceller;
        run.Host = &host;
        run.TimeUnitMs = 5;
    }

    TFetchResult Fetch(std::string& address, const Options& o = {}) {
        return FetchDocument(address, buffer, o.UserName, o.Password,
                             o.Base.empty() ? server.HostPort() : o.Base, o.LocalOnly, o.ProxyHost,
                             o.ProxyPort, o.LoadImages, o.LoadBinaries, o.AgentComment, run);
    }
    TFetchResult Fetch(const std::string& path, const Options& o = {}) {
        std::string address = server.Address(path);
        return Fetch(address, o);
    }

    TestHttpServer server;
    AppSettings settings;
    RunFlags flags;
    SocketCanceller canceller;
    RecordingHost host;
    TRunContext run;
    TResponseBuffer buffer;
};

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
    // Answers that come after 12.5 units miss the waits of 5 and 10 units and meet that of 15.
    run.TimeUnitMs = 100; // margins of a quarter second either way
    for (int i = 0; i < 3; ++i) {
        TestResponse late = TestResponse::Html("late " + std::to_string(i));
        late.DelayMs = 12 * run.TimeUnitMs + run.TimeUnitMs / 2;
        server.Enqueue(late);
    }
    TFetchResult r = Fetch("/slow");
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_TRUE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "late 2"));
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
    bool isBinary = false;
    std::string request = "GET / HTTP/1.0\r\n\r\n";
    EXPECT_EQ(TransferResponse(server.HostPort(), request, 5, false, false, "http://shown/", buffer,
                               isBinary, run),
              1);
    EXPECT_TRUE(Holds(buffer, kNetworkBusy));
    EXPECT_TRUE(Holds(buffer, "HTTP/1.0 500"));
    EXPECT_TRUE(Holds(buffer, server.HostPort()));

    std::string refused = "127.0.0.1:" + std::to_string(TestHttpServer::UnusedPort());
    EXPECT_EQ(
        TransferResponse(refused, request, 5, false, false, "http://shown/", buffer, isBinary, run),
        1);
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

// ---- redirects ----------------------------------------------------------------------------------

TEST_F(HttpClientTest, FollowsRedirectsWithoutCountingAnAttempt) {
    settings.Retries = 2;
    server.Enqueue(TestResponse::Redirect(301, "/new/page.html"));
    server.Enqueue(TestResponse::Http(500, "text/html", "busy"));
    server.Enqueue(TestResponse::Html("moved here"));
    std::string address = server.Address("/old/page.html");
    TFetchResult r = Fetch(address);
    // Had the redirect cost an attempt, the 500 would have been the last one.
    EXPECT_EQ(server.Targets(),
              (std::vector<std::string>{"/old/page.html", "/new/page.html", "/new/page.html"}));
    EXPECT_TRUE(r.IsContent);
    EXPECT_EQ(address, server.Address("/new/page.html"));
}

TEST_F(HttpClientTest, FollowsAbsoluteAndRelativeLocations) {
    server.Enqueue(TestResponse::Redirect(302, "http://" + server.Address("/abs.html")));
    server.Enqueue(TestResponse::Redirect(303, "rel.html"));
    server.Enqueue(TestResponse::Redirect(300, "HTTP://" + server.Address("/dir/x.html")));
    server.Enqueue(TestResponse::Html("end"));
    std::string address = server.Address("/start.html");
    TFetchResult r = Fetch(address);
    EXPECT_EQ(server.Targets(),
              (std::vector<std::string>{"/start.html", "/abs.html", "/rel.html", "/dir/x.html"}));
    EXPECT_TRUE(r.IsContent);
    EXPECT_EQ(address, server.Address("/dir/x.html"));
}

TEST_F(HttpClientTest, ARedirectNeverReadsALocalFile) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "secret.txt", "local secret");
    const std::string path = (dir / "secret.txt").string();
    server.SetDefault(TestResponse::Html("from the server"));
    // The path after "file://" is asked of the same server.
    server.Enqueue(TestResponse::Redirect(302, "file://" + path));
    TFetchResult r = Fetch("/start");
    EXPECT_TRUE(Holds(buffer, "from the server"));
    EXPECT_TRUE(r.IsContent);
    EXPECT_EQ(server.Targets().at(1), path);
    EXPECT_FALSE(Holds(buffer, "local secret"));
}

TEST_F(HttpClientTest, ARedirectLoopEndsAfterTwentyRedirects) {
    server.SetDefault(TestResponse::Redirect(302, "/loop"));
    TFetchResult r = Fetch("/loop");
    EXPECT_EQ(server.RequestCount(), 1u + kMaxRedirects);
    EXPECT_EQ(r.Result, 1);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, kOtherStatus));
}

TEST_F(HttpClientTest, ARedirectWithoutLocationLeavesNothingToStore) {
    TestResponse bare = TestResponse::Http(302, "text/html", "gone");
    server.Enqueue(bare);
    TFetchResult r = Fetch("/r");
    EXPECT_EQ(r.Result, 0);
    EXPECT_FALSE(r.IsContent);
    EXPECT_EQ(buffer.Bytes(), WithNul(bare.Bytes));

    // A location line without value, or without its line end, gives the not-found notice.
    server.Enqueue(TestResponse::Raw("HTTP/1.0 302 Found\r\nLocation:\r\n\r\n"));
    r = Fetch("/r");
    EXPECT_EQ(r.Result, 1);
    EXPECT_TRUE(Holds(buffer, kNotFound));
    server.Enqueue(TestResponse::Raw("HTTP/1.0 302 Found\r\nLocation: /x"));
    r = Fetch("/r");
    EXPECT_TRUE(Holds(buffer, kNotFound));
}

TEST_F(HttpClientTest, LocationIsFoundInAnyCaseWithinBlocksOf999Bytes) {
    // The blocks start right after the status code.
    const std::string head = "HTTP/1.0 301";
    auto withLocationAt = [&](size_t offset, std::string_view word) {
        std::string bytes = head + " Moved\r\nX-Pad: ";
        bytes.append(head.size() + offset - 2 - bytes.size(), 'p');
        bytes += "\r\n" + std::string(word) + ": /found\r\n\r\n";
        EXPECT_EQ(bytes.find(word), head.size() + offset);
        return TestResponse::Raw(bytes);
    };
    server.Serve("/found", TestResponse::Html("found"));

    server.Enqueue(withLocationAt(999 - 8, "LoCaTiOn"));
    EXPECT_EQ(Fetch("/a").Result, 1);
    EXPECT_TRUE(Holds(buffer, "found"));

    server.Enqueue(withLocationAt(999 - 4, "Location"));
    EXPECT_EQ(Fetch("/b").Result, 0);

    server.Enqueue(withLocationAt(999, "LOCATION"));
    EXPECT_EQ(Fetch("/c").Result, 1);
    EXPECT_EQ(server.Targets().back(), "/found");
}

TEST_F(HttpClientTest, ARedirectCutAtEveryOffset) {
    settings.Retries = 1;
    server.Serve("/next", TestResponse::Html("arrived"));
    const std::string whole = "HTTP/1.0 302 Found\r\nLocation: /next\r\n\r\n";
    const size_t codeEnd = whole.find("302") + 3;
    const size_t wordEnd = whole.find("Location") + 8;
    const size_t lineEnd = whole.find("/next") + 7; // after the LF
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        TestResponse r = TestResponse::Raw(whole);
        r.CloseAfter = cut;
        server.Enqueue(r);
        TFetchResult result = Fetch("/cut");
        ASSERT_FALSE(buffer.Empty()) << cut;
        EXPECT_EQ(buffer.Bytes().back(), '\0') << cut;
        if (cut == 0) {
            EXPECT_TRUE(Holds(buffer, kConnectFailed));
        } else if (cut < 5) { // no "http/" yet: the bytes stand as the document
            EXPECT_TRUE(result.IsContent) << cut;
            EXPECT_EQ(buffer.Bytes(), WithNul(whole.substr(0, cut)));
        } else if (cut < codeEnd) { // a status line without its digits reads as 404
            EXPECT_TRUE(Holds(buffer, kNotFound)) << cut;
        } else if (cut < wordEnd) {
            EXPECT_EQ(result.Result, 0) << cut;
        } else if (cut < lineEnd) {
            EXPECT_EQ(result.Result, 1) << cut;
            EXPECT_TRUE(Holds(buffer, kNotFound)) << cut;
        } else {
            EXPECT_TRUE(result.IsContent) << cut;
            EXPECT_TRUE(Holds(buffer, "arrived")) << cut;
        }
    }
}

// ---- content types ------------------------------------------------------------------------------

TEST_F(HttpClientTest, ContentTypesAgainstTheImagesAndFilesFlags) {
    struct Case {
        std::string_view Type;
        bool Images, Binaries, Accepted, Binary;
    } cases[] = {
        {"text/html", false, false, true, false},
        {"", false, false, true, false},
        {"image/gif", false, false, false, true},
        {"image/gif", true, false, true, true},
        {"image/gif", false, true, true, true},
        {"multipart/mixed", true, true, false, true},
        {"application/pdf", true, false, false, true},
        {"application/pdf", false, true, true, true},
        {"Application/PDF; name=x", false, true, true, true},
    };
    for (const Case& c : cases) {
        server.Enqueue(TestResponse::Http(200, c.Type, "data"));
        Options o;
        o.LoadImages = c.Images;
        o.LoadBinaries = c.Binaries;
        TFetchResult r = Fetch("/f", o);
        EXPECT_EQ(r.IsContent, c.Accepted) << c.Type;
        EXPECT_EQ(r.IsBinary, c.Binary) << c.Type;
        // A refused type is named in its notice; the server did answer.
        EXPECT_FALSE(Holds(buffer, kConnectFailed)) << c.Type;
        EXPECT_EQ(Holds(buffer, kRefused), !c.Accepted) << c.Type;
        if (!c.Accepted) {
            EXPECT_TRUE(
                Holds(buffer, " as " + std::string(c.Type.substr(0, c.Type.find(';'))) + ","))
                << c.Type;
        }
    }
    EXPECT_EQ(server.RequestCount(), std::size(cases));
}

TEST_F(HttpClientTest, HeaderFieldsSplitAcrossReceivedBlocksAreStillRead) {
    // Small pieces with pauses between them arrive as separate blocks.
    const TestResponse image = TestResponse::Http(200, "image/png", "PNG");
    for (size_t piece : {1u, 2u, 3u, 5u, 7u, 11u}) {
        TestResponse slow = image;
        slow.ChunkSize = piece;
        slow.ChunkDelayMs = 1;
        server.Enqueue(slow);
        TFetchResult r = Fetch("/img");
        EXPECT_TRUE(r.IsBinary) << piece;
        EXPECT_FALSE(r.IsContent) << piece;
    }
}

TEST_F(HttpClientTest, ProgressFollowsTheContentLength) {
    server.Enqueue(TestResponse::Html(std::string(100000, 'x')));
    Fetch("/big");
    std::lock_guard lock(host.mutex);
    ASSERT_FALSE(host.progress.empty());
    EXPECT_EQ(host.progress.back(), 100);
    EXPECT_EQ(host.status, (std::vector<std::string>{" Contacting host...", " Connected...",
                                                     " Transferring data..."}));
}

TEST_F(HttpClientTest, AnOversizedResponseIsAFailedTransfer) {
    run.MaxResponseBytes = 50000;
    server.Enqueue(TestResponse::Html(std::string(60000, 'x')));
    TFetchResult r = Fetch("/huge");
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, kConnectFailed));
    EXPECT_LT(buffer.Size(), 5000u);
}

// ---- same site ----------------------------------------------------------------------------------

TEST_F(HttpClientTest, LocalOnlyRefusesOtherSitesWithoutAConnection) {
    Options o;
    o.LocalOnly = true;
    o.Base = "www.example.com/index.html";
    std::string address = "other.org/page.html";
    TFetchResult r = Fetch(address, o);
    EXPECT_TRUE(r.WasExternal);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, kExternal));
    EXPECT_TRUE(Holds(buffer, "http://other.org/page.html"));
    EXPECT_EQ(server.ConnectionCount(), 0u);
}

TEST_F(HttpClientTest, ARedirectToAnotherSiteIsRefusedWhenLocalOnly) {
    server.Enqueue(TestResponse::Redirect(302, "http://elsewhere.org/"));
    Options o;
    o.LocalOnly = true;
    std::string address = server.Address("/go");
    TFetchResult r = Fetch(address, o);
    EXPECT_TRUE(r.WasExternal);
    EXPECT_EQ(address, "elsewhere.org/");
    EXPECT_EQ(server.RequestCount(), 1u);
    // The notice stands for the link that was asked for, which leads there on-line.
    EXPECT_TRUE(Holds(buffer, "<a href=\"http://" + server.Address("/go") + "\">"));
    EXPECT_FALSE(Holds(buffer, "elsewhere.org"));
}

TEST(SameSite, ComparesTheLinkHostWithTheBaseDomain) {
    EXPECT_TRUE(IsSameSite("news.example.com/a", "www.example.com/index.html"));
    EXPECT_TRUE(IsSameSite("http://news.example.com/a", "http://www.example.com/"));
    // No label boundary is checked: a host that merely ends the same way counts.
    EXPECT_TRUE(IsSameSite("badexample.com/", "www.example.com"));
    EXPECT_FALSE(IsSameSite("example.org/", "www.example.com"));
    // Ports are cut from both hosts.
    EXPECT_TRUE(IsSameSite("a.example.com:8080/x", "www.example.com:81/y"));
    // Letter case matters; a link host shorter than the domain is not on the site.
    EXPECT_FALSE(IsSameSite("WWW.EXAMPLE.COM/", "www.example.com"));
    EXPECT_FALSE(IsSameSite("le.com/", "www.example.com"));
    // A base host with a single label is its own domain.
    EXPECT_TRUE(IsSameSite("intranet/x", "intranet/"));
    EXPECT_TRUE(IsSameSite("myintranet/x", "intranet"));
    // The link's scheme counts only before its first separator.
    EXPECT_FALSE(IsSameSite("other.org/http://www.example.com", "www.example.com"));
    EXPECT_TRUE(IsSameSite("ftp://www.example.com/x", "www.example.com"));
}

TEST(SameSite, SearchSiteLinks) {
    EXPECT_TRUE(IsSearchSiteLink("search.yahoo.com/bin/search?p=x"));
    EXPECT_TRUE(IsSearchSiteLink("http://images.yahoo.com/"));
    EXPECT_FALSE(IsSearchSiteLink("www.example.com/"));
}

// ---- skip and abort -----------------------------------------------------------------------------

TEST_F(HttpClientTest, ASetFlagBeforeTheCallSkipsWithoutAConnection) {
    flags.AbortFlag = 1;
    TFetchResult r = Fetch("/never");
    EXPECT_EQ(r.Result, 1);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "HTTP/1.0 200"));
    EXPECT_TRUE(Holds(buffer, kSkipped));
    EXPECT_EQ(server.ConnectionCount(), 0u);
}

// Runs the fetch while another thread skips the entry once the server has the request; the
// fetch must end long before its own wait would.
class SkipWhileWaiting : public HttpClientTest {
protected:
    std::chrono::milliseconds FetchAndSkip(const std::string& path, bool afterFirstBlock = false) {
        run.TimeUnitMs = 10000; // a first-byte wait of 50 s, far beyond the test's patience
        std::thread skipper([&] {
            if (!server.WaitForRequests(1)) return;
            // Bounded: at most ten seconds for the first block to arrive.
            for (int i = 0; afterFirstBlock && i < 10000 && !ProgressShown(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            RequestSkip(flags, canceller);
        });
        auto start = std::chrono::steady_clock::now();
        result = Fetch(path);
        auto took = std::chrono::steady_clock::now() - start;
        skipper.join();
        return std::chrono::duration_cast<std::chrono::milliseconds>(took);
    }
    bool ProgressShown() {
        std::lock_guard lock(host.mutex);
        return !host.progress.empty() && host.progress.back() > 0;
    }
    TFetchResult result;
};

TEST_F(SkipWhileWaiting, ForTheFirstByte) {
    server.SetDefault(TestResponse::Silent());
    EXPECT_LT(FetchAndSkip("/wait").count(), 20000);
    EXPECT_TRUE(Holds(buffer, kSkipped));
    EXPECT_FALSE(result.IsContent);
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(SkipWhileWaiting, InTheMiddleOfTheBody) {
    TestResponse stalled = TestResponse::Html(std::string(1000, 'x'));
    stalled.ChunkSize = 100;
    stalled.ChunkDelayMs = 60000;
    server.SetDefault(stalled);
    EXPECT_LT(FetchAndSkip("/stall", true).count(), 20000);
    EXPECT_TRUE(ProgressShown());
    EXPECT_TRUE(Holds(buffer, kSkipped));
}

TEST_F(HttpClientTest, AStaleCancelDoesNotEndTheNextFetch) {
    canceller.Cancel(); // left over from an entry that has since ended
    server.Enqueue(TestResponse::Html("fine"));
    EXPECT_TRUE(Fetch("/ok").IsContent);
}

// ---- local files --------------------------------------------------------------------------------

TEST_F(HttpClientTest, LocalFilesWithTwoOrThreeSlashes) {
    test::TempDir dir;
    const std::string text = "first line\r\n\r\nafter the blank line";
    test::WriteFileBytes(dir / "page.htm", text);
    const std::string path = (dir / "page.htm").string(); // begins with "/"
    for (std::string address : {"file://" + path, "FILE://" + path.substr(1)}) {
        TFetchResult r = Fetch(address);
        EXPECT_EQ(r.Result, 1) << address;
        EXPECT_TRUE(r.IsContent) << address;
        EXPECT_FALSE(buffer.HasHeader());
        EXPECT_EQ(buffer.Bytes(), WithNul(text));
    }
    EXPECT_EQ(server.ConnectionCount(), 0u);
}

TEST_F(HttpClientTest, MissingAndEmptyLocalFilesGiveTheFileNotice) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "empty.htm", "");
    std::string missing = "file://" + (dir / "none.htm").string();
    TFetchResult r = Fetch(missing);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "was not found"));
    std::string empty = "file://" + (dir / "empty.htm").string();
    r = Fetch(empty);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "failed to load"));
}

TEST(LoadFile, ReadsTheBytesAndANul) {
    test::TempDir dir;
    std::string bytes("a\0b", 3);
    test::WriteFileBytes(dir / "f", bytes);
    TResponseBuffer buffer;
    EXPECT_TRUE(LoadFileToBuffer((dir / "f").string(), buffer));
    EXPECT_EQ(buffer.Bytes(), WithNul(bytes));
    EXPECT_EQ(buffer.Position(), buffer.Size());
    EXPECT_FALSE(LoadFileToBuffer((dir / "g").string(), buffer));
    EXPECT_TRUE(buffer.Empty());
    EXPECT_FALSE(LoadFileToBuffer(dir.Path().string(), buffer));
}

// ---- body preparation ---------------------------------------------------------------------------

std::string Prepared(std::string bytes, bool hasHeader = true) {
    TResponseBuffer buffer;
    buffer.Append(bytes);
    buffer.AppendNul();
    buffer.SetHasHeader(hasHeader);
    PrepareBody(buffer, true);
    EXPECT_EQ(buffer.Bytes().back(), '\0');
    EXPECT_EQ(buffer.Position(),
              hasHeader && FindHeaderEnd(bytes) != std::string::npos ? 0u : buffer.Size());
    std::string out = buffer.Bytes();
    out.pop_back();
    return out;
}

TEST(PrepareBody, RemovesTheHeaderAndBlanksComments) {
    const std::string comment = "<!-- <a href=x> -->";
    EXPECT_EQ(Prepared("HTTP/1.0 200\r\nA: b\r\n\r\n<p>" + comment + "text"),
              "<p>" + std::string(comment.size(), ' ') + "text" + " ");
    // The header ends at LF LF when that comes before CR LF CR LF.
    EXPECT_EQ(Prepared("HTTP/1.0 200\n\nbody\r\n\r\nmore"), "body\r\n\r\nmore ");
    EXPECT_EQ(Prepared("no header end"), "no header end");
}

TEST(PrepareBody, KeepsScriptsAndBlanksDeclarations) {
    const std::string script = "<SCRIPT>if (a<!--b) x = '<!-- keep -->';</Script>";
    EXPECT_EQ(Prepared(script, false), script);
    EXPECT_EQ(Prepared("<!DOCTYPE html><p>" + script + "<!--x-->", false),
              std::string(15, ' ') + "<p>" + script + std::string(8, ' '));
    // A script tag inside a comment is blanked with it and starts nothing.
    EXPECT_EQ(Prepared("<!-- <script> --><!--y-->", false), std::string(25, ' '));
    // "<!-->" is a whole comment: the "-->" may overlap the "--" after "<!".
    EXPECT_EQ(Prepared("<!--><a href=x>k</a><!--->t", false),
              std::string(5, ' ') + "<a href=x>k</a>" + std::string(6, ' ') + "t");
    // An unterminated comment ends the step and stays as it is.
    EXPECT_EQ(Prepared("<!--a--><!-- open", false), std::string(8, ' ') + "<!-- open");
    // A script that never closes protects the rest of the page.
    EXPECT_EQ(Prepared("<script><!--a-->", false), "<script><!--a-->");
}

TEST(PrepareBody, ALocalFileKeepsItsTextBeforeTheFirstBlankLine) {
    EXPECT_EQ(Prepared("<html>\r\n\r\n<body>", false), "<html>\r\n\r\n<body>");
}

TEST(PrepareBody, TurnsEveryNulButTheLastIntoABlank) {
    EXPECT_EQ(Prepared(std::string("a\0b\0", 4), false), "a b ");
}

TEST(PrepareBody, SurvivesEveryCutAndTwoPasses) {
    const std::string page = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<!DOCTYPE x>"
                             "<script>a<!--b--></script><!-- c --><!x><p>t</p>";
    for (size_t cut = 0; cut <= page.size(); ++cut) {
        TResponseBuffer buffer;
        buffer.Append(page.substr(0, cut));
        buffer.AppendNul();
        PrepareBody(buffer, true);
        std::string once = buffer.Bytes();
        PrepareBody(buffer, true);
        EXPECT_EQ(buffer.Bytes(), once) << cut;
        EXPECT_EQ(buffer.Bytes().find('\0'), buffer.Size() - 1) << cut;
    }
}

// Comment blanking read word for word, searching afresh each time: slow, but plainly right.
std::string BlankCommentsByTheBook(std::string page) {
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string low = lower(page);
    size_t from = 0;
    for (;;) {
        size_t bang = page.find("<!", from);
        size_t script = low.find("<script", from);
        if (bang == std::string::npos) break;
        if (script != std::string::npos && script < bang) {
            size_t close = low.find("</script", script);
            if (close == std::string::npos) break;
            from = close;
            continue;
        }
        size_t end = page.compare(bang + 2, 2, "--") == 0 ? page.find("-->", bang + 2)
                                                          : page.find('>', bang + 2);
        if (end == std::string::npos) break;
        end += page.compare(bang + 2, 2, "--") == 0 ? 3 : 1;
        for (size_t i = bang; i < end; ++i)
            page[i] = ' ';
        from = end;
    }
    for (size_t i = 0; i + 1 < page.size(); ++i)
        if (page[i] == '\0') page[i] = ' ';
    return page;
}

TEST(PrepareBody, RandomPagesAgreeWithTheBook) {
    std::mt19937 random(11);
    const std::string_view pieces[] = {"<!--",     "-->", "<script>", "</script>", "<ScRiPt",
                                       "</SCRIPT", "<!",  ">",        "<p>",       "x",
                                       "<",        "-",   "!"};
    for (int round = 0; round < 2000; ++round) {
        std::string page;
        for (int i = 0; i < 30; ++i)
            page += pieces[random() % std::size(pieces)];
        ASSERT_EQ(Prepared(page, false), BlankCommentsByTheBook(page)) << page;
    }
}

TEST(PrepareBody, RandomPagesKeepTheirLengthAndMarkupOutsideComments) {
    std::mt19937 random(7);
    const std::string_view pieces[] = {"<!--", "-->",  "<script>", "</script>", "<!", ">",
                                       "<p>",  "text", "\0",       "<",         "-"};
    for (int round = 0; round < 300; ++round) {
        std::string page;
        for (int i = 0; i < 40; ++i) {
            std::string_view p = pieces[random() % std::size(pieces)];
            page += p.empty() ? std::string(1, '\0') : std::string(p);
        }
        std::string out = Prepared(page, false);
        ASSERT_EQ(out.size(), page.size());
        for (size_t i = 0; i < page.size(); ++i)
            if (out[i] != page[i]) {
                ASSERT_EQ(out[i], ' ');
            }
    }
}

} // namespace
} // namespace gathra
