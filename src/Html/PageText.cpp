#include "Html/PageText.h"

#include "Html/HtmlScanner.h"
#include "Text/Charset.h"
#include "Text/StoredText.h"
#include "Text/Utf8.h"

#include <algorithm>
#include <cstdint>

namespace gathra {

namespace {

struct NamedReference {
    std::string_view Name;
    std::uint32_t CodePoint;
};

// The references pages use for punctuation and symbols outside Latin-1.
constexpr NamedReference kNamed[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},
    {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D},
    {"bdquo", 0x201E},  {"bull", 0x2022},   {"hellip", 0x2026}, {"prime", 0x2032},
    {"lsaquo", 0x2039}, {"rsaquo", 0x203A}, {"euro", 0x20AC},   {"trade", 0x2122},
    {"larr", 0x2190},   {"rarr", 0x2192},   {"oelig", 0x153},   {"OElig", 0x152},
    {"scaron", 0x161},  {"Scaron", 0x160},  {"Yuml", 0x178},    {"fnof", 0x192},
    {"circ", 0x2C6},    {"tilde", 0x2DC},   {"ensp", 0x2002},   {"emsp", 0x2003},
    {"thinsp", 0x2009}, {"zwnj", 0x200C},   {"zwj", 0x200D},    {"dagger", 0x2020},
    {"Dagger", 0x2021}, {"permil", 0x2030}, {"minus", 0x2212},  {"times", 0xD7},
    {"divide", 0xF7},   {"alpha", 0x3B1},   {"beta", 0x3B2},    {"pi", 0x3C0},
};

// The Latin-1 references, U+00A0 to U+00FF in order (times and divide are above).
constexpr std::string_view kLatin1[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "",       "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "",       "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

std::uint32_t NamedCodePoint(std::string_view name) {
    for (const NamedReference& named : kNamed)
        if (named.Name == name) return named.CodePoint;
    for (size_t i = 0; i < 96; ++i)
        if (!kLatin1[i].empty() && kLatin1[i] == name) return static_cast<std::uint32_t>(0xA0 + i);
    return 0;
}

// Code points 0x80..0x9F in a numeric reference mean the Windows-1252 characters, as browsers
// read them.
std::uint32_t NumericCodePoint(std::uint32_t value) {
    if (value < 0x80 || value > 0x9F) return value;
    const char byte = static_cast<char>(value);
    const std::string utf8 = Windows1252ToUtf8(std::string_view(&byte, 1));
    std::uint32_t cp = 0;
    const auto lead = static_cast<unsigned char>(utf8[0]);
    if (utf8.size() == 2)
        cp = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[1]) & 0x3Fu);
    if (utf8.size() == 3)
        cp = ((lead & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[1]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(utf8[2]) & 0x3Fu);
    return cp;
}

// The text of the value of `attribute` inside one tag, without quotes; empty when absent.
std::string_view AttributeValue(std::string_view tag, std::string_view attribute) {
    const size_t at = FindAttribute(tag, 0, tag.size(), attribute);
    if (at == kNone) return {};
    size_t v = ValueStart(tag, at + attribute.size(), tag.size());
    if (v == kNone || v >= tag.size()) return {};
    const char quote = tag[v];
    if (quote == '"' || quote == '\'') {
        const size_t end = tag.find(quote, v + 1);
        return tag.substr(v + 1, (end == kNone ? tag.size() : end) - v - 1);
    }
    size_t end = v;
    while (end < tag.size() && !IsWhite(tag[end]) && tag[end] != '>' && tag[end] != ';')
        ++end;
    return tag.substr(v, end - v);
}

std::string CharsetName(std::string_view value) {
    std::string name;
    for (char c : value) {
        if (IsWhite(c) || c == '"' || c == '\'' || c == ';' || c == '>') break;
        name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return name;
}

// Appends text with white space folded: one blank for any run of it, none at the start.
class FoldedText {
public:
    explicit FoldedText(std::string& out) : out_(out) {}
    void Blank() { pending_ = !out_.empty(); }
    void Add(std::string_view text) {
        // Whole words at a time.
        size_t at = 0;
        while (at < text.size()) {
            size_t end = at;
            while (end < text.size() && !IsWhite(text[end]) && text[end] != '\f')
                ++end;
            if (end > at) {
                Flush();
                out_.append(text.substr(at, end - at));
            }
            if (end < text.size()) Blank();
            at = end + 1;
        }
    }
    void AddDecoded(std::string_view decoded) {
        // A decoded no-break space, blank, tab or line break folds like a blank.
        if (decoded == "\xC2\xA0" ||
            (decoded.size() == 1 && (IsWhite(decoded[0]) || decoded[0] == '\f')))
            return Blank();
        Flush();
        out_.append(decoded);
    }

private:
    void Flush() {
        if (pending_) out_ += ' ';
        pending_ = false;
    }
    std::string& out_;
    bool pending_ = false;
};

// Tags after which text reads as a new word even without white space in the source.
bool BreaksWords(std::string_view tag) {
    static constexpr std::string_view kBreaking[] = {
        "br",     "p",   "div", "li",     "tr",     "td",         "th",      "h1",      "h2",
        "h3",     "h4",  "h5",  "h6",     "hr",     "table",      "ul",      "ol",      "dl",
        "dt",     "dd",  "pre", "title",  "option", "blockquote", "section", "article", "header",
        "footer", "nav", "img", "center", "form",   "body",       "frame",   "noframes"};
    size_t start = tag[1] == '/' ? 2 : 1;
    size_t end = start;
    while (end < tag.size() && (IsAsciiLetter(tag[end]) || IsAsciiDigit(tag[end])))
        ++end;
    // Lowered in place of a copy: no name that breaks words is longer than this.
    char lowered[12];
    if (end - start > sizeof lowered) return false;
    for (size_t i = start; i < end; ++i)
        lowered[i - start] =
            tag[i] >= 'A' && tag[i] <= 'Z' ? static_cast<char>(tag[i] - 'A' + 'a') : tag[i];
    const std::string_view name(lowered, end - start);
    return std::find(std::begin(kBreaking), std::end(kBreaking), name) != std::end(kBreaking);
}

// Text up to `end` (exclusive), references decoded, into `folded`.
void AddText(std::string_view page, size_t from, size_t end, FoldedText& folded) {
    // Only up to `end` is looked at: searching the rest of the page for the next "&" at every
    // piece of text would read a page without one once for each of its tags.
    const std::string_view text = page.substr(0, end);
    while (from < end) {
        const size_t amp = text.find('&', from);
        const size_t stop = std::min(amp, end);
        folded.Add(page.substr(from, stop - from));
        if (stop == end) return;
        std::string decoded;
        const size_t taken = DecodeCharacterReference(page.substr(amp, end - amp), decoded);
        if (taken == 0) {
            folded.Add("&");
            from = amp + 1;
        } else {
            folded.AddDecoded(decoded);
            from = amp + taken;
        }
    }
}

// The end of the element whose start tag ends before `from`: the offset after the ">" of the
// next "</name", or the page's end.
size_t SkipElement(std::string_view page, size_t from, std::string_view endName) {
    const size_t end = FindTag(page, endName, from);
    if (end == kNone) return page.size();
    const size_t gt = page.find('>', end);
    return gt == kNone ? page.size() : gt + 1;
}

} // namespace

size_t DecodeCharacterReference(std::string_view text, std::string& out) {
    if (text.size() < 3 || text[0] != '&') return 0;
    size_t i = 1;
    std::uint32_t cp = 0;
    if (text[1] == '#') {
        const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
        i = hex ? 3 : 2;
        const size_t digits = i;
        std::uint64_t value = 0;
        while (i < text.size() && i < digits + 8) {
            const char c = text[i];
            int digit = -1;
            if (IsAsciiDigit(c))
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            if (digit < 0) break;
            value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
            ++i;
        }
        if (i == digits) return 0;
        cp = value > 0x10FFFF ? 0xFFFD : NumericCodePoint(static_cast<std::uint32_t>(value));
    } else {
        while (i < text.size() && i < 12 && (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i])))
            ++i;
        cp = NamedCodePoint(text.substr(1, i - 1));
        if (cp == 0) return 0;
    }
    // The closing ";" is optional, as browsers read old pages.
    if (i < text.size() && text[i] == ';') ++i;
    AppendUtf8(out, cp);
    return i;
}

std::string DeclaredCharset(std::string_view page) {
    // Browsers look for the declaration near the start; so does this.
    const std::string_view head = page.substr(0, std::min<size_t>(page.size(), 16384));
    for (size_t at = FindTag(head, "meta", 0); at != kNone; at = FindTag(head, "meta", at + 1)) {
        const size_t gt = head.find('>', at);
        const std::string_view tag = head.substr(at, (gt == kNone ? head.size() : gt + 1) - at);
        if (std::string_view direct = AttributeValue(tag, "charset"); !direct.empty())
            return CharsetName(direct);
        const std::string_view content = AttributeValue(tag, "content");
        for (size_t i = 0; i + 8 <= content.size(); ++i) {
            if (!MatchesName(content, i, "charset")) continue;
            size_t v = i + 7;
            while (v < content.size() && (IsWhite(content[v]) || content[v] == '='))
                ++v;
            if (std::string name = CharsetName(content.substr(v)); !name.empty()) return name;
        }
    }
    return {};
}

std::string PageBytesAsUtf8(std::string_view page) {
    if (IsValidUtf8(page)) return std::string(page);
    const std::string declared = DeclaredCharset(page);
    if (!declared.empty())
        if (std::optional<std::string> text = CharsetToUtf8(page, declared)) return *text;
    return Windows1252ToUtf8(page);
}

PageText ExtractPageText(std::string_view page) {
    PageText text;
    FoldedText body(text.Body);
    size_t at = 0;
    while (at < page.size()) {
        const size_t lt = page.find('<', at);
        if (lt == kNone) {
            AddText(page, at, page.size(), body);
            break;
        }
        AddText(page, at, lt, body);
        const char next = lt + 1 < page.size() ? page[lt + 1] : '\0';
        if (!IsAsciiLetter(next) && next != '/' && next != '!' && next != '?') {
            body.Add("<"); // a "<" that starts no tag is text
            at = lt + 1;
            continue;
        }
        if (page.compare(lt, 4, "<!--") == 0) {
            const size_t close = page.find("-->", lt + 4);
            at = close == kNone ? page.size() : close + 3;
            continue;
        }
        const size_t gt = page.find('>', lt);
        if (gt == kNone) break; // an unclosed tag ends the text
        at = gt + 1;
        if (MatchesName(page, lt + 1, "script") || MatchesName(page, lt + 1, "style")) {
            const bool script = MatchesName(page, lt + 1, "script");
            const char after =
                lt + (script ? 7 : 6) < page.size() ? page[lt + (script ? 7 : 6)] : '>';
            if (IsWhite(after) || after == '>' || after == '/') {
                at = SkipElement(page, at, script ? "/script" : "/style");
                body.Blank();
                continue;
            }
        }
        if (MatchesName(page, lt + 1, "title>") || MatchesName(page, lt + 1, "title ")) {
            const size_t end = FindTag(page, "/title", at);
            const size_t stop = end == kNone ? page.size() : end;
            if (text.Title.empty()) {
                FoldedText title(text.Title);
                AddText(page, at, stop, title);
            }
            const size_t close = end == kNone ? kNone : page.find('>', end);
            at = close == kNone ? page.size() : close + 1;
            body.Blank();
            continue;
        }
        if (BreaksWords(page.substr(lt, gt + 1 - lt))) body.Blank();
    }
    return text;
}

} // namespace gathra
