#pragma once
#include "Brief/WebPage.h"
#include "Platform/Dialogs.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace gathra {

// Which of the two entry dialogs: "Web Page Setup" or "Yahoo! Entry Setup". They share their
// inputs but differ on purpose in how Apply and OK behave (see Apply and Ok).
enum class EntryDialogKind { Web, Search };

// Help topics of the three pages (Properties, Retrieval, Password).
struct EntryDialogTopics {
    int Properties;
    int Retrieval;
    int Password;
};
EntryDialogTopics TopicsFor(EntryDialogKind kind);

// The values shown by the dialog's inputs, as stored bytes.
struct EntryDialogInputs {
    bool Active = true;
    std::string Name;    // "Page Name" or "Search Query"
    std::string Address; // web dialog only
    int Depth = 1;       // spin edit, held to 1..99
    bool Images = false;
    bool Binaries = false;
    bool FollowExternal = false; // the inverse of LocalOnly
    std::string UserName;
    std::string Password;
    std::string Confirm;
};

// Everything an entry dialog decides, without widgets. The view forwards each user edit to the
// matching Edit... call and repaints the enabled states from here. The entry is edited in place
// by Apply, so that an applied change stays even when the dialog is then cancelled.
class TEntryDialogModel {
public:
    static constexpr int MinDepth = 1;
    static constexpr int MaxDepth = 99;

    // `editable` is false while the brief is generating or the entry is locked.
    TEntryDialogModel(TWebPage& entry, EntryDialogKind kind, bool editable, Dialogs& dialogs);

    // Whether the dialog for this entry may change it.
    static bool EditableFor(const TWebPage& entry, bool briefGenerating);

    EntryDialogKind Kind() const { return kind_; }
    const TWebPage& Entry() const { return entry_; }
    const EntryDialogInputs& Inputs() const { return inputs_; }
    // The entry's name, or its address when it has no name.
    std::string TitleText() const;
    bool LockVisible() const { return entry_.Locked != 0; }

    // The dialog comes up: clears the applied and changed marks, disables Apply and puts the
    // entry's user name and password into their edits. Putting a user name there is a change of
    // that edit, so an entry with a user name opens with Apply enabled.
    void Activate();

    // User edits.
    void EditActive(bool checked);
    void EditName(std::string text);
    void EditAddress(std::string text);
    void EditDepth(int depth);
    void EditImages(bool checked);
    void EditBinaries(bool checked);
    void EditFollowExternal(bool checked);
    void EditUserName(std::string text);
    void EditPassword(std::string text);
    void EditConfirm(std::string text);

    // Writes the inputs into the entry (unless read-only) and applies the password rule.
    void Apply();
    // OK: returns true when the dialog should close.
    bool Ok();

    bool Editable() const { return editable_; }
    bool ApplyEnabled() const { return applyEnabled_; }
    bool ConfirmEnabled() const { return confirmEnabled_; }
    bool Changed() const { return changed_; }
    bool Applied() const { return applied_; }
    bool Accepted() const { return accepted_; }

    // Search dialog: called before each Apply writes, so that the brief window refreshes its
    // selection (highlight and menu state).
    std::function<void()> SelectEntry;

private:
    void MarkChanged();
    void ApplyPasswordRule();

    TWebPage& entry_;
    EntryDialogKind kind_;
    bool editable_;
    Dialogs& dialogs_;
    EntryDialogInputs inputs_;

    bool changed_ = false;
    bool applied_ = false;
    bool accepted_ = false;
    bool applyEnabled_ = false;
    bool confirmEnabled_ = false;
    bool userNameModified_ = false;
    bool passwordModified_ = false;
};

// The brief window's steps after an entry dialog has closed, by any button: the shown name
// follows the rule of unnamed entries when the dialog was applied, and the depth label follows
// SpiderDepth. `nameField` is the name (query) field's text at closing.
void FinishEntryDialog(TWebPage& entry, bool applied, const std::string& nameField);

// Lock label fitting: the label is centred in its group and shrunk point by point until it fits
// inside the group, but never below MinLockPoints.
struct LockLabelFit {
    int PointSize;
    int Left;
};
inline constexpr int MinLockPoints = 6;
// Sizes beyond this cannot fit any dialog; a stored size is held to it so that fitting ends soon.
inline constexpr int MaxLockPoints = 200;
// `measure(pointSize)` gives the width and height of the label's text at that size.
LockLabelFit FitLockLabel(int pointSize, int labelTop, int groupWidth, int groupHeight,
                          const std::function<std::pair<int, int>(int)>& measure);

} // namespace gathra
