#include "Run/RunFlags.h"

namespace gathra {

RunFlags& ProgramRunFlags() {
    static RunFlags flags;
    return flags;
}

} // namespace gathra
