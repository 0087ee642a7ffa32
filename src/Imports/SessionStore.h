#pragma once
#include "Imports/BrowserPage.h"
#include "Platform/UserFolders.h"

#include <optional>
#include <string>
#include <vector>

namespace gathra {

// The page a Firefox-family browser shows, read from the session store it keeps on disk
// (<profile>/sessionstore-backups/recovery.jsonlz4).

// The profile folders a profiles.ini names ("Path=" of its profiles, "Default=" of its
// installs), relative ones resolved against the folder that holds the file.
std::vector<std::string> ProfileFoldersFromIni(const std::string& iniText,
                                               const std::string& iniFolder);
// Every session store the user's browsers may keep: each profile of ~/.mozilla/firefox, of the
// snap package and of the flatpak. Only the paths; they need not exist.
std::vector<std::string> SessionStoreCandidates(const std::string& home);
// The most recently written of the existing candidates.
std::optional<std::string> NewestSessionStore(const std::vector<std::string>& candidates);
// The current page of the selected tab of the selected window of a session's JSON text; none
// when the text is not such a session.
std::optional<BrowserPage> SelectedPageInSession(const std::string& json);
// All of it for the user whose home folder is `home`: the newest session store's selected page.
std::optional<BrowserPage> CurrentSessionPage(const std::string& home);

} // namespace gathra
