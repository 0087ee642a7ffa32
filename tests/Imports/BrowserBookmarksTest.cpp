#include "Imports/BookmarkFile.h"
#include "Imports/BrowserProfiles.h"
#include "support/BookmarkTree.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace gathra {
namespace {

using test::TempDir;
using test::Tree;
using test::WriteFileBytes;

// A places database in the shape Firefox keeps, made with SQLite itself. The rows go in out of
// order on purpose: the browser's order is the position within each folder.
class PlacesFile {
public:
    explicit PlacesFile(const std::string& path) {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
        Exec("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title "
             "LONGVARCHAR, frecency INTEGER);"
             "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER "
             "DEFAULT NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, dateAdded "
             "INTEGER, lastModified INTEGER, guid TEXT);"
             "INSERT INTO moz_places VALUES (1, 'https://one.example/', 'ignored', 0),"
             "(2, 'https://two.example/?a=1&b=2', NULL, 0), (3, 'place:sort=8&maxResults=10', "
             "NULL, 0), (4, 'https://toolbar.example/', NULL, 0),"
             "(5, 'https://tagged.example/', NULL, 0), (6, 'https://mobile.example/', NULL, 0),"
             "(8, 'javascript:alert(document.title)', NULL, 0);"
             "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES"
             "(1, 2, NULL, 0, 0, '', 'root________'),"
             "(3, 2, NULL, 1, 1, 'toolbar', 'toolbar_____'),"
             "(2, 2, NULL, 1, 0, 'menu', 'menu________'),"
             "(4, 2, NULL, 1, 2, 'tags', 'tags________'),"
             "(5, 2, NULL, 1, 3, 'unfiled', 'unfiled_____'),"
             "(6, 2, NULL, 1, 4, 'mobile', 'mobile______'),"
             "(11, 1, 2, 10, 1, 'Two', 'b2'),"
             "(10, 2, NULL, 2, 1, 'Caf\xC3\xA9 & more', 'f1'),"
             "(12, 1, 1, 10, 0, 'One', 'b1'),"
             "(13, 3, NULL, 2, 2, NULL, 's1'),"
             "(14, 1, 3, 2, 0, 'Most Visited', 'q1'),"
             "(15, 1, 4, 3, 0, 'On the toolbar', 'b3'),"
             "(16, 2, NULL, 4, 0, 'a tag', 't1'),"
             "(17, 1, 5, 16, 0, NULL, 't2'),"
             "(18, 1, 6, 6, 0, 'Phone', 'b4'),"
             "(19, 2, NULL, 10, 2, 'Empty', 'f2'),"
             "(21, 1, 8, 3, 2, 'Bookmarklet', 'j1');");
    }
    ~PlacesFile() { sqlite3_close(db_); }
    void Exec(const std::string& sql) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
    }

private:
    sqlite3* db_ = nullptr;
};

const char* const PlacesTree = "Bookmarks Menu\n"
                               "  Caf\xC3\xA9 & more\n"
                               "    One <https://one.example/>\n"
                               "    Two <https://two.example/?a=1&b=2>\n"
                               "    Empty\n"
                               "Bookmarks Toolbar\n"
                               "  On the toolbar <https://toolbar.example/>\n"
                               "Other Bookmarks\n"
                               "Mobile Bookmarks\n"
                               "  Phone <https://mobile.example/>\n";

TEST(PlacesDatabase, ReadsTheFoldersAndBookmarksInTheBrowsersOrder) {
    TempDir dir;
    const std::string path = (dir / "places.sqlite").string();
    { PlacesFile places(path); }
    EXPECT_EQ(Tree(ReadPlacesDatabase(path)), PlacesTree);
    // Reading leaves nothing behind beside the database.
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

// Write-ahead logging, as Firefox keeps it, with the bookmark "Recent" still only in the log.
void AddRecentInTheLog(PlacesFile& places) {
    places.Exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                "INSERT INTO moz_places VALUES (7, 'https://recent.example/', NULL, 0);"
                "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES"
                "(20, 1, 7, 3, 1, 'Recent', 'b5');");
}

TEST(PlacesDatabase, ReadsADatabaseThatARunningBrowserHoldsLocked) {
    TempDir dir;
    const std::string path = (dir / "places.sqlite").string();
    PlacesFile places(path);
    // Like a running Firefox: write-ahead logging, a recent change still in the log, and an
    // exclusive lock held.
    AddRecentInTheLog(places);
    ASSERT_TRUE(std::filesystem::exists(path + "-wal"));
    places.Exec("BEGIN EXCLUSIVE; UPDATE moz_bookmarks SET title = 'Pending' WHERE id = 20;");

    const std::string tree = Tree(ReadPlacesDatabase(path));
    EXPECT_NE(tree.find("  On the toolbar <https://toolbar.example/>\n"
                        "  Recent <https://recent.example/>\n"),
              std::string::npos)
        << tree;
    places.Exec("COMMIT;");
}

// The copy of the database (the user's bookmarks and history) goes to a folder of its own under
// $TMPDIR that only this user may enter, and is gone after the read.
TEST(PlacesDatabase, TheCopyGoesToAPrivateFolderInTmpdirAndIsRemoved) {
    TempDir dir;
    TempDir tmp;
    const std::string path = (dir / "places.sqlite").string();
    PlacesFile places(path);
    // A change still in the write-ahead log is seen only through the copy.
    AddRecentInTheLog(places);
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old != nullptr ? old : "";
    struct Case {
        std::string Tmpdir;
        bool Copied;
    } cases[] = {
        {tmp.Path().string() + "/", true},
        {(tmp / "missing").string(), false}, // no room for a copy: read in place
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Tmpdir);
        setenv("TMPDIR", c.Tmpdir.c_str(), 1);
        EXPECT_EQ(PlacesCopyFolderPattern(),
                  tmp.Path().string() + (c.Copied ? "" : "/missing") + "/gathra-places-XXXXXX");
        const std::string tree = Tree(ReadPlacesDatabase(path));
        EXPECT_EQ(tree.find("Recent <https://recent.example/>") != std::string::npos, c.Copied)
            << tree;
        EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));
    }
    unsetenv("TMPDIR");
    EXPECT_EQ(PlacesCopyFolderPattern(), "/tmp/gathra-places-XXXXXX");
    if (old != nullptr) setenv("TMPDIR", saved.c_str(), 1);
}

TEST(ChromiumBookmarks, ReadsTheRootsAndTheirFoldersInTheBrowsersOrder) {
    const char* const json = R"({
       "checksum": "0123",
       "roots": {
          "other": {"children": [{"name": "Elsewhere", "type": "url",
                                  "url": "https://elsewhere.example/"}],
                    "name": "Other bookmarks", "type": "folder"},
          "synced": {"children": [], "name": "Mobile bookmarks", "type": "folder"},
          "bookmark_bar": {"children": [
              {"name": "Caf\u00e9 & more", "type": "url", "url": "https://cafe.example/?a=1&b=2"},
              {"name": "Tools", "type": "folder", "children": [
                  {"name": "Deep", "type": "folder", "children": [
                      {"name": "Bottom", "type": "url", "url": "https://bottom.example/"}]},
                  {"name": "No address", "type": "url"},
                  {"name": "Odd", "type": "other"},
                  "not a node",
                  {"name": "Last", "type": "url", "url": "https://last.example/"},
                  {"name": "Bookmarklet", "type": "url", "url": "javascript:void 0"}]}],
             "name": "Bookmarks bar", "type": "folder"},
          "workspace": {"children": [{"type": "url", "url": "https://w.example/"}],
                        "name": "Workspace", "type": "folder"}
       },
       "version": 1
    })";
    EXPECT_EQ(Tree(ReadChromiumBookmarks(json)),
              "Bookmarks bar\n"
              "  Caf\xC3\xA9 & more <https://cafe.example/?a=1&b=2>\n"
              "  Tools\n"
              "    Deep\n"
              "      Bottom <https://bottom.example/>\n"
              "    Last <https://last.example/>\n"
              "Other bookmarks\n"
              "  Elsewhere <https://elsewhere.example/>\n"
              "Mobile bookmarks\n"
              "Workspace\n"
              "   <https://w.example/>\n");

    for (const char* broken : {"", "{", "[]", "{\"roots\": []}", "{\"roots\": {\"x\": 1}}",
                               "{\"roots\": {\"bookmark_bar\": {\"children\": 5}}}"})
        EXPECT_LE(ReadChromiumBookmarks(broken).Count(), 1) << broken;
}

TEST(ChromiumBookmarks, DeepNestingStaysWithinTheDeepestLevel) {
    std::string json =
        R"({"roots": {"bookmark_bar": {"name": "Bar", "type": "folder", "children": [)";
    const int depth = 5000;
    for (int i = 0; i < depth; ++i)
        json += R"({"name": "F", "type": "folder", "children": [)";
    json += R"({"name": "Bottom", "type": "url", "url": "https://bottom.example/"})";
    for (int i = 0; i < depth; ++i)
        json += "]}";
    json += "]}}}";
    TBookmarkOutline outline = ReadChromiumBookmarks(json);
    ASSERT_EQ(outline.Count(), depth + 2);
    const TBookmarkItem& bottom = outline.Item(outline.Count() - 1);
    EXPECT_EQ(bottom.Text, "Bottom");
    EXPECT_EQ(bottom.Level, TBookmarkOutline::MaxLevels);
}

TEST(BrowserProfiles, FindsTheProfilesThatHoldBookmarks) {
    TempDir home;
    const std::pair<const char*, bool> files[] = {
        {".mozilla/firefox/abc.default-release/places.sqlite", true},
        {".mozilla/firefox/empty.profile/prefs.js", false},
        {"snap/firefox/common/.mozilla/firefox/x.default/places.sqlite", true},
        {".config/chromium/Default/Bookmarks", true},
        {".config/chromium/Profile 1/Bookmarks", true},
        {".config/chromium/System Profile/Preferences", false},
        {".config/google-chrome/Default/Bookmarks", true},
        {".config/microsoft-edge/Default/Bookmarks.bak", false},
    };
    std::vector<std::string> expected;
    for (const auto& [file, found] : files) {
        std::filesystem::path path = home / file;
        std::filesystem::create_directories(path.parent_path());
        WriteFileBytes(path, "x");
        if (found) expected.push_back(path.parent_path().string());
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(BrowserProfileFolders(home.Path().string()), expected);
    EXPECT_TRUE(BrowserProfileFolders((home / "nobody").string()).empty());
}

} // namespace
} // namespace gathra
