// The main window's imports: bookmark windows and Internet shortcuts.
#include "Gui/MDIFrame.h"

#include "Gui/SkeinForm.h"
#include "Desktop/BookmarkEnabling.h"
#include "Imports/BrowserProfiles.h"
#include "Imports/InternetShortcuts.h"
#include "Gui/BkMarks.h"
#include "Gui/MessageDialogs.h"
#include "Gui/ToolIcons.h"
#include "Platform/UserFolders.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStandardPaths>

namespace gathra {

namespace {

QStringList ProfileFolders() {
    QStringList folders;
    for (const std::string& folder : BrowserProfileFolders(UserHomeFolder()))
        folders << QString::fromStdString(folder);
    return folders;
}

} // namespace

QStringList TMDIFrame::ChooseFiles(const FileDialogRequest& request) {
    if (options_.ChooseFiles) return options_.ChooseFiles(request);
    if (options_.ChooseFile) {
        QString one = options_.ChooseFile(request);
        return one.isEmpty() ? QStringList() : QStringList{one};
    }
    QFileDialog dialog(this);
    ConfigureFileDialog(dialog, request);
    if (ExecAsFrontForm(dialog) != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

void TMDIFrame::ImportBookmarks() {
    FileDialogRequest request;
    request.Title = tr("Import Bookmarks");
    // One filter for every kind read: browsers name their exports ".html"; the databases are
    // found by their names.
    request.Filter = tr("Bookmark Files (*.htm *.html places.sqlite Bookmarks);;All Files (*)");
    // The browser profile in use, where its database is; else the home folder, where exports
    // are saved.
    request.Folder = QString::fromStdString(LatestBrowserProfileFolder(UserHomeFolder()));
    if (request.Folder.isEmpty()) request.Folder = QString::fromStdString(UserHomeFolder());
    request.HelpContext = 22;
    request.Places = ProfileFolders();
    QString path = ChooseFile(request);
    if (!path.isEmpty()) OpenBookmarkWindow(path.toStdString());
}

TBkMarks* TMDIFrame::OpenBookmarkWindow(const std::string& path) {
    if (!tables_.CanAddChild()) {
        Dlg().ShowMessage("Close a window before opening another one.", "Too many windows", false);
        return nullptr;
    }
    auto* window = new TBkMarks(*this);
    QMdiSubWindow* sub = mdiArea_->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(style()->standardIcon(QStyle::SP_DirIcon));
    sub->setMinimumSize(150, 60);
    sub->resize(300, 366);
    sub->show();
    if (!window->LoadBookmarkFile(path)) {
        sub->close();
        return nullptr;
    }
    tables_.AddChild(sub);
    if (mdiArea_->activeSubWindow() == sub) BookmarkWindowActivated();
    return window;
}

TBkMarks* TMDIFrame::ActiveBookmarkWindow() const {
    QMdiSubWindow* active = mdiArea_->activeSubWindow();
    return active == nullptr ? nullptr : qobject_cast<TBkMarks*>(active->widget());
}

void TMDIFrame::BookmarkWindowActivated() {
    tables_.CurrentBrief = -1;
    Enabling::BookmarkWindowActivate(main_);
    RefreshCommands();
    if (TBkMarks* window = ActiveBookmarkWindow()) window->PopupCopy()->setEnabled(true);
}

void TMDIFrame::RemoveBookmarkWindow(TBkMarks* window) {
    QMdiSubWindow* sub = window->SubWindow();
    if (!tables_.InWindowList(sub)) return;
    tables_.RemoveChild(sub);
    if (tables_.WindowCount() == 0 && !closing_) {
        Enabling::LastWindowClosed(main_, false);
        RefreshCommands();
    }
}

void TMDIFrame::CopyBookmark() {
    TBkMarks* window = ActiveBookmarkWindow();
    if (window == nullptr || !window->BookmarkToBuffer(entryBuffer_)) return;
    bufferFull_ = true;
}

void TMDIFrame::ImportShortcuts() {
    QPointer<TSkeinForm> form = CurrentForm();
    if (form == nullptr || form->Generating()) return;
    FileDialogRequest request;
    request.Title = tr("Import Internet Shortcuts");
    request.Filter = tr("Shortcuts (*.URL *.desktop)");
    // Shortcuts are dragged onto the desktop.
    request.Folder = QString::fromStdString(UserFolder("DESKTOP", "Desktop"));
    request.HelpContext = 23;
    request.Multiple = true;
    for (auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DownloadLocation}) {
        QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) request.Places << folder;
    }
    const QStringList files = ChooseFiles(request);
    if (files.isEmpty() || form == nullptr) return;
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(file.toStdString());
    TSkeinForm* brief = form;
    const int made = ImportShortcutFiles(
        paths, [brief] { return brief->CreateNewWebEntry(0, EntryKind::Web); }, Dlg());
    if (form == nullptr || made == 0) return;
    // Saved once after the import, as after every other change of a brief.
    form->RepaintList();
    form->SaveBriefs2();
    Enabling::AfterAddCommand(main_);
    RefreshCommands();
}

} // namespace gathra
