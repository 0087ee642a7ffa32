#include "Platform/Registry.h"

#include "Platform/ExecLine.h"
#include "Platform/ProcessStart.h"
#include "Platform/SafeSave.h"
#include "Platform/WholeFile.h"
#include "Text/AsciiText.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gathra {

namespace {

constexpr std::string_view kHeader =
    "# Gathra Light registry. One key per line: its path below HKEY_CURRENT_USER, \"=\", and its\n"
    "# default value in double quotes (\\\\ \\\" \\0 \\t \\r \\n \\xHH escape the other bytes).\n";

bool IsHeaderLine(std::string_view line) {
    std::string_view header = kHeader;
    while (!header.empty()) {
        size_t newline = header.find('\n');
        if (header.substr(0, newline) == line) return true;
        header.remove_prefix(newline == std::string_view::npos ? header.size() : newline + 1);
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr char kHex[] = "0123456789ABCDEF";

// Key paths keep their backslashes as separators, so their own escapes use "%HH".
std::string EscapeKey(std::string_view key) {
    std::string out;
    for (char ch : key) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F || c == '%' || c == '=' || c == '"') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<std::string> UnescapeKey(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int high = HexDigit(text[i + 1]);
        int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string JoinKey(std::string_view group, std::string_view name) {
    std::string key(Registry::BaseKey);
    key += '\\';
    key += group;
    key += '\\';
    key += name;
    return key;
}

bool IsBlank(std::string_view line) {
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r') return false;
    return true;
}

// A desktop file's line or a tool's answer without the blanks, line ends and NUL bytes around it.
std::string TrimmedLine(std::string_view text) {
    return std::string(Trimmed(text, std::string_view(" \t\r\n\0", 5)));
}

std::string ProgramOnPath(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    if (path == nullptr) return program;
    std::string_view folders(path);
    while (!folders.empty()) {
        size_t colon = folders.find(':');
        std::string_view folder = folders.substr(0, colon);
        if (!folder.empty()) {
            std::string candidate = std::string(folder) + "/" + program;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string_view::npos) break;
        folders.remove_prefix(colon + 1);
    }
    return program;
}

// The general escapes of desktop entry values (\s \n \t \r \\); others stay as written, since
// the Exec quoting rules give their backslashes a meaning of their own.
std::string UnescapeDesktopValue(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            char next = value[i + 1];
            const char* replacement = nullptr;
            switch (next) {
            case 's':
                replacement = " ";
                break;
            case 'n':
                replacement = "\n";
                break;
            case 't':
                replacement = "\t";
                break;
            case 'r':
                replacement = "\r";
                break;
            case '\\':
                replacement = "\\";
                break;
            default:
                break;
            }
            if (replacement != nullptr) {
                out += replacement;
                ++i;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

} // namespace

std::string ExecProgram(std::string_view text) {
    bool inDesktopEntry = false;
    while (!text.empty()) {
        size_t newline = text.find('\n');
        std::string line = TrimmedLine(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.front() == '[') {
            inDesktopEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inDesktopEntry || line.rfind("Exec", 0) != 0) continue;
        std::string_view rest = std::string_view(line).substr(4);
        size_t equals = rest.find('=');
        if (equals == std::string_view::npos || !IsBlank(rest.substr(0, equals))) continue;
        std::vector<std::string> words =
            SplitExecLine(UnescapeDesktopValue(TrimmedLine(rest.substr(equals + 1))));
        size_t first = 0;
        if (first < words.size() && words[first] == "env") {
            ++first;
            while (first < words.size()) {
                const std::string& word = words[first];
                if (word == "-u" || word == "--unset" || word == "-C" || word == "--chdir")
                    first += 2; // an option with its argument
                else if (word.rfind("-", 0) == 0 || word.find('=') != std::string::npos)
                    ++first;
                else
                    break;
            }
        }
        return first < words.size() ? words[first] : std::string();
    }
    return {};
}

std::optional<std::string> RunCommand(const std::vector<std::string>& argv) {
    return RunCommandWithin(argv, kHelperProgramBound);
}

std::vector<std::filesystem::path> DesktopApplicationFolders() {
    std::vector<std::filesystem::path> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome != nullptr && *dataHome != '\0')
        folders.emplace_back(std::filesystem::path(dataHome) / "applications");
    else if (home != nullptr && *home != '\0')
        folders.emplace_back(std::filesystem::path(home) / ".local/share/applications");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view dirs =
        (dataDirs != nullptr && *dataDirs != '\0') ? dataDirs : "/usr/local/share:/usr/share";
    while (!dirs.empty()) {
        size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty()) folders.emplace_back(std::filesystem::path(dir) / "applications");
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return folders;
}

Registry::Registry(std::filesystem::path file, CommandRunner run,
                   std::vector<std::filesystem::path> applicationFolders)
    : file_(std::move(file)), run_(std::move(run)),
      applicationFolders_(std::move(applicationFolders)) {}

std::filesystem::path Registry::DefaultFile() {
    auto variable = [](const char* name) -> std::string {
        const char* value = std::getenv(name);
        return value != nullptr ? value : "";
    };
    if (std::string dir = variable("GATHRA_CONFIG_DIR"); !dir.empty())
        return std::filesystem::path(dir) / "registry";
    if (std::string dir = variable("XDG_CONFIG_HOME"); !dir.empty())
        return std::filesystem::path(dir) / "gathralight" / "registry";
    std::string home = variable("HOME");
    return std::filesystem::path(home.empty() ? "." : home) / ".config" / "gathralight" /
           "registry";
}

std::string Registry::EscapeValue(std::string_view value) {
    std::string out = "\"";
    for (char ch : value) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case 0:
            out += "\\0";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

std::optional<std::string> Registry::UnescapeValue(std::string_view quoted) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return std::nullopt;
    std::string_view body = quoted.substr(1, quoted.size() - 2);
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '"') return std::nullopt; // an unescaped quote: the line is damaged
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= body.size()) return std::nullopt;
        switch (body[i]) {
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case '0':
            out += '\0';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 'x': {
            if (i + 2 >= body.size()) return std::nullopt;
            int high = HexDigit(body[i + 1]);
            int low = HexDigit(body[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

Registry::Contents Registry::Load() const {
    Contents contents;
    std::error_code error;
    if (!std::filesystem::exists(file_, error)) {
        unreadableLines_ = 0;
        contents.Readable = !error;
        return contents;
    }
    // A settings file past the limit is no settings file: it is neither read nor rewritten.
    WholeFile file = ReadWholeFile(file_.string());
    if (!file.Ok()) {
        contents.Readable = false;
        return contents;
    }
    const std::string& text = file.Bytes;
    std::map<std::string, std::string> folded; // folded key -> key as first written
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t newline = rest.find('\n');
        std::string_view line = rest.substr(0, newline);
        rest.remove_prefix(newline == std::string_view::npos ? rest.size() : newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (IsBlank(line)) continue;
        if (line.front() == '#') {
            if (!IsHeaderLine(line))
                contents.UnreadableLines.emplace_back(line); // someone's note: keep it
            continue;
        }
        size_t equals = line.find('=');
        std::optional<std::string> key;
        std::optional<std::string> value;
        if (equals != std::string_view::npos && equals > 0) {
            key = UnescapeKey(line.substr(0, equals));
            value = UnescapeValue(line.substr(equals + 1));
        }
        if (!key || !value) {
            contents.UnreadableLines.emplace_back(line);
            continue;
        }
        // Key names compare without regard to case; the file keeps the case first written.
        auto [where, fresh] = folded.emplace(Lowered(*key), *key);
        if (!fresh) contents.Values.erase(where->second);
        contents.Values[where->second] = std::move(*value);
    }
    int unreadable = 0;
    for (const std::string& line : contents.UnreadableLines)
        if (line.front() != '#') ++unreadable;
    unreadableLines_ = unreadable;
    return contents;
}

bool Registry::Save(const Contents& contents) const {
    std::string text(kHeader);
    for (const auto& [key, value] : contents.Values)
        text += EscapeKey(key) + "=" + EscapeValue(value) + "\n";
    for (const std::string& line : contents.UnreadableLines)
        text += line + "\n";

    // A settings file that is a symbolic link stays one: the file it names gets the values.
    const std::string target = FileToReplace(file_.string());
    RemoveStaleTemporaries(target);
    std::optional<std::string> temporary = WriteBeside(target, text, 0600, false);
    if (!temporary || !ReplaceWith(*temporary, target)) return false;
    SyncFolder(target);
    return true;
}

std::optional<std::string> Registry::ReadKeyDefault(std::string_view keyPath) const {
    Contents contents = Load();
    std::string folded = Lowered(keyPath);
    for (const auto& [key, value] : contents.Values)
        if (Lowered(key) == folded) return value;
    return std::nullopt;
}

namespace {

// Holds an advisory lock on the registry's folder so that two programs writing settings at the
// same time do not lose each other's values between reading and replacing the file.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& folder)
        : fd_(open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0)
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_); // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

} // namespace

bool Registry::WriteKeyDefault(std::string_view keyPath, std::string_view value) {
    std::filesystem::path folder = file_.parent_path();
    std::error_code error;
    if (!folder.empty() && std::filesystem::create_directories(folder, error))
        chmod(folder.c_str(), 0700); // the settings hold the user's secrets
    FolderLock lock(folder);
    Contents contents = Load();
    // A file that exists but cannot be read must not be replaced by one that lacks its values.
    bool ok = !error && contents.Readable;
    if (ok) {
        std::string folded = Lowered(keyPath);
        std::string key(keyPath);
        for (auto it = contents.Values.begin(); it != contents.Values.end(); ++it)
            if (Lowered(it->first) == folded) {
                key = it->first;
                break;
            }
        contents.Values[key] = std::string(value);
        ok = Save(contents);
    }
    if (!ok) ++failedWrites_;
    return ok;
}

std::optional<std::string> Registry::ReadValue(std::string_view group,
                                               std::string_view name) const {
    return ReadKeyDefault(JoinKey(group, name));
}

bool Registry::WriteValue(std::string_view group, std::string_view name, std::string_view value) {
    return WriteKeyDefault(JoinKey(group, name), value);
}

namespace {
constexpr std::string_view kFallbackClass = "htmlfile";
constexpr std::string_view kOpenCommand = "\\shell\\open\\command";
} // namespace

std::optional<std::string> Registry::ReadClassesRoot(std::string_view keyPath) const {
    if (EqualsNoCase(keyPath, ".htm")) {
        std::optional<std::string> answer;
        if (run_) answer = run_({"xdg-mime", "query", "default", "text/html"});
        std::string desktopId = answer ? TrimmedLine(*answer) : std::string();
        if (desktopId.empty() || desktopId.find('\\') != std::string::npos ||
            desktopId.find('/') != std::string::npos || desktopId.find('\n') != std::string::npos)
            return std::string(kFallbackClass);
        return desktopId;
    }
    if (EndsWithNoCase(keyPath, kOpenCommand)) {
        std::string_view fileClass = keyPath.substr(0, keyPath.size() - kOpenCommand.size());
        if (fileClass.empty()) return std::nullopt;
        if (auto command = HtmlHandlerCommand(fileClass)) return command;
        return std::string("xdg-open \"%1\"");
    }
    return std::nullopt;
}

std::optional<std::string> Registry::HtmlHandlerCommand(std::string_view desktopId) const {
    if (EqualsNoCase(desktopId, kFallbackClass)) return std::nullopt;
    for (const std::filesystem::path& folder : applicationFolders_) {
        std::filesystem::path file = folder / std::string(desktopId);
        WholeFile desktopFile = ReadWholeFile(file.string());
        if (!desktopFile.Ok()) continue;
        std::string program = ExecProgram(desktopFile.Bytes);
        if (program.empty()) continue;
        return ProgramOnPath(program) + " \"%1\"";
    }
    return std::nullopt;
}

} // namespace gathra
