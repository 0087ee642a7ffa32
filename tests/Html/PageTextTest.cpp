#include "Html/PageText.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

struct TextCase {
    const char* Name;
    std::string Page;
    std::string Title;
    std::string Body;
};

TEST(PageText, VisibleTextOfPages) {
    const TextCase cases[] = {
        {"tags go, words stay whole", "<p>Ri<b>ver</b> flood</p>", "", "River flood"},
        {"block tags part words", "one<br>two<div>three</div>four", "", "one two three four"},
        {"scripts, styles, comments",
         "a<script>var x = '<p>no</p>';</script>b<style>p{}</style>"
         "c<!-- hidden <b> -->d<SCRIPT type=x>y</SCRIPT >e",
         "", "a b cd e"},
        {"a tag named like script is not one", "<scripts>kept</scripts>", "", "kept"},
        {"title apart from the text", "<html><TITLE> The  River\n</title><body>Text", "The River",
         "Text"},
        {"only the first title", "<title>A</title>x<title>B</title>", "A", "x"},
        {"references", "&lt;a&gt; &amp; caf&eacute; &#233;&#xE9;&#x20AC; &euro;&copy", "",
         "<a> & caf\xC3\xA9 \xC3\xA9\xC3\xA9\xE2\x82\xAC \xE2\x82\xAC\xC2\xA9"},
        {"numeric 128..159 read as Windows-1252", "&#150;&#147;x&#148;", "",
         "\xE2\x80\x93\xE2\x80\x9Cx\xE2\x80\x9D"},
        {"unknown and broken references are text", "&bogus; & &#; &#xZZ;", "",
         "&bogus; & &#; &#xZZ;"},
        {"no-break spaces and white space fold", "a&nbsp;&nbsp;b \t\r\n c&#160 d&#32;&#9; e&#10;",
         "", "a b c d e"},
        {"a lone < is text", "1 < 2 <3", "", "1 < 2 <3"},
        {"an unclosed tag ends the text", "before<a href=\"x", "", "before"},
        {"declarations", "<!DOCTYPE html><?xml x?>text", "", "text"},
        {"references only in their own piece of text",
         "a<i>b</i>c<a href=\"?x=1&amp;y=2\">d</a> e &amp;f", "", "abcd e &f"},
        {"tag names of any length and case part words or not",
         "a<BLOCKQUOTE>b</BlockQuote>c<averyveryverylongname>d<TD>e<h7>f", "", "a b cd ef"},
        {"white space at the edges of pieces", "  <p> a </p>  <p>\fb\t</p>c ", "", "a b c"},
    };
    for (const TextCase& c : cases) {
        const PageText text = ExtractPageText(c.Page);
        EXPECT_EQ(text.Title, c.Title) << c.Name;
        EXPECT_EQ(text.Body, c.Body) << c.Name;
    }
}

TEST(PageText, CharacterSetOfPages) {
    struct CharsetCase {
        const char* Name;
        std::string Page;
        std::string Declared;
        std::string Utf8;
    };
    const CharsetCase cases[] = {
        {"valid UTF-8 stays, whatever is declared", "<meta charset=iso-8859-2>Z\xC3\xBCrich",
         "iso-8859-2", "<meta charset=iso-8859-2>Z\xC3\xBCrich"},
        {"no declaration: Windows-1252", "Caf\xE9 \x93q\x94", "",
         "Caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D"},
        {"http-equiv content",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "charset=ISO-8859-2\">\xB1",
         "iso-8859-2",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "charset=ISO-8859-2\">\xC4\x85"},
        {"quoted charset attribute", "<meta charset='koi8-r'>\xC1", "koi8-r",
         "<meta charset='koi8-r'>\xD0\xB0"},
        {"an unknown set falls back to Windows-1252", "<meta charset=x-none>\xE9", "x-none",
         "<meta charset=x-none>\xC3\xA9"},
        {"declared UTF-8 that is not valid", "<meta charset=utf-8>\xE9", "utf-8",
         "<meta charset=utf-8>\xC3\xA9"},
    };
    for (const CharsetCase& c : cases) {
        EXPECT_EQ(DeclaredCharset(c.Page), c.Declared) << c.Name;
        EXPECT_EQ(PageBytesAsUtf8(c.Page), c.Utf8) << c.Name;
    }
}

} // namespace
} // namespace gathra
