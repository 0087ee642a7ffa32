#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

// Splits a command line as a desktop file's Exec line is split, without a shell: blanks (space,
// tab, line ends) separate arguments; double quotes group, and inside them a backslash escapes
// `"`, `` ` ``, `$` and `\` (before any other character it stays as written). Two forms people
// type into a browser path are taken too: single quotes group literally, and a backslash outside
// quotes escapes the next character. An unclosed quote runs to the end of the line. The general
// escapes of a desktop file's values (`\s`, `\\`, ...) are undone before this, by the reader.
std::vector<std::string> SplitExecLine(std::string_view line);

} // namespace gathra
