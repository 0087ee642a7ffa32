#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

// Runs a program (argv[0] looked up on PATH, no shell) and gives back what it wrote to standard
// output, or nothing when it could not be started or did not exit with status 0.
using CommandRunner =
    std::function<std::optional<std::string>(const std::vector<std::string>& argv)>;

// The real runner: posix_spawnp with standard output on a pipe and standard error discarded.
std::optional<std::string> RunCommand(const std::vector<std::string>& argv);

// Where the desktop keeps its .desktop files, most important first: $XDG_DATA_HOME (else
// ~/.local/share) and each folder of $XDG_DATA_DIRS (else /usr/local/share:/usr/share), each
// with "/applications" appended.
std::vector<std::filesystem::path> DesktopApplicationFolders();

// The registry of the current user, kept in a text file. Each line holds one key path (relative
// to HKEY_CURRENT_USER), "=", and the key's default value in double quotes. Values are byte
// strings: a backslash, a double quote and every byte outside printable ASCII are escaped, so
// any value (zero bytes, CR, LF included) comes back exactly as written. Every write reads the
// file afresh, changes one value and replaces the file through a temporary file in the same
// folder (mode 0600), so that an interrupted save leaves the previous file whole. Lines that
// cannot be read are skipped when reading and kept as they are when the file is rewritten.
class Registry {
public:
    // The key under which every setting of the program lives.
    static constexpr std::string_view BaseKey = "Software\\Orsolo Development\\Gathra Light";

    // The registry file at `file`. HKEY_CLASSES_ROOT reads run `run` (xdg-mime) and look for
    // .desktop files in `applicationFolders`.
    explicit Registry(
        std::filesystem::path file, CommandRunner run = RunCommand,
        std::vector<std::filesystem::path> applicationFolders = DesktopApplicationFolders());

    // $GATHRA_CONFIG_DIR/registry, else $XDG_CONFIG_HOME/gathralight/registry, else
    // ~/.config/gathralight/registry (empty variables count as unset).
    static std::filesystem::path DefaultFile();

    const std::filesystem::path& File() const { return file_; }

    // The default value of the subkey `name` of the group key `group` under BaseKey; nothing
    // when the key or the file is missing or unreadable.
    std::optional<std::string> ReadValue(std::string_view group, std::string_view name) const;
    // Sets that value; false when the file could not be written (the old file then stays).
    bool WriteValue(std::string_view group, std::string_view name, std::string_view value);

    // The same for any key path below HKEY_CURRENT_USER ("A\\B\\C").
    std::optional<std::string> ReadKeyDefault(std::string_view keyPath) const;
    bool WriteKeyDefault(std::string_view keyPath, std::string_view value);

    // The default value of a key of HKEY_CLASSES_ROOT. Only the HTML file association is known:
    // ".htm" names a file class, and "CLASS\shell\open\command" gives the command line of the
    // desktop's default HTML handler as `PROGRAM "%1"`, else `xdg-open "%1"`.
    std::optional<std::string> ReadClassesRoot(std::string_view keyPath) const;

    // Lines of the file that the last read skipped because they could not be understood.
    int UnreadableLines() const { return unreadableLines_; }
    // Writes that failed since this object was made.
    int FailedWrites() const { return failedWrites_; }

    // The escaped forms used in the file, exposed for tests and tools.
    static std::string EscapeValue(std::string_view value);
    static std::optional<std::string> UnescapeValue(std::string_view quoted);

private:
    struct Contents {
        std::map<std::string, std::string> Values;
        std::vector<std::string> UnreadableLines;
        bool Readable = true; // false: the file exists but could not be read
    };
    Contents Load() const;
    bool Save(const Contents& contents) const;
    std::optional<std::string> HtmlHandlerCommand(std::string_view desktopId) const;

    std::filesystem::path file_;
    CommandRunner run_;
    std::vector<std::filesystem::path> applicationFolders_;
    mutable int unreadableLines_ = 0;
    int failedWrites_ = 0;
};

// The program named by a .desktop file's Exec line: its first word with the quoting and escapes
// of desktop entries removed ("env" and its VAR=VALUE words skipped). Empty when there is none.
std::string ExecProgram(std::string_view desktopFileText);

} // namespace gathra
