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

std::string BrowserAnswer(const BrowserPage& page) {
    return "\"" + page.Url + "\",\"" + (page.Title.empty() ? page.Url : page.Title) + "\"";
}

void ApplyBrowserAnswer(TWebPage& entry, const std::string& text) {
    const bool quoted = !text.empty() && text[0] == '"';
    const size_t end = quoted ? text.find("\",") : text.find(',');
    if (end == std::string::npos) {
        entry.Address = text;
        entry.EntryName = text;
        entry.NameSet = 1;
        return;
    }
    entry.Address = quoted ? text.substr(1, end - 1) : text.substr(0, end);
    size_t start = end + (quoted ? 2 : 1);
    while (start < text.size() && (text[start] == ',' || text[start] == '"'))
        ++start;
    size_t stop = text.find('"', start);
    if (stop == std::string::npos) stop = text.size();
    std::string title = text.substr(start, stop - start);
    const size_t netscape = title.find("Netscape");
    if (netscape != std::string::npos) {
        // "Netscape - [" is 12 characters, and the closing bracket is dropped with it.
        const size_t from = netscape + 12;
        const long long count = static_cast<long long>(title.size()) - 13;
        title = (from >= title.size() || count <= 0)
                    ? std::string()
                    : title.substr(from, static_cast<size_t>(count));
    }
    entry.EntryName = title;
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

std::optional<std::string> ClipboardAnswer(const std::string& uriList,
                                           const std::string& titledList, const std::string& text) {
    for (const BrowserPage& page : PagesFromUriList(uriList, titledList))
        if (std::optional<std::string> address = WebAddressInText(page.Url))
            return BrowserAnswer({*address, page.Title});
    if (std::optional<std::string> address = WebAddressInText(text))
        return BrowserAnswer({*address, {}});
    return std::nullopt;
}

} // namespace gathra
