#include "Desktop/CommandState.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

using C = Command;

struct Windows {
    CommandState Main;
    CommandState Popup;
    Windows() {
        Enabling::MainStart(Main);
        Enabling::PopupStart(Popup);
    }
};

TEST(CommandStart, OnlyNewOpenAndTheAlwaysItemsAreEnabled) {
    Windows w;
    EXPECT_TRUE(w.Main.Enabled(C::NewFileButton));
    EXPECT_TRUE(w.Main.Enabled(C::OpenFileButton));
    for (C c : {C::CutButton, C::CopyButton, C::PasteButton, C::CreateWebEntryButton,
                C::CreateYahooEntryButton, C::GetBrowserUrlButton, C::GenerateBriefsButton,
                C::ShowBriefButton, C::FileGenerate, C::FileShowLastBrief, C::FileBriefSetup,
                C::EditCut, C::EditCopy, C::EditPaste, C::EntryMenu, C::EntrySort, C::WindowMenu})
        EXPECT_FALSE(w.Main.Enabled(c)) << static_cast<int>(c);
    for (C c : {C::FileNew, C::FileOpen, C::FileClose, C::FileSaveAs, C::FileExit,
                C::EditPreferences, C::EntryImport})
        EXPECT_TRUE(w.Main.Enabled(c)) << static_cast<int>(c);
    EXPECT_FALSE(w.Popup.Enabled(C::PopupAddWeb));
    EXPECT_FALSE(w.Popup.Enabled(C::PopupDelete));
    EXPECT_TRUE(w.Popup.Enabled(C::PopupCopy));
}

TEST(CommandEnabling, NewBriefThenAddSelectDelete) {
    Windows w;
    BriefFacts f;
    Enabling::FormCreate(w.Main, w.Popup);
    Enabling::CreateNewBrief(w.Main, w.Popup, f);
    EXPECT_TRUE(w.Main.Enabled(C::ShowBriefButton));
    EXPECT_TRUE(w.Main.Enabled(C::EntryAddWeb));
    EXPECT_TRUE(w.Main.Enabled(C::CreateWebEntryButton));
    EXPECT_FALSE(w.Main.Enabled(C::GenerateBriefsButton)); // no entries yet
    EXPECT_FALSE(w.Main.Enabled(C::PasteButton));
    EXPECT_FALSE(w.Popup.Enabled(C::PopupGenerateBriefs));

    f.HasEntries = true;
    Enabling::AfterCreateEntry(w.Main, w.Popup, f);
    Enabling::AfterAddCommand(w.Main);
    EXPECT_TRUE(w.Main.Enabled(C::GenerateBriefsButton));
    EXPECT_TRUE(w.Main.Enabled(C::FileGenerate));
    EXPECT_TRUE(w.Main.Enabled(C::FileBriefSetup));
    EXPECT_TRUE(w.Main.Enabled(C::EntrySort));
    EXPECT_FALSE(w.Main.Enabled(C::EditCut)); // nothing selected yet

    f.HasSelection = true;
    Enabling::SelectEntry(w.Main, w.Popup, f);
    for (C c : {C::EntryDelete, C::CutButton, C::EditCut, C::EditCopy, C::CopyButton, C::EntrySetup,
                C::EntryLaunch})
        EXPECT_TRUE(w.Main.Enabled(c)) << static_cast<int>(c);
    EXPECT_TRUE(w.Popup.Enabled(C::PopupDelete));
    EXPECT_TRUE(w.Popup.Enabled(C::PopupLaunch));

    f.HasSelection = false;
    f.HasEntries = false;
    Enabling::AfterDelete(w.Main, w.Popup, f, true);
    for (C c : {C::EntryDelete, C::CutButton, C::EditCut, C::EditCopy, C::CopyButton, C::EntrySetup,
                C::EntryLaunch, C::GenerateBriefsButton, C::FileGenerate, C::FileBriefSetup,
                C::EntrySort})
        EXPECT_FALSE(w.Main.Enabled(c)) << static_cast<int>(c);
    EXPECT_FALSE(w.Popup.Enabled(C::PopupShowLastBrief));
}

TEST(CommandEnabling, SearchSelectionDisablesPopupLaunch) {
    Windows w;
    BriefFacts f{true, true, true, false, false, false};
    Enabling::SelectEntry(w.Main, w.Popup, f);
    EXPECT_FALSE(w.Popup.Enabled(C::PopupLaunch));
    EXPECT_TRUE(w.Main.Enabled(C::EntryLaunch));
}

TEST(CommandEnabling, RunLockDisablesEditingAndUnlockRestores) {
    Windows w;
    BriefFacts f{true, true, false, false, false, true};
    Enabling::FormCreate(w.Main, w.Popup);
    Enabling::CreateNewBrief(w.Main, w.Popup, f);
    Enabling::FormActivate(w.Main, w.Popup, f);
    CommandState mainBefore = w.Main;
    CommandState popupBefore = w.Popup;

    RunLockSaved saved = Enabling::LockForRun(w.Main, w.Popup);
    for (C c : {C::CutButton, C::PasteButton, C::CreateWebEntryButton, C::CreateYahooEntryButton,
                C::GenerateBriefsButton, C::ShowBriefButton, C::GetBrowserUrlButton, C::EditCut,
                C::EditPaste, C::EntryAddWeb, C::EntryAddYahoo, C::EntryImport, C::EntryDelete,
                C::EntrySort})
        EXPECT_FALSE(w.Main.Enabled(c)) << static_cast<int>(c);
    EXPECT_TRUE(w.Main.Enabled(C::EditCopy)); // copying stays possible
    EXPECT_TRUE(w.Popup.Enabled(C::PopupCopy));
    EXPECT_FALSE(w.Popup.Enabled(C::PopupPaste));

    Enabling::UnlockAfterRun(w.Main, w.Popup, saved);
    EXPECT_EQ(w.Main, mainBefore);
    EXPECT_EQ(w.Popup, popupBefore);
}

TEST(CommandEnabling, UnlockRestoresYahooItemsFromTheWebItems) {
    Windows w;
    w.Main.Enable(C::CreateWebEntryButton);
    w.Main.Disable(C::CreateYahooEntryButton);
    w.Main.Enable(C::EntryAddWeb);
    w.Main.Disable(C::EntryImport);
    RunLockSaved saved = Enabling::LockForRun(w.Main, w.Popup);
    Enabling::UnlockAfterRun(w.Main, w.Popup, saved);
    EXPECT_TRUE(w.Main.Enabled(C::CreateYahooEntryButton));
    EXPECT_TRUE(w.Main.Enabled(C::EntryImport));
}

TEST(CommandEnabling, ActivationFollowsTheBriefsOwnState) {
    Windows w;
    BriefFacts empty;
    Enabling::FormActivate(w.Main, w.Popup, empty);
    EXPECT_TRUE(w.Main.Enabled(C::FileClose));
    EXPECT_FALSE(w.Main.Enabled(C::GenerateBriefsButton));
    EXPECT_TRUE(w.Main.Enabled(C::EntryAddWeb));

    BriefFacts generating{true, true, false, true, true, true};
    Enabling::FormActivate(w.Main, w.Popup, generating);
    EXPECT_FALSE(w.Main.Enabled(C::GenerateBriefsButton)); // a run is in progress
    EXPECT_FALSE(w.Main.Enabled(C::EditPaste));
    EXPECT_FALSE(w.Main.Enabled(C::EntryAddWeb));
    EXPECT_TRUE(w.Main.Enabled(C::EditCopy));
    EXPECT_FALSE(w.Popup.Enabled(C::PopupShowLastBrief));

    BriefFacts idleOther{true, false, false, false, true, true};
    Enabling::FormActivate(w.Main, w.Popup, idleOther);
    EXPECT_FALSE(w.Main.Enabled(C::GenerateBriefsButton)); // only one run at a time
    EXPECT_TRUE(w.Main.Enabled(C::EditPaste));
    EXPECT_FALSE(w.Main.Enabled(C::EditCopy));
    EXPECT_TRUE(w.Main.Enabled(C::EntrySort));
}

TEST(CommandEnabling, LastWindowClosedDisablesTheBriefCommands) {
    Windows w;
    Enabling::BriefWindowCreated(w.Main);
    EXPECT_TRUE(w.Main.Enabled(C::WindowTile));
    BriefFacts f{true, true, false, false, false, true};
    Enabling::FormActivate(w.Main, w.Popup, f);
    Enabling::LastWindowClosed(w.Main, true);
    CommandState start;
    Enabling::MainStart(start);
    start.Disable(C::FileClose);
    start.Disable(C::FileSaveAs);
    start.Disable(C::EntryImport);
    // Sort Entries is left as it was: it is not one of the commands the last close disables.
    w.Main.Disable(C::EntrySort);
    EXPECT_EQ(w.Main, start);
}

TEST(CommandEnabling, PopupsFollowTheMainEditCommands) {
    Windows w;
    BriefFacts f{true, true, false, false, false, true};
    Enabling::FormActivate(w.Main, w.Popup, f);
    Enabling::RowPopup(w.Popup, w.Main, f);
    EXPECT_TRUE(w.Popup.Enabled(C::PopupCut));
    EXPECT_TRUE(w.Popup.Enabled(C::PopupPaste));
    CommandState below = Enabling::EmptyAreaPopup(w.Popup, w.Main, f);
    EXPECT_FALSE(below.Enabled(C::PopupCopy));
    EXPECT_FALSE(below.Enabled(C::PopupEntrySetup));
    EXPECT_TRUE(below.Enabled(C::PopupPaste));
    EXPECT_TRUE(below.Enabled(C::PopupAddYahoo));
    EXPECT_TRUE(w.Popup.Enabled(C::PopupCopy)); // restored after the menu closes

    f.Generating = true;
    Enabling::RowPopup(w.Popup, w.Main, f);
    EXPECT_FALSE(w.Popup.Enabled(C::PopupCut));
    EXPECT_FALSE(w.Popup.Enabled(C::PopupAddWeb));
    EXPECT_FALSE(Enabling::EmptyAreaPopup(w.Popup, w.Main, f).Enabled(C::PopupAddWeb));
}

} // namespace
} // namespace gathra
