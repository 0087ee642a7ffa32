#include "Engine/RunFlags.h"

namespace gathra {

RunFlags& ProgramRunFlags() {
    static RunFlags flags;
    return flags;
}

} // namespace gathra
