#pragma once
#include "Brief/WebPage.h"
#include "Gui/BriefProcessing.h"
#include "Gui/BriefWindowHost.h"
#include "Platform/Clock.h"
#include "Platform/Registry.h"
#include "Settings/AppSettings.h"
#include "Desktop/CommandState.h"
#include "Desktop/RecentList.h"
#include "Settings/Settings.h"
#include "Desktop/WindowTables.h"
#include "Search/BriefSearch.h"
#include "Gui/ShellWindows.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolButton;

class QFileDialog;

namespace gathra {

class Browser;
class Dialogs;
class GuiRunHost;
class THelpWindow;
class TAdBar;
class TBkMarks;
class TSkeinForm;
class TBriefProcessing;
class TSkeinThread;
class TFindInBriefs;

// What a file dialog is asked for; tests answer it without a dialog.
struct FileDialogRequest {
    bool Save = false;
    QString Title;
    QString Filter;
    QString Folder;
    QString DefaultSuffix;
    int HelpContext = 0;
    bool Multiple = false; // choose one or more existing files
    QStringList Places{};  // folders to offer beside the platform's own places
};
using FileChooser = std::function<QString(const FileDialogRequest&)>;
using FilesChooser = std::function<QStringList(const FileDialogRequest&)>;

// The brief file dialogs' filters: brief files are found whatever the case of their extension,
// and a brief saved without an extension gets ".brf".
inline constexpr const char* BriefOpenFilter = "Brief Files (*.brf *.BRF);;All Files (*)";
inline constexpr const char* BriefSaveFilter = "Brief Files (*.brf *.BRF)";
inline constexpr const char* BriefSuffix = "brf";
// `path` with ".brf" added when its file name has no extension.
QString WithBriefExtension(const QString& path);

struct FrameOptions {
    bool Splash = true;
    bool AdBar = true;
    Browser* BrowserPort = nullptr; // none: start the browser by command line
    FileChooser ChooseFile;         // none: the platform's file dialogs
    FilesChooser ChooseFiles;       // several files; none: ChooseFile's one answer
};

// The main window: toolbar, menus, status bar, the MDI area with the brief windows, the
// window tables, the recent list, the entry buffer, start-up and exit.
class TMDIFrame : public QMainWindow, public BriefWindowHost {
    Q_OBJECT
public:
    // Sets up a platform file dialog as the request asks.
    static void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request);
    using Tables = TWindowTables<TSkeinForm, QMdiSubWindow>;

    explicit TMDIFrame(FrameOptions options = {}, QWidget* parent = nullptr);
    ~TMDIFrame() override;

    // --- state the brief windows read and change
    CommandState& Main() override { return main_; }
    Tables& WindowTables() { return tables_; }
    TRecentList& Recent() { return recent_; }
    AppSettings& Settings() { return settings_; }
    Registry& SettingsRegistry() { return *registry_; }
    Dialogs& Dlg() override;
    Browser& BrowserPort() override;
    TWebPage& EntryBuffer() { return entryBuffer_; }
    bool BufferFull() const override { return bufferFull_; }
    bool RunActive() const override;
    bool Closing() const { return closing_; }
    TSkeinForm* CurrentForm() const { return tables_.Current(); }
    QMdiArea* MdiArea() const { return mdiArea_; }

    // Shows the command states on the actions and buttons.
    void RefreshCommands() override;
    QAction* Action(Command command) const { return actions_.value(command); }
    QToolButton* Button(Command command) const { return buttons_.value(command); }
    QLabel* StatusLabel() const { return statusLabel_; }
    QMenu* FileMenu() const { return fileMenu_; }
    // The recent items of the File menu, most recent first.
    QList<QAction*> RecentActions() const { return recentActions_; }

    // --- start-up
    // The first activation: first start, reopening "Open Briefs", restoring the recent list.
    void FirstActivation();
    // Whether this start is a first start: the user has no settings file yet, or its "First
    // Start" value is "Yes".
    bool IsFirstStart() const { return firstStart_; }
    // Briefs given on the command line or handed over by a later start: opened once the first
    // activation has run (at once after it). A brief already open comes to the front instead.
    void OpenGivenBriefs(const QStringList& paths);
    // The main window, and the dialog in front of it, come to the front (a later start).
    void ComeToFront();

    // --- files
    TSkeinForm* OpenBriefFile(const std::string& path,
                              const std::optional<WindowPlacement>& placement = {});
    TSkeinForm* NewBrief();
    void OpenBrief();
    void SaveBriefAs();
    // Save As for `form`: true when the brief was saved under the chosen name.
    bool SaveBriefAs(TSkeinForm* form) override;
    void CloseBrief();
    void AddToRecent(TSkeinForm* form);
    void RecentClick(int slot);
    // A brief window closes: out of the tables and the recent list.
    void RemoveBriefWindow(TSkeinForm* form) override;
    void SetCurrentBrief(TSkeinForm* form) override;

    // --- entry commands on the current brief
    void AddEntry(EntryKind kind) override;
    void DeleteEntry() override;
    void CutEntry() override;
    void CopyEntry() override;
    void PasteEntry() override;
    void SortEntries();
    void GenerateBrief() override;
    void ShowBrief() override;
    void LaunchEntry();
    // The commands that open the other dialogs. Each acts on CurrentForm() (the brief window
    // in slot CurrentBrief) and shows its dialog with ExecAsFrontForm, so that it is centred on
    // the main window and is the front form while shown.
    void EntrySetup() override;
    void BriefSetup() override;
    void Preferences();
    void ImportBookmarks();
    void ImportShortcuts();
    // Opens a bookmark file in a new bookmark window; nullptr when it cannot be loaded.
    TBkMarks* OpenBookmarkWindow(const std::string& path);
    // A closing bookmark window leaves the window list.
    void RemoveBookmarkWindow(TBkMarks* window);
    // The bookmark window that is the active child, or nullptr.
    TBkMarks* ActiveBookmarkWindow() const;
    void AddPageFromBrowser();
    // "Find in Briefs...": the search window over the stored pages of the open briefs.
    void FindInBriefs();
    TFindInBriefs* FindWindow() const;
    // Shows a stored file of one of the brief's runs (`path` relative to its folder), as View
    // Brief shows a run's summary page.
    void ViewArchivedFile(const TBrief& brief, const std::string& path);

    // True while the first start opens the preferences (their caption then asks to set up the
    // browser).
    bool PreferencesOnFirstStart() const { return preferencesOnFirstStart_ == 0; }

    void OpenHelpTopic(int topic);
    void OpenHelpContents();

    // --- a run's view (main thread)
    TBriefProcessing* Progress() const;
    void SetStatusText(const std::string& text);
    GuiRunHost* RunHostPort() const { return runHost_.get(); }
    // The run started by Generate Brief, until it has ended.
    bool RunInProgress() const { return run_ != nullptr; }
    // Lets tests give runs a fixed clock and their own free-space answer.
    void SetRunClock(const Clock* clock) { runClock_ = clock; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolbar();
    QAction* MakeAction(Command command, const QString& text, const QKeySequence& shortcut = {});
    void RebuildRecentMenu();
    void RebuildWindowMenu();
    void SubWindowActivated(QMdiSubWindow* window);
    TSkeinForm* CreateBriefWindow(const std::optional<WindowPlacement>& placement);
    QString BriefsFolder() const;
    // Remembers the folder of a brief chosen in the open or save dialog for the next one.
    void RememberBriefsFolder(const QString& path);
    QString ChooseFile(const FileDialogRequest& request);
    QStringList ChooseFiles(const FileDialogRequest& request);
    void BookmarkWindowActivated();
    void CopyBookmark();
    // The browser bridge on this desktop: no DDE, no window walk, the browser started by command
    // line; its status texts go to the status bar.
    std::unique_ptr<Browser> MakeOwnBrowser();
    void WriteStartupRecords();
    void ShowSplash();
    void FinishRun();
    void PlaceAdBar();
    // Keeps a new brief window inside the window area, wholly visible.
    void FitIntoArea(QMdiSubWindow* sub);

    FrameOptions options_;
    std::unique_ptr<Registry> registry_;
    AppSettings settings_;
    CommandState main_;
    Tables tables_;
    TRecentList recent_;
    TWebPage entryBuffer_;
    bool bufferFull_ = false;
    bool closing_ = false;
    bool firstActivation_ = true;
    bool firstStart_ = false; // no settings yet, or "First Start" is "Yes"
    QStringList givenBriefs_; // waiting for the first activation
    int preferencesOnFirstStart_ = -1;

    QMdiArea* mdiArea_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* entryMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    QList<QAction*> recentActions_;
    QList<QAction*> windowListActions_;
    QMap<Command, QAction*> actions_;
    QMap<Command, QToolButton*> buttons_;
    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<Browser> ownBrowser_;
    std::unique_ptr<GuiRunHost> runHost_;
    QPointer<THelpWindow> help_;
    QPointer<TFindInBriefs> findWindow_;
    TSearchIndexer indexer_; // fills the briefs' search indexes at the end of runs
    QPointer<TAdBar> adBar_;
    SystemClock systemClock_;
    const Clock* runClock_ = &systemClock_;
    std::unique_ptr<TSkeinThread> run_;
    std::thread runThread_;
};

// Names the application "Gathra Light". Only the name: a display name would be appended by the
// platform to the caption of every window and dialog.
void SetUpApplication();

} // namespace gathra
