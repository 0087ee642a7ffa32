#include "Html/CssRewriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gathra {
namespace {

struct Seen {
    std::string Address;
    CssReferenceKind Kind;
};

// Rewrites `css` answering "L" + the address with its blanks and slashes taken out (so that the
// answer needs no escapes) for every reference except those starting "keep", which stay.
std::string Rewritten(std::string_view css, std::vector<Seen>* seen = nullptr) {
    return RewriteCss(css, [&](std::string_view address, CssReferenceKind kind) {
        if (seen != nullptr) seen->push_back({std::string(address), kind});
        if (address.substr(0, 4) == "keep") return std::optional<std::string>();
        std::string local = "L";
        for (char c : address)
            if (c != ' ' && c != '/') local += c;
        return std::optional<std::string>(local);
    });
}

TEST(CssRewriter, EveryFormOfReferenceIsReplacedAndTheRestCopied) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a{background:url(x.png)}", "a{background:url(Lx.png)}"},
        {"a{background:URL( 'x.png' ) no-repeat}", "a{background:url(Lx.png) no-repeat}"},
        {"a{background:url(\"i/x.png\")}", "a{background:url(Lix.png)}"},
        {"a{b:url(a\\ b.png)}", "a{b:url(Lab.png)}"},    // an escaped blank
        {"a{b:url('\\61 .png')}", "a{b:url(La.png)}"},   // a hex escape and its blank
        {"@import 'base.css';", "@import 'Lbase.css';"}, // the string form
        {"@IMPORT url(base.css) screen;", "@IMPORT url(Lbase.css) screen;"},
        {"a{b:url(keep.png)}", "a{b:url(keep.png)}"},               // the map keeps it
        {"/* url(x.png) */a{}", "/* url(x.png) */a{}"},             // comments stay
        {"a{content:\"url(x.png)\"}", "a{content:\"url(x.png)\"}"}, // so do strings
        {"a{b:myurl(x.png)}", "a{b:myurl(x.png)}"},                 // not a url token
        {"a{b:url(x y.png)}", "a{b:url(x y.png)}"},                 // malformed: left alone
        {"a{b:url()}", "a{b:url()}"},                               // empty: nothing to fetch
        {"a{b:url(x.png", "a{b:url(x.png"},                         // cut short
        {"@import \"a.css\" print; p{background:url(p.png)}",
         "@import \"La.css\" print; p{background:url(Lp.png)}"},
    };
    for (const auto& [css, expected] : cases)
        EXPECT_EQ(Rewritten(css), expected) << css;
}

TEST(CssRewriter, KindsFollowImportsFontFacesAndFontFiles) {
    std::vector<Seen> seen;
    Rewritten("@import url(a.css);\n"
              "@font-face{font-family:F;src:url(f.svg#f) format('svg'),url(\"f.woff2\")}\n"
              "p{background:url(p.png)} q{font:url(g.woff?v=1)} @import 'b.css';",
              &seen);
    const std::vector<std::pair<std::string, CssReferenceKind>> expected = {
        {"a.css", CssReferenceKind::Import},    {"f.svg#f", CssReferenceKind::Font},
        {"f.woff2", CssReferenceKind::Font},    {"p.png", CssReferenceKind::Image},
        {"g.woff?v=1", CssReferenceKind::Font}, {"b.css", CssReferenceKind::Import}};
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seen[i].Address, expected[i].first);
        EXPECT_EQ(seen[i].Kind, expected[i].second) << seen[i].Address;
    }
}

TEST(CssRewriter, ReplacementsThatNeedEscapesStayOneToken) {
    std::string css = RewriteCss("a{b:url(x)}", [](std::string_view, CssReferenceKind) {
        return std::optional<std::string>("http://h/a b(1)\".png");
    });
    EXPECT_EQ(css, "a{b:url(http://h/a\\ b\\(1\\)\\\".png)}");
    EXPECT_EQ(UnescapeCss("http://h/a\\ b\\(1\\)\\\".png"), "http://h/a b(1)\".png");
}

TEST(CssRewriter, EveryCutOfAStylesheetIsRewrittenWithoutFault) {
    const std::string css = "@import url('a.css');@font-face{src:url(\"f\\2e woff\")}"
                            "/* c */p{b:url(p.png)}q{content:'\\'';}";
    for (size_t cut = 0; cut <= css.size(); ++cut) {
        std::string out = Rewritten(std::string_view(css).substr(0, cut));
        EXPECT_LE(out.size(), cut + 16) << cut;
    }
}

TEST(CssUnescape, HexDigitsLineBreaksAndPlainBytes) {
    EXPECT_EQ(UnescapeCss("\\41\\42 C"), "ABC");
    EXPECT_EQ(UnescapeCss("\\E9 t\\E9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(UnescapeCss("a\\\nb\\)"), "ab)");
    EXPECT_EQ(UnescapeCss("\\0"), "\xEF\xBF\xBD");
    EXPECT_EQ(UnescapeCss("end\\"), "end\\");
}

} // namespace
} // namespace gathra
