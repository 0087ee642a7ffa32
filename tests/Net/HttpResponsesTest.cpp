// The HTTP client against the loopback server: redirects, content types, the same-site rule,
// skip and abort while waiting, and local files.
#include "support/HttpClientFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

namespace gathra {
namespace {

using namespace test;

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
    run.LocalEntry = true;                                // the entry is a local file
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
    run.LocalEntry = true;
    std::string missing = "file://" + (dir / "none.htm").string();
    TFetchResult r = Fetch(missing);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "was not found"));
    std::string empty = "file://" + (dir / "empty.htm").string();
    r = Fetch(empty);
    EXPECT_FALSE(r.IsContent);
    EXPECT_TRUE(Holds(buffer, "failed to load"));
}

TEST_F(HttpClientTest, LocalFilesAreReadOnlyForALocalEntryOrFromALocalBase) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "page.htm", "local page");
    const std::string address = "file://" + (dir / "page.htm").string();
    struct Case {
        bool LocalEntry;
        std::string Base;
        bool Read;
    } cases[] = {
        {false, "", false},
        {false, "example.com/a.htm", false},
        {false, "http://example.com/a.htm", false},
        {false, "file://" + dir.Folder() + "index.htm", true},
        {false, "FILE:///x.htm", true},
        {true, "example.com/a.htm", true},
    };
    for (const Case& c : cases) {
        run.LocalEntry = c.LocalEntry;
        Options o;
        o.Base = c.Base.empty() ? "x" : c.Base;
        std::string fetched = address;
        TFetchResult r = Fetch(fetched, o);
        EXPECT_EQ(r.IsContent, c.Read) << c.Base;
        EXPECT_EQ(Holds(buffer, "local page"), c.Read) << c.Base;
        if (!c.Read) {
            EXPECT_TRUE(Holds(buffer, "<title>Unsupported Protocol</title>"));
        }
    }
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

} // namespace
} // namespace gathra
