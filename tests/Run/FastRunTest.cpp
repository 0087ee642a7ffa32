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
        return RunBrief(folder, classic, [&](BriefRun& run) {
            run.AddWeb(a.Url("/"), 3);
            run.AddWeb(b.Url("/x.htm"), 2);
            TWebPage& local = run.AddWeb(a.Url("/b.htm"), 2);
            local.LocalOnly = 1;
            run.AddWeb(a.Url("/big.bin"), 1);
        });
    }

    // One run of the brief that addEntries fills, in folder; the run folder's files by name.
    template <typename AddEntries>
    std::map<std::string, std::string> RunBrief(const std::string& folder, bool classic,
                                                AddEntries addEntries) {
        BriefRun run(folder, "Site");
        run.TrustedAuthorities = TestAuthorityPem();
        run.Settings.ClassicTransfers = classic;
        addEntries(run);
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

    // Both runs' folders are the same file for file and byte for byte, and server saw the
    // same requests (in any order) in the fast run as in the classic one; the fast run's
    // requests.
    std::vector<std::string> ExpectSameAsClassic(TestHttpServer& server, const std::string& entry,
                                                 int depth) {
        auto brief = [&](BriefRun& run) { run.AddWeb(server.Url(entry), depth); };
        const auto classic = RunBrief(classicDir.Path().string() + "/", true, brief);
        const auto classicTargets = Sorted(server.Targets());
        const auto fast = RunBrief(fastDir.Path().string() + "/", false, brief);
        const std::vector<std::string> all = server.Targets();
        const auto fastTargets =
            Sorted({all.begin() + static_cast<long>(classicTargets.size()), all.end()});
        EXPECT_EQ(fastTargets, classicTargets);
        EXPECT_EQ(classic.size(), fast.size());
        for (const auto& [name, bytes] : classic) {
            auto other = fast.find(name);
            if (other == fast.end()) {
                ADD_FAILURE() << name << " missing from the fast run";
                continue;
            }
            EXPECT_EQ(bytes, other->second) << name;
        }
        return fastTargets;
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

// Three levels of pages that share pictures, stylesheets and scripts, name missing pictures, the
// same picture through a stylesheet, a srcset and an image tag, and pictures the next level's
// pages name again: what each page's rewrite fetches is fetched ahead, and the next level's pages
// are fetched while this level's are stored.
std::map<std::string, std::string> SharedResourceSite() {
    std::map<std::string, std::string> pages;
    // The stylesheet names font.gif: the paragraph's picture after the icon is stored already
    // when the page comes to it, and the icon is asked for after the stylesheet's pictures.
    std::string top = "<html><title>Top</title><link rel=stylesheet href=\"/st.css\">"
                      "<link rel=icon href=\"/fav.ico\">"
                      "<p style=\"background:url(/img/font.gif)\">p</p>";
    for (int s = 0; s < 3; ++s) {
        const std::string section = "/s" + std::to_string(s);
        top += "<a href=\"" + section + ".htm\">s</a><img src=\"/img/s" + std::to_string(s) +
               ".gif\">";
        // s9.gif is a page of the next level before the articles that show it: stored as that
        // page, the articles' image tags find it stored.
        std::string list = "<title>S</title><a href=\"/img/s9.gif\">pic</a><script "
                           "src=\"/j.js\"></script><img src=\"/img/s" +
                           std::to_string(s) + ".gif\">";
        for (int k = 0; k < 5; ++k) {
            const std::string article = section + "/a" + std::to_string(k) + ".htm";
            const std::string pic = "/img/a" + std::to_string(k) + ".gif";
            list += "<a href=\"" + article + "\">a</a>";
            pages[article] =
                "<title>A</title><link rel=stylesheet href=\"/st.css\"><link rel=icon "
                "href=\"/fav.ico\"><img src=\"" +
                pic + "\"><img src=\"/img/gone" + std::to_string(k % 3) +
                ".gif\"><img src=\"/img/s" + std::to_string(s) +
                ".gif\" srcset=\"/img/x1.gif 1x, /img/x2.gif 2x\"><div style=\"background:"
                "url(/img/bg.gif)\">d</div><style>p{background:url(/img/a" +
                std::to_string((k + 1) % 5) + ".gif)}</style><a href=\"/s" +
                std::to_string((s + 1) % 3) + "/a" + std::to_string(k) + ".htm\">n</a><a href=\"" +
                pic + "\">big</a><a href=\"/deep" + std::to_string(s) +
                ".htm\">d</a><img src=\"/img/s9.gif\">";
        }
        pages[section + ".htm"] = list;
        pages["/deep" + std::to_string(s) + ".htm"] =
            "<title>D</title><img src=\"/img/a0.gif\"><img src=\"/img/deep.gif\">";
    }
    // The stylesheet names q2.gif, which the page shows after q1.gif: the stylesheet's picture is
    // asked for before q1.gif, and q2.gif is fetched again for the image tag.
    pages["/q.htm"] = "<title>Q</title><link rel=stylesheet href=\"/q.css\"><img "
                      "src=\"/img/q1.gif\"><img src=\"/img/q2.gif\">";
    pages["/"] = top + "<a href=\"/q.htm\">q</a>";
    return pages;
}

TEST_F(FastRunTest, FetchesEachPageResourceOnceAndWritesWhatClassicWrites) {
    for (const auto& [path, body] : SharedResourceSite())
        a.Serve(path, Page(body));
    a.SetKeepAlive(50);
    for (const char* name : {"s0", "s1", "s2", "s9", "a0", "a1", "a2", "a3", "a4", "x1", "x2", "bg",
                             "deep", "font", "q1", "q2"})
        a.Serve("/img/" + std::string(name) + ".gif",
                TestResponse::Http(200, "image/gif", "GIF89a-" + std::string(name), kKept));
    a.Serve("/st.css", TestResponse::Http(200, "text/css",
                                          "b{background:url(/img/a0.gif)}"
                                          "@font-face{src:url(/img/font.gif)}",
                                          kKept));
    a.Serve("/q.css", TestResponse::Http(200, "text/css", "b{background:url(/img/q2.gif)}", kKept));
    a.Serve("/j.js", TestResponse::Http(200, "text/javascript", "var j;", kKept));
    a.Serve("/fav.ico", TestResponse::Http(200, "image/x-icon", "icon", kKept));

    const std::vector<std::string> fast = ExpectSameAsClassic(a, "/", 3);
    ASSERT_GT(fast.size(), 30u);
    // Each picture and resource once (the missing ones too), whichever way pages name it; the
    // article pictures and q2.gif twice, as classic fetches them: as a stylesheet's picture (a
    // style block, a stylesheet), and through an image tag.
    std::map<std::string, int> counts;
    for (const std::string& target : fast)
        ++counts[target];
    for (const auto& [target, count] : counts) {
        if (target.rfind("/img/", 0) != 0 && target.find(".css") == std::string::npos &&
            target != "/j.js" && target != "/fav.ico")
            continue;
        EXPECT_EQ(count, target.rfind("/img/a", 0) == 0 || target == "/img/q2.gif" ? 2 : 1)
            << target;
    }
    EXPECT_EQ(counts["/img/gone1.gif"], 1);
    EXPECT_EQ(counts["/s1/a3.htm"], 1);
}

} // namespace
} // namespace gathra
