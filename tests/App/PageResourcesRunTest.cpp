// Whole runs of pages shaped as today's site generators write them, with their stylesheets,
// scripts, fonts, picture sources and inline frames on two hosts, checked off-line afterwards.
#include "App/gathra/CliCommands.h"
#include "Run/RunCheck.h"
#include "support/CliBriefRun.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>

namespace gathra {
namespace {

using test::TestHttpServer;
using test::TestResponse;
namespace fs = std::filesystem;

using test::Count;

// The text a reader sees: no tags, no script or style blocks, white space collapsed.
std::string VisibleText(const std::string& html) {
    std::string text = std::regex_replace(
        html, std::regex("<(script|style)[^>]*>[\\s\\S]*?</(script|style)>", std::regex::icase),
        " ");
    text = std::regex_replace(text, std::regex("<[^>]*>"), " ");
    return std::regex_replace(text, std::regex("\\s+"), " ");
}

std::string AllPages(const fs::path& folder) {
    std::string pages;
    for (const fs::directory_entry& file : fs::directory_iterator(folder))
        if (file.path().extension() == ".htm") pages += test::ReadFileBytes(file.path());
    return pages;
}

class PageResourcesRun : public ::testing::Test {
protected:
    PageResourcesRun() { ServeSites(); }

    void Css(const std::string& path, const std::string& css) {
        site.Serve(path, TestResponse::Http(200, "text/css", css));
    }
    void Html(const std::string& path, const std::string& html) {
        site.Serve(path, TestResponse::Html(html));
    }
    void File(TestHttpServer& server, const std::string& path, const std::string& type) {
        server.Serve(path, TestResponse::Http(200, type, "bytes of " + path));
    }

    void ServeSites() {
        const std::string lib = cdn.Url("/lib/");
        // A documentation generator's page: theme and library stylesheets, icons, a script on
        // the content host, a style block, a style attribute and a link to a heading.
        Html(
            "/docs/index.html",
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Guide</title>\n"
            "<link rel=\"stylesheet\" href=\"_static/theme.css\" type=\"text/css\" />\n"
            "<link rel=\"preload stylesheet\" href=\"" +
                lib +
                "extra.css\" "
                "integrity=\"sha384-x\" crossorigin=\"anonymous\">\n"
                "<link rel=\"shortcut icon\" href=\"_static/favicon.ico\"/>\n"
                "<LINK REL=\"Apple-Touch-Icon\" HREF=\"_static/touch.png\">\n"
                "<link rel=\"alternate\" href=\"https://example.org/feed.xml\">\n"
                "<script src=\"" +
                lib +
                "lib.js?v=2\"></script>\n"
                "<script>var tag = \"<b>\";</script>\n"
                "<style>.hero{background:url(\"_static/hero.png\")}</style>\n"
                "</head><body style=\"background:url('_static/body.png')\"><nav>"
                "<a href=\"blog.html\">Blog</a> <a "
                "href=\"frames.html\">Frames</a>"
                "</nav>\n<h1 id=\"intro\">Getting started</h1>\n"
                "<div class=\"hero\" style=\"background-image:url(&quot;_static/note.png&quot;)\">"
                "Read this first.</div>\n<a href=\"#intro\">Back to the top</a>\n</body></html>\n");
        Css("/docs/_static/theme.css",
            "@import url(\"basic.css\");\n@import \"theme.css\";\n"
            "@font-face{font-family:T;src:url(fonts/t.woff2) format(\"woff2\"),"
            "url('fonts/t.woff') format(\"woff\")}\n"
            ".logo{background:url(../_static/logo.svg#mark)}\n.gone{background:url(gone.png)}\n");
        // basic.css starts a chain of imports deeper than the bound.
        Css("/docs/_static/basic.css", "@import url(d1.css);\nh1{border-bottom:1px solid}\n");
        for (int d = 1; d <= 7; ++d)
            Css("/docs/_static/d" + std::to_string(d) + ".css",
                "@import url(d" + std::to_string(d + 1) + ".css);\n");
        site.Serve("/docs/_static/gone.png", TestResponse::Http(404, "text/html", "gone"));
        for (const char* path :
             {"/docs/_static/favicon.ico", "/docs/_static/touch.png", "/docs/_static/hero.png",
              "/docs/_static/note.png", "/docs/_static/logo.svg", "/docs/_static/body.png",
              "/docs/img/a.jpg", "/docs/img/a@2x.jpg", "/docs/img/a-800.webp",
              "/docs/img/a-400.webp", "/docs/img/poster.png", "/docs/img/go.png",
              "/docs/img/bg.png"})
            File(site, path, "image/png");
        File(site, "/docs/_static/fonts/t.woff2", "font/woff2");
        File(site, "/docs/_static/fonts/t.woff", "font/woff");
        Css("/lib/extra.css", "body{margin:0}\n");
        cdn.Serve("/lib/extra.css",
                  TestResponse::Http(200, "text/css", "p{background:url(p.png)}"));
        File(cdn, "/lib/p.png", "image/png");
        cdn.Serve("/lib/lib.js?v=2", TestResponse::Http(200, "application/javascript", "go()"));
        // A blog page with a picture element, responsive images, a video and an image input,
        // and a style block in the old comment wrapping.
        Html("/docs/blog.html",
             "<html><head><title>Blog</title><link rel=stylesheet href=_static/theme.css>"
             "<style><!--\n.post > p{background:url(img/bg.png)}\n--></style></head>"
             "<body><picture><source srcset=\"img/a-800.webp 800w, img/a-400.webp 400w\" "
             "type=\"image/webp\"><img src=\"img/a.jpg\" srcset=\"img/a.jpg 1x, img/a@2x.jpg 2x\" "
             "alt=\"A\"></picture>\n<video poster=\"img/poster.png\" controls><source "
             "src=\"media/clip.mp4\" type=\"video/mp4\"></video>\n<input type=\"image\" "
             "src=\"img/go.png\">\n<p>Posted today.</p></body></html>");
        // A page with two inline frames, one of them styled by the same theme.
        Html("/docs/frames.html",
             "<html><body><p>Two frames:</p><iframe src=\"frame-a.html\"></iframe>\n"
             "<iframe src=\"frame-b.html\" title=\"b\"></iframe></body></html>");
        Html("/docs/frame-a.html",
             "<html><head><link rel=\"stylesheet\" href=\"_static/theme.css\"></head>"
             "<body><p>Frame A</p></body></html>");
        Html("/docs/frame-b.html", "<html><body><p>Frame B</p></body></html>");
        // A page of an entry without images: its fonts come, its pictures stay on the web.
        Html("/plain/index.html", "<html><head><link rel=stylesheet href=plain.css></head>"
                                  "<body><p>Plain</p></body></html>");
        Css("/plain/plain.css", "@font-face{src:url(p.woff2)}body{background:url(bg.png)}");
        File(site, "/plain/p.woff2", "font/woff2");
        File(site, "/plain/bg.png", "image/png");
    }

    // Generates a brief of the documentation (depth 2, images on) and the plain page (images
    // off) into a new folder of `dir`; answers that folder.
    fs::path Generate(test::TempDir& dir, bool check, std::string* err = nullptr) {
        run.Check = check;
        fs::path folder =
            run.Generate(dir.Path(), {{"Docs", site.Url("/docs/index.html"), 2, true},
                                      {"Plain", site.Url("/plain/index.html"), 1, false}});
        status = run.Status;
        if (err != nullptr) *err = run.Err;
        return folder;
    }

    TestHttpServer site;
    TestHttpServer cdn;
    test::CliBriefRun run;
    AppSettings& settings = run.Settings;
    int status = -1;
};

TEST_F(PageResourcesRun, StoredPagesKeepTheirLooksAndEveryLocalReferenceWorks) {
    test::TempDir dir;
    std::string err;
    fs::path folder = Generate(dir, true, &err);
    ASSERT_EQ(status, 0) << err;
    EXPECT_NE(err.find("none broken"), std::string::npos) << err;
    // gone.png could not be fetched (the import below the bound was not asked for).
    EXPECT_NE(err.find(", 1 page resources not fetched"), std::string::npos) << err;

    std::optional<TRunCheck> check = CheckRunFolder(folder);
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->Broken.empty());
    EXPECT_GE(check->Pages, 6);
    EXPECT_GE(check->Stylesheets, 8);

    // Fetched once per run, however many pages and stylesheets name them.
    std::vector<std::string> targets = site.Targets();
    for (const char* path : {"/docs/_static/theme.css", "/docs/_static/basic.css",
                             "/docs/_static/fonts/t.woff2", "/docs/_static/gone.png"})
        EXPECT_EQ(Count(targets, path), 1u) << path;
    EXPECT_EQ(Count(cdn.Targets(), "/lib/lib.js?v=2"), 1u);
    // Audio and video only for entries that fetch other files; pictures of an entry without
    // images stay on the web; imports stop below the bound.
    EXPECT_EQ(Count(targets, "/docs/media/clip.mp4"), 0u);
    EXPECT_EQ(Count(targets, "/plain/bg.png"), 0u);
    EXPECT_EQ(Count(targets, "/plain/p.woff2"), 1u);
    EXPECT_EQ(Count(targets, "/docs/_static/d4.css"), 1u);
    EXPECT_EQ(Count(targets, "/docs/_static/d5.css"), 0u);

    // Every file of the folder is in the catalogue, so that deleting the run removes it.
    std::optional<CatalogContents> catalog = ReadCatalog((folder / "Brief0.cat").string());
    ASSERT_TRUE(catalog);
    std::set<std::string> recorded(catalog->FileNames.begin(), catalog->FileNames.end());
    for (const fs::directory_entry& file : fs::directory_iterator(folder)) {
        if (file.path().filename() == "Brief0.cat") continue;
        EXPECT_EQ(recorded.count(file.path().filename().string()), 1u) << file.path();
    }

    const std::string top = test::ReadFileBytes(folder / "GA0.htm");
    EXPECT_TRUE(std::regex_search(top, std::regex("<link rel=\"stylesheet\" href=\"GAI\\d+\\.css\" "
                                                  "type=\"text/css\" />")))
        << top;
    EXPECT_EQ(top.find("integrity"), std::string::npos);
    EXPECT_EQ(top.find("crossorigin"), std::string::npos);
    EXPECT_TRUE(std::regex_search(top, std::regex("shortcut icon\" href=\"GAI\\d+\\.ico\"")));
    EXPECT_TRUE(std::regex_search(top, std::regex("HREF=\"GAI\\d+\\.png\"")));
    EXPECT_NE(top.find("href=\"https://example.org/feed.xml\""), std::string::npos);
    EXPECT_TRUE(std::regex_search(top, std::regex("<script src=\"GAI\\d+\\.js\"></script>")));
    EXPECT_TRUE(
        std::regex_search(top, std::regex("\\.hero\\{background:url\\(GAI\\d+\\.png\\)\\}")));
    EXPECT_TRUE(
        std::regex_search(top, std::regex("style=\"background-image:url\\(GAI\\d+\\.png\\)\"")));
    EXPECT_NE(top.find("<a href=\"#intro\">"), std::string::npos);
    EXPECT_TRUE(
        std::regex_search(top, std::regex("^<body style=\"background:url\\(GAI\\d+\\.png\\)\">")));

    // The theme: imports local (itself included), fonts and pictures local with their own
    // extensions and fragments, the one that failed absolute.
    std::smatch theme;
    ASSERT_TRUE(std::regex_search(top, theme, std::regex("href=\"(GAI\\d+\\.css)\" type")));
    const std::string css = test::ReadFileBytes(folder / theme[1].str());
    EXPECT_TRUE(std::regex_search(
        css, std::regex("^@import url\\(GAI\\d+\\.css\\);\n@import \"" + theme[1].str() + "\";")))
        << css;
    EXPECT_TRUE(
        std::regex_search(css, std::regex("src:url\\(GAI\\d+\\.woff2\\) format\\(\"woff2\"\\),"
                                          "url\\(GAI\\d+\\.woff\\) format")))
        << css;
    EXPECT_TRUE(std::regex_search(css, std::regex("url\\(GAI\\d+\\.svg#mark\\)"))) << css;
    EXPECT_NE(css.find("url(" + site.Url("/docs/_static/gone.png") + ")"), std::string::npos);

    // The blog: every srcset candidate with its descriptor, the poster and the image input
    // local; the video's file left on the web.
    const std::string all = AllPages(folder);
    EXPECT_TRUE(std::regex_search(all, std::regex("<source srcset=\"GAI\\d+\\.webp 800w, "
                                                  "GAI\\d+\\.webp 400w\" type=\"image/webp\">")));
    EXPECT_TRUE(std::regex_search(all, std::regex("<img src=\"(GAI\\d+\\.jpg)\" srcset=\"\\1 "
                                                  "1x, GAI\\d+\\.jpg 2x\" alt=\"A\">")));
    EXPECT_TRUE(std::regex_search(all, std::regex("<video poster=\"GAI\\d+\\.png\" controls>")));
    // The wrapped style block is the page's stylesheet still, its picture local.
    EXPECT_TRUE(std::regex_search(
        all,
        std::regex("<style><!--\n\\.post > p\\{background:url\\(GAI\\d+\\.png\\)\\}\n--></style>")))
        << all;
    EXPECT_NE(all.find("src=\"" + site.Url("/docs/media/clip.mp4") + "\""), std::string::npos);
    EXPECT_EQ(Count(site.Targets(), "/docs/img/a.jpg"), 1u); // src and srcset: stored once
    EXPECT_TRUE(std::regex_search(all, std::regex("<input type=\"image\" src=\"GAI\\d+\\.png\">")));
    // Both inline frames are stored as frame pages (no bar inside), though on the last level.
    std::smatch frames;
    ASSERT_TRUE(std::regex_search(all, frames,
                                  std::regex("<iframe src=\"(GA\\d+\\.htm)\"></iframe>\n"
                                             "<iframe src=\"(GA\\d+\\.htm)\" title")));
    for (int i = 1; i <= 2; ++i) {
        const std::string frame = test::ReadFileBytes(folder / frames[i].str());
        EXPECT_EQ(frame.find("Brief0.htm"), std::string::npos) << frame;
        EXPECT_NE(frame.find(i == 1 ? "Frame A" : "Frame B"), std::string::npos);
    }
}

TEST_F(PageResourcesRun, SwitchedOffPagesAreStoredAsBeforeWithTheSameText) {
    test::TempDir on, off;
    fs::path kept = Generate(on, false);
    ASSERT_EQ(status, 0);
    const size_t requestsBefore = site.RequestCount();
    settings.KeepPageResources = false;
    fs::path plain = Generate(off, false);
    ASSERT_EQ(status, 0);

    std::vector<std::string> targets = site.Targets();
    targets.erase(targets.begin(), targets.begin() + static_cast<std::ptrdiff_t>(requestsBefore));
    EXPECT_EQ(Count(targets, "/docs/_static/theme.css"), 0u);
    EXPECT_EQ(Count(targets, "/docs/frame-a.html"), 0u);
    const std::string top = test::ReadFileBytes(plain / "GA0.htm");
    EXPECT_NE(top.find("<link rel=\"stylesheet\" href=\"_static/theme.css\" type=\"text/css\" />"),
              std::string::npos);
    EXPECT_NE(AllPages(plain).find("<iframe src=\"frame-a.html\">"), std::string::npos);
    for (const fs::directory_entry& file : fs::directory_iterator(plain))
        EXPECT_NE(file.path().extension(), ".css") << file.path();
    // The reader sees the same text either way.
    EXPECT_EQ(VisibleText(test::ReadFileBytes(kept / "GA0.htm")), VisibleText(top));
}

} // namespace
} // namespace gathra

namespace gathra {
namespace {

TEST(CheckCommand, ExitsWithOneAndListsWhatIsBrokenAsTextOrJson) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "GA0.htm", "<img src=\"GAI0.png\"><a href=\"GA1.htm\">b</a>");
    test::WriteFileBytes(dir / "GA1.htm", "<p>b</p>");
    std::ostringstream out, err;
    EXPECT_EQ(ReportRunCheck(dir.Folder(), false, out, err), 1);
    EXPECT_EQ(out.str(), "GA0.htm: missing file GAI0.png (src)\n"
                         "checked 2 pages and 0 stylesheets, 2 local references: 1 broken\n");
    std::ostringstream json;
    EXPECT_EQ(ReportRunCheck(dir.Folder(), true, json, err), 1);
    EXPECT_NE(json.str().find("{\"file\": \"GA0.htm\", \"reference\": \"GAI0.png\", \"where\": "
                              "\"src\", \"problem\": \"missing file\"}"),
              std::string::npos)
        << json.str();
    test::WriteFileBytes(dir / "GAI0.png", "x");
    std::ostringstream fine;
    EXPECT_EQ(ReportRunCheck(dir.Folder(), true, fine, err), 0);
    EXPECT_NE(fine.str().find("\"broken\": []"), std::string::npos);
    EXPECT_EQ(ReportRunCheck(dir.Folder() + "nothing", false, fine, err), 1);
    EXPECT_NE(err.str().find("cannot read the run folder"), std::string::npos);
}

} // namespace
} // namespace gathra
