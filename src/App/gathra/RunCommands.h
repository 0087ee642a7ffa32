#pragma once
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace gathra {

class TBrief;
class Clock;
struct AppSettings;
struct CliState;

// "generate BRIEF.brf [--quiet] [--open] [--check]" runs a brief with the stored settings; "demo
// [FOLDER]" serves the bundled demo site on loopback and generates a brief of it. `status` receives
// the exit status of the command that ran: 0 done (also when every entry failed: failures are
// notice pages), 1 the brief could not be loaded or the disk filled up (or, with --check, a
// reference of the new folder is broken), 130 stopped with Ctrl+C.
void AddRunCommands(CLI::App& app, CliState& state);

// How a headless run reports.
struct GenerateOptions {
    bool Quiet = false;         // no progress at all
    bool Terminal = false;      // one updating progress line instead of plain lines
    bool Open = false;          // open the summary page in the browser afterwards
    bool CatchInterrupt = true; // Ctrl+C stops the brief (the first) or the program (the second)
    bool Check = false;         // check the run folder's references afterwards (on stderr)
    bool Index = true;          // add the run's pages to the brief's search index
    int TimeUnitMs = 1000;
    const gathra::Clock* Clock = nullptr; // null: the system clock
};

// Runs a loaded brief (its FileName and BriefFolder set) and saves it; prints the summary page's
// path on `out`. Answers the exit status as above.
int GenerateLoadedBrief(TBrief& brief, const AppSettings& settings, const GenerateOptions& options,
                        std::ostream& out, std::ostream& err);

// Splits a browser command line into its words (double quotes group, and are dropped) and puts
// `target` in place of "%1", or after the last word when there is no "%1". An empty command line
// gives "xdg-open" and the target.
std::vector<std::string> BrowserCommand(const std::string& browserPath, const std::string& target);

} // namespace gathra
