#include "Gui/GuiRunHost.h"

#include "Brief/BriefFile.h"
#include "Gui/BriefProcessing.h"
#include "Gui/MDIFrame.h"
#include "Gui/MessageDialogs.h"
#include "Gui/ShellWindows.h"
#include "Gui/SkeinForm.h"
#include "Platform/SocketCanceller.h"
#include "Run/RunFlags.h"

#include <QMetaObject>
#include <QThread>

namespace gathra {

void GuiRunHost::OnMain(const std::function<void()>& call) {
    auto carriedOut = [&] {
        call();
        if (afterEachCall_) afterEachCall_();
    };
    if (QThread::currentThread() == frame_.thread())
        carriedOut();
    else
        QMetaObject::invokeMethod(&frame_, carriedOut, Qt::BlockingQueuedConnection);
}

TSkeinForm* GuiRunHost::FormOf(const TBrief& brief) const {
    for (TSkeinForm* form : frame_.WindowTables().BriefWindows())
        if (&form->Brief == &brief) return form;
    return nullptr;
}

void GuiRunHost::LockControls(TBrief& brief) {
    OnMain([&] {
        brief.Generating = 1;
        runForm_ = FormOf(brief);
        if (runForm_ == nullptr) return;
        saved_ = Enabling::LockForRun(frame_.Main(), runForm_->Popup);
        runForm_->ApplyPopupStates();
        frame_.RefreshCommands();
    });
}

void GuiRunHost::UnlockControls(TBrief& brief) {
    OnMain([&] {
        TSkeinForm* form = FormOf(brief);
        if (form != nullptr) {
            Enabling::UnlockAfterRun(frame_.Main(), form->Popup, saved_);
            form->ApplyPopupStates();
        }
        brief.Generating = 0;
        frame_.RefreshCommands();
    });
}

void GuiRunHost::CreateProgress() {
    OnMain([&] {
        if (progress_) progress_->Retire();
        progress_ = new TBriefProcessing(frame_.Dlg(), ProgramRunFlags(), ProgramSocketCanceller(),
                                         &frame_);
    });
}

void GuiRunHost::ShowProgress() {
    OnMain([&] {
        if (progress_) progress_->show();
    });
}

void GuiRunHost::UpdateItem(ProgressLabel label, const std::string& text) {
    OnMain([&] {
        if (progress_) progress_->UpdateItem(label, text);
    });
}

void GuiRunHost::UpdateProgress(int percent) {
    OnMain([&] {
        if (progress_) progress_->UpdateProgress(percent);
    });
}

void GuiRunHost::FreeProgress() {
    OnMain([&] {
        if (progress_) progress_->Retire();
        progress_ = nullptr;
    });
}

void GuiRunHost::SetStatusText(const std::string& text) {
    OnMain([&] { frame_.SetStatusText(text); });
}

void GuiRunHost::ShowDiskError(const std::string& text, const std::string& caption) {
    ShowDiskFailure(text, caption, {});
}

void GuiRunHost::ShowDiskFailure(const std::string& text, const std::string& caption,
                                 const std::string& cause) {
    OnMain([&] {
        Beep();
        frame_.Dlg().ShowFailure(text, caption, cause);
    });
}

void GuiRunHost::BriefReady(const std::string& briefName, const std::string& summaryName,
                            const std::string& runFolder) {
    OnMain([&] {
        Beep();
        TBtnRightDlg dialog(briefName, summaryName, runFolder, frame_.BrowserPort());
        ExecAsFrontForm(dialog);
    });
}

void GuiRunHost::AppendArchive(TBrief& brief, const std::string& path, const std::string& title) {
    OnMain([&] {
        brief.ArchivePaths.push_back(path);
        brief.ArchiveTitles.push_back(title);
    });
}

void GuiRunHost::ShowIndexProblem(const std::string& text) {
    OnMain([&] { frame_.Dlg().ShowMessage(text, "Search Index", true); });
}

void GuiRunHost::SaveBrief(TBrief& brief) {
    OnMain([&] {
        // Through the brief window, so that its caption shows whether the run's save worked.
        if (TSkeinForm* form = FormOf(brief))
            form->SaveBriefs2();
        else
            SaveBriefs2(brief, frame_.Dlg());
    });
}

void GuiRunHost::Repaint() {
    OnMain([&] {
        if (runForm_ != nullptr && TSkeinForm::IsLive(runForm_)) runForm_->RepaintList();
    });
}

} // namespace gathra
