#pragma once

namespace gathra {

struct RunFlags;
class SocketCanceller;

// A confirmed Stop Brief or Skip Entry from the main thread: the flag is set first and the run's
// blocking socket call is cancelled after it, so that the run, woken by the cancel, sees the flag
// at its next check.
void RequestAbort(RunFlags& flags, SocketCanceller& canceller);
void RequestSkip(RunFlags& flags, SocketCanceller& canceller);
// The same on the program's own flags and canceller.
void RequestAbort();
void RequestSkip();

} // namespace gathra
