#include "Run/RunCheck.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace gathra {
namespace {

using test::WriteFileBytes;

// A run folder holding every kind of reference, each once working and once broken (a page
// resource is broken when one of the run's own names is missing).
TEST(RunCheck, ListsMissingFilesAndTargetsOfEveryKindOfReference) {
    test::TempDir dir;
    for (const char* name : {"GAI0.png", "GAI1.css", "GAI2.woff2", "GAI3.js", "GA 4.htm"})
        WriteFileBytes(dir / name, "x");
    WriteFileBytes(dir / "GA1.htm", "<p id=\"here\">A</p><a name=there></a>");
    WriteFileBytes(
        dir / "GA0.htm",
        "<html><head><link rel=stylesheet href=\"GAI1.css\"><link rel=icon href='GAI90.ico'>"
        "<script src=\"GAI3.js\"></script><script>var s = \"<img src=no.png>\";</script>"
        "<style>a{background:url(GAI0.png)} b{background:url('GAI91.png')}</style></head>"
        "<body background=GAX.gif><!-- <img src=\"commented.png\"> -->"
        "<a href=\"GA1.htm#here\">ok</a><a href=\"GA1.htm#there\">ok</a>"
        "<a href=\"GA1.htm#gone\">broken</a><a href=\"#top\">top</a><a href=\"#nowhere\">x</a>"
        "<a href=\"GA%204.htm\">ok</a><a href=\"http://example.org/x.htm\">web</a>"
        "<a href=\"mailto:a@b\">mail</a><img src=\"/images/NotLoaded\">"
        "<img src=\"GAI0.png?x=1\" srcset=\"GAI0.png 1x, GAI92.png 2x\">"
        "<video poster=\"GAI93.jpg\"></video><iframe src=\"GA9.htm\"></iframe>"
        "<p style=\"background:url(GAI94.png)\">t</p></body></html>");
    WriteFileBytes(dir / "GAI1.css",
                   "@import url(GAI1.css);@import 'GAX.css';"
                   "@font-face{src:url(GAI2.woff2),url(GAX.woff)}/* url(GAX.c) */");
    WriteFileBytes(dir / "notes.txt", "<a href=\"GAX.htm\">not a page</a>");

    std::optional<TRunCheck> check = CheckRunFolder(dir.Path());
    ASSERT_TRUE(check);
    EXPECT_EQ(check->Pages, 3);
    EXPECT_EQ(check->Stylesheets, 1);
    std::vector<std::string> broken;
    for (const TBrokenReference& b : check->Broken)
        broken.push_back(b.File + " " + b.Reference + " " + b.Where + " " + b.Problem);
    const std::vector<std::string> expected = {
        "GA0.htm GAI90.ico href missing file",     "GA0.htm GAI91.png url() missing file",
        "GA0.htm GAX.gif background missing file", "GA0.htm GA1.htm#gone href missing target",
        "GA0.htm #nowhere href missing target",    "GA0.htm GAI92.png srcset missing file",
        "GA0.htm GAI93.jpg poster missing file",   "GA0.htm GA9.htm src missing file",
        "GA0.htm GAI94.png url() missing file",    "GAI1.css GAX.css @import missing file",
        "GAI1.css GAX.woff url() missing file",
    };
    EXPECT_EQ(broken, expected);
    EXPECT_EQ(check->References, 22);
}

TEST(RunCheck, AFolderThatCannotBeReadIsNoResult) {
    test::TempDir dir;
    EXPECT_FALSE(CheckRunFolder(dir / "missing"));
    std::optional<TRunCheck> empty = CheckRunFolder(dir.Path());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->Broken.empty());
}

} // namespace
} // namespace gathra
