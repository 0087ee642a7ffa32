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

std::string LatestBrowserProfileFolder(const std::string& home) {
    std::string latest;
    fs::file_time_type latestTime = fs::file_time_type::min();
    for (const std::string& folder : BrowserProfileFolders(home)) {
        std::error_code error;
        fs::file_time_type changed = fs::last_write_time(fs::path(folder) / "places.sqlite", error);
        if (error) changed = fs::last_write_time(fs::path(folder) / "Bookmarks", error);
        if (!error && (latest.empty() || changed > latestTime)) {
            latest = folder;
            latestTime = changed;
        }
    }
    return latest;
}

} // namespace gathra
