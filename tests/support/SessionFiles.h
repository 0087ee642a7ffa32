#pragma once
#include <filesystem>
#include <string>

namespace gathra::test {

// A "mozLz40" file body holding `text` as one LZ4 block made of literals only (a valid block
// that needs no compressor).
std::string MozLz4Bytes(const std::string& text);

// The JSON of a session whose selected window's selected tab shows `url` with `title`.
std::string SessionJson(const std::string& url, const std::string& title);

// Writes <home>/.mozilla/firefox/profiles.ini naming profile `name` (relative) and that
// profile's session store holding `json`; answers the session store's path.
std::filesystem::path WriteFirefoxSession(const std::filesystem::path& home,
                                          const std::string& name, const std::string& json,
                                          const std::string& root = ".mozilla/firefox");

} // namespace gathra::test
