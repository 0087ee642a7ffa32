#include "Engine/HttpClient.h"
#include "Engine/ResponseBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace gathra {
namespace {

std::string Prepared(const std::string& body, bool keepStyles) {
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
        EXPECT_EQ(Prepared(c.Body, true), c.Kept) << c.Body;
        EXPECT_EQ(Prepared(c.Body, false), c.Plain) << c.Body;
    }
}

} // namespace
} // namespace gathra
