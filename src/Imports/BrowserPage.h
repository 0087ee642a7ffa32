#pragma once
#include "Brief/WebList.h"

#include <optional>
#include <string>
#include <vector>

namespace gathra {

// A page a browser shows or hands over: its address and, where known, its title.
struct BrowserPage {
    std::string Url;
    std::string Title;
    bool operator==(const BrowserPage&) const = default;
};

// The browser's answer text: the address in double quotes, a comma, the title in double quotes
// (the address again when the page has no title).
std::string BrowserAnswer(const BrowserPage& page);

// Fills a new web entry from the browser's answer text (quoted address, comma, quoted title; a
// bare address is taken as both address and name). A title naming "Netscape - [Page]" gives
// "Page".
void ApplyBrowserAnswer(TWebPage& entry, const std::string& text);
// AddFromBrowser: the answer becomes a new web entry, the brief's first. None when the brief is
// full.
TWebPage* AddFromBrowser(TWebList& list, const std::string& text);

// A dropped or pasted page: address and name (the address when there is no title).
void ApplyBrowserPage(TWebPage& entry, const BrowserPage& page);

// A web address (http, https or ftp) making up the whole text, blanks around it aside.
std::optional<std::string> WebAddressInText(const std::string& text);
// The addresses of a text/uri-list ("#" lines are comments), with titles from a list of
// address and title lines (text/x-moz-url, _NETSCAPE_URL) where that names the same address.
std::vector<BrowserPage> PagesFromUriList(const std::string& uriList,
                                          const std::string& titledList = {});

// The page a clipboard offers, as the browser's answer text: the first web address of its URL
// list (with its title where the titled list names it), else a web address making up its text.
std::optional<std::string> ClipboardAnswer(const std::string& uriList,
                                           const std::string& titledList, const std::string& text);

} // namespace gathra
