#include "Imports/SessionStore.h"

#include "Imports/MozLz4File.h"
#include "Platform/WholeFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>

namespace fs = std::filesystem;

namespace gathra {

namespace {

// Where Firefox-family browsers keep their profiles.ini, relative to the home folder.
constexpr const char* BrowserRoots[] = {
    ".mozilla/firefox",
    "snap/firefox/common/.mozilla/firefox",
    ".var/app/org.mozilla.firefox/.mozilla/firefox",
};

std::string ReadSmallFile(const fs::path& path) {
    return std::move(ReadWholeFile(path.string()).Bytes);
}

} // namespace

std::vector<std::string> ProfileFoldersFromIni(const std::string& iniText,
                                               const std::string& iniFolder) {
    std::vector<std::string> folders;
    std::istringstream lines(iniText);
    std::string line;
    std::string path;
    bool relative = true;
    auto flush = [&] {
        if (path.empty()) return;
        std::string full =
            relative && path[0] != '/' ? (fs::path(iniFolder) / path).string() : path;
        if (std::find(folders.begin(), folders.end(), full) == folders.end())
            folders.push_back(std::move(full));
        path.clear();
        relative = true;
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            flush();
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "Path" || key == "Default")
            path = value;
        else if (key == "IsRelative")
            relative = value != "0";
    }
    flush();
    return folders;
}

std::vector<std::string> SessionStoreCandidates(const std::string& home) {
    std::vector<std::string> stores;
    for (const char* root : BrowserRoots) {
        const fs::path folder = fs::path(home) / root;
        std::error_code ec;
        if (!fs::is_regular_file(folder / "profiles.ini", ec)) continue;
        for (const std::string& profile :
             ProfileFoldersFromIni(ReadSmallFile(folder / "profiles.ini"), folder.string()))
            stores.push_back(
                (fs::path(profile) / "sessionstore-backups" / "recovery.jsonlz4").string());
    }
    return stores;
}

std::optional<std::string> NewestSessionStore(const std::vector<std::string>& candidates) {
    std::optional<std::string> newest;
    fs::file_time_type newestTime;
    for (const std::string& candidate : candidates) {
        std::error_code ec;
        if (!fs::is_regular_file(candidate, ec)) continue;
        const fs::file_time_type written = fs::last_write_time(candidate, ec);
        if (ec) continue;
        if (!newest || written > newestTime) {
            newest = candidate;
            newestTime = written;
        }
    }
    return newest;
}

std::optional<BrowserPage> CurrentSessionPage(const std::string& home) {
    std::optional<std::string> store = NewestSessionStore(SessionStoreCandidates(home));
    if (!store) return std::nullopt;
    std::optional<std::string> json = ReadMozLz4File(*store);
    if (!json) return std::nullopt;
    return SelectedPageInSession(*json);
}

} // namespace gathra
