#include "Platform/UserFolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace gathra {

namespace {

bool IsFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The value of one line's quoted text, escapes undone; none when the line has no quotes.
bool QuotedValue(std::string_view line, std::string& value) {
    const size_t open = line.find('"');
    if (open == std::string_view::npos) return false;
    value.clear();
    for (size_t i = open + 1; i < line.size(); ++i) {
        if (line[i] == '"') return true;
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
    }
    return false;
}

} // namespace

std::string UserHomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr)
        return user->pw_dir;
    return {};
}

std::string XdgUserFolderIn(std::string_view userDirs, std::string_view name,
                            const std::string& home) {
    const std::string key = "XDG_" + std::string(name) + "_DIR";
    std::string found;
    size_t at = 0;
    while (at < userDirs.size()) {
        size_t end = userDirs.find('\n', at);
        if (end == std::string_view::npos) end = userDirs.size();
        std::string_view line = userDirs.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.substr(0, key.size()) != key) continue;
        std::string_view rest = line.substr(key.size());
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        std::string value;
        if (rest.empty() || rest.front() != '=' || !QuotedValue(rest, value)) continue;
        // The last line that names the folder counts, as for a shell that sources the file.
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/'))
            found = home.empty() ? std::string() : WithoutTrailingSlashes(home + value.substr(5));
        else if (!value.empty() && value.front() == '/')
            found = WithoutTrailingSlashes(value);
        else
            found.clear();
    }
    return found;
}

std::string UserFolder(std::string_view name, std::string_view fallback) {
    const std::string home = UserHomeFolder();
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string config =
        configHome != nullptr && configHome[0] == '/' ? std::string(configHome) : home + "/.config";
    std::ifstream file(config + "/user-dirs.dirs", std::ios::binary);
    if (file) {
        // The file is a few lines; a longer one is read no further.
        std::string text(64 * 1024, '\0');
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(file.gcount()));
        const std::string folder = XdgUserFolderIn(text, name, home);
        if (IsFolder(folder)) return folder;
    }
    if (!home.empty() && IsFolder(home + "/" + std::string(fallback)))
        return home + "/" + std::string(fallback);
    return WithoutTrailingSlashes(home);
}

} // namespace gathra
