#include "Imports/BrowserPage.h"
#include "Text/AsciiText.h"

#include <cctype>

namespace gathra {

namespace {

std::string TrimmedCopy(std::string_view text) {
    return std::string(Trimmed(text, kAsciiSpaces));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

} // namespace

BrowserPage PageFromBrowserAnswer(const std::string& text) {
    const bool quoted = !text.empty() && text[0] == '"';
    const size_t end = quoted ? text.find("\",") : text.find(',');
    if (end == std::string::npos) return {text, text};
    BrowserPage page;
    page.Url = quoted ? text.substr(1, end - 1) : text.substr(0, end);
    size_t start = end + (quoted ? 2 : 1);
    while (start < text.size() && (text[start] == ',' || text[start] == '"'))
        ++start;
    size_t stop = text.find('"', start);
    if (stop == std::string::npos) stop = text.size();
    page.Title = text.substr(start, stop - start);
    const size_t netscape = page.Title.find("Netscape");
    if (netscape != std::string::npos) {
        // "Netscape - [" is 12 characters, and the closing bracket is dropped with it.
        const size_t from = netscape + 12;
        const long long count = static_cast<long long>(page.Title.size()) - 13;
        page.Title = (from >= page.Title.size() || count <= 0)
                         ? std::string()
                         : page.Title.substr(from, static_cast<size_t>(count));
    }
    return page;
}

void ApplyBrowserAnswer(TWebPage& entry, const std::string& text) {
    BrowserPage page = PageFromBrowserAnswer(text);
    entry.Address = std::move(page.Url);
    entry.EntryName = std::move(page.Title);
    entry.NameSet = 1;
}

TWebPage* AddFromBrowser(TWebList& list, const std::string& text) {
    TWebPage* entry = list.InsertEntry(0, EntryKind::Web);
    if (entry != nullptr) ApplyBrowserAnswer(*entry, text);
    return entry;
}

void ApplyBrowserPage(TWebPage& entry, const BrowserPage& page) {
    entry.Address = page.Url;
    entry.EntryName = page.Title.empty() ? page.Url : page.Title;
    entry.NameSet = 1;
}

TWebPage* AddBrowserPage(TWebList& list, const BrowserPage& page) {
    TWebPage* entry = list.InsertEntry(0, EntryKind::Web);
    if (entry != nullptr) ApplyBrowserPage(*entry, page);
    return entry;
}

std::optional<std::string> WebAddressInText(const std::string& text) {
    std::string address = TrimmedCopy(text);
    for (char c : address)
        if (std::isspace(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) < 32)
            return std::nullopt;
    for (const char* scheme : {"http://", "https://", "ftp://"})
        if (StartsWithNoCase(address, scheme) &&
            address.size() > std::char_traits<char>::length(scheme))
            return address;
    return std::nullopt;
}

std::vector<BrowserPage> PagesFromUriList(const std::string& uriList,
                                          const std::string& titledList) {
    std::vector<BrowserPage> titled;
    const std::vector<std::string> lines = Lines(titledList);
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
        if (!TrimmedCopy(lines[i]).empty())
            titled.push_back({TrimmedCopy(lines[i]), TrimmedCopy(lines[i + 1])});

    std::vector<BrowserPage> pages;
    for (const std::string& line : Lines(uriList)) {
        const std::string uri = TrimmedCopy(line);
        if (uri.empty() || uri[0] == '#') continue;
        BrowserPage page{uri, {}};
        for (const BrowserPage& t : titled)
            if (t.Url == uri) {
                page.Title = t.Title;
                break;
            }
        pages.push_back(std::move(page));
    }
    // Only the titled list was offered.
    if (pages.empty() && TrimmedCopy(uriList).empty()) pages = titled;
    return pages;
}

std::optional<BrowserPage> ClipboardPage(const std::string& uriList, const std::string& titledList,
                                         const std::string& text) {
    for (const BrowserPage& page : PagesFromUriList(uriList, titledList))
        if (std::optional<std::string> address = WebAddressInText(page.Url))
            return BrowserPage{*address, page.Title};
    if (std::optional<std::string> address = WebAddressInText(text))
        return BrowserPage{*address, {}};
    return std::nullopt;
}

} // namespace gathra
