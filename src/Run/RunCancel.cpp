#include "Run/RunCancel.h"

#include "Run/RunFlags.h"
#include "Platform/SocketCanceller.h"

namespace gathra {

void RequestAbort(RunFlags& flags, SocketCanceller& canceller) {
    flags.AbortFlag.store(1);
    canceller.Cancel();
}

void RequestSkip(RunFlags& flags, SocketCanceller& canceller) {
    flags.SkipFlag.store(1);
    canceller.Cancel();
}

void RequestAbort() {
    RequestAbort(ProgramRunFlags(), ProgramSocketCanceller());
}

void RequestSkip() {
    RequestSkip(ProgramRunFlags(), ProgramSocketCanceller());
}

} // namespace gathra
