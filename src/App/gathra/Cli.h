#pragma once
#include <functional>
#include <istream>
#include <ostream>

namespace gathra {

// Where `gathra` reads what its command line leaves out (a password): standard input, which may
// be a terminal; a secret typed on a terminal is not echoed.
struct CliInput {
    std::istream* In = nullptr; // null: std::cin
    bool Terminal = false;
    // Turns the terminal's echo on or off (only called when Terminal is set).
    std::function<void(bool on)> SetEcho;
};

// Standard input as it is: a terminal or not, and its echo.
CliInput StandardInput();

// The whole `gathra` command line, callable in-process so that tests can drive it.
// Returns the exit status: 0 success, 1 a brief could not be loaded or saved, 2 a usage error.
int RunGathraCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
int RunGathraCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                 const CliInput& input);

} // namespace gathra
