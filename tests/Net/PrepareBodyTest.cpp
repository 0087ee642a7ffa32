#include "Net/HttpClient.h"
#include "Net/ResponseBuffer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace gathra {
namespace {

// Readying a page for the scanner: the header removed, comments and declarations blanked.

std::string Prepared(std::string bytes, bool hasHeader = true) {
    TResponseBuffer buffer;
    buffer.Append(bytes);
    buffer.AppendNul();
    buffer.SetHasHeader(hasHeader);
    PrepareBody(buffer, true);
    EXPECT_EQ(buffer.Bytes().back(), '\0');
    EXPECT_EQ(buffer.Position(),
              hasHeader && FindHeaderEnd(bytes) != std::string::npos ? 0u : buffer.Size());
    std::string out = buffer.Bytes();
    out.pop_back();
    return out;
}

TEST(PrepareBody, RemovesTheHeaderAndBlanksComments) {
    const std::string comment = "<!-- <a href=x> -->";
    EXPECT_EQ(Prepared("HTTP/1.0 200\r\nA: b\r\n\r\n<p>" + comment + "text"),
              "<p>" + std::string(comment.size(), ' ') + "text" + " ");
    // The header ends at LF LF when that comes before CR LF CR LF.
    EXPECT_EQ(Prepared("HTTP/1.0 200\n\nbody\r\n\r\nmore"), "body\r\n\r\nmore ");
    EXPECT_EQ(Prepared("no header end"), "no header end");
}

TEST(PrepareBody, KeepsScriptsAndBlanksDeclarations) {
    const std::string script = "<SCRIPT>if (a<!--b) x = '<!-- keep -->';</Script>";
    EXPECT_EQ(Prepared(script, false), script);
    EXPECT_EQ(Prepared("<!DOCTYPE html><p>" + script + "<!--x-->", false),
              std::string(15, ' ') + "<p>" + script + std::string(8, ' '));
    // A script tag inside a comment is blanked with it and starts nothing.
    EXPECT_EQ(Prepared("<!-- <script> --><!--y-->", false), std::string(25, ' '));
    // "<!-->" is a whole comment: the "-->" may overlap the "--" after "<!".
    EXPECT_EQ(Prepared("<!--><a href=x>k</a><!--->t", false),
              std::string(5, ' ') + "<a href=x>k</a>" + std::string(6, ' ') + "t");
    // An unterminated comment ends the step and stays as it is.
    EXPECT_EQ(Prepared("<!--a--><!-- open", false), std::string(8, ' ') + "<!-- open");
    // A script that never closes protects the rest of the page.
    EXPECT_EQ(Prepared("<script><!--a-->", false), "<script><!--a-->");
}

TEST(PrepareBody, ALocalFileKeepsItsTextBeforeTheFirstBlankLine) {
    EXPECT_EQ(Prepared("<html>\r\n\r\n<body>", false), "<html>\r\n\r\n<body>");
}

TEST(PrepareBody, TurnsEveryNulButTheLastIntoABlank) {
    EXPECT_EQ(Prepared(std::string("a\0b\0", 4), false), "a b ");
}

TEST(PrepareBody, SurvivesEveryCutAndTwoPasses) {
    const std::string page = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<!DOCTYPE x>"
                             "<script>a<!--b--></script><!-- c --><!x><p>t</p>";
    for (size_t cut = 0; cut <= page.size(); ++cut) {
        TResponseBuffer buffer;
        buffer.Append(page.substr(0, cut));
        buffer.AppendNul();
        PrepareBody(buffer, true);
        std::string once = buffer.Bytes();
        PrepareBody(buffer, true);
        EXPECT_EQ(buffer.Bytes(), once) << cut;
        EXPECT_EQ(buffer.Bytes().find('\0'), buffer.Size() - 1) << cut;
    }
}

// Comment blanking read word for word, searching afresh each time: slow, but plainly right.
std::string BlankCommentsByTheBook(std::string page) {
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string low = lower(page);
    size_t from = 0;
    for (;;) {
        size_t bang = page.find("<!", from);
        size_t script = low.find("<script", from);
        if (bang == std::string::npos) break;
        if (script != std::string::npos && script < bang) {
            size_t close = low.find("</script", script);
            if (close == std::string::npos) break;
            from = close;
            continue;
        }
        size_t end = page.compare(bang + 2, 2, "--") == 0 ? page.find("-->", bang + 2)
                                                          : page.find('>', bang + 2);
        if (end == std::string::npos) break;
        end += page.compare(bang + 2, 2, "--") == 0 ? 3 : 1;
        for (size_t i = bang; i < end; ++i)
            page[i] = ' ';
        from = end;
    }
    for (size_t i = 0; i + 1 < page.size(); ++i)
        if (page[i] == '\0') page[i] = ' ';
    return page;
}

TEST(PrepareBody, RandomPagesAgreeWithTheBook) {
    std::mt19937 random(11);
    const std::string_view pieces[] = {"<!--",     "-->", "<script>", "</script>", "<ScRiPt",
                                       "</SCRIPT", "<!",  ">",        "<p>",       "x",
                                       "<",        "-",   "!"};
    for (int round = 0; round < 2000; ++round) {
        std::string page;
        for (int i = 0; i < 30; ++i)
            page += pieces[random() % std::size(pieces)];
        ASSERT_EQ(Prepared(page, false), BlankCommentsByTheBook(page)) << page;
    }
}

TEST(PrepareBody, RandomPagesKeepTheirLengthAndMarkupOutsideComments) {
    std::mt19937 random(7);
    const std::string_view pieces[] = {"<!--", "-->",  "<script>", "</script>", "<!", ">",
                                       "<p>",  "text", "\0",       "<",         "-"};
    for (int round = 0; round < 300; ++round) {
        std::string page;
        for (int i = 0; i < 40; ++i) {
            std::string_view p = pieces[random() % std::size(pieces)];
            page += p.empty() ? std::string(1, '\0') : std::string(p);
        }
        std::string out = Prepared(page, false);
        ASSERT_EQ(out.size(), page.size());
        for (size_t i = 0; i < page.size(); ++i)
            if (out[i] != page[i]) {
                ASSERT_EQ(out[i], ' ');
            }
    }
}

std::string PreparedKeeping(const std::string& body, bool keepStyles) {
    TResponseBuffer buffer;
    buffer.Append(body);
    buffer.AppendNul();
    buffer.SetHasHeader(false);
    PrepareBody(buffer, true, keepStyles);
    std::string out = buffer.Bytes();
    out.pop_back();
    return out;
}

std::string Blanks(size_t n) {
    return std::string(n, ' ');
}

// A run that keeps pages' looks leaves style blocks as they stand, comment wrapping and all;
// comments and declarations elsewhere are blanked as ever, and without the setting style blocks
// are read like any other text.
TEST(PrepareBodyStyles, StyleBlocksKeepTheirCommentWrappedRules) {
    const std::string style = "<style type=\"text/css\"><!--\nul > li{color:red}\n--></style>";
    struct Case {
        std::string Body;
        std::string Kept;  // keepStyles
        std::string Plain; // without it
    } cases[] = {
        {style + "<!--c-->", style + Blanks(8),
         "<style type=\"text/css\">" + Blanks(27) + "</style>" + Blanks(8)},
        {"<STYLE>\n<!-- p{} -->\n</Style><p>", "<STYLE>\n<!-- p{} -->\n</Style><p>",
         "<STYLE>\n" + Blanks(12) + "\n</Style><p>"},
        // Only a style tag: "<styles>" is another name, and a comment around a style tag
        // blanks it with the comment.
        {"<styles><!--x--></styles>", "<styles>" + Blanks(8) + "</styles>",
         "<styles>" + Blanks(8) + "</styles>"},
        {"<!-- <style> -->a", Blanks(16) + "a", Blanks(16) + "a"},
        // A style that never closes keeps the rest of the page, as a script does.
        {"<style><!--a", "<style><!--a", "<style><!--a"},
        {"<!DOCTYPE html><style>a{}</style>", Blanks(15) + "<style>a{}</style>",
         Blanks(15) + "<style>a{}</style>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PreparedKeeping(c.Body, true), c.Kept) << c.Body;
        EXPECT_EQ(PreparedKeeping(c.Body, false), c.Plain) << c.Body;
    }
}

} // namespace
} // namespace gathra
