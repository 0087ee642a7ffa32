#include "Gui/MDIFrame.h"

#include "Gui/SkeinForm.h"
#include "Run/RunCancel.h"
#include "Run/RunFlags.h"
#include "Run/SkeinThread.h"
#include "Gui/BriefProcessing.h"
#include "Gui/EntryDialog.h"
#include "Platform/ProgramFolder.h"
#include "Gui/BriefOpts.h"
#include "Gui/GuiRunHost.h"
#include "Gui/MessageDialogs.h"
#include "Gui/SKPrefs.h"
#include "Gui/ShellWindows.h"
#include "Gui/ToolIcons.h"
#include "Gui/WebScrollBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>

namespace gathra {

// --- entry commands ----------------------------------------------------------------------------

void TMDIFrame::AddEntry(EntryKind kind) {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr || form->Generating()) return;
    if (form->CreateNewWebEntry(0, kind) == nullptr) return; // full: the user has been told
    // The new entry is the selected one, so that Entry Setup and Enter act on it.
    form->SelectEntry(0);
    form->ScrollBox()->EnsureSelectedVisible();
    form->ScrollBox()->setFocus();
    form->SaveBriefs2();
    Enabling::AfterAddCommand(main_);
    RefreshCommands();
}

void TMDIFrame::DeleteEntry() {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr || form->Generating()) return;
    form->DeleteCurrWebEntry("Delete", true);
    RefreshCommands();
}

void TMDIFrame::CopyEntry() {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr) {
        CopyBookmark();
        return;
    }
    if (form->Brief.WebList.SelectedIndex < 0) return;
    form->CopyWebEntryData(entryBuffer_);
    bufferFull_ = true;
    Enabling::AfterBufferFilled(main_, form->Facts());
    RefreshCommands();
}

void TMDIFrame::CutEntry() {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr || form->Generating() || form->Brief.WebList.SelectedIndex < 0) return;
    CopyEntry();
    form->DeleteCurrWebEntry("Cut");
    Enabling::AfterBufferFilled(main_, form->Facts());
    RefreshCommands();
}

void TMDIFrame::PasteEntry() {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr || !bufferFull_ || form->Generating()) return;
    form->DoWebEntryPaste(entryBuffer_);
    RefreshCommands();
}

void TMDIFrame::SortEntries() {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr || form->Generating()) return;
    form->SortEntries();
}

void TMDIFrame::LaunchEntry() {
    if (TSkeinForm* form = CurrentForm()) form->ViewPage1Click();
}

void TMDIFrame::EntrySetup() {
    QPointer<TSkeinForm> form = CurrentForm();
    if (form == nullptr || form->Brief.WebList.Selected() == nullptr) return;
    const bool generating = form->Generating();
    RunEntrySetup(*form->Brief.WebList.Selected(), generating, Dlg(), this, [form] {
        if (form && form->Brief.WebList.SelectedIndex >= 0)
            form->SelectEntry(form->Brief.WebList.SelectedIndex);
    });
    if (form == nullptr) return;
    form->RepaintList();
    // A dialog opened during a run is read-only, and the run saves the brief when it ends.
    if (!generating) form->SaveBriefs2();
}

void TMDIFrame::Preferences() {
    RunPreferences(settings_, preferencesOnFirstStart_ != -1, RunActive(),
                   TPreferencesModel::SettingsApplier(settings_, *registry_, Dlg()), this);
}

void TMDIFrame::GenerateBrief() {
    TSkeinForm* form = CurrentForm();
    if (form == nullptr || run_ != nullptr || RunActive() || form->Generating() ||
        form->Brief.WebList.Count() == 0)
        return;
    TSkeinThread::Options options;
    options.Settings = &settings_;
    options.Host = runHost_.get();
    options.Clock = runClock_;
    options.Index = &indexer_;
    run_ = std::make_unique<TSkeinThread>(form->Brief, options);
    TSkeinThread* run = run_.get();
    runThread_ = std::thread([this, run] {
        run->RunHere();
        QMetaObject::invokeMethod(
            this, [this] { FinishRun(); }, Qt::QueuedConnection);
    });
}

void TMDIFrame::FinishRun() {
    if (runThread_.joinable()) runThread_.join();
    run_.reset();
    if (closing_) return;
    if (TSkeinForm* form = CurrentForm()) form->FormActivate();
}

void TMDIFrame::OpenHelpTopic(int topic) {
    if (!help_)
        help_ = new THelpWindow(QString::fromStdString(settings_.ProgramFolder) + "help/", this);
    help_->ShowTopic(topic);
}

void TMDIFrame::OpenHelpContents() {
    if (!help_)
        help_ = new THelpWindow(QString::fromStdString(settings_.ProgramFolder) + "help/", this);
    help_->ShowContents();
}

void TMDIFrame::SetStatusText(const std::string& text) {
    statusLabel_->setText(FromStored(text));
    statusLabel_->repaint();
}

} // namespace gathra
