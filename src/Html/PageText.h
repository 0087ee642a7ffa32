#pragma once
#include <string>
#include <string_view>

namespace gathra {

// What a reader sees of an HTML page, as UTF-8: its title and its visible text, with tags,
// comments, scripts and styles left out, character references decoded and white space folded
// to single blanks.
struct PageText {
    std::string Title;
    std::string Body;
};

// The character set a page declares in a <meta> tag (charset=... or
// http-equiv content="...; charset=..."), lowered; empty when it declares none.
std::string DeclaredCharset(std::string_view page);

// The page's bytes as UTF-8: as they are when they are valid UTF-8, else read in the character
// set the page declares, else (or when that set is unknown) as Windows-1252.
std::string PageBytesAsUtf8(std::string_view page);

// The title and visible text of a page already in UTF-8. One pass over the page.
PageText ExtractPageText(std::string_view utf8Page);

// Decodes the character reference at `text` (which starts with "&"): appends its UTF-8 form to
// `out` and answers how many bytes it took; 0 when it is no reference (the "&" is text).
size_t DecodeCharacterReference(std::string_view text, std::string& out);

} // namespace gathra
