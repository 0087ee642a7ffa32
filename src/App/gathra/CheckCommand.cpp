#include "App/gathra/CliCommands.h"
#include "App/gathra/JsonText.h"
#include "Run/RunCheck.h"

#include <CLI/CLI.hpp>
#include <memory>

namespace gathra {

namespace {

void WriteJsonReferences(std::ostream& out, const char* name,
                         const std::vector<TBrokenReference>& list) {
    out << ",\n  \"" << name << "\": [";
    for (size_t i = 0; i < list.size(); ++i) {
        const TBrokenReference& b = list[i];
        out << (i ? ",\n" : "\n") << "    {\"file\": " << JsonString(b.File)
            << ", \"reference\": " << JsonString(b.Reference)
            << ", \"where\": " << JsonString(b.Where) << ", \"problem\": " << JsonString(b.Problem)
            << "}";
    }
    out << (list.empty() ? "]" : "\n  ]");
}

} // namespace

int ReportRunCheck(const std::string& folder, bool json, std::ostream& out, std::ostream& err) {
    std::optional<TRunCheck> check = CheckRunFolder(folder);
    if (!check) {
        err << "gathra: cannot read the run folder " << folder << "\n";
        return 1;
    }
    if (json) {
        out << "{\n  \"folder\": " << JsonString(folder) << ",\n  \"pages\": " << check->Pages
            << ",\n  \"stylesheets\": " << check->Stylesheets
            << ",\n  \"references\": " << check->References;
        WriteJsonReferences(out, "broken", check->Broken);
        WriteJsonReferences(out, "not-kept", check->NotKept);
        out << "\n}\n";
    } else {
        for (const TBrokenReference& b : check->Broken)
            out << b.File << ": " << b.Problem << " " << b.Reference << " (" << b.Where << ")\n";
        // Apart from the broken ones: the run was told not to keep them.
        for (const TBrokenReference& b : check->NotKept)
            out << b.File << ": " << b.Problem << " " << b.Reference << " (" << b.Where << ")\n";
        out << "checked " << check->Pages << " pages and " << check->Stylesheets << " stylesheets, "
            << check->References << " local references: "
            << (check->Broken.empty() ? std::string("none broken")
                                      : std::to_string(check->Broken.size()) + " broken");
        if (!check->NotKept.empty()) out << ", " << check->NotKept.size() << " " << kNotKeptProblem;
        out << "\n";
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
