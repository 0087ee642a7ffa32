// What a hostile page or server can make a run do: never read the user's local files, never send
// header lines of the server's choosing.
#include "Brief/Brief.h"
#include "Net/HttpClient.h"
#include "Net/ResponseReader.h"
#include "Platform/Clock.h"
#include "Platform/SocketCanceller.h"
#include "Run/FileNames.h"
#include "Run/RunContext.h"
#include "Run/RunHost.h"
#include "Run/SkeinThread.h"
#include "Settings/AppSettings.h"
#include "support/BriefRun.h"
#include "support/FetchRequest.h"
#include "support/HttpClientFixture.h"
#include "support/QuietHost.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace gathra {
namespace {

using test::TestHttpServer;
using test::TestResponse;

using test::QuietHost;

// Every file of a folder and its subfolders, read whole.
std::vector<std::pair<std::string, std::string>> AllFiles(const std::filesystem::path& folder) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& f : std::filesystem::recursive_directory_iterator(folder))
        if (f.is_regular_file())
            files.emplace_back(f.path().string(), test::ReadFileBytes(f.path()));
    return files;
}

size_t FilesHolding(const std::filesystem::path& folder, std::string_view text) {
    size_t count = 0;
    for (const auto& [name, bytes] : AllFiles(folder))
        if (bytes.find(text) != std::string::npos) ++count;
    return count;
}

TEST(HostilePages, LocalFilesAreReadOnlyForEntriesThatAreLocalFiles) {
    test::TempDir home;   // the user's own files
    test::TempDir briefs; // the brief and its runs
    const std::string secret = (home / "secret.txt").string();
    test::WriteFileBytes(secret, "TOP SECRET");
    test::WriteFileBytes(home / "local.htm", "<title>Local</title><a href=\"other.htm\">o</a>"
                                             "<img src=\"pic.gif\">");
    test::WriteFileBytes(home / "other.htm", "<title>Other</title>OTHER LOCAL PAGE");
    test::WriteFileBytes(home / "pic.gif", "GIF89a LOCAL PICTURE");

    TestHttpServer server;
    // Links, pictures, frames and bases of network pages that name local files, directly or
    // through a base, at every depth.
    server.Serve("/top.htm", TestResponse::Html("<title>Top</title><img src=\"file://" + secret +
                                                "\"><a href=\"file://" + secret +
                                                "\">direct</a>"
                                                "<a href=\"FILE://" +
                                                secret +
                                                "\">upper</a>"
                                                "<a href=\"second.htm\">second</a>"));
    server.Serve("/second.htm",
                 TestResponse::Html("<title>Second</title><base href=\"file://" + home.Folder() +
                                    "\"><a href=\"secret.txt\">s</a>"
                                    "<img src=\"secret.txt\"><a href=\"other.htm\">o</a>"));
    server.Serve("/frames.htm",
                 TestResponse::Html("<html><frameset cols=\"50%,50%\"><frame src=\"file://" +
                                    secret + "\"><frame src=\"/top.htm\"></frameset></html>"));
    // A redirect to a "file://" address asks the server for that path, never the disk.
    server.Serve("/moved.htm", TestResponse::Redirect(302, "file://" + secret));

    test::BriefRun run(briefs.Folder(), "Hostile");
    run.AddWeb(server.Url("/top.htm"), 3);
    run.AddWeb(server.Url("/frames.htm"), 2);
    run.AddWeb(server.Url("/moved.htm"), 1);
    run.AddWeb("file://" + (home / "local.htm").string(), 2);
    ASSERT_TRUE(run.Run());

    EXPECT_EQ(FilesHolding(briefs.Path(), "TOP SECRET"), 0u);
    // The local links of network pages stand as notices of unsupported links.
    EXPECT_GE(FilesHolding(briefs.Path() / "0", "<title>Unsupported Protocol</title>"), 3u);
    // The local entry keeps its linked page and its picture.
    EXPECT_EQ(FilesHolding(briefs.Path() / "0", "OTHER LOCAL PAGE"), 1u);
    EXPECT_EQ(FilesHolding(briefs.Path() / "0", "GIF89a LOCAL PICTURE"), 1u);
    // The redirect was asked of the server.
    std::vector<std::string> targets = server.Targets();
    EXPECT_NE(std::find(targets.begin(), targets.end(), secret), targets.end());
}

// The HTTP client's set-up with one try; addresses are given whole.
class HostileRedirects : public test::HttpClientTest {
protected:
    HostileRedirects() { settings.Retries = 1; }
    TFetchResult Fetch(std::string address) { return HttpClientTest::Fetch(address); }
};

TEST_F(HostileRedirects, NoRequestCarriesAControlByteOrABlankInItsTarget) {
    const std::string host = "http://" + server.HostPort();
    struct Case {
        std::string Location;   // sent by the server after "Location: "
        std::string NextTarget; // the target of the next request; empty: no next request
    } cases[] = {
        {host + "/next\rInjected: yes", "/next"},
        {host + "/next\r\nInjected: yes", "/next"},
        {host + "/next Injected: yes", "/next"},
        {host + "/next\tInjected: yes", "/next"},
        {host + "/next>Injected", "/next"},
        {"/rooted\rInjected: yes", "/rooted"},
        {host + "/next\x01"
                "Injected",
         ""},
        {host + "/next\x7f", ""},
        {"/rooted\x0bInjected", ""},
    };
    for (const Case& c : cases) {
        server.Enqueue(
            TestResponse::Raw("HTTP/1.0 302 Found\r\nLocation: " + c.Location + "\r\n\r\n"));
        server.SetDefault(TestResponse::Html("landed"));
        const size_t before = server.RequestCount();
        TFetchResult r = Fetch(server.Address("/start"));
        std::vector<std::string> targets = server.Targets();
        if (c.NextTarget.empty()) {
            EXPECT_EQ(server.RequestCount(), before + 1) << c.Location;
            EXPECT_FALSE(r.IsContent);
            EXPECT_NE(buffer.Bytes().find("<title>Unsupported Protocol</title>"),
                      std::string::npos);
        } else {
            ASSERT_EQ(targets.size(), before + 2) << c.Location;
            EXPECT_EQ(targets.back(), c.NextTarget);
            EXPECT_TRUE(r.IsContent);
        }
    }
    for (const std::string& request : server.Requests()) {
        const std::string line = request.substr(0, request.find("\r\n"));
        for (char ch : line)
            EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) << line;
        EXPECT_EQ(request.find("Injected"), std::string::npos) << request;
    }
}

TEST_F(HostileRedirects, BlanksInAnAddressAreSentEncoded) {
    server.SetDefault(TestResponse::Html("ok"));
    Fetch(server.Address("/a b/c d.htm"));
    ASSERT_EQ(server.Targets().size(), 1u);
    EXPECT_EQ(server.Targets()[0], "/a%20b/c%20d.htm");
    EXPECT_EQ(server.Request(0).rfind("GET /a%20b/c%20d.htm HTTP/1.0\r\n", 0), 0u);
}

TEST_F(HostileRedirects, TransfersWithoutAnEndFailAndPagesAreCut) {
    // Time units of 5 ms: the header has 300 ms, and every 150 ms of body must bring 1024 bytes.
    const std::string header = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    TestResponse headerTrickle = TestResponse::Raw(header + "body");
    headerTrickle.ChunkSize = 1;
    headerTrickle.ChunkDelayMs = 20;
    server.Serve("/header.htm", headerTrickle);
    // Forty seconds of trickle, stopped early by the client.
    TestResponse bodyTrickle = TestResponse::Raw(header + std::string(4000, 'b'));
    bodyTrickle.ChunkSize = 1;
    bodyTrickle.ChunkDelayMs = 10;
    server.Serve("/body.htm", bodyTrickle);
    server.Serve("/large.htm", TestResponse::Html(std::string(5000, 'p')));
    TestResponse picture = TestResponse::Http(200, "image/gif", std::string(5000, 'g'));
    server.Serve("/large.gif", picture);

    const std::int64_t started = ticks.NowMs();
    TFetchResult r = Fetch(server.Address("/header.htm"));
    EXPECT_FALSE(r.IsContent);
    EXPECT_NE(buffer.Bytes().find("unable to connect"), std::string::npos) << buffer.Bytes();

    run.HeaderTimeUnits = 1000; // the trickled header of the next one is no matter here
    r = Fetch(server.Address("/body.htm"));
    EXPECT_FALSE(r.IsContent);
    EXPECT_NE(buffer.Bytes().find("unable to connect"), std::string::npos);
    // Both ended by their bounds (300 and 150 ms with the retries of each), long before the whole
    // response could have come in.
    EXPECT_LT(ticks.NowMs() - started, 2000);

    run.MaxPageBytes = 1000;
    r = Fetch(server.Address("/large.htm"));
    EXPECT_TRUE(r.IsContent);
    EXPECT_EQ(buffer.Size(), 1000 + kPageCutNotice.size() + 1);
    EXPECT_NE(buffer.Bytes().find(kPageCutNotice), std::string::npos);
    // A picture is not a page: only the response bound applies to it.
    std::string address = server.Address("/large.gif");
    test::Options pictures;
    pictures.LoadImages = true;
    r = HttpClientTest::Fetch(address, pictures);
    EXPECT_TRUE(r.IsContent);
    EXPECT_TRUE(r.IsBinary);
    EXPECT_EQ(buffer.Bytes().find(kPageCutNotice), std::string::npos);
    EXPECT_NE(buffer.Bytes().find(std::string(5000, 'g')), std::string::npos);
}

} // namespace
} // namespace gathra
