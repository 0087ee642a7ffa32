#include "Html/CssRewriter.h"
#include "Text/Utf8.h"
#include "Text/AsciiText.h"

#include <cstdint>

namespace gathra {

namespace {

bool IsCssWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// The end of the string whose opening quote is at `open`: the offset of its closing quote, or
// of the line break or text end that cuts it short.
size_t StringEnd(std::string_view css, size_t open) {
    const char quote = css[open];
    size_t i = open + 1;
    while (i < css.size() && css[i] != quote && css[i] != '\n') {
        if (css[i] == '\\' && i + 1 < css.size()) ++i;
        ++i;
    }
    return i;
}

// The unquoted url() form: every byte that would end or break the token is escaped.
std::string UrlToken(std::string_view address) {
    std::string out = "url(";
    for (char c : address) {
        if (c == '(' || c == ')' || c == '"' || c == '\'' || c == '\\' || c == ' ') {
            out += '\\';
            out += c;
        } else if (IsCssWhite(c) || static_cast<unsigned char>(c) < 0x20) {
            // Line breaks and control bytes cannot be escaped by a backslash alone.
            static const char* digits = "0123456789abcdef";
            out += '\\';
            out += digits[(static_cast<unsigned char>(c) >> 4) & 0xF];
            out += digits[static_cast<unsigned char>(c) & 0xF];
            out += ' ';
        } else {
            out += c;
        }
    }
    return out + ")";
}

std::string QuotedString(std::string_view address, char quote) {
    std::string out(1, quote);
    for (char c : address) {
        if (c == quote || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\a ";
            continue;
        }
        out += c;
    }
    return out + quote;
}

bool IsFontFile(std::string_view address) {
    size_t cut = address.find_first_of("?#");
    if (cut != std::string_view::npos) address = address.substr(0, cut);
    size_t dot = address.rfind('.');
    if (dot == std::string_view::npos || address.find('/', dot) != std::string_view::npos)
        return false;
    std::string ext;
    for (char c : address.substr(dot + 1))
        ext += AsciiLower(c);
    return ext == "woff" || ext == "woff2" || ext == "ttf" || ext == "otf" || ext == "eot";
}

// A url( token at `at` (its "u"): where the whole token ends (after ")") and its value with
// escapes undone; nothing when it is not a well-formed token.
struct UrlTokenFound {
    size_t End;
    std::string Value;
};
std::optional<UrlTokenFound> ReadUrlToken(std::string_view css, size_t at) {
    size_t i = at + 4;
    while (i < css.size() && IsCssWhite(css[i]))
        ++i;
    if (i >= css.size()) return std::nullopt;
    std::string_view raw;
    if (css[i] == '"' || css[i] == '\'') {
        size_t close = StringEnd(css, i);
        if (close >= css.size() || css[close] != css[i]) return std::nullopt;
        raw = css.substr(i + 1, close - i - 1);
        i = close + 1;
        while (i < css.size() && IsCssWhite(css[i]))
            ++i;
    } else {
        size_t start = i;
        while (i < css.size() && css[i] != ')' && !IsCssWhite(css[i])) {
            if (css[i] == '"' || css[i] == '\'' || css[i] == '(') return std::nullopt;
            if (css[i] == '\\' && i + 1 < css.size()) ++i;
            ++i;
        }
        raw = css.substr(start, i - start);
        while (i < css.size() && IsCssWhite(css[i]))
            ++i;
    }
    if (i >= css.size() || css[i] != ')') return std::nullopt;
    return UrlTokenFound{i + 1, UnescapeCss(raw)};
}

} // namespace

std::string UnescapeCss(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        ++i;
        if (IsHex(text[i])) {
            std::uint32_t cp = 0;
            size_t digits = 0;
            while (digits < 6 && i < text.size() && IsHex(text[i])) {
                cp = cp * 16 + static_cast<std::uint32_t>(HexValue(text[i]));
                ++i;
                ++digits;
            }
            if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            else if (i >= text.size() || !IsCssWhite(text[i]))
                --i; // the byte after the digits belongs to the text
            AppendUtf8(out, cp);
        } else if (text[i] == '\n' || text[i] == '\r' || text[i] == '\f') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string RewriteCss(std::string_view css, const CssReferenceMap& map) {
    std::string out;
    out.reserve(css.size() + css.size() / 8);
    bool importPending = false;   // an @import waits for its address
    bool fontFacePending = false; // an @font-face waits for its block
    int braces = 0;
    int fontFaceBraces = -1; // the brace depth of the open @font-face block
    size_t i = 0;
    while (i < css.size()) {
        const char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            size_t close = css.find("*/", i + 2);
            size_t end = close == std::string_view::npos ? css.size() : close + 2;
            out.append(css.substr(i, end - i));
            i = end;
        } else if (c == '"' || c == '\'') {
            size_t close = StringEnd(css, i);
            size_t end = close < css.size() && css[close] == c ? close + 1 : close;
            std::optional<std::string> replaced;
            if (importPending && end == close + 1)
                replaced =
                    map(UnescapeCss(css.substr(i + 1, close - i - 1)), CssReferenceKind::Import);
            importPending = false;
            if (replaced)
                out += QuotedString(*replaced, c);
            else
                out.append(css.substr(i, end - i));
            i = end;
        } else if (c == '\\') {
            out.append(css.substr(i, 2));
            i += 2;
        } else if (c == '@') {
            size_t word = i + 1;
            while (word < css.size() && IsNameChar(css[word]))
                ++word;
            std::string_view name = css.substr(i + 1, word - i - 1);
            if (EqualsNoCase(name, "import")) importPending = true;
            if (EqualsNoCase(name, "font-face")) fontFacePending = true;
            out.append(css.substr(i, word - i));
            i = word;
        } else if ((c == 'u' || c == 'U') && StartsWithNoCase(css.substr(i), "url(") &&
                   (i == 0 || !IsNameChar(css[i - 1]))) {
            std::optional<UrlTokenFound> token = ReadUrlToken(css, i);
            if (!token) {
                out.append(css.substr(i, 4));
                i += 4;
                continue;
            }
            CssReferenceKind kind = importPending ? CssReferenceKind::Import
                                    : fontFaceBraces >= 0 || IsFontFile(token->Value)
                                        ? CssReferenceKind::Font
                                        : CssReferenceKind::Image;
            importPending = false;
            std::optional<std::string> replaced;
            if (!token->Value.empty()) replaced = map(token->Value, kind);
            if (replaced)
                out += UrlToken(*replaced);
            else
                out.append(css.substr(i, token->End - i));
            i = token->End;
        } else {
            if (c == '{') {
                ++braces;
                if (fontFacePending) fontFaceBraces = braces;
                fontFacePending = false;
                importPending = false;
            } else if (c == '}') {
                if (braces == fontFaceBraces) fontFaceBraces = -1;
                if (braces > 0) --braces;
            } else if (c == ';') {
                importPending = false;
                fontFacePending = false;
            }
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace gathra
