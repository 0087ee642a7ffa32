#include "Html/TagPairs.h"

#include "Html/HtmlScanner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gathra {
namespace {

using Tags = std::vector<std::pair<size_t, size_t>>;

// Every tag the scan would meet, asking from `step(previous end)` each time; a tag without its
// ">" is listed with kNone and ends the list.
template <typename Step> Tags Walk(TagPairs pairs, Step step) {
    Tags tags;
    size_t from = 0;
    size_t start = 0;
    size_t end = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        if (!pairs.Next(from, start, end)) break;
        tags.emplace_back(start, end);
        from = step(start, end);
    }
    return tags;
}

Tags AfterEach(const std::string& page, bool marked) {
    auto step = [](size_t, size_t end) { return end + 1; };
    return marked ? Walk(TagPairs::OfMarkedCopy(MarkTags(page)), step) : Walk(TagPairs(page), step);
}

// The tags found on the page itself are the ones its marked copy bounds, for pages with brackets
// in text, control bytes, open tags and tags across the old window edges.
TEST(TagPairs, FindTheTagsTheMarkedCopyBounds) {
    const std::vector<std::string> pages = {
        "<a href=x>Home</a> > Guide > <b>x</b>",
        "if a < b and <a href=y>c</a>",
        "x <= 3 <i>y</i> << <<b>",
        ">>>><",
        "<a href=\"<x>\">t</a>",
        "<!-- c --><?xml?></p>",
        "<a href=\x01x\x02>",
        "<unclosed",
        "text < <a href=z>",
        std::string(4990, 'x') + "<a href=edge.htm>across</a>",
        "<" + std::string(6000, 'y') + ">",
        "",
    };
    for (const std::string& text : pages) {
        std::string page = text + '\0';
        EXPECT_EQ(AfterEach(page, false), AfterEach(page, true)) << text;
    }
}

// Pages of random brackets and names, asked for from each tag's end and from inside each tag.
TEST(TagPairs, AgreeWithTheMarkedCopyOnRandomPages) {
    const std::string alphabet = "<<>>a /!?=\"'x\x01\x02";
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (int n = 0; n < 3000; ++n) {
        std::string page;
        size_t length = next() % 60;
        for (size_t i = 0; i < length; ++i)
            page += alphabet[next() % alphabet.size()];
        page += '\0';
        ASSERT_EQ(AfterEach(page, false), AfterEach(page, true)) << page;
        auto inside = [](size_t start, size_t) { return start + 1; };
        ASSERT_EQ(Walk(TagPairs(page), inside),
                  Walk(TagPairs::OfMarkedCopy(MarkTags(page)), inside))
            << page;
    }
}

// The base href is blanked after the page came and before it is scanned: its bytes lie inside
// the base tag, so the tags stay as they were paired on the page as it came.
TEST(TagPairs, BlankingTheBaseHrefChangesNoTag) {
    const std::vector<std::string> pages = {
        "<base href=\"http://h/a>b/\"><a href=x>1</a>",
        "<base href=a<b><a href=x>1</a>",
        "x < <base <href=a<<b> <a href=x>1</a>",
        "<a <base href=\"<q\" > >",
    };
    for (const std::string& text : pages) {
        std::string page = text + '\0';
        const Tags before = AfterEach(page, true);
        ASSERT_TRUE(TakeBaseHref(page)) << text;
        EXPECT_NE(page, text + '\0');
        EXPECT_EQ(AfterEach(page, false), before) << text;
    }
}

} // namespace
} // namespace gathra
