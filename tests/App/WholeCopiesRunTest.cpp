// Whole runs of pages shaped as today's sites write them (navigation lists, stylesheets shared
// between entries, srcset, fragments, queries, links whose names hold blanks, a frame on the
// last level), each checked at once in its stored pages, in the server's request log and with
// the run's own check.
#include "App/gathra/CliCommands.h"
#include "Run/RunCheck.h"
#include "support/CliBriefRun.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace gathra {
namespace {

using test::TestHttpServer;
using test::TestResponse;
namespace fs = std::filesystem;

using test::Count;

// The local name a stored page gives the first tag that matches `pattern` (its one group).
std::string NameIn(const std::string& page, const std::string& pattern) {
    std::smatch m;
    if (!std::regex_search(page, m, std::regex(pattern))) return "<none>";
    return m[1].str();
}

class WholeCopiesRun : public ::testing::Test {
protected:
    WholeCopiesRun() {
        // The site's stylesheet: a banner picture and an import that names no picture.
        site.Serve("/site.css", TestResponse::Http(
                                    200, "text/css",
                                    "@import url(base.css);\n.banner{background:url(banner.png)}"));
        site.Serve("/base.css", TestResponse::Http(200, "text/css", "h1{margin:0}"));
        for (const char* picture : {"/banner.png", "/docs/img/my%20logo.png", "/docs/img/logo.png",
                                    "/docs/img/logo@2x.png"})
            site.Serve(picture, TestResponse::Http(200, "image/png", "png bytes"));
        // An entry without pictures uses the stylesheet first.
        Html("/plain.html", "<html><head><link rel=\"stylesheet\" href=\"site.css\"></head>"
                            "<body><h1 class=\"banner\">Plain</h1></body></html>");
        // A documentation page: a navigation list whose links hold blanks (quoted, at the ends
        // and inside, with a query and fragments), a picture with a blank and a srcset.
        Html("/docs/index.html",
             "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Docs</title>\n"
             "<link rel=\"stylesheet\" href=\"../site.css\"></head><body>\n"
             "<nav><ul>\n<li><a href=\"price list.html\">Prices</a></li>\n"
             "<li><a href=\" price list.html#tiers \">Tiers</a></li>\n"
             "<li><a href='guide.html?lang=en'>Guide</a></li>\n"
             "<li><a href=\"#top\">Top</a></li></ul></nav>\n"
             "<h1 id=\"top\" class=\"banner\">Docs</h1>\n"
             "<img src=\"img/my logo.png\" srcset=\"img/logo.png 1x, img/logo@2x.png 2x\" "
             "alt=\"logo\">\n</body></html>\n");
        Html("/docs/price%20list.html", "<html><head><title>Prices</title>"
                                        "<link rel=\"stylesheet\" href=\"../site.css\"></head>"
                                        "<body><h2 id=\"tiers\">Tiers</h2></body></html>");
        // The guide is a frameset on the last level: its frame comes in a pass after it.
        Html("/docs/guide.html?lang=en",
             "<html><frameset cols=\"30%,*\"><frame src=\"toc frame.html\">"
             "</frameset></html>");
        Html("/docs/toc%20frame.html", "<html><body><p>Contents</p></body></html>");
    }

    void Html(const std::string& path, const std::string& html) {
        site.Serve(path, TestResponse::Html(html));
    }

    // Generates the plain page (images off) and the documentation (depth 2, images on) into a
    // new folder of `dir`, with the check afterwards; answers the run folder.
    fs::path Generate(test::TempDir& dir) {
        fs::path folder =
            run.Generate(dir.Path(), {{"Plain", site.Url("/plain.html"), 1, false},
                                      {"Docs", site.Url("/docs/index.html"), 2, true}});
        status = run.Status;
        err = run.Err;
        return folder;
    }

    TestHttpServer site;
    test::CliBriefRun run;
    AppSettings& settings = run.Settings;
    int status = -1;
    std::string err;
};

TEST_F(WholeCopiesRun, LinksWithBlanksAndSharedStylesheetsLeaveNothingBroken) {
    test::TempDir dir;
    fs::path folder = Generate(dir);
    ASSERT_EQ(status, 0) << err;
    EXPECT_NE(err.find("none broken"), std::string::npos) << err;
    std::optional<TRunCheck> check = CheckRunFolder(folder);
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->Broken.empty());
    EXPECT_TRUE(check->NotKept.empty());

    // Blanks are sent as "%20"; no request is cut at a blank. The stylesheet comes once for
    // each images setting, its import (no pictures) and its banner once.
    const std::vector<std::string> targets = site.Targets();
    EXPECT_EQ(Count(targets, "/docs/price%20list.html"), 1u);
    EXPECT_EQ(Count(targets, "/docs/price"), 0u);
    EXPECT_EQ(Count(targets, "/docs/img/my%20logo.png"), 1u);
    EXPECT_EQ(Count(targets, "/docs/toc%20frame.html"), 1u);
    EXPECT_EQ(Count(targets, "/site.css"), 2u);
    EXPECT_EQ(Count(targets, "/base.css"), 1u);
    EXPECT_EQ(Count(targets, "/banner.png"), 1u);
    for (const std::string& target : targets)
        EXPECT_EQ(target.find(' '), std::string::npos) << target;

    // The plain entry's copy of the stylesheet leaves its picture on the web, as before.
    const std::string plain = test::ReadFileBytes(folder / "GA0.htm");
    const std::string plainCss = NameIn(plain, "href=\"(GAI\\d+\\.css)\"");
    const std::string plainText = test::ReadFileBytes(folder / plainCss);
    EXPECT_NE(plainText.find("url(" + site.Url("/banner.png") + ")"), std::string::npos)
        << plainText;
    // The documentation's pages use a copy of their own whose banner is local; both copies
    // import the one copy of base.css.
    const std::string top = test::ReadFileBytes(folder / "GA1.htm");
    const std::string docsCss = NameIn(top, "href=\"(GAI\\d+\\.css)\"");
    EXPECT_NE(docsCss, plainCss);
    const std::string docsText = test::ReadFileBytes(folder / docsCss);
    EXPECT_TRUE(
        std::regex_search(docsText, std::regex("\\.banner\\{background:url\\(GAI\\d+\\.png\\)")))
        << docsText;
    EXPECT_EQ(NameIn(docsText, "@import url\\((GAI\\d+\\.css)\\)"),
              NameIn(plainText, "@import url\\((GAI\\d+\\.css)\\)"));

    // Each link with blanks is replaced whole: one local page, its fragment kept.
    const std::string prices = NameIn(top, "<a href=\"(GA\\d+\\.htm)\">Prices</a>");
    EXPECT_NE(prices, "<none>") << top;
    EXPECT_NE(top.find("<a href=\"" + prices + "#tiers\">Tiers</a>"), std::string::npos) << top;
    EXPECT_EQ(top.find("list.html"), std::string::npos) << top;
    EXPECT_TRUE(std::regex_search(top, std::regex("<a href='GA\\d+\\.htm'>Guide</a>"))) << top;
    EXPECT_NE(top.find("<a href=\"#top\">Top</a>"), std::string::npos);
    EXPECT_TRUE(std::regex_search(top, std::regex("<img src=\"GAI\\d+\\.png\" srcset=\"GAI\\d+"
                                                  "\\.png 1x, GAI\\d+\\.png 2x\" alt=\"logo\">")))
        << top;
    EXPECT_NE(test::ReadFileBytes(folder / prices).find("<h2 id=\"tiers\">"), std::string::npos);
    // The prices page uses the documentation's copy of the stylesheet too.
    EXPECT_NE(test::ReadFileBytes(folder / prices).find("href=\"" + docsCss + "\""),
              std::string::npos);

    // The frame of the last level's frameset is fetched in a pass shown as that level.
    EXPECT_NE(err.find("Docs [level 2 of 2, frames] " + site.Address("/docs/toc%20frame.html")),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("3 of 2"), std::string::npos) << err;
}

TEST_F(WholeCopiesRun, ARunThatKeepsNoPageStylesPassesItsOwnCheck) {
    settings.KeepPageResources = false;
    test::TempDir dir;
    fs::path folder = Generate(dir);
    // Exit 0: what the setting leaves is listed apart, not as broken.
    ASSERT_EQ(status, 0) << err;
    EXPECT_NE(err.find("none broken, "), std::string::npos) << err;
    EXPECT_NE(err.find("GA0.htm: not kept (setting off) site.css (href)\n"), std::string::npos)
        << err;
    std::optional<TRunCheck> check = CheckRunFolder(folder);
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->Broken.empty());
    std::vector<std::string> notKept;
    for (const TBrokenReference& r : check->NotKept)
        notKept.push_back(r.File + " " + r.Reference + " " + r.Where);
    // The stylesheet links of both entries' pages and the srcset candidate the image rule did
    // not take; the picture itself and the links are stored.
    EXPECT_NE(std::find(notKept.begin(), notKept.end(), "GA0.htm site.css href"), notKept.end());
    EXPECT_NE(std::find(notKept.begin(), notKept.end(), "GA1.htm ../site.css href"), notKept.end());
    EXPECT_NE(std::find(notKept.begin(), notKept.end(), "GA1.htm img/logo@2x.png srcset"),
              notKept.end());
    std::ostringstream json, jsonErr;
    EXPECT_EQ(ReportRunCheck(folder.string(), true, json, jsonErr), 0);
    EXPECT_NE(json.str().find("\"broken\": [],\n  \"not-kept\": [\n    {\"file\": \"GA0.htm\", "
                              "\"reference\": \"site.css\", \"where\": \"href\", \"problem\": "
                              "\"not kept (setting off)\"}"),
              std::string::npos)
        << json.str();
    EXPECT_EQ(Count(site.Targets(), "/site.css"), 0u);
    EXPECT_EQ(Count(site.Targets(), "/docs/price%20list.html"), 1u);
    EXPECT_EQ(Count(site.Targets(), "/docs/img/my%20logo.png"), 1u);

    // A stored page whose own file went missing is still broken, not "not kept".
    fs::remove(folder / NameIn(test::ReadFileBytes(folder / "GA1.htm"),
                               "<a href=\"(GA\\d+\\.htm)\">Prices</a>"));
    check = CheckRunFolder(folder);
    ASSERT_TRUE(check);
    std::vector<std::string> broken;
    for (const TBrokenReference& r : check->Broken)
        broken.push_back(r.File + " " + r.Problem);
    // The two links of the top page and the site map's item.
    EXPECT_EQ(broken, (std::vector<std::string>{"GA1.htm missing file", "GA1.htm missing file",
                                                "GA2.htm missing file"}));
}

TEST(RunCheckNotKept, OnlyPageResourcesThatAreNotTheRunsOwnNamesAreSetApart) {
    test::TempDir dir;
    test::WriteFileBytes(
        dir / "GA0.htm",
        "<link rel=\"stylesheet\" href=\"a.css\"><link rel=\"icon\" href=\"i.ico\">"
        "<link rel=\"stylesheet\" href=\"GAI7.css\"><script src=\"s.js\"></script>"
        "<iframe src=\"f.html\"></iframe><video poster=\"p.png\"><source src=\"v.mp4\"></video>"
        "<input type=\"image\" src=\"go.png\"><div style=\"background:url(bg.png)\"></div>"
        "<style>@import \"b.css\";</style><img src=\"pic.png\"><a href=\"page.htm\">x</a>"
        "<link rel=\"next\" href=\"next.htm\">");
    test::WriteFileBytes(dir / "GAI1.css", "x{background:url(gone.png)}");
    std::optional<TRunCheck> check = CheckRunFolder(dir.Folder());
    ASSERT_TRUE(check);
    std::vector<std::string> notKept, broken;
    for (const TBrokenReference& r : check->NotKept)
        notKept.push_back(r.Reference + " " + r.Where);
    for (const TBrokenReference& r : check->Broken)
        broken.push_back(r.File + " " + r.Reference);
    EXPECT_EQ(notKept, (std::vector<std::string>{"a.css href", "i.ico href", "s.js src",
                                                 "f.html src", "p.png poster", "v.mp4 src",
                                                 "go.png src", "bg.png url()", "b.css @import"}));
    // A run's own name, a picture the image rule handles, a link, another link relation and a
    // stylesheet's own picture are broken when their files are missing.
    EXPECT_EQ(broken,
              (std::vector<std::string>{"GA0.htm GAI7.css", "GA0.htm pic.png", "GA0.htm page.htm",
                                        "GA0.htm next.htm", "GAI1.css gone.png"}));
}

} // namespace
} // namespace gathra
