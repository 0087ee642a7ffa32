// gathra archive list, delete, path and view: the archived briefs of a brief file; and the
// browser's current page for `gathra add --from-browser`.
#include "App/gathra/CliCommands.h"
#include "App/gathra/JsonText.h"
#include "Brief/BriefFile.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Registry.h"
#include "Desktop/ArchivedBriefs.h"
#include "Desktop/BrowserBridge.h"
#include "Imports/BrowserPage.h"
#include "Imports/SessionStore.h"
#include "Settings/Settings.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;

namespace gathra {

namespace {

struct ArchiveOptions {
    std::string Path;
    int Index = 0;
    bool Json = false;
    bool Yes = false;
};

// Loads the brief with its folder as an absolute path, so that archive paths resolve from
// anywhere.
bool LoadWithFolder(const std::string& path, TBrief& brief, CliState& state) {
    if (!LoadBriefFile(path, brief, state)) return false;
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    brief.BriefFolder = FolderOf(ec ? path : absolute.string());
    return true;
}

// The stored index of list row `row` (newest first), or -1 after reporting a usage error.
int StoredIndex(const TBrief& brief, int row, const char* command, CliState& state) {
    const int count = static_cast<int>(brief.ArchivePaths.size());
    if (row < 0 || row >= count) {
        state.Fail(CliExitUsage, std::string("archive ") + command +
                                     ": there is no archived brief " + std::to_string(row) +
                                     " (the brief has " + std::to_string(count) + ")");
        return -1;
    }
    return ArchiveIndexOfRow(count, row);
}

std::string TitleAt(const TBrief& brief, int index) {
    return static_cast<size_t>(index) < brief.ArchiveTitles.size()
               ? brief.ArchiveTitles[static_cast<size_t>(index)]
               : std::string();
}

void RunList(const ArchiveOptions& o, CliState& state) {
    TBrief brief;
    if (!LoadWithFolder(o.Path, brief, state)) return;
    const int count = static_cast<int>(brief.ArchivePaths.size());
    if (o.Json) state.Out << "[";
    for (int row = 0; row < count; ++row) {
        const int index = ArchiveIndexOfRow(count, row);
        const std::string& path = brief.ArchivePaths[static_cast<size_t>(index)];
        const std::string title = TitleAt(brief, index);
        const ArchiveRowText shown = ArchiveRowTextOf(title);
        const std::string start = ArchiveStartPage(brief.BriefFolder, path);
        std::error_code ec;
        const bool present = fs::exists(start, ec);
        if (o.Json) {
            state.Out << (row ? ",\n " : "\n ") << "{\"index\": " << row
                      << ", \"date\": " << JsonString(shown.Date)
                      << ", \"time\": " << JsonString(shown.Time)
                      << ", \"title\": " << JsonString(title) << ", \"path\": " << JsonString(path)
                      << ", \"start-page\": " << JsonString(start)
                      << ", \"present\": " << (present ? "true" : "false") << "}";
        } else {
            state.Out << row << "  " << shown.Date << "  " << shown.Time << "  " << path << "  "
                      << (present ? "present" : "missing") << "\n";
        }
    }
    if (o.Json) state.Out << (count ? "\n]\n" : "]\n");
}

// Asks on the terminal; without one, the question cannot be answered and the answer is no.
bool ConfirmOnTerminal(const std::string& question, CliState& state) {
    if (isatty(STDIN_FILENO) == 0) {
        state.Fail(CliExitUsage, "archive delete: not confirmed (add --yes to delete without a "
                                 "terminal)");
        return false;
    }
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void RunDelete(const ArchiveOptions& o, CliState& state) {
    TBrief brief;
    if (!LoadWithFolder(o.Path, brief, state)) return;
    const int index = StoredIndex(brief, o.Index, "delete", state);
    if (index < 0) return;
    const std::string path = brief.ArchivePaths[static_cast<size_t>(index)];
    std::string question = ArchiveDeleteQuestion(TitleAt(brief, index));
    question.insert(question.size() - 1, " (" + path + ")");
    if (!o.Yes && !ConfirmOnTerminal(question, state)) return;
    const ArchiveDeleteResult r = DeleteArchivedBrief(brief, index);
    if (!SaveBriefFile(brief, state)) return;
    state.Out << "deleted " << path << ": " << r.FilesDeleted << " file(s)";
    if (r.FolderRemoved) state.Out << ", folder removed";
    state.Out << "\n";
    if (!r.CatalogueFound)
        state.Err << "gathra: no catalogue for " << path << ": no files were deleted\n";
    if (r.CatalogueRefused)
        state.Err << "gathra: the catalogue of " << path
                  << " does not name its own run folder: no files were deleted\n";
    if (r.NamesRefused > 0)
        state.Err << "gathra: " << r.NamesRefused
                  << " catalogue record(s) were not plain file names and were left alone\n";
    if (r.FilesFailed > 0)
        state.Err << "gathra: " << r.FilesFailed << " file(s) could not be deleted\n";
}

void RunPath(const ArchiveOptions& o, CliState& state) {
    TBrief brief;
    if (!LoadWithFolder(o.Path, brief, state)) return;
    const int index = StoredIndex(brief, o.Index, "path", state);
    if (index < 0) return;
    state.Out << ArchiveStartPage(brief.BriefFolder, brief.ArchivePaths[static_cast<size_t>(index)])
              << "\n";
}

AppSettings LoadedSettings() {
    AppSettings settings;
    settings.ProgramFolder = DetectProgramFolder();
    Registry registry(Registry::DefaultFile());
    LoadSettings(settings, registry);
    return settings;
}

void RunView(const ArchiveOptions& o, CliState& state) {
    TBrief brief;
    if (!LoadWithFolder(o.Path, brief, state)) return;
    const int index = StoredIndex(brief, o.Index, "view", state);
    if (index < 0) return;
    AppSettings settings = LoadedSettings();
    TBrowserBridge::Ports ports;
    ports.Settings = &settings;
    ports.Dlg = &state.Messages;
    TBrowserBridge bridge(std::move(ports));
    const std::string address = ArchiveViewAddress(
        brief.BriefFolder, brief.ArchivePaths[static_cast<size_t>(index)], settings.BrowserService);
    const TBrowserBridge::OpenResult result = bridge.Open(address, true);
    if (result == TBrowserBridge::OpenResult::BrowserNotSet ||
        result == TBrowserBridge::OpenResult::StartFailed)
        state.Status = CliExitBriefFailed;
}

CLI::App* AddIndexed(CLI::App* archive, const char* name, const char* help,
                     std::shared_ptr<ArchiveOptions> o) {
    CLI::App* cmd = archive->add_subcommand(name, help);
    cmd->add_option("BRIEF", o->Path, "The brief file (.brf)")->required();
    cmd->add_option("INDEX", o->Index,
                    "The archived brief's index as `gathra archive list` shows it "
                    "(0 is the newest)")
        ->required()
        ->check(CLI::NonNegativeNumber);
    return cmd;
}

} // namespace

void AddArchiveCommands(CLI::App& app, CliState& state) {
    CLI::App* archive =
        app.add_subcommand("archive", "The archived briefs (past runs) of a brief file");
    archive->require_subcommand(1);

    auto list = std::make_shared<ArchiveOptions>();
    CLI::App* listCmd = archive->add_subcommand(
        "list", "List the archived briefs, newest first: index, date, time, stored path, and "
                "whether the files are still there");
    listCmd->add_option("BRIEF", list->Path, "The brief file (.brf)")->required();
    listCmd->add_flag("--json", list->Json, "One JSON array");
    listCmd->callback([list, &state] { RunList(*list, state); });

    auto del = std::make_shared<ArchiveOptions>();
    CLI::App* delCmd = AddIndexed(archive, "delete",
                                  "Delete an archived brief: the files its catalogue lists, its "
                                  "folder when empty, and its entry",
                                  del);
    delCmd->add_flag("--yes", del->Yes, "Do not ask for confirmation");
    delCmd->callback([del, &state] { RunDelete(*del, state); });

    auto path = std::make_shared<ArchiveOptions>();
    AddIndexed(archive, "path", "Print the absolute path of an archived brief's start page", path)
        ->callback([path, &state] { RunPath(*path, state); });

    auto view = std::make_shared<ArchiveOptions>();
    AddIndexed(archive, "view", "Open an archived brief in the browser", view)
        ->callback([view, &state] { RunView(*view, state); });
}

std::optional<std::string> BrowserPageAnswer() {
    if (std::optional<BrowserPage> page = CurrentSessionPage(UserHomeFolder()))
        return BrowserAnswer(*page);
    return std::nullopt;
}

} // namespace gathra
