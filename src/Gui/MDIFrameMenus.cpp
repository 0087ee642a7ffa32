#include "Gui/MDIFrame.h"

#include "Gui/SkeinForm.h"
#include "Run/RunCancel.h"
#include "Run/RunFlags.h"
#include "Run/SkeinThread.h"
#include "Gui/BriefProcessing.h"
#include "Gui/EntryDialog.h"
#include "Platform/Browser.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Version.h"
#include "Gui/BriefOpts.h"
#include "Gui/GuiRunHost.h"
#include "Gui/MessageDialogs.h"
#include "Gui/SKPrefs.h"
#include "Gui/ShellWindows.h"
#include "Gui/ToolIcons.h"

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
namespace {
using C = Command;
} // namespace

// --- actions, menus, toolbar -------------------------------------------------------------------

QAction* TMDIFrame::MakeAction(Command command, const QString& text, const QKeySequence& shortcut) {
    auto* action = new QAction(text, this);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    actions_.insert(command, action);
    return action;
}

void TMDIFrame::BuildActions() {
    connect(MakeAction(C::FileNew, tr("&New Brief Organizer..."), QKeySequence(tr("Ctrl+N"))),
            &QAction::triggered, this, [this] { NewBrief(); });
    connect(MakeAction(C::FileOpen, tr("&Open Brief Organizer..."), QKeySequence(tr("Ctrl+O"))),
            &QAction::triggered, this, [this] { OpenBrief(); });
    connect(MakeAction(C::FileClose, tr("&Close Brief Organizer")), &QAction::triggered, this,
            [this] { CloseBrief(); });
    connect(MakeAction(C::FileSaveAs, tr("Save Brief Organizer &As...")), &QAction::triggered, this,
            [this] { SaveBriefAs(); });
    connect(MakeAction(C::FileGenerate, tr("&Generate Brief"), QKeySequence(tr("Ctrl+G"))),
            &QAction::triggered, this, [this] { GenerateBrief(); });
    connect(MakeAction(C::FileShowLastBrief, tr("&Show Last Brief")), &QAction::triggered, this,
            [this] { ShowBrief(); });
    connect(MakeAction(C::FileBriefSetup, tr("&Brief Organizer Setup...")), &QAction::triggered,
            this, [this] { BriefSetup(); });
    exitAction_ = MakeAction(C::FileExit, tr("E&xit"));
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);

    connect(MakeAction(C::EditCut, tr("Cu&t"), QKeySequence(tr("Ctrl+X"))), &QAction::triggered,
            this, [this] { CutEntry(); });
    connect(MakeAction(C::EditCopy, tr("&Copy"), QKeySequence(tr("Ctrl+C"))), &QAction::triggered,
            this, [this] { CopyEntry(); });
    connect(MakeAction(C::EditPaste, tr("&Paste"), QKeySequence(tr("Ctrl+V"))), &QAction::triggered,
            this, [this] { PasteEntry(); });
    connect(MakeAction(C::EditPreferences, tr("P&references...")), &QAction::triggered, this,
            [this] { Preferences(); });

    connect(MakeAction(C::EntryAddWeb, tr("&Add Web Entry")), &QAction::triggered, this,
            [this] { AddEntry(EntryKind::Web); });
    connect(MakeAction(C::EntryAddYahoo, tr("Add &Yahoo! Entry")), &QAction::triggered, this,
            [this] { AddEntry(EntryKind::Search); });
    connect(MakeAction(C::EntryDelete, tr("&Delete Entry")), &QAction::triggered, this,
            [this] { DeleteEntry(); });
    connect(MakeAction(C::EntryAddFromBrowser, tr("Add &Page from Browser")), &QAction::triggered,
            this, [this] { AddPageFromBrowser(); });
    connect(MakeAction(C::EntrySetup, tr("&Entry Setup...")), &QAction::triggered, this,
            [this] { EntrySetup(); });
    connect(MakeAction(C::EntrySort, tr("&Sort Entries")), &QAction::triggered, this,
            [this] { SortEntries(); });
    connect(MakeAction(C::EntryLaunch, tr("&Launch Entry in Browser")), &QAction::triggered, this,
            [this] { LaunchEntry(); });

    connect(MakeAction(C::WindowTile, tr("&Tile")), &QAction::triggered, this,
            [this] { mdiArea_->tileSubWindows(); });
    connect(MakeAction(C::WindowCascade, tr("&Cascade")), &QAction::triggered, this,
            [this] { mdiArea_->cascadeSubWindows(); });
    connect(MakeAction(C::WindowArrange, tr("&Arrange All")), &QAction::triggered, this, [this] {
        // Minimised windows line up along the bottom of the area, left to right.
        int x = 0;
        for (QMdiSubWindow* sub : mdiArea_->subWindowList()) {
            if (!sub->isMinimized()) continue;
            QSize size = sub->size();
            sub->move(x, mdiArea_->viewport()->height() - size.height());
            x += size.width();
        }
    });
}

void TMDIFrame::BuildMenus() {
    fileMenu_ = menuBar()->addMenu(tr("&File"));
    fileMenu_->addAction(actions_[C::FileNew]);
    fileMenu_->addAction(actions_[C::FileOpen]);
    fileMenu_->addAction(actions_[C::FileClose]);
    fileMenu_->addAction(actions_[C::FileSaveAs]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[C::FileGenerate]);
    fileMenu_->addAction(actions_[C::FileShowLastBrief]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(actions_[C::FileBriefSetup]);
    fileMenu_->addSeparator();
    fileMenu_->addAction(exitAction_);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(actions_[C::EditCut]);
    edit->addAction(actions_[C::EditCopy]);
    edit->addAction(actions_[C::EditPaste]);
    edit->addSeparator();
    QAction* find = edit->addAction(tr("Find in &Briefs..."));
    find->setShortcut(QKeySequence(tr("Ctrl+Shift+F")));
    find->setShortcutContext(Qt::ApplicationShortcut);
    connect(find, &QAction::triggered, this, &TMDIFrame::FindInBriefs);
    edit->addSeparator();
    edit->addAction(actions_[C::EditPreferences]);

    entryMenu_ = menuBar()->addMenu(tr("E&ntry"));
    actions_.insert(C::EntryMenu, entryMenu_->menuAction());
    entryMenu_->addAction(actions_[C::EntryAddWeb]);
    entryMenu_->addAction(actions_[C::EntryAddYahoo]);
    entryMenu_->addAction(actions_[C::EntryDelete]);
    entryMenu_->addAction(actions_[C::EntryAddFromBrowser]);
    QMenu* import = entryMenu_->addMenu(tr("&Import"));
    actions_.insert(C::EntryImport, import->menuAction());
    connect(import->addAction(tr("&Import Bookmarks...")), &QAction::triggered, this,
            [this] { ImportBookmarks(); });
    connect(import->addAction(tr("Import &Shortcuts...")), &QAction::triggered, this,
            [this] { ImportShortcuts(); });
    entryMenu_->addSeparator();
    entryMenu_->addAction(actions_[C::EntrySetup]);
    entryMenu_->addSeparator();
    entryMenu_->addAction(actions_[C::EntrySort]);
    entryMenu_->addSeparator();
    entryMenu_->addAction(actions_[C::EntryLaunch]);

    windowMenu_ = menuBar()->addMenu(tr("&Window"));
    actions_.insert(C::WindowMenu, windowMenu_->menuAction());
    windowMenu_->addAction(actions_[C::WindowTile]);
    windowMenu_->addAction(actions_[C::WindowCascade]);
    windowMenu_->addAction(actions_[C::WindowArrange]);
    connect(windowMenu_, &QMenu::aboutToShow, this, &TMDIFrame::RebuildWindowMenu);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    connect(help->addAction(tr("&Contents")), &QAction::triggered, this,
            [this] { OpenHelpContents(); });
    connect(help->addAction(tr("&Tutorial")), &QAction::triggered, this,
            [this] { OpenHelpTopic(48); });
    // The maker has no web site to show: its item shows the program's own help page in the
    // browser.
    connect(help->addAction(tr("Orsolo &Development")), &QAction::triggered, this, [this] {
        BrowserPort().OpenUrl(settings_.ProgramFolder + "help/contents.html", true);
    });
    connect(help->addAction(tr("About &Gathra Pro...")), &QAction::triggered, this, [this] {
        Dlg().ShowMessage("There is no other edition: Gathra Light is the whole program, and "
                          "every command is in its menus.",
                          "About Gathra Pro", true);
    });
    connect(help->addAction(tr("&About...")), &QAction::triggered, this, [this] {
        Dlg().ShowMessage(std::string("Gathra Light ") + ProgramVersion +
                              ": keeps web pages in briefs, fetches them with their pictures "
                              "and linked pages, and stores them for reading off-line in your "
                              "browser.",
                          "About Gathra Light", true);
    });
}

void TMDIFrame::BuildToolbar() {
    QToolBar* bar = addToolBar(tr("Toolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(28);
    bar->setIconSize(QSize(16, 16));
    bar->toggleViewAction()->setVisible(false);
    struct Button {
        Command Key;
        const char* Hint;
        std::function<void()> Run;
        bool GapAfter;
    };
    const Button buttons[] = {
        {C::NewFileButton, "New", [this] { NewBrief(); }, false},
        {C::OpenFileButton, "Open", [this] { OpenBrief(); }, true},
        {C::CutButton, "Cut", [this] { CutEntry(); }, false},
        {C::CopyButton, "Copy", [this] { CopyEntry(); }, false},
        {C::PasteButton, "Paste", [this] { PasteEntry(); }, true},
        {C::CreateWebEntryButton, "New Web Entry", [this] { AddEntry(EntryKind::Web); }, false},
        {C::CreateYahooEntryButton, "New Yahoo! Entry", [this] { AddEntry(EntryKind::Search); },
         false},
        {C::GetBrowserUrlButton, "Add Browser Page", [this] { AddPageFromBrowser(); }, true},
        {C::GenerateBriefsButton, "Generate Brief", [this] { GenerateBrief(); }, false},
        {C::ShowBriefButton, "Show Brief", [this] { ShowBrief(); }, false},
    };
    for (const Button& b : buttons) {
        auto* button = new QToolButton(bar);
        button->setAutoRaise(true);
        button->setFixedSize(23, 22);
        button->setIcon(ToolIcon(b.Key));
        button->setToolTip(tr(b.Hint));
        button->setAccessibleName(tr(b.Hint));
        connect(button, &QToolButton::clicked, this, b.Run);
        bar->addWidget(button);
        if (b.GapAfter) bar->addSeparator();
        buttons_.insert(b.Key, button);
    }
}

void TMDIFrame::RefreshCommands() {
    for (auto it = actions_.begin(); it != actions_.end(); ++it)
        it.value()->setEnabled(main_.Enabled(it.key()));
    for (auto it = buttons_.begin(); it != buttons_.end(); ++it)
        it.value()->setEnabled(main_.Enabled(it.key()));
}

void TMDIFrame::RebuildWindowMenu() {
    for (QAction* a : windowListActions_) {
        windowMenu_->removeAction(a);
        a->deleteLater();
    }
    windowListActions_.clear();
    QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    if (windows.isEmpty()) return;
    windowListActions_.append(windowMenu_->addSeparator());
    int n = 0;
    for (QMdiSubWindow* sub : windows) {
        QString text = QStringLiteral("&%1 %2").arg(++n).arg(sub->windowTitle());
        QAction* a = windowMenu_->addAction(text);
        a->setCheckable(true);
        a->setChecked(sub == mdiArea_->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, sub] { mdiArea_->setActiveSubWindow(sub); });
        windowListActions_.append(a);
    }
}

void TMDIFrame::RebuildRecentMenu() {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    if (recent_.Count() > 0 && recentSeparator_ == nullptr)
        recentSeparator_ = fileMenu_->insertSeparator(exitAction_);
    std::vector<std::string> captions = recent_.Captions();
    for (int slot = 0; slot < static_cast<int>(captions.size()); ++slot) {
        auto* a = new QAction(FromStored(captions[static_cast<size_t>(slot)]), this);
        a->setData(slot);
        connect(a, &QAction::triggered, this, [this, slot] { RecentClick(slot); });
        fileMenu_->insertAction(recentSeparator_, a);
        recentActions_.append(a);
    }
}

} // namespace gathra
