#include "Desktop/EntryDialogModel.h"

#include <algorithm>

namespace gathra {

EntryDialogTopics TopicsFor(EntryDialogKind kind) {
    if (kind == EntryDialogKind::Web) return {20, 21, 22};
    return {18, 19, 21};
}

TEntryDialogModel::TEntryDialogModel(TWebPage& entry, EntryDialogKind kind, bool editable,
                                     Dialogs& dialogs)
    : entry_(entry), kind_(kind), editable_(editable), dialogs_(dialogs) {
    inputs_.Active = entry.Active != 0;
    // An entry that never got a name of its own shows its address as its name; the field stays
    // empty so that the name keeps following the address.
    inputs_.Name = entry.NameSet != 0 ? entry.EntryName : std::string();
    if (kind == EntryDialogKind::Web) inputs_.Address = entry.Address;
    inputs_.Depth = std::clamp<int>(entry.SpiderDepth, MinDepth, MaxDepth);
    inputs_.Images = entry.LoadImages != 0;
    inputs_.Binaries = entry.LoadBinaries != 0;
    inputs_.FollowExternal = entry.LocalOnly == 0;
}

bool TEntryDialogModel::EditableFor(const TWebPage& entry, bool briefGenerating) {
    return !briefGenerating && entry.Locked == 0;
}

std::string TEntryDialogModel::TitleText() const {
    return entry_.EntryName.empty() ? entry_.Address : entry_.EntryName;
}

void TEntryDialogModel::Activate() {
    applied_ = false;
    changed_ = false;
    applyEnabled_ = false;
    // Filling an edit counts as a change of it only when its text really changes.
    if (inputs_.UserName != entry_.UserName) {
        inputs_.UserName = entry_.UserName;
        MarkChanged();
    }
    inputs_.Password = entry_.Password;
    userNameModified_ = false;
    passwordModified_ = false;
}

void TEntryDialogModel::MarkChanged() {
    changed_ = true;
    applyEnabled_ = true;
}

void TEntryDialogModel::EditActive(bool checked) {
    inputs_.Active = checked;
    MarkChanged();
}
void TEntryDialogModel::EditName(std::string text) {
    inputs_.Name = std::move(text);
    MarkChanged();
}
void TEntryDialogModel::EditAddress(std::string text) {
    inputs_.Address = std::move(text);
    MarkChanged();
}
void TEntryDialogModel::EditDepth(int depth) {
    inputs_.Depth = std::clamp(depth, MinDepth, MaxDepth);
    MarkChanged();
}
void TEntryDialogModel::EditImages(bool checked) {
    inputs_.Images = checked;
    MarkChanged();
}
void TEntryDialogModel::EditBinaries(bool checked) {
    inputs_.Binaries = checked;
    MarkChanged();
}
void TEntryDialogModel::EditFollowExternal(bool checked) {
    inputs_.FollowExternal = checked;
    MarkChanged();
}
void TEntryDialogModel::EditUserName(std::string text) {
    inputs_.UserName = std::move(text);
    userNameModified_ = true;
    MarkChanged();
}
void TEntryDialogModel::EditPassword(std::string text) {
    inputs_.Password = std::move(text);
    passwordModified_ = true;
    // A new password must be confirmed before it is stored.
    confirmEnabled_ = true;
    MarkChanged();
}
void TEntryDialogModel::EditConfirm(std::string text) {
    inputs_.Confirm = std::move(text);
    MarkChanged();
}

void TEntryDialogModel::Apply() {
    if (!editable_) {
        // Nothing may be written; the dialog may still close with OK.
        accepted_ = true;
    } else {
        if (kind_ == EntryDialogKind::Search && SelectEntry) SelectEntry();
        entry_.Active = inputs_.Active ? 1 : 0;
        entry_.EntryName = inputs_.Name;
        if (kind_ == EntryDialogKind::Web)
            entry_.Address = inputs_.Address;
        else
            entry_.Address.clear();
        entry_.SpiderDepth = inputs_.Depth;
        entry_.LoadImages = inputs_.Images ? 1 : 0;
        entry_.LoadBinaries = inputs_.Binaries ? 1 : 0;
        entry_.LocalOnly = inputs_.FollowExternal ? 0 : 1;
        if (kind_ == EntryDialogKind::Search) entry_.IsSearch = 1;
        accepted_ = true;
        ApplyPasswordRule();
    }
    // The web dialog's Apply goes off in every case; the search dialog keeps it on after a
    // failed confirmation so that the user can try again with it.
    if (kind_ == EntryDialogKind::Web || accepted_) applyEnabled_ = false;
    applied_ = true;
}

void TEntryDialogModel::ApplyPasswordRule() {
    if (!userNameModified_ && !passwordModified_) return;
    if (passwordModified_ && inputs_.Password != inputs_.Confirm) {
        dialogs_.ShowMessage("Password not correctly confirmed.", "Password Error", false);
        accepted_ = false;
        return;
    }
    entry_.Password = inputs_.Password;
    entry_.UserName = inputs_.UserName;
}

bool TEntryDialogModel::Ok() {
    if (kind_ == EntryDialogKind::Search && !applyEnabled_) return true;
    accepted_ = false;
    Apply();
    return accepted_;
}

void FinishEntryDialog(TWebPage& entry, bool applied, const std::string& nameField) {
    if (applied && nameField.empty()) {
        // A cleared name leaves a web entry unnamed, so that the list, the brief file, the brief
        // read back and the summary page all show it by its address. A search entry without a
        // query is a new search again; its name is kept as set, because an unnamed entry without
        // an address reads back as "New Page".
        if (entry.IsSearchEntry()) {
            entry.EntryName = "New Search";
            entry.NameSet = 1;
        } else {
            entry.NameSet = 0;
            entry.ApplyShownName();
        }
    } else if (entry.NameSet == 0 && applied) {
        entry.NameSet = 1;
    }
    entry.ApplyDepthLabel();
}

LockLabelFit FitLockLabel(int pointSize, int labelTop, int groupWidth, int groupHeight,
                          const std::function<std::pair<int, int>(int)>& measure) {
    int size = std::clamp(pointSize, 1, MaxLockPoints);
    for (;;) {
        const auto [width, height] = measure(size);
        const int left = (groupWidth - width) / 2;
        const bool fits = left > 0 && labelTop + height < groupHeight - 3;
        // The label is placed for the size it ends with, even when it still does not fit.
        if (fits || size <= MinLockPoints) return {size, left};
        --size;
    }
}

} // namespace gathra
