#pragma once
#include "Platform/Sqlite.h"
#include "Search/StoredPages.h"

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace gathra {

// An archived run as the brief lists it: its archive path and its title (the start stamp).
struct ArchivedRun {
    std::string ArchivePath;
    std::string Stamp;
};

// How many of the newest matching pages a query ranks at most (see SearchRequest).
inline constexpr int kRankedAtMost = 1000;

struct SearchRequest {
    std::string Query; // words, "phrases", prefix* words; OR between two terms
    int Limit = 20;
    std::string Entry; // only hits of this entry (empty: all)
    std::string Since; // "YYYY-MM-DD": only runs of that day or later (empty: all)
    // When more pages than this match, only the newest this many are ranked by relevance (0: all
    // are). A word found on nearly every page would otherwise have every page of every run scored.
    int RankedAtMost = kRankedAtMost;
};

struct SearchHit {
    std::string Title;
    std::string Entry;
    std::string Stamp;       // the run's title, as the archive keeps it
    std::string ArchivePath; // the run's archive path
    std::string Address;
    std::string File; // relative to the brief's folder, "/" separated
    // A short piece of the text around the matched words, each matched word between
    // kMatchStart and kMatchEnd.
    std::string Snippet;
    double Rank = 0; // lower is better (bm25); comparable across indexes only roughly
};
inline constexpr char kMatchStart = '\x02';
inline constexpr char kMatchEnd = '\x03';
// The snippet with its marks replaced by `open` and `close`.
std::string MarkedSnippet(std::string_view snippet, std::string_view open, std::string_view close);

// The query text as a full-text expression: every word and phrase quoted (so that no character
// of it is read as an operator), "word*" a prefix, a bare OR kept between two terms.
std::string MatchExpression(std::string_view query);

// "12/7/98 9:05:03PM" as "1998-12-07 21:05:03" (two-digit years below 70 are 20xx); empty when
// the stamp does not read as one.
std::string SortableStamp(std::string_view stamp);

// The search index of one brief: one SQLite database beside the brief file, with a full-text
// table of the words of the stored pages of every run (title, text and address searched; words
// matched without regard to case or accents), a table of the pages (title, address, entry,
// file) and a table of the runs, each with the range of page rows it owns.
class TSearchIndex {
public:
    // "NAME.brf" gives "NAME.idx"; a name without ".brf" gets ".idx" added.
    static std::string PathFor(const std::string& briefFile);

    // Opens the index at `path`; with `create` a missing one is made, with permissions `mode`.
    // False (see Error, Damaged) when it cannot be opened or is no index of this program.
    bool Open(const std::string& path, bool create, mode_t mode = 0600);
    // The index file was there before Open.
    bool Existed() const { return existed_; }
    // For a new index that is filled in one go: no journal, no waiting for the disk.
    bool SetBulkLoading();

    // Adds the pages of a run in one transaction, first dropping every earlier run of the same
    // folder (folder numbers are reused after a delete).
    bool AddRun(const ArchivedRun& run, const std::vector<IndexedPage>& pages);
    // Where the pages of a run added in parts went: its row in the table of runs (0 before the
    // first part) and the range of page rows it owns.
    struct RunRows {
        std::int64_t Id = 0;
        std::int64_t First = 0;
        std::int64_t Last = -1;
    };
    // Adds a part of a run's pages in one transaction: the first part (rows.Id 0) drops the
    // earlier runs of the folder as AddRun does, later parts add to the run's rows. `rows` is
    // left as it was when the part fails.
    bool AddRunPages(const ArchivedRun& run, const std::vector<IndexedPage>& pages, RunRows& rows);
    // Drops a run's pages; true also when the index did not hold it. `pages` are the run's
    // pages read again from its folder (none when it is gone), to take their words out.
    bool RemoveRun(const std::string& archivePath, const std::vector<IndexedPage>* pages);
    // Merges the index into its smallest form (after a rebuild).
    bool Optimize();

    // Hits ranked by relevance, best first, from the runs in `live` only; their snippets come
    // from the stored files under `homeFolder` (the brief's folder, with its separator).
    bool Search(const SearchRequest& request, const std::vector<ArchivedRun>& live,
                const std::string& homeFolder, std::vector<SearchHit>& hits);

    const std::string& Error() const { return error_; }
    bool Damaged() const { return damaged_; }

private:
    bool Fail();
    bool Fail(const std::string& text);
    bool CheckSchema();
    bool StartRunRows(const ArchivedRun& run, bool replacing, RunRows& rows);
    bool DropRun(std::int64_t id, std::int64_t first, std::int64_t last,
                 const std::vector<IndexedPage>* pages);
    bool AddSnippets(const std::string& expression, const std::string& homeFolder,
                     std::vector<SearchHit>& hits);

    SqliteDatabase db_;
    std::string error_;
    bool damaged_ = false;
    bool existed_ = false;
};

} // namespace gathra
