// Whole runs against the loopback server with pages in the shapes that documentation generators
// write: navigation lists with bare ">", a top page with an in-page table of contents, links with
// queries and fragments, text files, refused file types and pictures that every page shares.
#include "Brief/Brief.h"
#include "Run/FileNames.h"
#include "Run/RunFlags.h"
#include "Run/RunHost.h"
#include "Run/SkeinThread.h"
#include "Platform/Clock.h"
#include "Platform/SocketCanceller.h"
#include "Settings/AppSettings.h"
#include "support/BriefRun.h"
#include "support/QuietHost.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace gathra {
namespace {

using test::TestHttpServer;
using test::TestResponse;

// Marks the brief as generating while the run holds it, as the program's windows do.
class MarkingHost : public test::QuietHost {
public:
    void LockControls(TBrief& brief) override { brief.Generating = 1; }
    void UnlockControls(TBrief& brief) override { brief.Generating = 0; }
};

class RealPagesTest : public ::testing::Test {
protected:
    RealPagesTest() { parts.Host = &host; }

    TWebPage& AddWeb(const std::string& address, int depth) {
        return parts.AddEntry("Manual", address, depth);
    }

    RunOutcome RunOnce() {
        EXPECT_TRUE(parts.Run());
        return parts.Thread->Outcome();
    }

    std::string File(const std::string& name) { return test::ReadFileBytes(dir / "0" / name); }
    bool Exists(const std::string& name) { return std::filesystem::exists(dir / "0" / name); }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& f : std::filesystem::directory_iterator(dir / "0"))
            names.push_back(f.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    size_t Requests(const std::string& target) {
        std::vector<std::string> all = server.Targets();
        return static_cast<size_t>(std::count(all.begin(), all.end(), target));
    }

    test::TempDir dir;
    TestHttpServer server;
    MarkingHost host;
    test::BriefRun parts{dir.Folder(), "Docs"};
};

// A breadcrumb trail and a long list of entries whose text holds bare ">" (as "&gt;" written
// unescaped) and "<" ("a < b"), so that several 4,999-byte windows hold more of one bracket
// than of the other and tags straddle their edges.
TEST_F(RealPagesTest, BracketsInTextLeaveEveryLinkRewritten) {
    std::string nav = "<html><title>Index</title><body><p>Home > Guide > Index</p><ul>";
    const int kLinks = 300;
    for (int i = 0; i < kLinks; ++i) {
        nav += "<li>step " + std::to_string(i) + " >> then > next";
        if (i % 3 == 0) nav += " if a < b and b <= c";
        nav += ": <a href=\"p" + std::to_string(i) + ".html\">page " + std::to_string(i) +
               "</a></li>\n";
    }
    nav += "</ul></body></html>";
    ASSERT_GT(nav.size(), 4u * 4999u);
    server.Serve("/docs/index.html", TestResponse::Html(nav));
    for (int i = 0; i < kLinks; ++i)
        server.Serve("/docs/p" + std::to_string(i) + ".html",
                     TestResponse::Html("<title>P" + std::to_string(i) + "</title>a > b"));
    AddWeb(server.Address("/docs/index.html"), 2);

    RunOutcome outcome = RunOnce();
    EXPECT_EQ(outcome.Pages, 1 + kLinks);
    std::string top = File("GA0.htm");
    EXPECT_EQ(top.find("href=\"p"), std::string::npos) << "a link was copied unrewritten";
    EXPECT_NE(top.find("Home > Guide > Index"), std::string::npos);
    EXPECT_EQ(test::Occurrences(top, " >> then > next"), static_cast<size_t>(kLinks));
    for (int i = 0; i < kLinks; ++i)
        EXPECT_EQ(Requests("/docs/p" + std::to_string(i) + ".html"), 1u) << i;
    // The stored pages keep their text, and each is listed under its title.
    std::string siteMap = File("GA1.htm");
    EXPECT_EQ(test::Occurrences(siteMap, "\">P"), static_cast<size_t>(kLinks));
}

// The manual's top page holds a table of contents into itself; every chapter links back to its
// sections, one chapter with a query and a fragment, and one chapter has an empty title.
TEST_F(RealPagesTest, LinksIntoTheTopPageFragmentsAfterQueriesAndUntitledPages) {
    server.Serve("/m/index.html",
                 TestResponse::Html("<title>Manual</title><a href=\"#intro\">Intro</a> "
                                    "<a href=\"#api\">API</a> <a href=\"ch1.html\">1</a> "
                                    "<a href=\"ch2.html?lang=fr#top\">2</a> "
                                    "<a href=\"blank.html\">3</a>"
                                    "<h2 id=intro>Intro</h2><h2 id=api>API</h2>"));
    server.Serve("/m/ch1.html", TestResponse::Html("<title>One</title>"
                                                   "<a href=\"index.html#intro\">back</a> "
                                                   "<a href=\"/m/index.html#api\">api</a> "
                                                   "<a href=\"#s2\">down</a>"));
    server.Serve("/m/ch2.html?lang=fr", TestResponse::Html("<title>Two</title>"
                                                           "<a href=\"index.html#api\">api</a>"));
    server.Serve("/m/blank.html", TestResponse::Html("<title></title>no title"));
    AddWeb(server.Address("/m/index.html"), 2);
    RunOnce();

    // Names: GA0 top page, GA1 site map, GA2 to GA4 the chapters in link order.
    std::string top = File("GA0.htm");
    EXPECT_NE(top.find("<a href=\"#intro\">Intro</a> <a href=\"#api\">API</a>"), std::string::npos);
    EXPECT_NE(top.find("<a href=\"GA3.htm#top\">2</a>"), std::string::npos);
    std::string one = File("GA2.htm");
    EXPECT_NE(one.find("<a href=\"GA0.htm#intro\">back</a>"), std::string::npos);
    EXPECT_NE(one.find("<a href=\"GA0.htm#api\">api</a>"), std::string::npos);
    EXPECT_NE(one.find("<a href=\"GA2.htm#s2\">down</a>"), std::string::npos);
    EXPECT_NE(File("GA3.htm").find("<a href=\"GA0.htm#api\">api</a>"), std::string::npos);
    EXPECT_EQ(Requests("/m/ch2.html?lang=fr"), 1u);
    EXPECT_EQ(Requests("/m/index.html"), 1u);

    std::string siteMap = File("GA1.htm");
    EXPECT_NE(siteMap.find("<li><a href=\"GA3.htm#top\">Two</a></li>"), std::string::npos);
    EXPECT_NE(
        siteMap.find("<li><a href=\"GA4.htm\">" + server.Address("/m/blank.html") + "</a></li>"),
        std::string::npos);
}

// Every page of the set shows the site's logo and one picture that the server does not have.
TEST_F(RealPagesTest, AMissingPictureIsAskedForOnce) {
    const std::string png("\x89PNG\r\n\x1a\n", 8);
    server.Serve("/img/logo.png", TestResponse::Http(200, "image/png", png));
    std::string pictures = "<img src=\"/img/logo.png\"> <img src=\"../img/missing.png\" alt=x>";
    std::string top = "<title>Set</title>" + pictures;
    for (int i = 0; i < 4; ++i) {
        top += "<a href=\"p" + std::to_string(i) + ".html\">" + std::to_string(i) + "</a>";
        server.Serve("/set/p" + std::to_string(i) + ".html",
                     TestResponse::Html("<title>P</title>" + pictures));
    }
    server.Serve("/set/index.html", TestResponse::Html(top));
    AddWeb(server.Address("/set/index.html"), 2).LoadImages = 1;
    RunOutcome outcome = RunOnce();

    EXPECT_EQ(Requests("/img/missing.png"), 1u);
    EXPECT_EQ(Requests("/img/logo.png"), 1u);
    EXPECT_EQ(outcome.Images, 1);
    for (const std::string name : {"GA0.htm", "GA2.htm", "GA3.htm", "GA4.htm", "GA5.htm"})
        EXPECT_NE(File(name).find("<img src=\"GAI0.png\"> <img src=\"../img/missing.png\" alt=x>"),
                  std::string::npos)
            << name;
}

// A generator's quoting slip: href="\"page.html#x\"" on a page served on a port other than 80,
// while another server listens on port 80 of the same host (when the test may bind it).
TEST_F(RealPagesTest, ABackslashAfterTheHostKeepsThePortAndABadPortIsANotice) {
    std::unique_ptr<TestHttpServer> fallback;
    try {
        fallback = std::make_unique<TestHttpServer>(80);
    } catch (const std::exception&) {
        // Port 80 is taken or not ours to bind: the run is still checked below.
    }
    server.Serve("/dir/index.html",
                 TestResponse::Html("<title>Index</title><a href=\"\\\"page.html#x\\\"\">p</a> "
                                    "<a href=\"http://127.0.0.1:99999/far.html\">far</a> "
                                    "<a href=\"//127.0.0.1:8o/odd.html\">odd</a>"));
    server.Serve("/", TestResponse::Html("<title>Root</title>the root page"));
    AddWeb(server.Address("/dir/index.html"), 2);
    RunOnce();

    EXPECT_EQ(Requests("/"), 1u);
    for (const std::string& request : server.Requests())
        if (request.rfind("GET / ", 0) == 0) {
            EXPECT_NE(request.find("\r\nHost: " + server.HostPort() + "\r\n"), std::string::npos);
        }
    if (fallback) {
        EXPECT_EQ(fallback->RequestCount(), 0u);
    }
    std::string top = File("GA0.htm");
    // The value ends at the quote after the backslash; the rest of the tag is copied as it was.
    EXPECT_NE(top.find("<a href=\"GA2.htm\"page.html#x\\\"\">p</a> <a href=\"GA3.htm\">far</a> "
                       "<a href=\"GA4.htm\">odd</a>"),
              std::string::npos);
    EXPECT_NE(File("GA2.htm").find("the root page"), std::string::npos);
    for (const std::string name : {"GA3.htm", "GA4.htm"})
        EXPECT_NE(File(name).find("<h2>Inaccessible Page</h2>Gathra Light was unable to connect"),
                  std::string::npos)
            << name;
}

// A project's documentation links its README, a Python source, a licence file without an
// extension and a page; a second entry is a text file itself.
TEST_F(RealPagesTest, TextThatIsNotHtmlIsStoredAsItCame) {
    const std::string readme = "Read me <b>first</b>\r\n";
    const std::string source = "if a < b and c > d:\n    print('<html>')\n";
    const std::string licence = "Permission is granted <to everyone>.\n";
    server.Serve("/p/index.html",
                 TestResponse::Html("<title>Project</title><a href=\"README.txt\">r</a> "
                                    "<a href=\"setup.py\">s</a> <a href=\"LICENSE\">l</a> "
                                    "<a href=\"guide.html\">g</a>"));
    server.Serve("/p/README.txt", TestResponse::Http(200, "text/plain", readme));
    server.Serve("/p/setup.py", TestResponse::Http(200, "text/x-python", source));
    server.Serve("/p/LICENSE", TestResponse::Http(200, "text/plain; charset=utf-8", licence));
    server.Serve("/p/guide.html", TestResponse::Html("<title>Guide</title>guide"));
    server.Serve("/p/NOTES", TestResponse::Http(200, "text/plain", "notes"));
    AddWeb(server.Address("/p/index.html"), 2);
    AddWeb(server.Address("/p/NOTES"), 1);
    RunOutcome outcome = RunOnce();

    EXPECT_EQ(outcome.Pages, 2);
    EXPECT_EQ(outcome.Images, 4);
    // GA0 top page, GA1 site map, GA2 to GA5 the links in order, GA6 the second entry.
    EXPECT_EQ(File("GA2.txt"), readme);
    EXPECT_EQ(File("GA3.py"), source);
    EXPECT_EQ(File("GA4.txt"), licence);
    EXPECT_FALSE(Exists("GA4.htm"));
    EXPECT_NE(File("GA5.htm").find("guide"), std::string::npos);
    EXPECT_NE(File("GA0.htm").find("<a href=\"GA2.txt\">r</a> <a href=\"GA3.py\">s</a> "
                                   "<a href=\"GA4.txt\">l</a> <a href=\"GA5.htm\">g</a>"),
              std::string::npos);
    std::string siteMap = File("GA1.htm");
    for (const std::string& link :
         {"GA2.txt\">" + server.Address("/p/README.txt"),
          "GA3.py\">" + server.Address("/p/setup.py"), "GA4.txt\">" + server.Address("/p/LICENSE"),
          std::string("GA5.htm\">Guide")})
        EXPECT_NE(siteMap.find("<li><a href=\"" + link + "</a></li>"), std::string::npos) << link;
    EXPECT_EQ(File("GA6.txt"), "notes");
    EXPECT_NE(File("Brief0.htm")
                  .find("<a href=\"GA6.txt\">Manual</a></font><br>\r\n<ul><font "
                        "size=2><b>Retrieval Depth:</b>"),
              std::string::npos);
}

// A project page links its sources and data by their own extensions, some of them gone, and
// pages by the names of the scripts that make them: a notice or a page is stored as ".htm", and
// every link written to the name first reserved for it, longer or shorter than the new one,
// leads to the stored file.
TEST_F(RealPagesTest, LinksToFilesThatBecameNoticesLeadToTheNotices) {
    server.Serve("/src/index.html",
                 TestResponse::Html("<title>Src</title><ul><li><a href=\"main.c\">main.c</a> > "
                                    "<a href=\"gone.c\">gone.c</a></li><li><a href=\"data.json\">"
                                    "data</a> <a href=\"old.tar.gz\">old</a> <a href=\"x.py\">x</a>"
                                    "</li><li><a href=\"gone.c#L3\">line 3</a> <a href=\"notes."
                                    "markdown\">notes</a></li><li><a href=\"about.php\">about</a> "
                                    "<a href=\"list.aspx\">list</a></li></ul><p>end</p>"));
    server.Serve("/src/main.c", TestResponse::Http(200, "text/plain", "int main(void) {}\n"));
    server.Serve("/src/about.php", TestResponse::Html("<title>About</title>about"));
    server.Serve("/src/list.aspx", TestResponse::Html("<title>List</title>list"));
    server.Serve("/src/x.py", TestResponse::Http(200, "text/x-python", "print(1)\n"));
    AddWeb(server.Address("/src/index.html"), 2);
    RunOnce();

    std::string top = File("GA0.htm");
    EXPECT_NE(top.find("<p>end</p>"), std::string::npos) << "the page was cut by a patch";
    // Every local link of every stored page leads to a stored file.
    int links = 0;
    for (const std::string& name : Files()) {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".htm") continue;
        const std::string page = File(name);
        for (size_t at = page.find("href=\"GA"); at != std::string::npos;
             at = page.find("href=\"GA", at + 1)) {
            std::string target = page.substr(at + 6, page.find_first_of("\"#", at + 6) - at - 6);
            EXPECT_TRUE(Exists(target)) << name << " links to " << target;
            ++links;
        }
    }
    EXPECT_GE(links, 7);
    EXPECT_EQ(File("GA2.c"), "int main(void) {}\n");
    EXPECT_NE(File("GA3.htm").find("Inaccessible Page"), std::string::npos);
    EXPECT_NE(top.find("</a> > <a href=\"GA3.htm\">gone.c</a></li>"), std::string::npos);
    EXPECT_NE(top.find("<a href=\"GA3.htm#L3\">line 3</a>"), std::string::npos);
    // Pages served for script names are pages.
    EXPECT_NE(top.find("<a href=\"GA8.htm\">about</a> <a href=\"GA9.htm\">list</a>"),
              std::string::npos);
    EXPECT_NE(File("GA8.htm").find("about"), std::string::npos);
    EXPECT_NE(File("GA9.htm").find("list"), std::string::npos);
    EXPECT_FALSE(Exists("GA8.php"));
}

// A news site with a framed view: the frame copies of its pages link to pages that the spider
// reaches again later at another depth, so a name first stored as a limit notice is stored over
// with the page. Whatever the order the files reach the disk in, every page the site map lists
// under its title is that page, not the notice that stood in for it.
TEST_F(RealPagesTest, APageStoredOverItsNoticeStaysThePage) {
    auto page = [](const std::string& title, const std::vector<std::string>& links) {
        std::string html =
            "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1><ul>";
        for (const std::string& link : links)
            html += "<li><a href=\"" + link + "\">" + link + "</a></li>";
        return TestResponse::Html(html + "</ul><p>Text of " + title + ".</p></body></html>");
    };
    std::vector<std::string> home = {"frames.htm"};
    std::string nav = "<html><body>";
    for (int s = 0; s < 3; ++s) {
        const std::string section = "s" + std::to_string(s) + "/";
        home.push_back(section + "index.htm");
        nav += "<a href=\"" + section + "index.htm\" target=\"main\">Section</a><br>";
        std::vector<std::string> articles = {"../index.htm"};
        for (int a = 0; a < 4; ++a) {
            articles.push_back("a" + std::to_string(a) + ".htm");
            server.Serve(
                "/news/" + section + "a" + std::to_string(a) + ".htm",
                page("Article " + std::to_string(s) + "." + std::to_string(a),
                     {"index.htm", "../index.htm", "a" + std::to_string((a + 1) % 4) + ".htm"}));
        }
        server.Serve("/news/" + section + "index.htm",
                     page("Section " + std::to_string(s), articles));
    }
    server.Serve("/news/index.htm", page("Front page", home));
    server.Serve("/news/nav.htm",
                 TestResponse::Html("<title>Sections</title>" + nav +
                                    "<a href=\"index.htm\" target=\"_top\">Home</a></body>"));
    server.Serve("/news/frames.htm",
                 TestResponse::Html("<html><head><title>Framed view</title></head><frameset "
                                    "cols=\"25%,*\"><frame src=\"nav.htm\" "
                                    "name=\"nav\"><frame src=\"s0/index.htm\" name=\"main\">"
                                    "</frameset></html>"));
    AddWeb(server.Address("/news/index.htm"), 3);
    RunOnce();

    std::string siteMap;
    for (const std::string& name : Files())
        if (File(name).find("<h1>Site Map</h1>") != std::string::npos) siteMap = File(name);
    ASSERT_FALSE(siteMap.empty());
    int listed = 0;
    for (size_t at = siteMap.find("<li><a href=\""); at != std::string::npos;
         at = siteMap.find("<li><a href=\"", at + 1)) {
        const size_t nameAt = at + 13;
        const std::string name =
            siteMap.substr(nameAt, siteMap.find_first_of("\"#", nameAt) - nameAt);
        const size_t titleAt = siteMap.find('>', nameAt) + 1;
        const std::string title = siteMap.substr(titleAt, siteMap.find('<', titleAt) - titleAt);
        const std::string stored = File(name);
        EXPECT_EQ(stored.find("Spider Search Limit Exceeded"), std::string::npos)
            << name << " (" << title << ") is a notice";
        EXPECT_NE(stored.find("<title>" + title + "</title>"), std::string::npos)
            << name << " is not " << title;
        ++listed;
    }
    EXPECT_GE(listed, 15);
}

// Other files and images are off; the manual links a PDF, a tag file, a picture that is not a
// GIF or JPEG, a missing archive and a page whose name carries a session parameter.
TEST_F(RealPagesTest, NoticesAreHtmFilesAndRefusedTypesAreNamed) {
    server.Serve("/d/index.html",
                 TestResponse::Html("<title>Docs</title><a href=\"manual.pdf\">m</a> "
                                    "<a href=\"api.tag\">t</a> <a href=\"chart.png\">c</a> "
                                    "<a href=\"old.zip\">z</a> "
                                    "<a href=\"p.html;jsessionid=7\">p</a>"));
    server.Serve("/d/manual.pdf", TestResponse::Http(200, "application/pdf", "%PDF-1.4"));
    server.Serve("/d/api.tag", TestResponse::Http(200, "application/xml", "<tagfile/>"));
    server.Serve("/d/chart.png", TestResponse::Http(200, "image/png", "PNG"));
    server.Serve("/d/p.html;jsessionid=7", TestResponse::Html("<title>P</title>p"));
    AddWeb(server.Address("/d/index.html"), 2);
    RunOnce();

    EXPECT_NE(File("GA0.htm").find("<a href=\"GA2.htm\">m</a> <a href=\"GA3.htm\">t</a> "
                                   "<a href=\"GA4.htm\">c</a> <a href=\"GA5.htm\">z</a> "
                                   "<a href=\"GA6.htm\">p</a>"),
              std::string::npos);
    for (const std::string& name : Files()) {
        EXPECT_NE(name.back(), '.') << name;
        EXPECT_TRUE((name.size() > 4 && name.substr(name.size() - 4) == ".htm") ||
                    name == "Brief0.cat")
            << name;
    }
    struct Refused {
        const char* Name;
        const char* Type;
        const char* Setting;
    };
    for (const Refused& r : {Refused{"GA2.htm", "application/pdf", "Other Files"},
                             Refused{"GA3.htm", "application/xml", "Other Files"},
                             Refused{"GA4.htm", "image/png", "Images &amp; Plug-ins"}}) {
        std::string notice = File(r.Name);
        EXPECT_NE(notice.find("<h2>File Not Retrieved</h2>"), std::string::npos) << r.Name;
        EXPECT_NE(notice.find(std::string(" as ") + r.Type +
                              ", a type of file that this brief "
                              "entry does not retrieve"),
                  std::string::npos)
            << r.Name;
        EXPECT_NE(notice.find(std::string("select \"") + r.Setting + "\" in the Web Page"),
                  std::string::npos)
            << r.Name;
        EXPECT_EQ(notice.find("The server or network may be down"), std::string::npos) << r.Name;
    }
    EXPECT_NE(File("GA5.htm").find("unable to find or deliver"), std::string::npos);
    EXPECT_NE(File("GA6.htm").find("<title>P</title>p"), std::string::npos);
}

} // namespace
} // namespace gathra
