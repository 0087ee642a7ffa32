#include "Imports/InternetShortcuts.h"

#include "Imports/BookmarkEntries.h"
#include "Text/StoredText.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace gathra {

namespace {

// Shortcut files are a few hundred bytes; an address longer than this is no address.
constexpr std::size_t kMostShortcutBytes = 64 * 1024;
// The first shortcuts were read from their first 1,000 bytes.
constexpr std::size_t kClassicShortcutBytes = 1000;

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Calls `visit(section, key, value)` for every "key=value" line, the section being the name
// in brackets of the last section line above it (in upper case; keys too).
template <class Visit> void ForEachKey(std::string_view text, Visit visit) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3); // a UTF-8 byte order mark
    std::string section;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && !IsLineEnd(text[end]))
            ++end;
        std::string_view line = Trimmed(text.substr(at, end - at), " \t");
        at = end;
        while (at < text.size() && IsLineEnd(text[at]))
            ++at;
        if (!line.empty() && line.front() == '[') {
            size_t close = line.find(']');
            section = Uppered(
                line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        visit(section, Uppered(Trimmed(line.substr(0, eq), " \t")), line.substr(eq + 1));
    }
}

// The classic reading: past the first "]", its line ends and tabs, then four bytes ("URL=").
std::string ClassicAddress(std::string_view text) {
    text = text.substr(0, kClassicShortcutBytes);
    size_t close = text.find(']');
    if (close == std::string_view::npos) return {};
    size_t at = close + 1;
    while (at < text.size() && (IsLineEnd(text[at]) || text[at] == '\t'))
        ++at;
    at += 4;
    if (at >= text.size()) return {};
    size_t end = at;
    while (end < text.size() && !IsLineEnd(text[end]))
        ++end;
    return std::string(text.substr(at, end - at));
}

// Undoes the escapes of a desktop entry value (\s \n \t \r \\).
std::string DesktopValue(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        char c = value[++i];
        out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::optional<std::string> ReadHead(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string text(kMostShortcutBytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) return std::nullopt;
    text.resize(static_cast<size_t>(file.gcount()));
    return text;
}

} // namespace

ShortcutKind ShortcutKindOf(const std::string& path) {
    std::string upper = Uppered(path);
    auto endsWith = [&upper](std::string_view tail) {
        return upper.size() >= tail.size() &&
               std::string_view(upper).substr(upper.size() - tail.size()) == tail;
    };
    if (endsWith(".URL")) return ShortcutKind::InternetShortcut;
    if (endsWith(".DESKTOP")) return ShortcutKind::DesktopLink;
    return ShortcutKind::None;
}

std::string ShortcutEntryName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string InternetShortcutAddress(std::string_view text) {
    bool inSection = false;
    std::optional<std::string> url;
    ForEachKey(text,
               [&](const std::string& section, const std::string& key, std::string_view value) {
                   if (section != "INTERNETSHORTCUT") return;
                   inSection = true;
                   if (key == "URL" && !url) url = std::string(value);
               });
    if (url) return *url;
    // A section line with no key after it still counts as the section.
    if (inSection ||
        Uppered(text.substr(0, kMostShortcutBytes)).find("[INTERNETSHORTCUT]") != std::string::npos)
        return {};
    return ClassicAddress(text);
}

std::string DesktopLinkName(std::string_view text) {
    std::optional<std::string> name;
    ForEachKey(text,
               [&](const std::string& section, const std::string& key, std::string_view value) {
                   if (section == "DESKTOP ENTRY" && key == "NAME" && !name)
                       name = DesktopValue(Trimmed(value));
               });
    return name.value_or(std::string());
}

std::string SkippedShortcutsText(const std::vector<std::string>& fileNames) {
    std::string text = fileNames.size() == 1
                           ? "This file is not a link to a web page, and Gathra Light skipped it: "
                           : "These files are not links to web pages, and Gathra Light skipped "
                             "them: ";
    for (size_t i = 0; i < fileNames.size(); ++i)
        text += (i == 0 ? "" : ", ") + fileNames[i];
    return text + ".";
}

std::optional<std::string> DesktopLinkAddress(std::string_view text) {
    bool link = false;
    std::optional<std::string> url;
    ForEachKey(text,
               [&](const std::string& section, const std::string& key, std::string_view value) {
                   if (section != "DESKTOP ENTRY") return;
                   if (key == "TYPE") link = Trimmed(value, " \t") == "Link";
                   // KDE writes the key as "URL[$e]" (the value may use environment variables).
                   if ((key == "URL" || key == "URL[$E]") && !url) url = DesktopValue(value);
               });
    if (!link || !url) return std::nullopt;
    return url;
}

int ImportShortcutFiles(const std::vector<std::string>& paths,
                        const std::function<TWebPage*()>& newEntry, Dialogs& dialogs) {
    int made = 0;
    std::vector<std::string> skipped;
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        const ShortcutKind kind = ShortcutKindOf(*path);
        if (kind == ShortcutKind::None) continue;
        std::optional<std::string> text = ReadHead(*path);
        std::optional<std::string> address;
        std::string name = ShortcutEntryName(*path);
        if (text && kind == ShortcutKind::InternetShortcut) {
            address = InternetShortcutAddress(*text);
        } else if (text) {
            address = DesktopLinkAddress(*text);
            const std::string shown = DesktopLinkName(*text);
            if (!shown.empty()) name = BookmarkEntryName(shown);
        }
        // An address a brief cannot store is no address either.
        if (!address || address->empty() || address->size() > MaxStoredTextBytes) {
            skipped.push_back(std::filesystem::path(*path).filename().string());
            continue;
        }
        TWebPage* entry = newEntry();
        if (entry == nullptr) break;
        entry->EntryName = std::move(name);
        // The name counts as given: an entry without one is shown by its address once the
        // brief is read again.
        entry->NameSet = 1;
        entry->Address = *address;
        ++made;
    }
    if (!skipped.empty()) {
        // Named in the order the files were chosen.
        std::reverse(skipped.begin(), skipped.end());
        dialogs.ShowMessage(SkippedShortcutsText(skipped), kShortcutLoadingErrorCaption, false);
    }
    return made;
}

} // namespace gathra
