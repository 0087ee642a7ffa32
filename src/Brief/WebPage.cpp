#include "Brief/WebPage.h"

namespace gathra {

TWebPage::TWebPage(EntryKind kind) {
    if (kind == EntryKind::Search) {
        IsSearch = 1;
        EntryName = "New Search";
    }
}

void TWebPage::TransferFrom(const TWebPage& s) {
    IsSearch = s.IsSearch;
    Active = s.Active;
    EntryName = s.EntryName;
    DepthText = s.DepthText;
    ReservedFlag = s.ReservedFlag;
    Address = s.Address;
    SpiderDepth = s.SpiderDepth;
    LoadImages = s.LoadImages;
    LoadBinaries = s.LoadBinaries;
    UserName = s.UserName;
    Password = s.Password;
    ReservedText = s.ReservedText;
    LocalOnly = s.LocalOnly;
    NameSet = s.NameSet;
    Locked = s.Locked;
    AgentComment = s.AgentComment;
    LockedText = s.LockedText;
    LockedTextSize = s.LockedTextSize;
}

void TWebPage::ApplyShownName() {
    if (NameSet != 0) return;
    EntryName = Address.empty() ? std::string("New Page") : Address;
}

void TWebPage::ApplyDepthLabel() {
    std::string depth = std::to_string(SpiderDepth);
    if (DepthText != depth) DepthText = depth;
}

void TWebPage::MakeSearch() {
    IsSearch = 1;
}

} // namespace gathra
