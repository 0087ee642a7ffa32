#pragma once
#include "Brief/Brief.h"
#include "Imports/BookmarkEntries.h"
#include "Desktop/CommandState.h"

#include <QMap>
#include <QWidget>
#include <functional>
#include <string>

class QAction;
class QHeaderView;
class QLabel;
class QMenu;
class QMdiSubWindow;

namespace gathra {

class BriefWindowHost;

inline constexpr const char* BriefFullCaption = "Brief Full";
inline constexpr const char* BriefFullText =
    "This brief already holds 32,767 entries, as many as a brief can hold. Delete an entry to "
    "make room for another.";
class TWebScrollBox;

// A brief window: the brief's fields and entries, the header panel, the column header and the
// entry list, the two pop-up menus, and every operation on entries. Each change saves the brief.
class TSkeinForm : public QWidget {
    Q_OBJECT
public:
    // host: the window that holds this one (the main window), which outlives it.
    explicit TSkeinForm(BriefWindowHost& host, QWidget* parent = nullptr);
    ~TSkeinForm() override;

    TBrief Brief;
    // The enabled states of this window's pop-up items.
    CommandState Popup;

    // A brief window that still exists (drag sources are checked with this).
    static bool IsLive(const TSkeinForm* form);

    // --- the brief and its files
    void CreateNewBrief();
    // Reads the brief from Brief.FileName; false when it cannot be read.
    bool ReadBriefs2();
    // Saves both files of the brief; reports failures itself.
    bool SaveBriefs2();
    // The caption from the file name; a brief whose last save failed is marked "(not saved)".
    void CreateCaption(const std::string& path);
    bool Unsaved() const { return unsaved_; }
    // Whether the window may close: always, unless the brief's last save failed; then the user
    // chooses to save it under another name, to discard the changes (the window may then
    // close), or to cancel.
    bool MayClose();
    // Shows the brief's name and Active state in the header.
    void ShowBriefHeader();

    // --- entries
    // The new entry, or nullptr when the brief is full (the user is told why).
    TWebPage* CreateNewWebEntry(int index, EntryKind kind);
    // Confirms and deletes the selected entry; `verb` is "Delete" or "Cut". True when deleted.
    bool DeleteCurrWebEntry(const std::string& verb, bool deleteCommand = false);
    void CopyWebEntryData(TWebPage& target) const;
    // Pastes `source` as a new first entry and saves.
    void DoWebEntryPaste(const TWebPage& source);
    // A row of `source` (possibly this window) was dropped on `row`.
    void FinishDragDrop(TSkeinForm& source, int row, bool copy);
    // Bookmarks dragged from a bookmark window were dropped on `row`: each becomes a new entry.
    void DropBookmarks(const std::vector<BookmarkEntry>& bookmarks, int row);
    void SelectEntry(int index);
    // Arrow keys: one entry up (-1) or down (+1), or a beep at the ends.
    void MoveSelection(int delta);
    // A click on the check mark of `row` (already selected by the press).
    void ToggleActive(int row);
    void SortEntries();

    // --- commands that other windows open
    void ViewPage1Click();
    void Properties1Click();
    void BriefProperties1Click();
    void ShowRowPopup(const QPoint& globalPos);
    void Panel3MouseDown(Qt::MouseButton button, const QPoint& globalPos);

    // The window became active: it becomes the current brief and sets the main commands.
    void FormActivate();
    BriefFacts Facts() const;
    bool Generating() const { return Brief.Generating != 0; }
    // Shows the pop-up states on the pop-up menus' items.
    void ApplyPopupStates();
    // The entries changed (for example after a run): repaint the list.
    void RepaintList();

    TWebScrollBox* ScrollBox() const { return scrollBox_; }
    QMenu* WebEntryMenu() const { return webEntryMenu_; }
    QMenu* BriefPopupMenu() const { return briefPopupMenu_; }
    QHeaderView* ColumnHeader() const { return header_; }
    QLabel* HeaderActive() const { return headerActive_; }
    QMdiSubWindow* SubWindow() const;
    QAction* PopupAction(Command command) const { return popupActions_.value(command); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildHeader();
    void BuildMenus();
    QAction* PopupItem(QMenu* menu, const QString& text, Command command,
                       const QKeySequence& shortcut = {});
    void FormResize();
    // Pop-up items act on the window they were opened in.
    void OnThisBrief(const std::function<void()>& command);
    void AfterEntriesChanged();
    void SetUnsaved(bool unsaved);
    void ShowCaption();
    // False, after telling the user, when the brief already holds as many entries as it can.
    bool RoomForEntry();

    BriefWindowHost& host_;
    QWidget* topPanel_ = nullptr;
    QLabel* briefNameLabel_ = nullptr;
    QLabel* headerBriefName_ = nullptr;
    QLabel* headerActive_ = nullptr;
    QHeaderView* header_ = nullptr;
    TWebScrollBox* scrollBox_ = nullptr;
    QMenu* webEntryMenu_ = nullptr;
    QMenu* briefPopupMenu_ = nullptr;
    QMap<Command, QAction*> popupActions_;
    bool closed_ = false;
    bool unsaved_ = false;
    bool discarded_ = false; // the user chose to close without the unsaved changes
    std::string failedPath_; // the file the last save failed to write
    std::string caption_;
};

} // namespace gathra
