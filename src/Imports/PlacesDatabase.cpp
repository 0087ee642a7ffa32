// Reads the bookmarks of a Firefox profile's places.sqlite (through Platform/Sqlite).
#include "Imports/BookmarkFile.h"
#include "Platform/Sqlite.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace gathra {

namespace {

namespace fs = std::filesystem;

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

// Every row of moz_bookmarks with its address, grouped by parent in the browser's order; false
// when the file is no places database.
bool ReadRows(SqliteDatabase& db, std::map<long long, std::vector<PlacesRow>>& children,
              long long& root) {
    static const char* const query =
        "SELECT b.id, b.parent, b.type, IFNULL(b.title, ''), IFNULL(p.url, ''), "
        "IFNULL(b.guid, '') FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk "
        "ORDER BY b.parent, b.position, b.id";
    SqliteStatement statement = db.Prepare(query);
    if (!statement.Ok()) return false;
    root = -1;
    while (statement.Step()) {
        PlacesRow row;
        row.Id = statement.Int(0);
        const long long parent = statement.Int(1);
        row.Type = static_cast<int>(statement.Int(2));
        row.Title = statement.Text(3);
        row.Url = statement.Text(4);
        row.Guid = statement.Text(5);
        if (row.Guid == "root________" || (root < 0 && parent == 0)) root = row.Id;
        children[parent].push_back(std::move(row));
    }
    return !statement.Failed() && root >= 0;
}

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
            SqliteDatabase db;
            if (db.Open(FileUri(copy.Path(), false), SqliteDatabase::Mode::ReadWrite, true) &&
                ReadRows(db, children, root))
                return true;
            children.clear();
        }
    }
    // Without room for a copy, read the file in place without locking it.
    SqliteDatabase db;
    return db.Open(FileUri(path, true), SqliteDatabase::Mode::ReadOnly, true) &&
           ReadRows(db, children, root);
}

} // namespace

std::string_view PlacesLibraryName() {
    return SqliteLibraryName();
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
        } else if (row->Type == 1 && IsImportableAddress(row->Url)) {
            outline.Add(under, row->Title, row->Url);
        }
    }
    return outline;
}

} // namespace gathra
