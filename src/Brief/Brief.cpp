#include "Brief/Brief.h"

namespace gathra {

void TBrief::CreateNewBrief() {
    BriefName = "New Brief";
    Comments.reset();
    ReservedByte = 0;
    ReservedCode.clear();
    BriefActive = 1;
    ArchivePaths.clear();
    ArchiveTitles.clear();
    ReservedList.clear();
    WebList.Clear();
    WebList.ScrollRange = 0;
    WebList.ListBottom = 0;
    WebList.ScrollPosition = 0;
}

} // namespace gathra
