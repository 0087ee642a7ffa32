#pragma once
#include <string>
#include <vector>

namespace gathra {

// Starts a program (found on PATH when the name has no "/") with these arguments, without a
// shell and without waiting for it. It runs in a session of its own, and is reaped when it ends
// so that it leaves no zombie behind. False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

} // namespace gathra
