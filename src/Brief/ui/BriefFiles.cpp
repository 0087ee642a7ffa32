#include "Brief/ui/BriefFiles.h"

#include "Platform/Dialogs.h"

namespace gathra {

bool SaveBriefFiles(TBrief&, Dialogs&) { return true; }
bool ReadBriefFiles(TBrief&, Dialogs&) { return false; }

} // namespace gathra
