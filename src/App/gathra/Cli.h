#pragma once
#include <ostream>

namespace gathra {

// The whole `gathra` command line, callable in-process so that tests can drive it.
// Returns the exit status: 0 success, 1 a brief could not be loaded or saved, 2 a usage error.
int RunGathraCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace gathra
