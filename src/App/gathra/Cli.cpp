#include "App/gathra/Cli.h"

#include "App/gathra/CliCommands.h"
#include "App/gathra/RunCommands.h"
#include "Platform/Version.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace gathra {

CliInput StandardInput() {
    CliInput input;
    input.In = &std::cin;
    input.Terminal = ::isatty(STDIN_FILENO) == 1;
    input.SetEcho = [](bool on) {
        termios mode{};
        if (::tcgetattr(STDIN_FILENO, &mode) != 0) return;
        if (on)
            mode.c_lflag |= ECHO;
        else
            mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &mode);
    };
    return input;
}

int RunGathraCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    return RunGathraCli(argc, argv, out, err, StandardInput());
}

int RunGathraCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                 const CliInput& input) {
    CLI::App app{"Gathra Light: organise web pages and searches for off-line reading", "gathra"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("gathra ") + ProgramVersion,
                         "Print the program's version and exit");
    CliState state(out, err);
    state.Input = input;
    if (state.Input.In == nullptr) state.Input.In = &std::cin;

    // One line per command group; see CliCommands.h for how to add one.
    AddBriefCommands(app, state);
    AddSettingsCommands(app, state);
    AddRunCommands(app, state);
    AddArchiveCommands(app, state);
    AddSearchCommand(app, state);
    AddCheckCommand(app, state);
    AddImportCommands(app, state);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return CliExitOk;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << "\n";
        return CliExitOk;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return CliExitOk;
    } catch (const CLI::ParseError& e) {
        err << "gathra: " << e.what() << "\nRun with --help for more information.\n";
        return CliExitUsage;
    }
    return state.Status;
}

} // namespace gathra
