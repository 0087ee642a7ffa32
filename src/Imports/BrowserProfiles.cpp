#include "Imports/BrowserProfiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace gathra {

namespace {

namespace fs = std::filesystem;

// Adds every folder directly inside `parent` that holds `file`.
void AddProfiles(const fs::path& parent, const char* file, std::vector<std::string>& out) {
    std::error_code error;
    fs::directory_iterator it(parent, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (it->is_directory(ignored) && fs::is_regular_file(it->path() / file, ignored))
            out.push_back(it->path().string());
    }
}

} // namespace

std::vector<std::string> BrowserProfileFolders(const std::string& home) {
    const fs::path h(home);
    std::vector<std::string> out;
    for (const char* firefox : {".mozilla/firefox", "snap/firefox/common/.mozilla/firefox",
                                ".var/app/org.mozilla.firefox/.mozilla/firefox"})
        AddProfiles(h / firefox, "places.sqlite", out);
    for (const char* chromium :
         {".config/chromium", ".config/google-chrome", ".config/google-chrome-beta",
          ".config/microsoft-edge", ".config/BraveSoftware/Brave-Browser", ".config/vivaldi",
          "snap/chromium/common/chromium", ".var/app/org.chromium.Chromium/config/chromium"})
        AddProfiles(h / chromium, "Bookmarks", out);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace gathra
