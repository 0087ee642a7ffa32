#pragma once
#include "App/gathra/Cli.h"
#include "App/gathra/CliDialogs.h"
#include "Brief/Brief.h"
#include "Imports/BrowserPage.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>

namespace gathra {

// Exit statuses of `gathra`.
enum CliExit : int {
    CliExitOk = 0,
    CliExitBriefFailed = 1, // a brief (or another file) could not be loaded or saved
    CliExitUsage = 2,       // the command line itself is wrong
};

// What the commands of one `gathra` run share: the output streams, the Dialogs port that writes
// "CAPTION: TEXT" to standard error, and the exit status the run ends with.
struct CliState {
    CliState(std::ostream& out, std::ostream& err) : Out(out), Err(err), Messages(err) {}
    std::ostream& Out;
    std::ostream& Err;
    CliDialogs Messages;
    CliInput Input;
    int Status = CliExitOk;

    // Writes "gathra: TEXT" to standard error and sets the exit status.
    void Fail(int status, const std::string& text);
};

// Command groups.
//
// Each group of commands lives in its own file (BriefCommands.cpp, ...) and is added to the
// command line by one function of this shape, called from RunGathraCli in Cli.cpp:
//
//     void AddXCommands(CLI::App& app, CliState& state);
//
// It adds its subcommands to `app` with `app.add_subcommand(...)` and gives each a callback that
// does the work and leaves the exit status in `state.Status` (through state.Fail for failures).
// Options a callback reads must outlive parsing: keep them in a std::shared_ptr captured by the
// callback. Report usage errors that CLI11 cannot check (an index past the end of a list) with
// state.Fail(CliExitUsage, ...); never throw out of a callback. To add a group: declare its
// function here, define it in its own file, and call it in RunGathraCli.

// new, add, remove, show: editing and showing brief files.
void AddBriefCommands(CLI::App& app, CliState& state);

// settings, settings set: showing and changing the stored settings.
void AddSettingsCommands(CLI::App& app, CliState& state);

// check: the off-line link check of a run folder.
void AddCheckCommand(CLI::App& app, CliState& state);

// Prints the link check of a run folder (text or JSON) and answers the exit status: 0 when
// nothing is broken, 1 otherwise (also when the folder cannot be read).
int ReportRunCheck(const std::string& folder, bool json, std::ostream& out, std::ostream& err);

// import bookmarks, import shortcuts: web entries from bookmark and shortcut files.
void AddImportCommands(CLI::App& app, CliState& state);

// archive list, delete, path, view: the archived briefs of a brief file.
void AddArchiveCommands(CLI::App& app, CliState& state);
// search: full-text search over a brief's stored pages; search --reindex rebuilds its index.
void AddSearchCommand(CLI::App& app, CliState& state);

// The page the user's browser shows, with the page's own title; none when no browser page is
// found.
std::optional<BrowserPage> CurrentBrowserPage();

// Helpers for commands that work on a brief file.

// Reads the brief at `path` into `brief`. On failure the loading error has been written (or, for
// a file refused without a message, a line saying so) and the exit status is 1.
bool LoadBriefFile(const std::string& path, TBrief& brief, CliState& state);
// Saves `brief` to its FileName. On failure the reason (when the brief does not fit the file
// format) and the saving error have been written and the exit status is 1.
bool SaveBriefFile(TBrief& brief, CliState& state);

} // namespace gathra
