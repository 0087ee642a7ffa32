#include "Html/HtmlScanner.h"
#include "Html/LinkResolution.h"

#include "support/MarkingRule.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <string>

namespace gathra {
namespace {

std::string Marks(const std::string& marked) {
    std::string shown;
    for (char c : marked) {
        if (c == kTagStartMark)
            shown += '[';
        else if (c == kTagEndMark)
            shown += ']';
        else
            shown += c;
    }
    return shown;
}

TEST(MarkTags, BracketsInTextLeaveTheTagsAroundThemFound) {
    struct Case {
        const char* Page;
        const char* Marked;
    };
    const Case cases[] = {
        {"<a>b<c>", "[a]b[c]"},
        {"no tags at all", "no tags at all"},
        // Brackets that alternate are all marked, whether or not they look like tags.
        {"a < b > c", "a [ b ] c"},
        {"<>", "[]"},
        // A ">" in text: the tags after it keep their ends.
        {"a>b>c<d>", "a>b>c[d]"},
        {"<li>Home > Guide > Setup</li><li><a href=p.html>",
         "[li]Home > Guide > Setup[/li][li][a href=p.html]"},
        // A "<" in text gives way to the tag that follows it.
        {"<<<x>", "<<[x]"},
        {"a < b <a href=x>", "a < b [a href=x]"},
        {"x <= 3 and 2<3 <b>", "x <= 3 and 2<3 [b]"},
        // A "<" inside a tag's attribute value belongs to that tag.
        {"<a title=\"a<b\" href=x>", "[a title=\"a<b\" href=x]"},
        // A tag without its ">" is still marked where it begins.
        {"t <a href=x", "t [a href=x"},
        {"<p>a < b", "[p]a [ b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Marks(MarkTags(c.Page)), c.Marked) << c.Page;
}

// Every "<" that opens a tag right after a ">" (or at the start), and whose next bracket is a
// ">", is marked together with that ">"; and where the brackets alternate all are marked.
TEST(MarkTags, TagsAreFoundWheneverTheirBracketsPairUp) {
    const char alphabet[] = {'<', '>', 'a', '/', ' ', '"', '='};
    std::uint32_t seed = 12345;
    for (int round = 0; round < 20000; ++round) {
        std::string page;
        size_t length = round % 23;
        for (size_t i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            page += alphabet[(seed >> 16) % sizeof alphabet];
        }
        std::string marked = MarkTags(page);
        ASSERT_EQ(marked.size(), page.size());
        std::string failure = test::MarkingRuleBroken(page, marked);
        ASSERT_EQ(failure, "") << page;
    }
}

TEST(MarkTags, CountsEachBlockOfTheWindowOnItsOwn) {
    // The first block ends with a lone "<", the second starts with ">>": each block pairs its own.
    std::string page(4998, 'x');
    page += "<";
    page += ">>>";
    std::string marked = MarkTags(page);
    ASSERT_EQ(marked.size(), page.size());
    EXPECT_EQ(marked[4998], kTagStartMark);
    EXPECT_EQ(marked[4999], kTagEndMark); // one ">" with no "<" in its block still counts
    EXPECT_EQ(marked[5000], '>');
    EXPECT_EQ(marked[5001], '>');
}

TEST(MarkTags, ControlBytesOfThePageAreNoTagBoundaries) {
    std::string page = "a\x01<b>\x02 c";
    EXPECT_EQ(Marks(MarkTags(page)), "a [b]  c");
}

TEST(TagMatching, NamesMatchByPrefixIgnoringCaseAndBlanksMatchWhiteSpace) {
    EXPECT_TRUE(MatchesName("IMG\tsrc", 0, "img "));
    EXPECT_FALSE(MatchesName("imgsrc", 0, "img "));
    EXPECT_TRUE(MatchesName("BaseFont", 0, "base"));
    EXPECT_FALSE(MatchesName("ba", 0, "base"));
    EXPECT_EQ(FindTag("x <b> <BODY bg>", "body", 0), 6u);
    EXPECT_EQ(FindTag("x <b> <BODY bg>", "body", 7), kNone);
}

TEST(TagFinder, AnswersRepeatedSearchesFromWhatItFound) {
    std::string page = "<script>a</script><script>b";
    TagFinder finder("/script");
    EXPECT_EQ(finder.Next(page, 1), 9u);
    EXPECT_EQ(finder.Next(page, 5), 9u);
    EXPECT_EQ(finder.Next(page, 10), kNone);
    EXPECT_EQ(finder.Next(page, 20), kNone);
}

TEST(AttributeValues, StartAfterTheEqualsSignAndItsWhiteSpace) {
    std::string tag = "<a href = \"x.htm\">";
    size_t attr = FindAttribute(tag, 0, tag.size(), "href");
    ASSERT_EQ(attr, 3u);
    EXPECT_EQ(ValueStart(tag, attr, tag.size()), 10u);
    EXPECT_EQ(ValueStart("<a href>", 3, 8), kNone);
}

TEST(AttributeValues, EndWhereTheRulesSay) {
    auto value = [](const std::string& tag) {
        size_t v = ValueStart(tag, 0, tag.size());
        size_t end = ValueEnd(tag, v);
        if (end == kNone) return std::string("<none>");
        size_t start = ValueTextStart(tag, v);
        return tag.substr(start, end - start);
    };
    EXPECT_EQ(value("src=\"a.gif\" width=3>"), "a.gif");
    EXPECT_EQ(value("src='a.gif'>"), "a.gif");
    EXPECT_EQ(value("src=a.gif width=3>"), "a.gif");
    EXPECT_EQ(value("src=a.gif>"), "a.gif");
    // A quoted value runs to its closing quote, blanks and all, as browsers read it.
    EXPECT_EQ(value("src=\"a b.gif\">"), "a b.gif");
    EXPECT_EQ(value("src='docs/price list.html' alt=x>"), "docs/price list.html");
    // Blanks at its ends stay in the value; resolving the link drops them.
    EXPECT_EQ(value("src=\"  a.gif \">"), "  a.gif ");
    // A ">" before the closing quote ends it, and so does a missing closing quote.
    EXPECT_EQ(value("src=\"a>b\">"), "a");
    EXPECT_EQ(value("src=\"a.gif>"), "a.gif");
    EXPECT_EQ(value("src=\"a.gif"), "<none>");
    EXPECT_EQ(value("src=a.gif"), "<none>");
}

TEST(BaseHref, IsTakenAndBlankedInThePage) {
    std::string page = std::string("<html><BASE HREF=\"http://s.example/d/\"><a href=x>") + '\0';
    size_t size = page.size();
    auto base = TakeBaseHref(page);
    ASSERT_TRUE(base);
    EXPECT_EQ(*base, "http://s.example/d/");
    EXPECT_EQ(page.size(), size);
    // From "HREF" up to the closing quote, which stays with the rest of the tag.
    EXPECT_EQ(page, "<html><BASE " + std::string(25, ' ') + "\"><a href=x>" + '\0');
}

TEST(BaseHref, AQuotedHrefKeepsItsInnerBlanksAndLosesThoseAtItsEnds) {
    std::string page = std::string("<base href=\" http://s.example/my docs/ \"><a href=x>") + '\0';
    auto base = TakeBaseHref(page);
    ASSERT_TRUE(base);
    EXPECT_EQ(*base, "http://s.example/my docs/");
    EXPECT_EQ(ResolveLink(*base, "a b.htm"), "s.example/my%20docs/a%20b.htm");
    EXPECT_EQ(page, "<base " + std::string(33, ' ') + "\"><a href=x>" + '\0');
}

TEST(BaseHref, NeedsAClosedTagAndAValueInsideIt) {
    std::string open = "<base href=\"x\"";
    EXPECT_FALSE(TakeBaseHref(open));
    std::string empty = "<base target=x>";
    EXPECT_FALSE(TakeBaseHref(empty));
    std::string outside = "<base href>=y";
    EXPECT_FALSE(TakeBaseHref(outside));
    std::string none = "<a href=y>";
    EXPECT_FALSE(TakeBaseHref(none));
    std::string unquoted = "<base href=s.example/>";
    auto base = TakeBaseHref(unquoted);
    ASSERT_TRUE(base);
    EXPECT_EQ(*base, "s.example/");
    EXPECT_EQ(unquoted, "<base " + std::string(15, ' ') + ">");
}

TEST(PageTitle, TheLastTitlePairWinsUnchanged) {
    EXPECT_EQ(TitleOfPage("<TITLE> One </title>"), std::optional<std::string>(" One "));
    EXPECT_EQ(TitleOfPage("<title>a</title><title>b &amp; c</TITLE>"),
              std::optional<std::string>("b &amp; c"));
    EXPECT_EQ(TitleOfPage("<title>open"), std::nullopt);
    EXPECT_EQ(TitleOfPage("<title >x</title>"), std::nullopt);
    EXPECT_EQ(TitleOfPage("no title"), std::nullopt);
    EXPECT_EQ(TitleOfPage("<title></title>"), std::optional<std::string>(""));
}

} // namespace
} // namespace gathra
