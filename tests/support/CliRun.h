#pragma once
#include "App/gathra/Cli.h"

#include <ostream>
#include <sstream>
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

// What one `gathra` run in this process answered.
struct CliResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};
inline CliResult RunCliCaptured(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliResult result;
    result.Status = RunCli(args, out, err);
    result.Out = out.str();
    result.Err = err.str();
    return result;
}

} // namespace gathra::test
