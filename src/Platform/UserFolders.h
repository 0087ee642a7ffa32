#pragma once
#include <string>
#include <string_view>

namespace gathra {

// The user's home folder: $HOME, else the password database's; empty when neither is known.
std::string UserHomeFolder();

// The user's folders of the desktop, as the XDG user directories name them ("DOCUMENTS",
// "DESKTOP", "DOWNLOAD"...).
// The folder `name` stands for in the text of a user-dirs.dirs file (lines such as
// XDG_DOCUMENTS_DIR="$HOME/Documents"; "$HOME" only at the start, "\" escapes the next
// character; a path that is neither absolute nor under $HOME counts as unset). Empty when the
// text does not name it. No trailing "/".
std::string XdgUserFolderIn(std::string_view userDirs, std::string_view name,
                            const std::string& home);

// The user's folder `name` as it is on disk: the one $XDG_CONFIG_HOME/user-dirs.dirs (else
// ~/.config/user-dirs.dirs) names, when it exists; else home + "/" + `fallback` when that
// exists; else the home folder. No trailing "/".
std::string UserFolder(std::string_view name, std::string_view fallback);

} // namespace gathra
