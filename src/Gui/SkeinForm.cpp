#include "Gui/SkeinForm.h"

#include "Brief/BriefEditing.h"
#include "Brief/BriefFile.h"
#include "Gui/BriefWindowHost.h"
#include "Gui/MessageDialogs.h"
#include "Gui/WebScrollBox.h"
#include "Platform/Browser.h"
#include "Platform/Dialogs.h"
#include "Run/FileNames.h"
#include "Text/AsciiText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSet>
#include <QStandardItemModel>
#include <QTimer>
#include <QVBoxLayout>

namespace gathra {
namespace {

QSet<const TSkeinForm*>& LiveForms() {
    static QSet<const TSkeinForm*> forms;
    return forms;
}

} // namespace

TSkeinForm::TSkeinForm(BriefWindowHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    LiveForms().insert(this);
    Enabling::PopupStart(Popup);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildHeader();
    layout->addWidget(topPanel_);
    layout->addWidget(header_);
    scrollBox_ = new TWebScrollBox(*this, Brief.WebList, this);
    layout->addWidget(scrollBox_, 1);
    BuildMenus();
    resize(533, 366);
    // A new window starts the generated names afresh; not while a run is using them, which
    // would make it reuse names it has already written.
    if (!host_.RunActive()) ProgramFileNameCounters().Reset();
    // FormCreate: Generate waits for entries; Show Last Brief for a new or read brief.
    Enabling::FormCreate(host_.Main(), Popup);
    FormResize();
    ApplyPopupStates();
    host_.RefreshCommands();
}

TSkeinForm::~TSkeinForm() {
    LiveForms().remove(this);
    if (!closed_) host_.RemoveBriefWindow(this);
}

bool TSkeinForm::IsLive(const TSkeinForm* form) {
    return LiveForms().contains(form);
}

QMdiSubWindow* TSkeinForm::SubWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void TSkeinForm::BuildHeader() {
    topPanel_ = new QWidget(this);
    topPanel_->setFixedHeight(31);
    topPanel_->setAutoFillBackground(true);
    briefNameLabel_ = new QLabel(tr("Brief:"), topPanel_);
    QFont bold = briefNameLabel_->font();
    bold.setBold(true);
    briefNameLabel_->setFont(bold);
    briefNameLabel_->move(8, 8);
    briefNameLabel_->adjustSize();
    headerBriefName_ = new QLabel(topPanel_);
    headerBriefName_->setFont(bold);
    headerBriefName_->move(8 + briefNameLabel_->width() + 6, 8);
    headerActive_ = new QLabel(tr("Active"), topPanel_);
    headerActive_->move(0, 8);
    for (QWidget* w :
         {static_cast<QWidget*>(topPanel_), static_cast<QWidget*>(briefNameLabel_),
          static_cast<QWidget*>(headerBriefName_), static_cast<QWidget*>(headerActive_)})
        w->installEventFilter(this);

    header_ = new QHeaderView(Qt::Horizontal, this);
    auto* model = new QStandardItemModel(0, 3, header_);
    model->setHorizontalHeaderLabels(
        {tr("Active "), tr("Web Site Name"), tr("Depth                    ")});
    header_->setModel(model);
    header_->setFixedHeight(21);
    header_->setSectionsClickable(false);
    header_->setSectionsMovable(false);
    header_->setSectionResizeMode(QHeaderView::Fixed);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header_->setStretchLastSection(false);
    header_->setMinimumSectionSize(0);
}

QAction* TSkeinForm::PopupItem(QMenu* menu, const QString& text, Command command,
                               const QKeySequence& shortcut) {
    QAction* action = menu->addAction(text);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
    popupActions_.insert(command, action);
    return action;
}

void TSkeinForm::BuildMenus() {
    webEntryMenu_ = new QMenu(this);
    QMenu* m = webEntryMenu_;
    connect(PopupItem(m, tr("&Entry Setup..."), Command::PopupEntrySetup), &QAction::triggered,
            this, [this] { Properties1Click(); });
    m->addSeparator();
    connect(PopupItem(m, tr("&Add Web Entry"), Command::PopupAddWeb), &QAction::triggered, this,
            [this] { OnThisBrief([this] { host_.AddEntry(EntryKind::Web); }); });
    connect(PopupItem(m, tr("Add &Yahoo! Entry"), Command::PopupAddYahoo), &QAction::triggered,
            this, [this] { OnThisBrief([this] { host_.AddEntry(EntryKind::Search); }); });
    connect(PopupItem(m, tr("&Delete Entry"), Command::PopupDelete), &QAction::triggered, this,
            [this] { OnThisBrief([this] { host_.DeleteEntry(); }); });
    m->addSeparator();
    connect(PopupItem(m, tr("&Launch Entry in Browser"), Command::PopupLaunch), &QAction::triggered,
            this, [this] { ViewPage1Click(); });
    m->addSeparator();
    connect(PopupItem(m, tr("Cu&t"), Command::PopupCut, QKeySequence(tr("Ctrl+X"))),
            &QAction::triggered, this, [this] { OnThisBrief([this] { host_.CutEntry(); }); });
    connect(PopupItem(m, tr("&Copy"), Command::PopupCopy, QKeySequence(tr("Ctrl+C"))),
            &QAction::triggered, this, [this] { OnThisBrief([this] { host_.CopyEntry(); }); });
    connect(PopupItem(m, tr("&Paste"), Command::PopupPaste, QKeySequence(tr("Ctrl+V"))),
            &QAction::triggered, this, [this] { OnThisBrief([this] { host_.PasteEntry(); }); });

    briefPopupMenu_ = new QMenu(this);
    QMenu* b = briefPopupMenu_;
    connect(PopupItem(b, tr("&Show Last Brief"), Command::PopupShowLastBrief), &QAction::triggered,
            this, [this] {
                host_.SetCurrentBrief(this);
                host_.ShowBrief();
            });
    connect(PopupItem(b, tr("&Brief Organizer Setup..."), Command::PopupBriefSetup),
            &QAction::triggered, this, [this] { BriefProperties1Click(); });
    b->addSeparator();
    // The item carries the main window's shortcut only as a reminder; it runs this brief.
    connect(PopupItem(b, tr("&Generate Briefs"), Command::PopupGenerateBriefs,
                      QKeySequence(tr("Ctrl+G"))),
            &QAction::triggered, this, [this] {
                host_.SetCurrentBrief(this);
                host_.GenerateBrief();
            });
}

void TSkeinForm::OnThisBrief(const std::function<void()>& command) {
    host_.SetCurrentBrief(this);
    command();
}

void TSkeinForm::ApplyPopupStates() {
    for (auto it = popupActions_.begin(); it != popupActions_.end(); ++it)
        it.value()->setEnabled(Popup.Enabled(it.key()));
}

BriefFacts TSkeinForm::Facts() const {
    BriefFacts f;
    f.HasEntries = Brief.WebList.Count() > 0;
    f.HasSelection = Brief.WebList.SelectedIndex >= 0;
    f.SelectedIsSearch =
        f.HasSelection && Brief.WebList.Entry(Brief.WebList.SelectedIndex).IsSearchEntry();
    f.Generating = Generating();
    f.RunActive = host_.RunActive();
    f.BufferFull = host_.BufferFull();
    return f;
}

void TSkeinForm::AfterEntriesChanged() {
    scrollBox_->ListChanged();
    ApplyPopupStates();
    host_.RefreshCommands();
}

void TSkeinForm::RepaintList() {
    scrollBox_->ListChanged();
}

// --- the brief and its files -------------------------------------------------------------------

void TSkeinForm::CreateNewBrief() {
    host_.Main().Enable(Command::ShowBriefButton);
    host_.Main().Enable(Command::FileShowLastBrief);
    Brief.CreateNewBrief();
    Brief.Generating = 0;
    ShowBriefHeader();
    Enabling::CreateNewBrief(host_.Main(), Popup, Facts());
    AfterEntriesChanged();
}

void TSkeinForm::ShowBriefHeader() {
    headerBriefName_->setText(FromStored(Brief.BriefName));
    headerBriefName_->adjustSize();
    headerActive_->setText(Brief.BriefActive ? tr("Active") : tr("Inactive"));
    headerActive_->adjustSize();
    FormResize();
}

bool TSkeinForm::ReadBriefs2() {
    std::string path = Brief.FileName;
    CreateNewBrief();
    Brief.FileName = path;
    if (!gathra::ReadBriefs2(Brief, host_.Dlg())) return false;
    Brief.FileName = path;
    Brief.BriefFolder = FolderOf(path);
    Brief.WebList.SelectedIndex = -1;
    CreateCaption(path);
    ShowBriefHeader();
    Enabling::AfterCreateEntry(host_.Main(), Popup, Facts());
    AfterEntriesChanged();
    return true;
}

bool TSkeinForm::SaveBriefs2() {
    if (Brief.FileName.empty()) return false;
    // The saving error is shown once per file; while the brief stays unsaved, its caption says
    // so and further failed saves to the same file say nothing more.
    SilentDialogs silent;
    const bool quiet = unsaved_ && failedPath_ == Brief.FileName;
    Dialogs& dialogs = quiet ? static_cast<Dialogs&>(silent) : host_.Dlg();
    const bool saved = gathra::SaveBriefs2(Brief, dialogs);
    failedPath_ = saved ? std::string() : Brief.FileName;
    SetUnsaved(!saved);
    return saved;
}

void TSkeinForm::SetUnsaved(bool unsaved) {
    if (unsaved == unsaved_) return;
    unsaved_ = unsaved;
    ShowCaption();
}

void TSkeinForm::CreateCaption(const std::string& path) {
    caption_ = gathra::CreateCaption(path);
    ShowCaption();
}

void TSkeinForm::ShowCaption() {
    QString caption = FromStored(caption_);
    if (unsaved_) caption += tr(" (not saved)");
    setWindowTitle(caption);
}

bool TSkeinForm::RoomForEntry() {
    if (!Brief.WebList.IsFull()) return true;
    host_.Dlg().ShowMessage(BriefFullText, BriefFullCaption, false);
    return false;
}

// --- entries -----------------------------------------------------------------------------------

TWebPage* TSkeinForm::CreateNewWebEntry(int index, EntryKind kind) {
    if (!RoomForEntry()) return nullptr;
    TWebPage* entry = Brief.WebList.InsertEntry(index, kind);
    if (entry == nullptr) return nullptr;
    Enabling::AfterCreateEntry(host_.Main(), Popup, Facts());
    AfterEntriesChanged();
    return entry;
}

bool TSkeinForm::DeleteCurrWebEntry(const std::string& verb, bool deleteCommand) {
    TWebList& list = Brief.WebList;
    if (list.SelectedIndex < 0) return false;
    int answer = host_.Dlg().Ask("Are you sure you want to " + Lowered(verb) +
                                     " this Web Entry and all of its properties?",
                                 verb + " a Web Entry");
    if (answer != 0 || list.SelectedIndex < 0) return false;
    list.DeleteEntry(list.SelectedIndex);
    if (list.SelectedIndex >= 0) SelectEntry(list.SelectedIndex);
    Enabling::AfterDelete(host_.Main(), Popup, Facts(), deleteCommand);
    AfterEntriesChanged();
    SaveBriefs2();
    return true;
}

void TSkeinForm::CopyWebEntryData(TWebPage& target) const {
    const TWebList& list = Brief.WebList;
    if (list.SelectedIndex < 0) return;
    target.TransferFrom(list.Entry(list.SelectedIndex));
}

void TSkeinForm::DoWebEntryPaste(const TWebPage& source) {
    TWebPage* entry =
        CreateNewWebEntry(0, source.IsSearchEntry() ? EntryKind::Search : EntryKind::Web);
    if (entry == nullptr) return;
    entry->TransferFrom(source);
    AfterEntriesChanged();
    SaveBriefs2();
}

void TSkeinForm::FinishDragDrop(TSkeinForm& source, int row, bool copy) {
    const TWebList& from = source.Brief.WebList;
    if (from.SelectedIndex < 0 || Generating()) return;
    TWebPage dragged;
    dragged.TransferFrom(from.Entry(from.SelectedIndex));
    bool sameBrief = &source == this;
    // A move within the brief needs no room; anything else adds an entry.
    if ((!sameBrief || copy) && !RoomForEntry()) return;
    int before = Brief.WebList.Count();
    if (!DropEntry(Brief.WebList, dragged, row, sameBrief, copy)) return;
    if (Brief.WebList.Count() != before) Enabling::AfterCreateEntry(host_.Main(), Popup, Facts());
    if (Brief.WebList.SelectedIndex >= 0) SelectEntry(Brief.WebList.SelectedIndex);
    AfterEntriesChanged();
    SaveBriefs2();
}

void TSkeinForm::DropBookmarks(const std::vector<BookmarkEntry>& bookmarks, int row) {
    if (Generating() || gathra::DropBookmarks(Brief.WebList, bookmarks, row) == 0) return;
    Enabling::AfterCreateEntry(host_.Main(), Popup, Facts());
    if (Brief.WebList.SelectedIndex >= 0) SelectEntry(Brief.WebList.SelectedIndex);
    AfterEntriesChanged();
    SaveBriefs2();
}

void TSkeinForm::SelectEntry(int index) {
    TWebList& list = Brief.WebList;
    if (index < 0 || index >= list.Count()) return;
    list.SelectEntry(index);
    Enabling::SelectEntry(host_.Main(), Popup, Facts());
    scrollBox_->viewport()->update();
    ApplyPopupStates();
    host_.RefreshCommands();
}

void TSkeinForm::MoveSelection(int delta) {
    TWebList& list = Brief.WebList;
    bool moved = delta < 0 ? list.MoveSelectionUp() : list.MoveSelectionDown();
    if (!moved) {
        Beep();
        return;
    }
    SelectEntry(list.SelectedIndex);
    scrollBox_->EnsureSelectedVisible();
}

void TSkeinForm::ToggleActive(int row) {
    TWebList& list = Brief.WebList;
    if (row < 0 || row >= list.Count() || Generating()) return;
    TWebPage& entry = list.Entry(row);
    if (entry.Locked != 0) return;
    entry.Active = entry.Active ? 0 : 1;
    SaveBriefs2();
    scrollBox_->viewport()->update();
}

void TSkeinForm::SortEntries() {
    // The exchange sort keeps the order users know, but takes a moment on a very long brief.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    gathra::SortEntries(Brief.WebList);
    QApplication::restoreOverrideCursor();
    if (Brief.WebList.SelectedIndex >= 0) SelectEntry(Brief.WebList.SelectedIndex);
    scrollBox_->viewport()->update();
    SaveBriefs2();
}

// --- commands ----------------------------------------------------------------------------------

void TSkeinForm::ViewPage1Click() {
    const TWebPage* entry = Brief.WebList.Selected();
    if (entry == nullptr || entry->Address.empty()) return;
    host_.BrowserPort().OpenUrl(entry->Address, false);
}

void TSkeinForm::Properties1Click() {
    host_.SetCurrentBrief(this);
    host_.EntrySetup();
}

void TSkeinForm::BriefProperties1Click() {
    host_.SetCurrentBrief(this);
    host_.BriefSetup();
}

void TSkeinForm::ShowRowPopup(const QPoint& globalPos) {
    Enabling::RowPopup(Popup, host_.Main(), Facts());
    ApplyPopupStates();
    webEntryMenu_->popup(globalPos);
}

void TSkeinForm::Panel3MouseDown(Qt::MouseButton button, const QPoint& globalPos) {
    if (button != Qt::RightButton) return;
    CommandState remembered = Popup;
    Popup = Enabling::EmptyAreaPopup(Popup, host_.Main(), Facts());
    ApplyPopupStates();
    Popup = remembered;
    // The menu hides before it triggers the chosen item, and a disabled item does not trigger:
    // the remembered states come back only once the choice has run.
    connect(
        webEntryMenu_, &QMenu::aboutToHide, this,
        [this] { QTimer::singleShot(0, this, &TSkeinForm::ApplyPopupStates); },
        Qt::SingleShotConnection);
    webEntryMenu_->popup(globalPos);
}

void TSkeinForm::FormActivate() {
    if (!Generating()) Brief.BriefFolder = FolderOf(Brief.FileName);
    host_.SetCurrentBrief(this);
    Enabling::FormActivate(host_.Main(), Popup, Facts());
    ApplyPopupStates();
    host_.RefreshCommands();
}

// --- window events -----------------------------------------------------------------------------

bool TSkeinForm::MayClose() {
    while (unsaved_ && !discarded_) {
        QMessageBox question(QMessageBox::Warning, tr("Brief Not Saved"),
                             tr("The changes to %1 could not be saved to %2. Save the brief "
                                "under another name, or close it without the changes?")
                                 .arg(FromStored(Brief.BriefName), FromStored(Brief.FileName)),
                             QMessageBox::NoButton, this);
        QPushButton* saveAs = question.addButton(tr("&Save As..."), QMessageBox::AcceptRole);
        QPushButton* discard = question.addButton(tr("&Discard"), QMessageBox::DestructiveRole);
        question.addButton(tr("&Cancel"), QMessageBox::RejectRole);
        question.setDefaultButton(saveAs);
        ExecAsFrontForm(question);
        if (question.clickedButton() == discard)
            discarded_ = true;
        else if (question.clickedButton() == saveAs)
            host_.SaveBriefAs(this); // saved: the loop ends; else the question comes again
        else
            return false;
    }
    return true;
}

void TSkeinForm::closeEvent(QCloseEvent* event) {
    if (Generating() || (!closed_ && !MayClose())) {
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        host_.RemoveBriefWindow(this);
    }
    event->accept();
}

void TSkeinForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TSkeinForm::FormResize() {
    int w = width();
    headerActive_->move(w - headerActive_->width() - 19, 8);
    header_->resizeSection(0, 40);
    header_->resizeSection(1, std::max(0, w - 40 - 60));
    header_->resizeSection(2, 60);
    scrollBox_->SetColumns(ColumnEdges{40, 40 + std::max(0, w - 100), w});
}

bool TSkeinForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            briefPopupMenu_->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace gathra
