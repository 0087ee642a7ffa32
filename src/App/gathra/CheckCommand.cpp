#include "App/gathra/CliCommands.h"
#include "App/gathra/JsonText.h"
#include "Run/RunCheck.h"

#include <CLI/CLI.hpp>
#include <memory>

namespace gathra {

int ReportRunCheck(const std::string& folder, bool json, std::ostream& out, std::ostream& err) {
    std::optional<TRunCheck> check = CheckRunFolder(folder);
    if (!check) {
        err << "gathra: cannot read the run folder " << folder << "\n";
        return 1;
    }
    if (json) {
        out << "{\n  \"folder\": " << JsonString(folder) << ",\n  \"pages\": " << check->Pages
            << ",\n  \"stylesheets\": " << check->Stylesheets
            << ",\n  \"references\": " << check->References << ",\n  \"broken\": [";
        for (size_t i = 0; i < check->Broken.size(); ++i) {
            const TBrokenReference& b = check->Broken[i];
            out << (i ? ",\n" : "\n") << "    {\"file\": " << JsonString(b.File)
                << ", \"reference\": " << JsonString(b.Reference)
                << ", \"where\": " << JsonString(b.Where)
                << ", \"problem\": " << JsonString(b.Problem) << "}";
        }
        out << (check->Broken.empty() ? "]\n}\n" : "\n  ]\n}\n");
    } else {
        for (const TBrokenReference& b : check->Broken)
            out << b.File << ": " << b.Problem << " " << b.Reference << " (" << b.Where << ")\n";
        out << "checked " << check->Pages << " pages and " << check->Stylesheets << " stylesheets, "
            << check->References << " local references: "
            << (check->Broken.empty() ? std::string("none broken")
                                      : std::to_string(check->Broken.size()) + " broken")
            << "\n";
    }
    return check->Broken.empty() ? 0 : 1;
}

void AddCheckCommand(CLI::App& app, CliState& state) {
    CLI::App* check = app.add_subcommand(
        "check", "List the references of a generated brief folder that do not work off-line");
    auto folder = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    check->add_option("RUNFOLDER", *folder, "a generated brief folder (next to its brief file)")
        ->required();
    check->add_flag("--json", *json, "Print the result as JSON");
    check->callback([&state, folder, json] {
        state.Status = ReportRunCheck(*folder, *json, state.Out, state.Err);
    });
}

} // namespace gathra
