#include "Html/LinkResolution.h"

#include <gtest/gtest.h>

#include <string>

namespace gathra {
namespace {

struct Case {
    const char* base;
    const char* value;
    const char* expected;
};

void ExpectResolved(const Case* cases, size_t count) {
    for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(ResolveLink(cases[i].base, cases[i].value), cases[i].expected)
            << "base \"" << cases[i].base << "\" value \"" << cases[i].value << "\"";
}

TEST(ResolveLink, RelativeValuesJoinTheBaseFolder) {
    const Case cases[] = {
        {"site/a/b.htm", "c.htm", "site/a/c.htm"},
        {"site/a/b.htm", "../c.htm", "site/c.htm"},
        {"site/a/b.htm", "./c.htm", "site/a/c.htm"},
        {"site/a/b.htm", "d/e/../f.htm", "site/a/d/f.htm"},
        {"site/a/b.htm", "../../../c.htm", "site/c.htm"},
        {"http://host.com/a", "x", "host.com/x"},
        {"www.x.com", "a.htm", "www.x.com/a.htm"},        // a base without a path
        {"http://www.x.com", "a.htm", "www.x.com/a.htm"}, // the same with its scheme
        {"site/dir/", "page.htm?q=1", "site/dir/page.htm?q=1"},
        {"site/a/b.htm", "x..htm", "site/a/x..htm"}, // dots inside a name are not a step
        // Parent steps never climb out of the site into the scheme.
        {"http://www.x.com/a.htm", "../c.htm", "www.x.com/c.htm"},
        {"http://www.x.com/a/b.htm", "../../../c.htm", "www.x.com/c.htm"},
        {"http://www.x.com", "../c.htm", "www.x.com/c.htm"},
        {"site/a/b.htm", "http://www.x.com/../c.htm", "www.x.com/c.htm"},
    };
    ExpectResolved(cases, std::size(cases));
}

TEST(ResolveLink, RootValuesKeepOnlyTheSite) {
    const Case cases[] = {
        {"site/a/b.htm", "/c.htm", "site/c.htm"},
        {"site/a/b.htm", "\\c.htm", "site\\c.htm"},
        {"http://www.x.com/a/b.htm", "/c.htm", "www.x.com/c.htm"},
        {"127.0.0.1:8080/d/p.htm", "/r.htm", "127.0.0.1:8080/r.htm"},
        {"localhost:8080/d/p.htm", "/r.htm", "localhost:8080/r.htm"},
        {"http://localhost/a.htm", "/r.htm", "localhost/r.htm"},
        {"www.x.com", "/a.htm", "www.x.com/a.htm"}, // no separator: the base is taken whole
        {"file:///home/u/x.htm", "/y.htm", "file:///y.htm"},
    };
    ExpectResolved(cases, std::size(cases));
}

TEST(ResolveLink, FragmentValuesReplaceTheBaseFragment) {
    const Case cases[] = {
        {"site/a/b.htm", "#top", "site/a/b.htm#top"},
        {"site/a/b.htm#old", "#new", "site/a/b.htm#new"},
        {"site/a#x/b.htm", "#new", "site/a#x/b.htm#new"}, // a "#" with a "/" after it stays
        {"site/a/b.htm#c#d", "#new", "site/a/b.htm#new"}, // the fragment runs from its first "#"
    };
    ExpectResolved(cases, std::size(cases));
}

TEST(ResolveLink, AbsoluteValuesStandAloneAndLoseTheirScheme) {
    const Case cases[] = {
        {"site/a/b.htm", "http://www.x.com", "www.x.com/"},
        {"site/a/b.htm", "http://www.x.com/", "www.x.com/"},
        {"site/a/b.htm", "http://www.x.com/a/../b.htm", "www.x.com/b.htm"},
        {"site/a/b.htm", "HTTP://WWW.X.COM", "WWW.X.COM/"},
        {"site/a/b.htm", "http://localhost/a.htm", "localhost/a.htm"},
        {"site/a/b.htm", "http://127.0.0.1:8080/x.htm", "127.0.0.1:8080/x.htm"},
        {"site/a/b.htm", "mailto:joe@x.com", "joe@x.com"},
        {"site/a/b.htm", "ftp://ftp.x.org", "ftp.x.org"},
        {"site/a/b.htm", "ftp://ftp.x.org/pub/f.zip", "ftp.x.org/pub/f.zip"},
        {"site/a/b.htm", "//other.com/x.htm", "other.com/x.htm"},
        {"site/a/b.htm", "//other.com", "other.com"},
    };
    ExpectResolved(cases, std::size(cases));
}

TEST(ResolveLink, DrivesAndLocalFilesKeepTheirPrefix) {
    const Case cases[] = {
        {"site/a/b.htm", "C:\\dir\\x.htm", "C:\\dir\\x.htm"},
        {"site/a/b.htm", "C:/dir/x.htm", "C:/dir/x.htm"},
        {"site/a/b.htm", "file:///home/u/x.htm", "file:///home/u/x.htm"},
        {"site/a/b.htm", "file://C:/dir/x.htm", "file://C:/dir/x.htm"},
        {"file:///home/u/x.htm", "y.htm", "file:///home/u/y.htm"},
        {"file:///home/u/x.htm", "../y.htm", "file:///home/y.htm"},
    };
    ExpectResolved(cases, std::size(cases));
}

TEST(ResolveLink, HostWithPortIsNotAScheme) {
    const Case cases[] = {
        // A dotted host with a port and no scheme is a relative value.
        {"site/a/b.htm", "www.x.com:8080/a.htm", "site/a/www.x.com:8080/a.htm"},
        {"site/a/b.htm", "localhost:8080/a.htm", "site/a/localhost:8080/a.htm"},
        {"localhost:8080/d/p.htm", "q.htm", "localhost:8080/d/q.htm"},
    };
    ExpectResolved(cases, std::size(cases));
}

TEST(ResolveLink, BlanksQuotesAndLineBreaksAreReadAsBrowsersReadThem) {
    const Case cases[] = {
        {"site/a/b.htm", "", "site/a/b.htm"},
        {"site/a/b.htm", " \t\r\n", "site/a/b.htm"},
        {"www.x.com", "", "www.x.com"}, // returned unchanged, no slash added
        {"site/a/b.htm", "  c.htm \r\n", "site/a/c.htm"},
        {"site/a/b.htm", "c.h\r\ntm", "site/a/c.htm"},
        {"site/a/b.htm", "c d.htm", "site/a/c%20d.htm"}, // an inner blank is sent as %20
        {"site/a/b.htm", " docs/price list.html#a b ", "site/a/docs/price%20list.html#a%20b"},
        {"site/a/b.htm", "c\t d\r\n.htm", "site/a/c%20d.htm"},
        {"host/my docs/i.htm", "x y.htm", "host/my%20docs/x%20y.htm"},
        {"site/a/b.htm", "http://www.x.com/a b/../c d.htm", "www.x.com/c%20d.htm"},
        {"site/a/b.htm", "\"c.htm", "site/a/c.htm"},
        {"site/a/b.htm", "'c.htm", "site/a/c.htm"},
        {"site/a/b.htm", "\" http://www.x.com/", "www.x.com/"},
    };
    ExpectResolved(cases, std::size(cases));
}

TEST(ResolveLink, HugeLinksResolveInOnePass) {
    // Thousands of steps: the result must come without quadratic work or deep recursion.
    std::string value;
    for (int i = 0; i < 20000; ++i)
        value += "d/";
    for (int i = 0; i < 20000; ++i)
        value += "../";
    value += "x.htm";
    EXPECT_EQ(ResolveLink("site/a/b.htm", value), "site/a/x.htm");
}

TEST(RemoveDotSegments, ParentStepsClimbOneSegment) {
    EXPECT_EQ(RemoveDotSegments("host/a/../b"), "host/b");
    EXPECT_EQ(RemoveDotSegments("host/../b"), "host/b");
    EXPECT_EQ(RemoveDotSegments("host/../../b"), "host/b");
    EXPECT_EQ(RemoveDotSegments("host/a/b/../../c"), "host/c");
    EXPECT_EQ(RemoveDotSegments("host\\a\\..\\b"), "host\\b");
    EXPECT_EQ(RemoveDotSegments("host/a/.."), "host/");
    EXPECT_EQ(RemoveDotSegments("/a/../b"), "/a/b");
    EXPECT_EQ(RemoveDotSegments("host/a//../b"), "host/a/b");
    EXPECT_EQ(RemoveDotSegments("http://host/../b"), "http://host/b");
    EXPECT_EQ(RemoveDotSegments("http://host/a/../../b"), "http://host/b");
    EXPECT_EQ(RemoveDotSegments("file:///../x"), "file:///x");
}

TEST(RemoveDotSegments, LeadingParentStepStopsTheClimb) {
    EXPECT_EQ(RemoveDotSegments("../a/../b"), "../a/../b");
    EXPECT_EQ(RemoveDotSegments("./a/./b"), "./a/./b");
}

TEST(RemoveDotSegments, CurrentStepsAndBlanksVanish) {
    EXPECT_EQ(RemoveDotSegments("host/./a/./b"), "host/a/b");
    EXPECT_EQ(RemoveDotSegments("host/.\\a"), "host/a");
    EXPECT_EQ(RemoveDotSegments("host/a b\t\r\n/c"), "host/ab/c");
    EXPECT_EQ(RemoveDotSegments("host/x..htm"), "host/x..htm");
    EXPECT_EQ(RemoveDotSegments("www.x.com./a"), "www.x.com./a");
    // Segments that merely start with a dot are names, with or without steps elsewhere.
    EXPECT_EQ(RemoveDotSegments("host/.well-known/a b"), "host/.well-known/ab");
    EXPECT_EQ(RemoveDotSegments(".x/y"), ".x/y");
    EXPECT_EQ(RemoveDotSegments("host/.x/../y"), "host/y");
}

} // namespace
} // namespace gathra
