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

// The page named by the answer text of a browser's window-info request (quoted address, comma,
// quoted title; a bare address is taken as both address and title). That answer wraps the title
// in the browser's caption: "Netscape - [Page]" gives "Page". Only that answer is read this way;
// a title from anywhere else is the page's own and is kept whole.
BrowserPage PageFromBrowserAnswer(const std::string& text);
// Fills a new web entry from the browser's answer text, as PageFromBrowserAnswer reads it.
void ApplyBrowserAnswer(TWebPage& entry, const std::string& text);
// AddFromBrowser: the answer becomes a new web entry, the brief's first. None when the brief is
// full.
TWebPage* AddFromBrowser(TWebList& list, const std::string& text);

// A page read from a session store, the clipboard or a drop: address and name (the address when
// there is no title). The title is kept as it is.
void ApplyBrowserPage(TWebPage& entry, const BrowserPage& page);
// The page becomes a new web entry, the brief's first. None when the brief is full.
TWebPage* AddBrowserPage(TWebList& list, const BrowserPage& page);

// A web address (http, https or ftp) making up the whole text, blanks around it aside.
std::optional<std::string> WebAddressInText(const std::string& text);
// The addresses of a text/uri-list ("#" lines are comments), with titles from a list of
// address and title lines (text/x-moz-url, _NETSCAPE_URL) where that names the same address.
std::vector<BrowserPage> PagesFromUriList(const std::string& uriList,
                                          const std::string& titledList = {});

// The page a clipboard offers: the first web address of its URL list (with its title where the
// titled list names it), else a web address making up its text.
std::optional<BrowserPage> ClipboardPage(const std::string& uriList, const std::string& titledList,
                                         const std::string& text);

} // namespace gathra
