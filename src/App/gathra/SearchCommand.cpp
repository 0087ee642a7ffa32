// gathra search: full-text search over the stored pages of a brief's runs.
#include "App/gathra/CliCommands.h"
#include "App/gathra/JsonText.h"
#include "Brief/BriefFile.h"
#include "Desktop/ArchivedBriefs.h"
#include "Search/BriefSearch.h"

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace gathra {

namespace {

struct SearchOptions {
    std::string Brief;
    std::string Query;
    bool Json = false;
    int Limit = 20;
    std::string Entry;
    std::string Since;
    bool Reindex = false;
};

bool IsDay(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    const int month = (text[5] - '0') * 10 + (text[6] - '0');
    const int day = (text[8] - '0') * 10 + (text[9] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// The run's date and time as the archive list shows them: "Dec-07-98 9:05:03 PM".
std::string RunShown(const std::string& stamp) {
    const ArchiveRowText row = ArchiveRowTextOf(stamp);
    return row.Date + " " + row.Time;
}

void PrintHits(const std::vector<SearchHit>& hits, const TBrief& brief, bool json,
               std::ostream& out) {
    const std::string folder = brief.BriefFolder;
    if (json) out << "[";
    for (size_t i = 0; i < hits.size(); ++i) {
        const SearchHit& hit = hits[i];
        const std::string file = ArchiveStartPage(folder, hit.File);
        const std::string snippet = MarkedSnippet(hit.Snippet, "[", "]");
        if (json) {
            out << (i ? ",\n " : "\n ") << "{\"title\": " << JsonString(hit.Title)
                << ", \"entry\": " << JsonString(hit.Entry)
                << ", \"run\": " << JsonString(RunShown(hit.Stamp))
                << ", \"address\": " << JsonString(hit.Address)
                << ", \"file\": " << JsonString(file) << ", \"snippet\": " << JsonString(snippet)
                << "}";
        } else {
            out << (i ? "\n" : "") << (hit.Title.empty() ? "(no title)" : hit.Title) << "\n"
                << "  " << hit.Entry << ", " << RunShown(hit.Stamp) << "\n";
            if (!hit.Address.empty()) out << "  " << hit.Address << "\n";
            out << "  " << file << "\n  " << snippet << "\n";
        }
    }
    if (json) out << (hits.empty() ? "]\n" : "\n]\n");
}

void RunSearch(const SearchOptions& o, CliState& state) {
    if (o.Query.empty() && !o.Reindex) {
        state.Fail(CliExitUsage, "search: give a QUERY, or --reindex");
        return;
    }
    if (!o.Since.empty() && !IsDay(o.Since)) {
        state.Fail(CliExitUsage, "search: --since takes a day as YYYY-MM-DD, not " + o.Since);
        return;
    }
    TBrief brief;
    if (!LoadBriefFile(o.Brief, brief, state)) return;
    std::error_code ec;
    const fs::path absolute = fs::absolute(o.Brief, ec);
    brief.FileName = ec ? o.Brief : absolute.string();
    brief.BriefFolder = FolderOf(brief.FileName);
    if (o.Reindex) {
        const ReindexResult result = ReindexBrief(brief);
        if (!result.Ok) {
            state.Fail(CliExitBriefFailed,
                       "search: cannot rebuild the index of " + o.Brief + ": " + result.Error);
            return;
        }
        state.Err << "indexed " << result.Pages << " page(s) of " << result.Runs << " run(s)\n";
        if (o.Query.empty()) return;
    }
    SearchRequest request;
    request.Query = o.Query;
    request.Limit = o.Limit;
    request.Entry = o.Entry;
    request.Since = o.Since;
    std::vector<SearchHit> hits;
    std::string error;
    if (!SearchBrief(brief, request, hits, error)) {
        state.Err << "gathra: " << error << "\n";
        if (o.Json) state.Out << "[]\n";
        state.Status = CliExitBriefFailed;
        return;
    }
    PrintHits(hits, brief, o.Json, state.Out);
    state.Status = hits.empty() ? CliExitBriefFailed : CliExitOk;
}

} // namespace

void AddSearchCommand(CLI::App& app, CliState& state) {
    auto o = std::make_shared<SearchOptions>();
    CLI::App* cmd = app.add_subcommand(
        "search", "Search the stored pages of a brief's runs (exit 0 with hits, 1 with none)");
    cmd->add_option("BRIEF", o->Brief, "The brief file (.brf)")->required();
    cmd->add_option("QUERY", o->Query,
                    "Words (all must occur), \"a phrase\", prefix* words; OR between two terms");
    cmd->add_flag("--json", o->Json, "One JSON array of hits");
    cmd->add_option("--limit", o->Limit, "At most this many hits (default 20)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("--entry", o->Entry, "Only pages of the entry of this name");
    cmd->add_option("--since", o->Since, "Only runs of this day (YYYY-MM-DD) or later");
    cmd->add_flag("--reindex", o->Reindex, "Rebuild the index from the run folders on disk first");
    cmd->callback([o, &state] { RunSearch(*o, state); });
}

} // namespace gathra
