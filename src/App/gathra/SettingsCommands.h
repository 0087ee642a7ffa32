#pragma once
#include <ostream>

namespace CLI {
class App;
}

namespace gathra {

// "settings [--json]" prints every setting; "settings set NAME VALUE" changes one the way the
// preferences dialog would. Both use the registry file of Registry::DefaultFile(). `status`
// receives the exit status of the command that ran.
void AddSettingsCommands(CLI::App& app, std::ostream& out, std::ostream& err, int& status);

} // namespace gathra
