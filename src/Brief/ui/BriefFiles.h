#pragma once
#include "Brief/Brief.h"

namespace gathra {

class Dialogs;

// The brief window's access to the brief organizer files: both files are written at once, and
// reading reports its own errors.
bool SaveBriefFiles(TBrief& brief, Dialogs& dialogs);
bool ReadBriefFiles(TBrief& brief, Dialogs& dialogs);

} // namespace gathra
