#include "Gui/MDIFrame.h"

#include "Gui/SkeinForm.h"
#include "Run/RunCancel.h"
#include "Run/RunFlags.h"
#include "Run/SkeinThread.h"
#include "Gui/BriefProcessing.h"
#include "Gui/EntryDialog.h"
#include "Platform/ProcessStart.h"
#include "Platform/ProgramFolder.h"
#include "Platform/UserFolders.h"
#include "Desktop/BrowserBridge.h"
#include "Desktop/SampleBriefs.h"
#include "Gui/BkMarks.h"
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
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace gathra {
namespace {

using C = Command;

// The user's own briefs folder, as UserBriefsFolder finds it in this session's environment.
std::string UserFolderForBriefs(const std::string& programFolder) {
    return UserBriefsFolder(programFolder, UserFolder("DOCUMENTS", "Documents"), FolderIsUsers);
}

int WindowStateNumber(Qt::WindowStates state) {
    if (state & Qt::WindowMinimized) return 1;
    if (state & Qt::WindowMaximized) return 2;
    return 0;
}

WindowPlacement PlacementOf(const QRect& bounds, Qt::WindowStates state) {
    return {bounds.left(), bounds.top(), bounds.width(), bounds.height(), WindowStateNumber(state)};
}

// A minimised or maximised brief window is recorded with its normal placement, so that it comes
// back there when restored after the next start. Qt keeps that placement to itself, so each brief
// window remembers the last geometry it had while in the normal state.
const char* const NormalGeometryProperty = "gathraNormalGeometry";

bool IsNormalState(const QWidget* window) {
    return (window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) == 0;
}

class NormalGeometryKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
            auto* window = static_cast<QWidget*>(watched);
            if (IsNormalState(window) && window->isVisible())
                window->setProperty(NormalGeometryProperty, window->geometry());
        }
        return false;
    }
};

QRect NormalGeometryOf(const QWidget* window) {
    if (IsNormalState(window)) return window->geometry();
    QVariant kept = window->property(NormalGeometryProperty);
    return kept.isValid() ? kept.toRect() : window->geometry();
}

void ApplyState(QWidget* window, int state) {
    if (state == 1)
        window->setWindowState(Qt::WindowMinimized);
    else if (state == 2)
        window->setWindowState(Qt::WindowMaximized);
    else
        window->setWindowState(Qt::WindowNoState);
}

} // namespace

TMDIFrame::TMDIFrame(FrameOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    setWindowTitle(tr("Gathra Light"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    SetMainForm(this);
    dialogs_ = std::make_unique<QtDialogs>();
    runHost_ = std::make_unique<GuiRunHost>(*this);
    registry_ = std::make_unique<Registry>(Registry::DefaultFile());
    // A user without a settings file has never started the program: nothing else writes the
    // "First Start" value here, so its absence counts as "Yes". (Loading the settings may write
    // the file, so look first.)
    {
        std::error_code error;
        const bool settingsExisted = std::filesystem::exists(registry_->File(), error);
        firstStart_ = !settingsExisted || ReadStartupValues(*registry_).FirstStart;
    }
    settings_.ProgramFolder = DetectProgramFolder();
    LoadSettings(settings_, *registry_);
    if (options_.BrowserPort == nullptr) ownBrowser_ = MakeOwnBrowser();

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setBackground(QColor(128, 128, 128));
    // Brief windows that reach beyond the area stay within reach.
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea_);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMDIFrame::SubWindowActivated);

    BuildActions();
    BuildMenus();
    BuildToolbar();
    statusLabel_ = new QLabel(QStringLiteral(" Gathra Light"), this);
    statusBar()->addWidget(statusLabel_, 1);
    statusBar()->setSizeGripEnabled(true);

    Enabling::MainStart(main_);
    RefreshCommands();

    setMinimumSize(490, 160);
    QSize size(519, 361 + menuBar()->sizeHint().height() + 28 + statusBar()->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        // A first start opens four sample briefs: give them room, about two thirds of the
        // screen, and never more than the screen.
        if (firstStart_) size = size.expandedTo(area.size() * 2 / 3);
        size = size.boundedTo(area.size()).expandedTo(minimumSize());
        resize(size);
        move(area.center() - rect().center());
    } else {
        resize(size);
    }

    if (options_.Splash) ShowSplash();
}

TMDIFrame::~TMDIFrame() {
    closing_ = true;
    if (run_ != nullptr) {
        // The run waits for the main thread at each window update, so keep serving it while it
        // stops.
        RequestAbort();
        while (run_ != nullptr)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    // Brief windows call back into the tables as they go, so they go while those still exist.
    delete mdiArea_;
    mdiArea_ = nullptr;
    delete Progress();
    if (MainForm() == this) SetMainForm(nullptr);
}

TBriefProcessing* TMDIFrame::Progress() const {
    return runHost_ != nullptr ? runHost_->Progress() : nullptr;
}

Dialogs& TMDIFrame::Dlg() {
    return *dialogs_;
}

Browser& TMDIFrame::BrowserPort() {
    return options_.BrowserPort != nullptr ? *options_.BrowserPort : *ownBrowser_;
}

bool TMDIFrame::RunActive() const {
    return ProgramRunFlags().RunActive.load() != 0 || run_ != nullptr;
}

// --- start-up ----------------------------------------------------------------------------------

void TMDIFrame::ShowSplash() {
    TSplashScreen splash;
    QPointer<QWidget> previous = FrontForm();
    SetFrontForm(&splash);
    if (settings_.AutoLoadBrowser && !settings_.BrowserPath.empty())
        SpawnDetached(BrowserArguments(settings_.BrowserPath, ""));
    splash.exec();
    SetFrontForm(previous);
}

void TMDIFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstActivation_) QTimer::singleShot(0, this, [this] { FirstActivation(); });
}

void TMDIFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Switching back to the program brings the dialog that is in front to the front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        QWidget* front = FrontForm();
        if (front != nullptr && front != this && front->isVisible()) {
            front->raise();
            front->activateWindow();
        }
    }
}

void TMDIFrame::FirstActivation() {
    if (!firstActivation_) return;
    firstActivation_ = false;
    StartupValues startup = ReadStartupValues(*registry_);
    if (startup.FirstStart || firstStart_) {
        // An installed program's samples are copied to the user's own folder first, where
        // changes to them can be saved.
        if (auto samples =
                SampleBriefPaths(settings_.ProgramFolder,
                                 UserFolderForBriefs(settings_.ProgramFolder), FolderIsUsers))
            for (const std::string& path : *samples)
                OpenBriefFile(path);
        OpenHelpTopic(48);
        if (settings_.BrowserPath.empty()) {
            preferencesOnFirstStart_ = 0;
            Preferences();
            preferencesOnFirstStart_ = -1;
        }
        WriteFirstStartDone(*registry_);
    }
    if (startup.OpenBriefs) {
        const WindowPlacement& main = startup.OpenBriefs->MainWindow;
        ApplyState(this, main.State);
        QRect bounds(main.Left, main.Top, main.Width, main.Height);
        if (QScreen* screen = QGuiApplication::primaryScreen())
            bounds.setSize(bounds.size().boundedTo(screen->availableGeometry().size()));
        setGeometry(bounds);
        for (const auto& brief : startup.OpenBriefs->Briefs)
            OpenBriefFile(brief.Path, brief.Placement);
    }
    if (QMdiSubWindow* active = mdiArea_->activeSubWindow())
        if (auto* form = qobject_cast<TSkeinForm*>(active->widget())) SetCurrentBrief(form);
    std::vector<std::string> previous(startup.PreviousBriefs.Slots.begin(),
                                      startup.PreviousBriefs.Slots.end());
    recent_.Restore(previous);
    RebuildRecentMenu();
    if (options_.AdBar) {
        adBar_ = new TAdBar(this);
        PlaceAdBar();
    }
    OpenGivenBriefs(std::exchange(givenBriefs_, {}));
}

void TMDIFrame::PlaceAdBar() {
    if (!adBar_ || closing_) return;
    adBar_->Place();
}

void TMDIFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // The bar goes with the main window.
    PlaceAdBar();
}

void TMDIFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    PlaceAdBar();
}

// --- files -------------------------------------------------------------------------------------

QString TMDIFrame::BriefsFolder() const {
    std::error_code error;
    // The folder used last, while it is there; else the program's own briefs folder where the
    // user may write there, else the user's own one.
    if (std::optional<std::string> last =
            registry_->ReadValue(settings_keys::Briefs, settings_keys::LastBriefFolder))
        if (!last->empty() && std::filesystem::is_directory(*last, error))
            return QString::fromStdString(*last);
    const std::string folder = UserFolderForBriefs(settings_.ProgramFolder);
    std::filesystem::create_directories(folder, error);
    if (std::filesystem::is_directory(folder, error)) return QString::fromStdString(folder);
    return QString::fromStdString(settings_.ProgramFolder);
}

void TMDIFrame::RememberBriefsFolder(const QString& path) {
    registry_->WriteValue(settings_keys::Briefs, settings_keys::LastBriefFolder,
                          QFileInfo(path).absolutePath().toStdString());
}

QString WithBriefExtension(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QLatin1Char('.') + QLatin1String(BriefSuffix);
}

QString TMDIFrame::ChooseFile(const FileDialogRequest& request) {
    if (options_.ChooseFile) return options_.ChooseFile(request);
    QFileDialog dialog(this);
    ConfigureFileDialog(dialog, request);
    if (ExecAsFrontForm(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void TMDIFrame::ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setWindowTitle(request.Title);
    dialog.setDirectory(request.Folder);
    dialog.setNameFilter(request.Filter);
    dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.Save       ? QFileDialog::AnyFile
                       : request.Multiple ? QFileDialog::ExistingFiles
                                          : QFileDialog::ExistingFile);
    if (!request.Places.isEmpty()) {
        QList<QUrl> places = dialog.sidebarUrls();
        for (const QString& folder : request.Places)
            places << QUrl::fromLocalFile(folder);
        dialog.setSidebarUrls(places);
        // Wide enough for the names of the places (profile folders are long), within reason.
        if (auto* splitter = dialog.findChild<QSplitter*>("splitter")) {
            int widest = 0;
            for (const QString& folder : request.Places)
                widest = std::max(
                    widest, dialog.fontMetrics().horizontalAdvance(QFileInfo(folder).fileName()));
            splitter->setSizes({std::min(widest + 56, 260), 600});
        }
    }
    if (!request.DefaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.DefaultSuffix);
    // Saving over an existing brief replaces it without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // The save dialog names its one filter without the pattern.
    dialog.setOption(QFileDialog::HideNameFilterDetails, request.Save);
    // "*.brf" also finds the "NEWS.Brf" of a case-sensitive file system.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
}

TSkeinForm* TMDIFrame::CreateBriefWindow(const std::optional<WindowPlacement>& placement) {
    if (!tables_.CanAddBrief() || !tables_.CanAddChild()) {
        Dlg().ShowMessage("Close a brief before opening another one.", "Too many windows", false);
        return nullptr;
    }
    auto* form = new TSkeinForm(*this);
    tables_.AddBrief(form);
    QMdiSubWindow* sub = mdiArea_->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(ToolIcon(C::ShowBriefButton));
    sub->setMinimumSize(275, 60);
    sub->installEventFilter(new NormalGeometryKeeper(sub));
    if (placement) {
        QRect normal(placement->Left, placement->Top, placement->Width, placement->Height);
        sub->setWindowState(Qt::WindowNoState);
        sub->setGeometry(normal);
        sub->setProperty(NormalGeometryProperty, normal);
        sub->show();
        if (placement->State != 0) ApplyState(sub, placement->State);
    } else {
        sub->resize(533, 366);
        sub->show();
        FitIntoArea(sub);
    }
    Enabling::BriefWindowCreated(main_);
    RefreshCommands();
    return form;
}

void TMDIFrame::FitIntoArea(QMdiSubWindow* sub) {
    const QSize area = mdiArea_->viewport()->size();
    if (area.width() <= 0 || area.height() <= 0) return;
    QRect bounds = sub->geometry();
    bounds.setSize(bounds.size().boundedTo(area).expandedTo(sub->minimumSize()));
    bounds.moveLeft(std::clamp(bounds.left(), 0, std::max(0, area.width() - bounds.width())));
    bounds.moveTop(std::clamp(bounds.top(), 0, std::max(0, area.height() - bounds.height())));
    if (bounds != sub->geometry()) sub->setGeometry(bounds);
}

TSkeinForm* TMDIFrame::OpenBriefFile(const std::string& path,
                                     const std::optional<WindowPlacement>& placement) {
    for (TSkeinForm* open : tables_.BriefWindows())
        if (open->Brief.FileName == path) {
            Dlg().ShowMessage("This brief is already open. Gathra Light cannot open two copies "
                              "of the same brief.",
                              "Brief already open", false);
            return nullptr;
        }
    TSkeinForm* form = CreateBriefWindow(placement);
    if (form == nullptr) return nullptr;
    form->Brief.FileName = path;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool read = form->ReadBriefs2();
    QApplication::restoreOverrideCursor();
    if (!read) {
        form->SubWindow()->close();
        return nullptr;
    }
    AddToRecent(form);
    main_.Set(C::EntrySort, form->Brief.WebList.Count() > 0);
    if (mdiArea_->activeSubWindow() == form->SubWindow()) form->FormActivate();
    RefreshCommands();
    return form;
}

TSkeinForm* TMDIFrame::NewBrief() {
    QString path = ChooseFile({true, tr("Save As"), QString::fromLatin1(BriefSaveFilter),
                               BriefsFolder(), QString::fromLatin1(BriefSuffix), 4});
    if (path.isEmpty()) return nullptr;
    RememberBriefsFolder(path);
    path = WithBriefExtension(path);
    TSkeinForm* form = CreateBriefWindow({});
    if (form == nullptr) return nullptr;
    form->CreateNewBrief();
    form->Brief.FileName = path.toStdString();
    form->Brief.BriefFolder = QFileInfo(path).absolutePath().toStdString() + "/";
    form->CreateCaption(form->Brief.FileName);
    form->SaveBriefs2();
    AddToRecent(form);
    main_.Disable(C::EntrySort);
    if (mdiArea_->activeSubWindow() == form->SubWindow()) form->FormActivate();
    RefreshCommands();
    return form;
}

void TMDIFrame::OpenBrief() {
    QString path = ChooseFile(
        {false, tr("Open File"), QString::fromLatin1(BriefOpenFilter), BriefsFolder(), {}, 5});
    if (path.isEmpty()) return;
    RememberBriefsFolder(path);
    OpenBriefFile(path.toStdString());
}

void TMDIFrame::SaveBriefAs() {
    SaveBriefAs(CurrentForm());
}

bool TMDIFrame::SaveBriefAs(TSkeinForm* form) {
    if (form == nullptr) return false;
    QString title =
        QStringLiteral("Save ") + FromStored(form->Brief.FileName) + QStringLiteral(" As");
    QString path = ChooseFile({true, title, QString::fromLatin1(BriefSaveFilter), BriefsFolder(),
                               QString::fromLatin1(BriefSuffix), 7});
    if (path.isEmpty()) return false;
    RememberBriefsFolder(path);
    path = WithBriefExtension(path);
    form->CreateCaption(path.toStdString());
    form->Brief.FileName = path.toStdString();
    return form->SaveBriefs2();
}

void TMDIFrame::CloseBrief() {
    if (TSkeinForm* form = CurrentForm()) form->SubWindow()->close();
}

void TMDIFrame::AddToRecent(TSkeinForm* form) {
    tables_.AddChild(form->SubWindow());
    recent_.AddToRecent(form->Brief.FileName, form);
    RebuildRecentMenu();
}

void TMDIFrame::RecentClick(int slot) {
    TRecentList::ClickAction action = recent_.Click(slot, [](TRecentList::WindowRef window) {
        return static_cast<const TSkeinForm*>(window)->Brief.FileName;
    });
    if (action.BringToFront != nullptr) {
        auto* form = const_cast<TSkeinForm*>(static_cast<const TSkeinForm*>(action.BringToFront));
        mdiArea_->setActiveSubWindow(form->SubWindow());
    } else if (!action.OpenPath.empty()) {
        OpenBriefFile(action.OpenPath);
    }
}

void TMDIFrame::RemoveBriefWindow(TSkeinForm* form) {
    if (tables_.BriefIndex(form) < 0) return;
    QMdiSubWindow* sub = form->SubWindow();
    if (tables_.InWindowList(sub)) recent_.ForgetWindow(form);
    tables_.RemoveBrief(form, sub);
    if (tables_.WindowCount() == 0 && !closing_) {
        Enabling::LastWindowClosed(main_, true);
        RefreshCommands();
    }
}

void TMDIFrame::SetCurrentBrief(TSkeinForm* form) {
    int index = tables_.BriefIndex(form);
    if (index >= 0) tables_.CurrentBrief = index;
}

void TMDIFrame::SubWindowActivated(QMdiSubWindow* window) {
    if (window == nullptr || closing_) return;
    if (auto* form = qobject_cast<TSkeinForm*>(window->widget())) {
        if (tables_.BriefIndex(form) >= 0) form->FormActivate();
    } else if (qobject_cast<TBkMarks*>(window->widget()) != nullptr) {
        BookmarkWindowActivated();
    }
}

// --- exit --------------------------------------------------------------------------------------

void TMDIFrame::WriteStartupRecords() {
    OpenBriefsRecord open;
    open.MainWindow =
        PlacementOf(isMinimized() || isMaximized() ? normalGeometry() : geometry(), windowState());
    for (QMdiSubWindow* sub : tables_.WindowList()) {
        auto* form = qobject_cast<TSkeinForm*>(sub->widget());
        if (form == nullptr) continue;
        open.Briefs.push_back(
            {form->Brief.FileName, PlacementOf(NormalGeometryOf(sub), sub->windowState())});
    }
    WriteOpenBriefs(*registry_, open);
    WritePreviousBriefs(*registry_, PreviousBriefsRecord{recent_.Slots()});
}

void TMDIFrame::closeEvent(QCloseEvent* event) {
    if (RunActive() || closing_) {
        event->ignore();
        if (closing_) return;
        // The run must be stopped first: say so, and show the user where.
        Dlg().ShowMessage("A brief is being generated. Stop it with \"Stop Brief\" in its "
                          "progress window (or wait until it is ready), then exit.",
                          "Brief Running", true);
        if (Progress() != nullptr) Progress()->BringToFront();
        return;
    }
    // Briefs whose changes could not be saved are asked about first; Cancel keeps the program
    // open with nothing closed.
    for (QMdiSubWindow* sub : tables_.WindowList()) {
        auto* form = qobject_cast<TSkeinForm*>(sub->widget());
        if (form != nullptr && !form->MayClose()) {
            event->ignore();
            return;
        }
    }
    closing_ = true;
    WriteStartupRecords();
    while (tables_.WindowCount() > 0) {
        QMdiSubWindow* first = tables_.Child(0);
        if (auto* form = qobject_cast<TSkeinForm*>(first->widget())) SetCurrentBrief(form);
        if (!first->close()) break;
        tables_.RemoveChild(first);
    }
    // Windows that never entered the window list (a brief that failed to load) go too.
    for (QMdiSubWindow* sub : mdiArea_->subWindowList())
        sub->close();
    if (help_) help_->close();
    if (adBar_) adBar_->close();
    event->accept();
}

void SetUpApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Gathra Light"));
}

} // namespace gathra
