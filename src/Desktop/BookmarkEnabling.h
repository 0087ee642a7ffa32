#pragma once
#include "Desktop/CommandState.h"

namespace gathra::Enabling {

// A bookmark window became the active one: no brief is current, so every command that acts on
// a brief or its entries is off, and Copy (which copies the selected bookmark) is on.
void BookmarkWindowActivate(CommandState& main);

} // namespace gathra::Enabling
