#pragma once
#include <array>
#include <cstddef>
#include <vector>

namespace gathra {

// Every command whose enabled state the brief windows and the main window decide. The main
// window's toolbar buttons and menu items, and each brief window's pop-up items, are bound to
// one key each.
enum class Command : int {
    // toolbar
    NewFileButton,
    OpenFileButton,
    CutButton,
    CopyButton,
    PasteButton,
    CreateWebEntryButton,
    CreateYahooEntryButton,
    GetBrowserUrlButton,
    GenerateBriefsButton,
    ShowBriefButton,
    // File menu
    FileNew,
    FileOpen,
    FileClose,
    FileSaveAs,
    FileGenerate,
    FileShowLastBrief,
    FileBriefSetup,
    FileExit,
    // Edit menu
    EditCut,
    EditCopy,
    EditPaste,
    EditPreferences,
    // Entry menu
    EntryMenu,
    EntryAddWeb,
    EntryAddYahoo,
    EntryDelete,
    EntryAddFromBrowser,
    EntryImport,
    EntrySetup,
    EntrySort,
    EntryLaunch,
    // Window menu
    WindowMenu,
    WindowTile,
    WindowCascade,
    WindowArrange,
    // a brief window's entry pop-up
    PopupEntrySetup,
    PopupAddWeb,
    PopupAddYahoo,
    PopupDelete,
    PopupLaunch,
    PopupCut,
    PopupCopy,
    PopupPaste,
    // a brief window's brief pop-up
    PopupShowLastBrief,
    PopupBriefSetup,
    PopupGenerateBriefs,
    Count_
};

inline constexpr std::size_t CommandCount = static_cast<std::size_t>(Command::Count_);

// The enabled state of every command.
class CommandState {
public:
    CommandState() { enabled_.fill(true); }
    bool Enabled(Command c) const { return enabled_[Index(c)]; }
    void Set(Command c, bool on) { enabled_[Index(c)] = on; }
    void Enable(Command c) { Set(c, true); }
    void Disable(Command c) { Set(c, false); }
    bool operator==(const CommandState&) const = default;

private:
    static std::size_t Index(Command c) { return static_cast<std::size_t>(c); }
    std::array<bool, CommandCount> enabled_{};
};

// What the enabling rules of a brief window look at.
struct BriefFacts {
    bool HasEntries = false;
    bool HasSelection = false;
    bool SelectedIsSearch = false;
    bool Generating = false; // this brief is being generated
    bool RunActive = false;  // some brief run is in progress
    bool BufferFull = false; // the entry buffer holds an entry
};

// The states saved by locking a brief window for a run, so that unlocking can restore them.
struct RunLockSaved {
    std::vector<std::pair<Command, bool>> States;
};

// The enabling rules of the main window (`main`) and of one brief window's pop-up menus
// (`popup`). Each function changes exactly the commands its rule names.
namespace Enabling {

// The main window's states when it is created.
void MainStart(CommandState& main);
// A brief window's pop-up items when it is created.
void PopupStart(CommandState& popup);
// Brief window creation: Generate and Show Last Brief wait for entries and a new brief.
void FormCreate(CommandState& main, CommandState& popup);
void CreateNewBrief(CommandState& main, CommandState& popup, const BriefFacts& f);
void EnableBriefItems(CommandState& main, CommandState& popup, const BriefFacts& f);
void EnableWebActions(CommandState& main, CommandState& popup, const BriefFacts& f);
void DisableWebActions(CommandState& main, CommandState& popup);
// After an entry was inserted (add, paste, drop, import).
void AfterCreateEntry(CommandState& main, CommandState& popup, const BriefFacts& f);
// After the add commands of the main window: they also make the entries sortable.
void AfterAddCommand(CommandState& main);
// After an entry was deleted; `deleteCommand` is set for the main window's Delete Entry, which
// also disables Sort Entries on an emptied brief.
void AfterDelete(CommandState& main, CommandState& popup, const BriefFacts& f, bool deleteCommand);
// After copy or cut filled the buffer.
void AfterBufferFilled(CommandState& main, const BriefFacts& f);
// Selecting an entry.
void SelectEntry(CommandState& main, CommandState& popup, const BriefFacts& f);
// The brief window became the active one.
void FormActivate(CommandState& main, CommandState& popup, const BriefFacts& f);
// The disabling part of a run's lock-out (also applied on activation while generating).
void ApplyRunLockout(CommandState& main, CommandState& popup);
// Locks the commands for a run, returning what unlocking restores.
RunLockSaved LockForRun(CommandState& main, CommandState& popup);
void UnlockAfterRun(CommandState& main, CommandState& popup, const RunLockSaved& saved);
// A brief window was created: the Window menu becomes usable.
void BriefWindowCreated(CommandState& main);
// The last MDI child closed; `briefWindow` when it was a brief window.
void LastWindowClosed(CommandState& main, bool briefWindow);
// The entry pop-up opened on a row.
void RowPopup(CommandState& popup, const CommandState& main, const BriefFacts& f);
// The entry pop-up opened below the last row: the states to show while it is open.
CommandState EmptyAreaPopup(const CommandState& popup, const CommandState& main,
                            const BriefFacts& f);

} // namespace Enabling

} // namespace gathra
