// A brief run in fast transfers (kept connections, several at once) writes the same
// run folder, file for file and byte for byte, as in classic transfers, and asks for the same
// addresses.
#include "support/BriefRun.h"
#include "support/Compression.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace gathra {
namespace {

using namespace test;
namespace fs = std::filesystem;

constexpr std::string_view kKept = "Connection: keep-alive\r\n";

TestResponse Page(const std::string& body) {
    return TestResponse::Http(200, "text/html", body, kKept);
}

// A site of frames, pictures, a stylesheet, a redirect, a 404, a mail link and a link to a second
// host (b: its address without a path).
std::map<std::string, std::string> SiteA(const std::string& b) {
    return {
        {"/", "<html><title>Top</title><link rel=stylesheet href=\"/s.css\">"
              "<a href=\"/a.htm\">a</a> <a href=\"/b.htm\">b</a> <a href=\"/missing.htm\">m</a>"
              " <a href=\"/moved\">moved</a> <a href=\"" +
                  b +
                  "/x.htm\">other host</a>"
                  " <a href=\"mailto:me@example.org\">mail</a> <img src=\"/pic.gif\"></html>"},
        {"/a.htm", "<title>A</title><a href=\"/c.htm\">c</a> <a href=\"/frames.htm\">f</a>"
                   "<img src=\"/pic.gif\"> <a href=\"/a.htm#self\">me</a>"},
        {"/b.htm", "<title>B</title><a href=\"/c.htm\">c</a> <a href=\"/d.htm\">d</a>"},
        {"/c.htm", "<title>C</title><a href=\"/\">top</a> <a href=\"/e.htm\">deeper</a>"},
        {"/d.htm", "<title>D</title><img src=\"/gone.gif\"> <a href=\"/b.htm\">b</a>"},
        {"/e.htm", "<title>E</title>beyond"},
        {"/frames.htm", "<html><frameset cols=\"50%,50%\"><frame src=\"/f1.htm\">"
                        "<frame src=\"/f2.htm\"></frameset></html>"},
        {"/f1.htm", "<title>F1</title><a href=\"/c.htm\">c</a>"},
        {"/f2.htm", "<title>F2</title>frame two"},
    };
}

class FastRunTest : public ::testing::Test {
protected:
    void Serve(TestHttpServer& server, const std::map<std::string, std::string>& pages) {
        server.SetKeepAlive(50);
        for (const auto& [path, body] : pages)
            server.Serve(path, Page(body));
    }
    void ServeSite() { ServeSite(a, b); }
    void ServeSite(TestHttpServer& a, TestHttpServer& b) {
        Serve(a, SiteA(b.Url("")));
        Serve(b, {{"/x.htm", "<title>X</title><a href=\"/y.htm\">y</a>"},
                  {"/y.htm", "<title>Y</title><a href=\"/x.htm\">x</a>"}});
        a.Serve("/pic.gif", TestResponse::Http(200, "image/gif", "GIF89a-picture", kKept));
        a.Serve("/s.css",
                TestResponse::Http(200, "text/css", "body{background:url(bg.gif)}", kKept));
        a.Serve("/bg.gif", TestResponse::Http(200, "image/gif", "GIF89a-background", kKept));
        a.Serve("/moved", TestResponse::Redirect(302, "/b.htm"));
        a.Serve("/big.bin", TestResponse::Http(200, "application/octet-stream",
                                               std::string(200000, 'z'), kKept));
    }

    // One run of the site's brief in folder; the run folder's files by name.
    std::map<std::string, std::string> RunSite(const std::string& folder, bool classic) {
        return RunSite(folder, classic, a, b);
    }
    std::map<std::string, std::string> RunSite(const std::string& folder, bool classic,
                                               TestHttpServer& a, TestHttpServer& b) {
        BriefRun run(folder, "Site");
        run.TrustedAuthorities = TestAuthorityPem();
        run.Settings.ClassicTransfers = classic;
        run.AddWeb(a.Url("/"), 3);
        run.AddWeb(b.Url("/x.htm"), 2);
        TWebPage& local = run.AddWeb(a.Url("/b.htm"), 2);
        local.LocalOnly = 1;
        run.AddWeb(a.Url("/big.bin"), 1);
        EXPECT_TRUE(run.Run());
        std::map<std::string, std::string> files;
        for (const auto& item : fs::recursive_directory_iterator(folder + "0")) {
            if (!item.is_regular_file()) continue;
            std::ifstream in(item.path(), std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            files[fs::relative(item.path(), folder).string()] = bytes.str();
        }
        return files;
    }

    // The two run folders hold the same files, byte for byte.
    static void ExpectSameFiles(const std::map<std::string, std::string>& one,
                                const std::map<std::string, std::string>& other) {
        ASSERT_EQ(one.size(), other.size());
        for (const auto& [name, bytes] : one) {
            auto found = other.find(name);
            ASSERT_NE(found, other.end()) << name;
            EXPECT_EQ(bytes, found->second) << name;
        }
    }
    // The server was asked for the same addresses again (in any order) after the sorted
    // targets of the first run, before.
    static void ExpectAskedAgain(const TestHttpServer& server,
                                 const std::vector<std::string>& before) {
        const std::vector<std::string> all = server.Targets();
        ASSERT_GE(all.size(), before.size());
        EXPECT_EQ(Sorted({all.begin() + static_cast<long>(before.size()), all.end()}), before);
    }

    static std::vector<std::string> Sorted(std::vector<std::string> targets) {
        std::sort(targets.begin(), targets.end());
        return targets;
    }

    TestHttpServer a;
    TestHttpServer b;
    TempDir classicDir;
    TempDir fastDir;
};

TEST_F(FastRunTest, WritesTheSameRunFolderAndAsksForTheSameAddressesAsClassic) {
    ServeSite();
    const auto classic = RunSite(classicDir.Path().string() + "/", true);
    const auto classicA = Sorted(a.Targets());
    const auto classicB = Sorted(b.Targets());
    const size_t classicConnections = a.ConnectionCount();
    const auto fast = RunSite(fastDir.Path().string() + "/", false);

    std::string names;
    for (const auto& [name, bytes] : classic)
        names += name + " ";
    ASSERT_GT(classic.size(), 15u) << names;
    ExpectSameFiles(classic, fast);
    ExpectAskedAgain(a, classicA);
    ExpectAskedAgain(b, classicB);
    // Kept connections: fewer of them than requests.
    EXPECT_LT(a.ConnectionCount() - classicConnections, classicA.size());
}

TEST_F(FastRunTest, OverHttp2TheRunFolderAndTheRequestsAreThoseOfHttp11) {
    TestHttpServer sa(TestCertificate::Valid), sb(TestCertificate::Valid);
    ServeSite(sa, sb);
    for (TestHttpServer* server : {&sa, &sb})
        server->OfferHttp2(true);
    const auto http2 = RunSite(fastDir.Path().string() + "/", false, sa, sb);
    const auto http2A = Sorted(sa.Targets());
    const auto http2B = Sorted(sb.Targets());
    // Every connection chose HTTP/2: one per host and entry, however many requests.
    EXPECT_EQ(sa.Http2ConnectionCount(), sa.ConnectionCount());
    EXPECT_LE(sa.ConnectionCount(), 4u);
    EXPECT_GT(http2A.size(), 15u);
    const size_t http2Connections = sa.Http2ConnectionCount();
    for (TestHttpServer* server : {&sa, &sb})
        server->OfferHttp2(false);
    const auto http11 = RunSite(classicDir.Path().string() + "/", false, sa, sb);
    EXPECT_EQ(sa.Http2ConnectionCount(), http2Connections); // none in the HTTP/1.1 run

    ASSERT_GT(http2.size(), 15u);
    ExpectSameFiles(http11, http2);
    ExpectAskedAgain(sa, http2A);
    ExpectAskedAgain(sb, http2B);
}

} // namespace
} // namespace gathra
