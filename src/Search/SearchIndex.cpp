#include "Search/SearchIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>

namespace gathra {

namespace {

// The full-text table keeps no copy of the text (its words only, which keeps the index well
// under the size of the pages): titles, addresses and the rest of a page's row are in `docs`,
// snippets are made from the stored file. Postings whose text can no longer be read back to
// delete them (a run folder reused or gone) are left behind in `dead` ranges, which every
// search leaves out, until the next rebuild.
constexpr std::string_view kSchema =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT);"
    "CREATE TABLE IF NOT EXISTS runs(id INTEGER PRIMARY KEY, folder TEXT NOT NULL,"
    " archive TEXT NOT NULL, stamp TEXT NOT NULL, sortable TEXT NOT NULL,"
    " first_row INTEGER NOT NULL DEFAULT 0, last_row INTEGER NOT NULL DEFAULT -1);"
    "CREATE TABLE IF NOT EXISTS docs(id INTEGER PRIMARY KEY, run INTEGER NOT NULL,"
    " title TEXT, address TEXT, entry TEXT, file TEXT);"
    "CREATE TABLE IF NOT EXISTS dead(first_row INTEGER NOT NULL, last_row INTEGER NOT NULL);"
    "CREATE VIRTUAL TABLE IF NOT EXISTS pages USING fts5(title, body, address, content = '',"
    " tokenize = 'unicode61 remove_diacritics 2');"
    // Title words weigh most, then the address, then the text.
    "INSERT INTO pages(pages, rank) VALUES('rank', 'bm25(8.0, 1.0, 3.0)');"
    "INSERT OR IGNORE INTO meta VALUES('format', 'gathra-search-2');";

constexpr std::string_view kSnippetTable =
    "CREATE VIRTUAL TABLE IF NOT EXISTS temp.snippets USING fts5(title, body, address,"
    " tokenize = 'unicode61 remove_diacritics 2');"
    "DELETE FROM temp.snippets;";

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

bool SameArchivePath(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] == '\\' ? '/' : a[i];
        const char y = b[i] == '\\' ? '/' : b[i];
        if (x != y) return false;
    }
    return true;
}

int Number(std::string_view text, size_t& at, size_t maxDigits) {
    int value = 0;
    size_t digits = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < maxDigits) {
        value = value * 10 + (text[at++] - '0');
        ++digits;
    }
    return digits == 0 ? -1 : value;
}

std::uint32_t BigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

// What is wrong with a database file that SQLite would only find on reading the missing part:
// a file shorter than its header says it is (cut off by a full disk or a bad copy), or one that
// is no database at all. Empty when the file looks whole (or is empty: a new index).
std::string ShortFileProblem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st {};
    unsigned char header[100] = {};
    const bool statted = ::fstat(fd, &st) == 0;
    const ssize_t got = statted && st.st_size > 0 ? ::pread(fd, header, sizeof header, 0) : 0;
    ::close(fd);
    if (!statted || st.st_size == 0) return {};
    if (got != static_cast<ssize_t>(sizeof header) ||
        std::string_view(reinterpret_cast<const char*>(header), 16) !=
            std::string_view("SQLite format 3\0", 16))
        return "the file is not a database";
    std::uint64_t pageSize = (std::uint32_t{header[16]} << 8) | header[17];
    if (pageSize == 1) pageSize = 65536;
    const std::uint32_t pages = BigEndian32(header + 28);
    // The page count in the header is valid only when its version number matches the file's
    // change counter.
    if (BigEndian32(header + 92) == BigEndian32(header + 24) && pages > 0 &&
        static_cast<std::uint64_t>(st.st_size) < pageSize * pages)
        return "the file is cut short";
    return {};
}

} // namespace

std::string MarkedSnippet(std::string_view snippet, std::string_view open, std::string_view close) {
    std::string out;
    out.reserve(snippet.size() + 8);
    for (char c : snippet) {
        if (c == kMatchStart)
            out.append(open);
        else if (c == kMatchEnd)
            out.append(close);
        else
            out += c;
    }
    return out;
}

std::string MatchExpression(std::string_view query) {
    std::string out;
    bool lastWasTerm = false;
    size_t at = 0;
    auto addTerm = [&](std::string term) {
        if (!out.empty()) out += ' ';
        out += term;
        lastWasTerm = true;
    };
    while (at < query.size()) {
        const char c = query[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
            continue;
        }
        if (c == '"') {
            const size_t end = query.find('"', at + 1);
            const std::string_view phrase =
                query.substr(at + 1, (end == std::string_view::npos ? query.size() : end) - at - 1);
            at = end == std::string_view::npos ? query.size() : end + 1;
            const bool prefix = at < query.size() && query[at] == '*';
            if (prefix) ++at;
            addTerm(Quoted(phrase) + (prefix ? "*" : ""));
            continue;
        }
        size_t end = at;
        while (end < query.size() && query[end] != ' ' && query[end] != '\t' && query[end] != '"' &&
               query[end] != '\r' && query[end] != '\n')
            ++end;
        std::string_view word = query.substr(at, end - at);
        at = end;
        if (word == "OR") {
            if (lastWasTerm && at < query.size()) {
                out += " OR";
                lastWasTerm = false;
            }
            continue;
        }
        bool prefix = false;
        while (word.ends_with('*')) {
            word.remove_suffix(1);
            prefix = true;
        }
        if (word.empty()) continue;
        addTerm(Quoted(word) + (prefix ? "*" : ""));
    }
    // An OR with nothing after it is dropped.
    if (out.ends_with(" OR")) out.resize(out.size() - 3);
    return out;
}

std::string SortableStamp(std::string_view stamp) {
    size_t at = 0;
    const int month = Number(stamp, at, 2);
    if (month < 1 || month > 12 || at >= stamp.size() || stamp[at++] != '/') return {};
    const int day = Number(stamp, at, 2);
    if (day < 1 || day > 31 || at >= stamp.size() || stamp[at++] != '/') return {};
    const size_t yearAt = at;
    int year = Number(stamp, at, 4);
    if (year < 0) return {};
    if (at - yearAt <= 2) year += year < 70 ? 2000 : 1900;
    while (at < stamp.size() && (stamp[at] == ' ' || stamp[at] == '\t'))
        ++at;
    int hour = Number(stamp, at, 2);
    int minute = 0, second = 0;
    if (hour >= 0 && at < stamp.size() && stamp[at] == ':') minute = Number(stamp, ++at, 2);
    if (minute >= 0 && at < stamp.size() && stamp[at] == ':') second = Number(stamp, ++at, 2);
    if (hour < 0 || hour > 12 || minute < 0 || second < 0) hour = minute = second = 0;
    while (at < stamp.size() && stamp[at] == ' ')
        ++at;
    const bool pm = stamp.substr(at).starts_with("PM");
    if (hour == 12) hour = 0;
    if (pm) hour += 12;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return text;
}

std::string TSearchIndex::PathFor(const std::string& briefFile) {
    std::string path = briefFile;
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        std::string ext = path.substr(dot);
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext == ".brf") path.resize(dot);
    }
    return path + ".idx";
}

bool TSearchIndex::Fail() {
    return Fail(db_.Error());
}

bool TSearchIndex::Fail(const std::string& text) {
    error_ = text;
    damaged_ = damaged_ || db_.Damaged();
    return false;
}

bool TSearchIndex::Open(const std::string& path, bool create, mode_t mode) {
    error_.clear();
    damaged_ = false;
    struct stat st {};
    existed_ = ::stat(path.c_str(), &st) == 0;
    if (!existed_ && !create) return Fail("there is no search index " + path);
    if (!existed_) {
        // Made here, so that it has the brief's permissions from its first byte; SQLite gives
        // its journal the same.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ::fchmod(fd, mode) != 0) {
            if (fd >= 0) ::close(fd);
            return Fail("cannot create " + path);
        }
        ::close(fd);
    } else if (create && (st.st_mode & 07777) != mode) {
        ::chmod(path.c_str(), mode); // follows the brief's permissions when they changed
    }
    if (const std::string problem = ShortFileProblem(path); !problem.empty()) {
        damaged_ = true;
        return Fail(problem);
    }
    if (!db_.Open(path, SqliteDatabase::Mode::ReadWrite)) return Fail();
    if (!db_.Exec("PRAGMA synchronous = NORMAL")) return Fail();
    return CheckSchema();
}

bool TSearchIndex::CheckSchema() {
    SqliteStatement tables = db_.Prepare("SELECT count(*) FROM sqlite_master");
    if (!tables.Step()) return Fail();
    if (tables.Int(0) == 0) return db_.Exec(kSchema) || Fail();
    SqliteStatement format = db_.Prepare("SELECT value FROM meta WHERE key = 'format'");
    if (!format.Ok() || !format.Step() || format.Text(0) != "gathra-search-2") {
        damaged_ = true;
        return Fail(db_.Damaged() ? db_.Error() : "not a search index of this program");
    }
    return true;
}

bool TSearchIndex::SetBulkLoading() {
    return (db_.Exec("PRAGMA journal_mode = OFF") && db_.Exec("PRAGMA synchronous = OFF")) ||
           Fail();
}

// Takes a run's rows out: its postings deleted with the text they were made from when `pages`
// holds every one of them again, else left in a dead range.
bool TSearchIndex::DropRun(std::int64_t id, std::int64_t first, std::int64_t last,
                           const std::vector<IndexedPage>* pages) {
    bool deleted = false;
    if (pages != nullptr && last >= first) {
        std::map<std::string, const IndexedPage*> byFile;
        for (const IndexedPage& page : *pages)
            byFile[page.File] = &page;
        SqliteStatement rows = db_.Prepare("SELECT id, file FROM docs WHERE run = ?");
        SqliteStatement remove = db_.Prepare(
            "INSERT INTO pages(pages, rowid, title, body, address) VALUES('delete', ?, ?, ?, ?)");
        std::vector<std::pair<std::int64_t, const IndexedPage*>> found;
        rows.Bind(1, id);
        bool all = true;
        while (rows.Step()) {
            const auto page = byFile.find(rows.Text(1));
            if (page == byFile.end())
                all = false;
            else
                found.emplace_back(rows.Int(0), page->second);
        }
        if (rows.Failed()) return false;
        if (all) {
            for (const auto& [rowid, page] : found) {
                remove.Reset();
                if (!remove.Bind(1, rowid)
                         .Bind(2, page->Title)
                         .Bind(3, page->Body)
                         .Bind(4, page->Address)
                         .Run())
                    return false;
            }
            deleted = true;
        }
    }
    if (!deleted && last >= first) {
        SqliteStatement dead = db_.Prepare("INSERT INTO dead VALUES(?, ?)");
        if (!dead.Bind(1, first).Bind(2, last).Run()) return false;
    }
    SqliteStatement docs = db_.Prepare("DELETE FROM docs WHERE run = ?");
    SqliteStatement run = db_.Prepare("DELETE FROM runs WHERE id = ?");
    return docs.Bind(1, id).Run() && run.Bind(1, id).Run();
}

bool TSearchIndex::AddRun(const ArchivedRun& run, const std::vector<IndexedPage>& pages) {
    RunRows rows;
    return AddRunPages(run, pages, rows);
}

// Records the run (a new row in `runs`), first dropping every earlier run of the same folder
// when `replacing`.
bool TSearchIndex::StartRunRows(const ArchivedRun& run, bool replacing, RunRows& rows) {
    const std::string folder = RunFolderOf(run.ArchivePath);
    if (replacing) {
        // Earlier runs of the folder: their files are this run's now.
        SqliteStatement old =
            db_.Prepare("SELECT id, first_row, last_row FROM runs WHERE folder = ?");
        std::vector<std::array<std::int64_t, 3>> earlier;
        old.Bind(1, folder);
        while (old.Step())
            earlier.push_back({old.Int(0), old.Int(1), old.Int(2)});
        if (old.Failed()) return false;
        for (const auto& [id, first, last] : earlier)
            if (!DropRun(id, first, last, nullptr)) return false;
    }
    SqliteStatement addRun =
        db_.Prepare("INSERT INTO runs(folder, archive, stamp, sortable) VALUES(?, ?, ?, ?)");
    if (!addRun.Bind(1, folder)
             .Bind(2, run.ArchivePath)
             .Bind(3, run.Stamp)
             .Bind(4, SortableStamp(run.Stamp))
             .Run())
        return false;
    rows = RunRows{db_.LastInsertId(), 0, -1};
    return true;
}

bool TSearchIndex::AddRunPages(const ArchivedRun& run, const std::vector<IndexedPage>& pages,
                               RunRows& rows) {
    if (!db_.Exec("BEGIN IMMEDIATE")) return Fail();
    const RunRows before = rows;
    auto rollback = [&] {
        const std::string error = db_.Error();
        db_.Exec("ROLLBACK");
        rows = before;
        return Fail(error);
    };
    {
        if (rows.Id == 0 && !StartRunRows(run, true, rows)) return rollback();
        // New rows come after every row in use and every dead range: a row number whose words
        // were left behind is never given to a page again.
        SqliteStatement top = db_.Prepare("SELECT max(coalesce((SELECT max(id) FROM docs), 0),"
                                          " coalesce((SELECT max(last_row) FROM dead), 0))");
        if (!top.Step()) return rollback();
        std::int64_t next = top.Int(0) + 1;
        // A run's rows are one range: when another writer added rows after this run's last part,
        // the run goes on under a row of its own in `runs`.
        if (rows.Last >= rows.First && next != rows.Last + 1 && !pages.empty() &&
            !StartRunRows(run, false, rows))
            return rollback();
        SqliteStatement doc = db_.Prepare("INSERT INTO docs(id, run, title, address, entry, file)"
                                          " VALUES(?, ?, ?, ?, ?, ?)");
        SqliteStatement add =
            db_.Prepare("INSERT INTO pages(rowid, title, body, address) VALUES(?, ?, ?, ?)");
        for (const IndexedPage& page : pages) {
            doc.Reset();
            if (!doc.Bind(1, next)
                     .Bind(2, rows.Id)
                     .Bind(3, page.Title)
                     .Bind(4, page.Address)
                     .Bind(5, page.Entry)
                     .Bind(6, page.File)
                     .Run())
                break;
            rows.Last = next++;
            if (rows.First == 0) rows.First = rows.Last;
            add.Reset();
            if (!add.Bind(1, rows.Last)
                     .Bind(2, page.Title)
                     .Bind(3, page.Body)
                     .Bind(4, page.Address)
                     .Run())
                break;
        }
        SqliteStatement range =
            db_.Prepare("UPDATE runs SET first_row = ?, last_row = ? WHERE id = ?");
        if (doc.Failed() || add.Failed() ||
            !range.Bind(1, rows.First).Bind(2, rows.Last).Bind(3, rows.Id).Run())
            return rollback();
    }
    return db_.Exec("COMMIT") || rollback();
}

bool TSearchIndex::RemoveRun(const std::string& archivePath,
                             const std::vector<IndexedPage>* pages) {
    if (!db_.Exec("BEGIN IMMEDIATE")) return Fail();
    SqliteStatement runs = db_.Prepare("SELECT id, archive, first_row, last_row FROM runs");
    std::vector<std::array<std::int64_t, 3>> matching;
    while (runs.Step())
        if (SameArchivePath(runs.Text(1), archivePath))
            matching.push_back({runs.Int(0), runs.Int(2), runs.Int(3)});
    bool ok = !runs.Failed();
    for (const auto& [id, first, last] : matching)
        ok = ok && DropRun(id, first, last, pages);
    if (ok && db_.Exec("COMMIT")) return true;
    const std::string error = db_.Error();
    db_.Exec("ROLLBACK");
    return Fail(error);
}

bool TSearchIndex::Optimize() {
    return db_.Exec("INSERT INTO pages(pages) VALUES('optimize')") || Fail();
}

bool TSearchIndex::Search(const SearchRequest& request, const std::vector<ArchivedRun>& live,
                          const std::string& homeFolder, std::vector<SearchHit>& hits) {
    hits.clear();
    const std::string expression = MatchExpression(request.Query);
    if (expression.empty()) return true;
    // The runs the brief still lists (same folder and title), from the day asked for on; the
    // rows of every other run, and dead rows, are left out by their row numbers, which the
    // full-text table answers without reading anything else.
    std::map<std::int64_t, const ArchivedRun*> runs;
    std::string excluded;
    auto exclude = [&excluded](std::int64_t first, std::int64_t last) {
        if (last >= first)
            excluded +=
                " AND rowid NOT BETWEEN " + std::to_string(first) + " AND " + std::to_string(last);
    };
    {
        SqliteStatement all =
            db_.Prepare("SELECT id, archive, stamp, sortable, first_row, last_row FROM runs");
        while (all.Step()) {
            const ArchivedRun* found = nullptr;
            if (request.Since.empty() || all.Text(3) >= request.Since) {
                const std::string archive = all.Text(1), stamp = all.Text(2);
                for (const ArchivedRun& run : live)
                    if (run.Stamp == stamp && SameArchivePath(run.ArchivePath, archive))
                        found = &run;
            }
            if (found != nullptr)
                runs[all.Int(0)] = found;
            else
                exclude(all.Int(4), all.Int(5));
        }
        SqliteStatement dead = db_.Prepare("SELECT first_row, last_row FROM dead");
        while (dead.Step())
            exclude(dead.Int(0), dead.Int(1));
        if (all.Failed() || dead.Failed()) return Fail();
    }
    if (runs.empty()) return true;
    const std::string where =
        " FROM pages WHERE pages MATCH ?1" + excluded +
        (request.Entry.empty() ? "" : " AND rowid IN (SELECT id FROM docs WHERE entry = ?2)");
    std::string newest;
    if (request.RankedAtMost > 0) {
        // Rows grow with time: the row of the Nth newest match is found by walking the matches
        // from the newest without scoring them; with that many matches only the rows from it on
        // are ranked.
        SqliteStatement nth =
            db_.Prepare("SELECT rowid" + where + " ORDER BY rowid DESC LIMIT 1 OFFSET ?3");
        nth.Bind(1, expression).Bind(3, std::int64_t{request.RankedAtMost - 1});
        if (!request.Entry.empty()) nth.Bind(2, request.Entry);
        if (nth.Step()) newest = " AND rowid >= " + std::to_string(nth.Int(0));
        if (nth.Failed()) return Fail();
    }
    // "ORDER BY rank" lets the full-text table sort by relevance itself.
    SqliteStatement query =
        db_.Prepare("SELECT rowid, rank" + where + newest + " ORDER BY rank LIMIT ?3");
    query.Bind(1, expression).Bind(3, std::int64_t{std::max(request.Limit, 0)});
    if (!request.Entry.empty()) query.Bind(2, request.Entry);
    SqliteStatement doc =
        db_.Prepare("SELECT run, title, address, entry, file FROM docs WHERE id = ?");
    while (query.Step()) {
        doc.Reset();
        doc.Bind(1, query.Int(0));
        if (!doc.Step()) continue;
        const auto run = runs.find(doc.Int(0));
        if (run == runs.end()) continue;
        SearchHit hit;
        hit.Title = doc.Text(1);
        hit.Address = doc.Text(2);
        hit.Entry = doc.Text(3);
        hit.File = doc.Text(4);
        hit.Stamp = run->second->Stamp;
        hit.ArchivePath = run->second->ArchivePath;
        hit.Rank = query.Real(1);
        hits.push_back(std::move(hit));
    }
    if (query.Failed() || doc.Failed()) return Fail();
    return AddSnippets(expression, homeFolder, hits);
}

// The hits' snippets, made by the same tokenizer from their stored files: a small table of
// their texts in memory, matched again.
bool TSearchIndex::AddSnippets(const std::string& expression, const std::string& homeFolder,
                               std::vector<SearchHit>& hits) {
    if (hits.empty()) return true;
    if (!db_.Exec(kSnippetTable)) return Fail();
    SqliteStatement add =
        db_.Prepare("INSERT INTO temp.snippets(rowid, title, body, address) VALUES(?, ?, ?, ?)");
    for (size_t i = 0; i < hits.size(); ++i) {
        const std::optional<std::string> bytes = ReadPageFile(homeFolder + hits[i].File);
        const std::optional<StoredPageText> text = bytes ? ReadStoredPage(*bytes) : std::nullopt;
        if (!text) continue;
        add.Reset();
        if (!add.Bind(1, static_cast<std::int64_t>(i))
                 .Bind(2, text->Title)
                 .Bind(3, text->Body)
                 .Bind(4, text->Address)
                 .Run())
            return Fail();
    }
    SqliteStatement snippets = db_.Prepare(
        "SELECT rowid, snippet(snippets, -1, char(2), char(3), '…', 16) FROM temp.snippets "
        "WHERE snippets MATCH ?");
    snippets.Bind(1, expression);
    while (snippets.Step()) {
        const auto i = static_cast<size_t>(snippets.Int(0));
        if (i < hits.size()) hits[i].Snippet = snippets.Text(1);
    }
    return !snippets.Failed() || Fail();
}

} // namespace gathra
