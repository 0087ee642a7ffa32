#include "Desktop/CommandState.h"

#include <initializer_list>

namespace gathra::Enabling {
namespace {

using C = Command;

void SetAll(CommandState& s, std::initializer_list<Command> commands, bool on) {
    for (Command c : commands)
        s.Set(c, on);
}

} // namespace

void MainStart(CommandState& main) {
    main = CommandState();
    SetAll(main,
           {C::CutButton,
            C::CopyButton,
            C::PasteButton,
            C::CreateWebEntryButton,
            C::CreateYahooEntryButton,
            C::GetBrowserUrlButton,
            C::GenerateBriefsButton,
            C::ShowBriefButton,
            C::FileGenerate,
            C::FileShowLastBrief,
            C::FileBriefSetup,
            C::EditCut,
            C::EditCopy,
            C::EditPaste,
            C::EntryMenu,
            C::EntryAddWeb,
            C::EntryAddYahoo,
            C::EntryDelete,
            C::EntryAddFromBrowser,
            C::EntrySetup,
            C::EntrySort,
            C::EntryLaunch,
            C::WindowMenu,
            C::WindowTile,
            C::WindowCascade,
            C::WindowArrange},
           false);
}

void PopupStart(CommandState& popup) {
    popup = CommandState();
    SetAll(popup, {C::PopupAddWeb, C::PopupAddYahoo, C::PopupDelete}, false);
}

void FormCreate(CommandState& main, CommandState& popup) {
    SetAll(popup, {C::PopupShowLastBrief, C::PopupGenerateBriefs}, false);
    SetAll(main, {C::FileGenerate, C::FileBriefSetup, C::GenerateBriefsButton}, false);
}

void CreateNewBrief(CommandState& main, CommandState& popup, const BriefFacts& f) {
    SetAll(main, {C::ShowBriefButton, C::FileShowLastBrief}, true);
    popup.Enable(C::PopupShowLastBrief);
    EnableBriefItems(main, popup, f);
    if (f.BufferFull && !f.Generating) SetAll(main, {C::PasteButton, C::EditPaste}, true);
}

void EnableBriefItems(CommandState& main, CommandState& popup, const BriefFacts& f) {
    SetAll(
        main,
        {C::CreateWebEntryButton, C::CreateYahooEntryButton, C::GetBrowserUrlButton, C::EntryMenu},
        true);
    if (f.HasEntries) {
        if (!f.RunActive) SetAll(main, {C::GenerateBriefsButton, C::FileGenerate}, true);
        main.Enable(C::FileBriefSetup);
        popup.Enable(C::PopupGenerateBriefs);
    }
    if (!f.Generating) {
        SetAll(main, {C::EntryAddWeb, C::EntryAddYahoo, C::EntryImport, C::EntryAddFromBrowser},
               true);
        SetAll(popup, {C::PopupShowLastBrief, C::PopupAddWeb, C::PopupAddYahoo}, true);
    } else {
        popup.Disable(C::PopupShowLastBrief);
    }
}

void EnableWebActions(CommandState& main, CommandState& popup, const BriefFacts& f) {
    if (!f.Generating) SetAll(main, {C::EntryDelete, C::CutButton, C::EditCut}, true);
    SetAll(main, {C::EditCopy, C::CopyButton, C::EntrySetup, C::EntryLaunch}, true);
    popup.Enable(C::PopupDelete);
}

void DisableWebActions(CommandState& main, CommandState& popup) {
    SetAll(main,
           {C::EntryDelete, C::CutButton, C::CopyButton, C::EntrySetup, C::EntryLaunch, C::EditCut,
            C::EditCopy},
           false);
    popup.Disable(C::PopupDelete);
}

void AfterCreateEntry(CommandState& main, CommandState& popup, const BriefFacts& f) {
    if (f.HasSelection) EnableWebActions(main, popup, f);
    if (!f.HasEntries) return;
    if (!f.RunActive) SetAll(main, {C::GenerateBriefsButton, C::FileGenerate}, true);
    popup.Set(C::PopupShowLastBrief, !f.RunActive);
    main.Enable(C::FileBriefSetup);
    popup.Enable(C::PopupGenerateBriefs);
}

void AfterAddCommand(CommandState& main) {
    main.Enable(C::EntrySort);
}

void AfterDelete(CommandState& main, CommandState& popup, const BriefFacts& f, bool deleteCommand) {
    if (!f.HasSelection) DisableWebActions(main, popup);
    if (f.HasEntries) return;
    SetAll(main, {C::GenerateBriefsButton, C::FileGenerate, C::FileBriefSetup}, false);
    SetAll(popup, {C::PopupGenerateBriefs, C::PopupShowLastBrief}, false);
    if (deleteCommand) main.Disable(C::EntrySort);
}

void AfterBufferFilled(CommandState& main, const BriefFacts& f) {
    if (!f.Generating) SetAll(main, {C::EditPaste, C::PasteButton}, true);
}

void SelectEntry(CommandState& main, CommandState& popup, const BriefFacts& f) {
    popup.Set(C::PopupLaunch, !f.SelectedIsSearch);
    EnableWebActions(main, popup, f);
}

void FormActivate(CommandState& main, CommandState& popup, const BriefFacts& f) {
    SetAll(main, {C::FileClose, C::FileSaveAs}, true);
    if (f.HasEntries) {
        if (!f.RunActive) SetAll(main, {C::GenerateBriefsButton, C::FileGenerate}, true);
        if (!f.Generating) main.Enable(C::EntrySort);
        main.Enable(C::FileBriefSetup);
        // With a selection the entry commands are enabled, without one disabled; the editing
        // ones are left alone while the brief is being generated.
        bool on = f.HasSelection;
        if (!f.Generating) {
            SetAll(main, {C::EntryDelete, C::CutButton, C::EditCut}, on);
            popup.Set(C::PopupDelete, on);
        }
        SetAll(main, {C::EntrySetup, C::EntryLaunch, C::CopyButton, C::EditCopy}, on);
    } else {
        SetAll(main,
               {C::GenerateBriefsButton, C::FileGenerate, C::FileBriefSetup, C::EntrySort,
                C::EntryDelete, C::EntrySetup, C::EntryLaunch, C::CopyButton, C::CutButton,
                C::EditCut, C::EditCopy},
               false);
        popup.Disable(C::PopupDelete);
    }
    bool paste = f.BufferFull && !f.Generating;
    SetAll(main, {C::PasteButton, C::EditPaste}, paste);
    if (!f.Generating) {
        SetAll(main,
               {C::CreateWebEntryButton, C::CreateYahooEntryButton, C::GetBrowserUrlButton,
                C::EntryAddWeb, C::EntryAddYahoo, C::EntryImport, C::EntryAddFromBrowser,
                C::EntryMenu, C::ShowBriefButton, C::FileShowLastBrief},
               true);
        SetAll(popup, {C::PopupShowLastBrief, C::PopupAddWeb, C::PopupAddYahoo}, true);
    } else {
        ApplyRunLockout(main, popup);
    }
}

namespace {

constexpr Command MainLocked[] = {C::CutButton,
                                  C::PasteButton,
                                  C::CreateWebEntryButton,
                                  C::CreateYahooEntryButton,
                                  C::GenerateBriefsButton,
                                  C::ShowBriefButton,
                                  C::GetBrowserUrlButton,
                                  C::EditCut,
                                  C::EditPaste,
                                  C::EntryAddWeb,
                                  C::EntryAddYahoo,
                                  C::EntryImport,
                                  C::EntryDelete,
                                  C::EntrySort};
constexpr Command PopupLocked[] = {C::PopupGenerateBriefs, C::PopupShowLastBrief, C::PopupAddWeb,
                                   C::PopupAddYahoo,       C::PopupDelete,        C::PopupCut,
                                   C::PopupPaste};

// Items whose state is restored from another item's saved state.
Command RestoredFrom(Command c) {
    switch (c) {
    case C::CreateYahooEntryButton:
        return C::CreateWebEntryButton;
    case C::EntryAddYahoo:
    case C::EntryImport:
        return C::EntryAddWeb;
    case C::PopupAddYahoo:
        return C::PopupAddWeb;
    default:
        return c;
    }
}

} // namespace

void ApplyRunLockout(CommandState& main, CommandState& popup) {
    for (Command c : MainLocked)
        main.Disable(c);
    for (Command c : PopupLocked)
        popup.Disable(c);
}

RunLockSaved LockForRun(CommandState& main, CommandState& popup) {
    RunLockSaved saved;
    for (Command c : MainLocked)
        saved.States.emplace_back(c, main.Enabled(c));
    for (Command c : PopupLocked)
        saved.States.emplace_back(c, popup.Enabled(c));
    saved.States.emplace_back(C::PopupCopy, popup.Enabled(C::PopupCopy));
    ApplyRunLockout(main, popup);
    return saved;
}

void UnlockAfterRun(CommandState& main, CommandState& popup, const RunLockSaved& saved) {
    auto savedState = [&](Command c) {
        for (const auto& [command, on] : saved.States)
            if (command == c) return on;
        return false;
    };
    for (Command c : MainLocked)
        main.Set(c, savedState(RestoredFrom(c)));
    for (Command c : PopupLocked)
        popup.Set(c, savedState(RestoredFrom(c)));
    popup.Set(C::PopupCopy, savedState(C::PopupCopy));
}

void BriefWindowCreated(CommandState& main) {
    SetAll(main, {C::WindowMenu, C::WindowTile, C::WindowCascade, C::WindowArrange}, true);
}

void LastWindowClosed(CommandState& main, bool briefWindow) {
    SetAll(main,
           {C::FileClose,
            C::FileSaveAs,
            C::CreateWebEntryButton,
            C::CreateYahooEntryButton,
            C::GetBrowserUrlButton,
            C::EntryAddWeb,
            C::EntryAddYahoo,
            C::EntryImport,
            C::EntryAddFromBrowser,
            C::GenerateBriefsButton,
            C::FileGenerate,
            C::FileBriefSetup,
            C::ShowBriefButton,
            C::FileShowLastBrief,
            C::EntryDelete,
            C::EntrySetup,
            C::EntryLaunch,
            C::CutButton,
            C::CopyButton,
            C::PasteButton,
            C::EditCut,
            C::EditCopy,
            C::EditPaste,
            C::EntryMenu},
           false);
    if (briefWindow)
        SetAll(main, {C::WindowMenu, C::WindowTile, C::WindowCascade, C::WindowArrange}, false);
}

void RowPopup(CommandState& popup, const CommandState& main, const BriefFacts& f) {
    if (f.Generating) {
        SetAll(popup, {C::PopupAddWeb, C::PopupDelete, C::PopupCut, C::PopupPaste}, false);
    } else {
        popup.Set(C::PopupCut, main.Enabled(C::EditCut));
        popup.Set(C::PopupPaste, main.Enabled(C::EditPaste));
    }
    popup.Set(C::PopupCopy, main.Enabled(C::EditCopy));
}

CommandState EmptyAreaPopup(const CommandState& popup, const CommandState& main,
                            const BriefFacts& f) {
    CommandState shown = popup;
    SetAll(shown, {C::PopupEntrySetup, C::PopupDelete, C::PopupLaunch, C::PopupCut, C::PopupCopy},
           false);
    shown.Set(C::PopupPaste, main.Enabled(C::EditPaste));
    SetAll(shown, {C::PopupAddWeb, C::PopupAddYahoo}, !f.Generating);
    return shown;
}

} // namespace gathra::Enabling
