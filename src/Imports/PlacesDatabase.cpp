// Reads the bookmarks of a Firefox profile's places.sqlite. The only user of SQLite.
#include "Platform/SharedLibrary.h"
#include "Imports/BookmarkFile.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#ifndef GATHRA_SQLITE_LIBRARY
#error "GATHRA_SQLITE_LIBRARY must name SQLite's soname (set by the build)"
#endif

namespace gathra {

namespace {

namespace fs = std::filesystem;

// The SQLite functions this file calls. The library is opened on the first read of a places
// database, so the program does not link it: each function is a pointer of its own type, named
// as the function, which stands in for it in every call below.
#define GATHRA_SQLITE_FUNCTIONS(F)                                                                 \
    F(sqlite3_close)                                                                               \
    F(sqlite3_column_bytes)                                                                        \
    F(sqlite3_column_int)                                                                          \
    F(sqlite3_column_int64)                                                                        \
    F(sqlite3_column_text)                                                                         \
    F(sqlite3_finalize)                                                                            \
    F(sqlite3_open_v2)                                                                             \
    F(sqlite3_prepare_v2)                                                                          \
    F(sqlite3_step)

#define GATHRA_SQLITE_POINTER(name) decltype(&::name) name = nullptr;
GATHRA_SQLITE_FUNCTIONS(GATHRA_SQLITE_POINTER)
#undef GATHRA_SQLITE_POINTER

// Opens the library and resolves every function, once for the process. Empty when that
// worked; otherwise why not, as the dynamic linker said it.
const std::string& SqliteLoadError() {
    static const std::string error = [] {
        // Open until the process ends.
        static TSharedLibrary* const library = new TSharedLibrary(GATHRA_SQLITE_LIBRARY);
        bool all = library->Loaded();
#define GATHRA_SQLITE_RESOLVE(name) all = all && library->Resolve(#name, name);
        GATHRA_SQLITE_FUNCTIONS(GATHRA_SQLITE_RESOLVE)
#undef GATHRA_SQLITE_RESOLVE
        return all ? std::string() : library->Error();
    }();
    return error;
}

struct PlacesRow {
    long long Id = 0;
    int Type = 0; // 1 bookmark, 2 folder, 3 separator
    std::string Title;
    std::string Url;
    std::string Guid;
};

// The names Firefox shows for its root folders, whose stored titles are internal names.
std::string RootFolderName(const PlacesRow& row) {
    if (row.Guid == "menu________") return "Bookmarks Menu";
    if (row.Guid == "toolbar_____") return "Bookmarks Toolbar";
    if (row.Guid == "unfiled_____") return "Other Bookmarks";
    if (row.Guid == "mobile______") return "Mobile Bookmarks";
    return row.Title;
}

std::string FileUri(const std::string& path, bool immutable) {
    std::string uri = "file:";
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + (immutable ? "?mode=ro&immutable=1" : "");
}

class Database {
public:
    explicit Database(const std::string& uri, bool readOnly) {
        int flags = SQLITE_OPEN_URI | (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
        if (sqlite3_open_v2(uri.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            sqlite3_close(db_);
            db_ = nullptr;
        }
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Every row of moz_bookmarks with its address, grouped by parent in the browser's order;
    // false when the file is no places database.
    bool ReadRows(std::map<long long, std::vector<PlacesRow>>& children, long long& root) {
        if (db_ == nullptr) return false;
        static const char* const query =
            "SELECT b.id, b.parent, b.type, IFNULL(b.title, ''), IFNULL(p.url, ''), "
            "IFNULL(b.guid, '') FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk "
            "ORDER BY b.parent, b.position, b.id";
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, query, -1, &statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return false;
        }
        root = -1;
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            PlacesRow row;
            row.Id = sqlite3_column_int64(statement, 0);
            const long long parent = sqlite3_column_int64(statement, 1);
            row.Type = sqlite3_column_int(statement, 2);
            row.Title = Text(statement, 3);
            row.Url = Text(statement, 4);
            row.Guid = Text(statement, 5);
            if (row.Guid == "root________" || (root < 0 && parent == 0)) root = row.Id;
            children[parent].push_back(std::move(row));
        }
        sqlite3_finalize(statement);
        return step == SQLITE_DONE && root >= 0;
    }

private:
    static std::string Text(sqlite3_stmt* statement, int column) {
        const unsigned char* text = sqlite3_column_text(statement, column);
        int bytes = sqlite3_column_bytes(statement, column);
        return text == nullptr
                   ? std::string()
                   : std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
    }

    sqlite3* db_ = nullptr;
};

} // namespace

std::string PlacesCopyFolderPattern() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder + "/gathra-places-XXXXXX";
}

namespace {

// A private copy of the database and its write-ahead log, so that a running Firefox (which
// holds the file locked and keeps recent changes in the log) is neither disturbed nor missed.
class PrivateCopy {
public:
    explicit PrivateCopy(const std::string& path) {
        // A folder only this user may enter ($TMPDIR, else /tmp), as the copy holds the user's
        // bookmarks and history.
        std::string pattern = PlacesCopyFolderPattern();
        if (mkdtemp(pattern.data()) == nullptr) return;
        folder_ = pattern;
        std::error_code error;
        const fs::path copy = folder_ / "places.sqlite";
        if (!fs::copy_file(path, copy, error)) return;
        const fs::path wal = path + "-wal";
        if (fs::exists(wal, error) && !fs::copy_file(wal, folder_ / "places.sqlite-wal", error))
            return;
        path_ = copy.string();
    }
    ~PrivateCopy() {
        std::error_code error;
        if (!folder_.empty()) fs::remove_all(folder_, error);
    }
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;
    // Empty when the copy could not be made.
    const std::string& Path() const { return path_; }

private:
    fs::path folder_;
    std::string path_;
};

bool ReadRows(const std::string& path, std::map<long long, std::vector<PlacesRow>>& children,
              long long& root) {
    {
        PrivateCopy copy(path);
        if (!copy.Path().empty()) {
            Database db(FileUri(copy.Path(), false), false);
            if (db.ReadRows(children, root)) return true;
            children.clear();
        }
    }
    // Without room for a copy, read the file in place without locking it.
    Database db(FileUri(path, true), true);
    return db.ReadRows(children, root);
}

} // namespace

std::string_view PlacesLibraryName() {
    return GATHRA_SQLITE_LIBRARY;
}

TBookmarkOutline ReadPlacesDatabase(const std::string& path, std::string* libraryError) {
    TBookmarkOutline outline;
    if (const std::string& error = SqliteLoadError(); !error.empty()) {
        if (libraryError != nullptr) *libraryError = error;
        return outline;
    }
    std::map<long long, std::vector<PlacesRow>> children;
    long long root = -1;
    if (!ReadRows(path, children, root)) return outline;

    // Depth first with an explicit stack: (row, the outline item it goes under).
    std::vector<std::pair<const PlacesRow*, int>> stack;
    std::set<long long> seen{root};
    auto pushChildren = [&](long long id, int under) {
        auto it = children.find(id);
        if (it == children.end()) return;
        for (auto row = it->second.rbegin(); row != it->second.rend(); ++row)
            stack.push_back({&*row, under});
    };
    pushChildren(root, -1);
    while (!stack.empty()) {
        auto [row, under] = stack.back();
        stack.pop_back();
        if (!seen.insert(row->Id).second) continue; // a damaged file may loop
        if (row->Type == 2) {
            if (under < 0 && row->Guid == "tags________") continue; // tags, not bookmarks
            int folder = outline.Add(under, under < 0 ? RootFolderName(*row) : row->Title, "");
            pushChildren(row->Id, folder);
        } else if (row->Type == 1 && !row->Url.empty() && row->Url.rfind("place:", 0) != 0) {
            // "place:" addresses are the browser's saved searches of its own history.
            outline.Add(under, row->Title, row->Url);
        }
    }
    return outline;
}

} // namespace gathra
