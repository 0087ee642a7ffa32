#pragma once
#include "App/gathra/Cli.h"

#include <ostream>
#include <string>
#include <vector>

namespace gathra::test {

// Runs `gathra` with `args` (without the program's name) in this process.
inline int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<const char*> argv{"gathra"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    return RunGathraCli(static_cast<int>(argv.size()), argv.data(), out, err);
}

} // namespace gathra::test
