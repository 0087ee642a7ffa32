#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace gathra {

// Starts a program (found on PATH when the name has no "/") with these arguments, without a
// shell and without waiting for it. It runs in a session of its own, and is reaped when it ends
// so that it leaves no zombie behind. False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

// How long a helper program asked a question (xdg-mime) may take before its answer is given up
// and the program goes on without it.
inline constexpr std::chrono::milliseconds kHelperProgramBound{3000};

// Runs a program (argv[0] looked up on PATH, no shell) with standard input and error on
// /dev/null and gives back what it wrote to standard output (at most 1 MiB is kept), or nothing
// when it could not be started, did not exit with status 0, or had not finished within `bound`:
// it is then killed with everything it started.
std::optional<std::string> RunCommandWithin(const std::vector<std::string>& argv,
                                            std::chrono::milliseconds bound);

} // namespace gathra
