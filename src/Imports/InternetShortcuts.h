#pragma once
#include "Brief/WebPage.h"
#include "Platform/Dialogs.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

inline constexpr const char* kShortcutLoadingErrorCaption = "Shortcut Loading Error";

// The one message after an import that skipped files: it names each of them (by file name).
std::string SkippedShortcutsText(const std::vector<std::string>& fileNames);

// Windows Internet shortcuts (".URL") and freedesktop link files (".desktop"), told apart by the
// extension compared in upper case. Other files are no shortcuts.
enum class ShortcutKind { None, InternetShortcut, DesktopLink };
ShortcutKind ShortcutKindOf(const std::string& path);

// The name an imported shortcut's entry gets: the file name without its extension.
std::string ShortcutEntryName(const std::string& path);

// The address of an Internet shortcut: the "URL=" value of its "[InternetShortcut]" section up
// to the end of its line. A file without that section is read the way the first shortcuts were
// written ("[InternetShortcut]", a line end, "URL=" and the address): the text from four bytes
// after the first "]" and the line ends and tabs that follow it, up to the end of that line.
// Empty when the file holds no "]" or its section no "URL=".
std::string InternetShortcutAddress(std::string_view text);

// The address of a freedesktop link file ("[Desktop Entry]" with "Type=Link" and "URL="), or
// none when the file is no link.
std::optional<std::string> DesktopLinkAddress(std::string_view text);
// The "Name=" of a freedesktop link file (what file managers show for it); empty when it has
// none.
std::string DesktopLinkName(std::string_view text);

// Makes one web entry of each shortcut file, from the last path to the first, skipping files
// that are no shortcuts. `newEntry` inserts a new web entry at the top of the brief (nullptr
// when the brief is full). An Internet shortcut is named after its file, a link file after its
// "Name=" (else its file). A shortcut file that is no link to a page (it cannot be read, holds
// no address, or is a ".desktop" file of another type) is skipped, and the files skipped are
// named in one message at the end. Returns how many entries were made.
int ImportShortcutFiles(const std::vector<std::string>& paths,
                        const std::function<TWebPage*()>& newEntry, Dialogs& dialogs);

} // namespace gathra
