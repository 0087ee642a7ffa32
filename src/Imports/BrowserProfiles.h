#pragma once
#include <string>
#include <vector>

namespace gathra {

// The profile folders under `home` that hold a browser's own bookmark file: Firefox's
// (places.sqlite, also of its snap and flatpak packages) and those of Chromium, Chrome, Edge,
// Brave and Vivaldi (Bookmarks). Sorted, so that the file dialog lists them the same way each
// time.
std::vector<std::string> BrowserProfileFolders(const std::string& home);

// Of those, the profile whose bookmark file changed last (the browser in use), or empty when
// there is none.
std::string LatestBrowserProfileFolder(const std::string& home);

} // namespace gathra
