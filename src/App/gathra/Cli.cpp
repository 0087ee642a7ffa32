#include "App/gathra/Cli.h"

#include "App/gathra/RunCommands.h"
#include "App/gathra/SettingsCommands.h"

#include <CLI/CLI.hpp>

namespace gathra {

int RunGathraCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Gathra Light: organise web pages and searches for off-line reading", "gathra"};
    app.require_subcommand(1);
    int status = 0;
    AddSettingsCommands(app, out, err, status);
    AddRunCommands(app, out, err, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        err << e.what() << "\n";
        return 2;
    }
    return status;
}

} // namespace gathra
