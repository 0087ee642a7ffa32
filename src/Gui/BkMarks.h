#pragma once
#include "Brief/WebPage.h"
#include "Imports/BookmarkOutline.h"

#include <QTreeWidget>
#include <QWidget>
#include <string>

class QAction;
class QMenu;
class QMimeData;
class QMdiSubWindow;

namespace gathra {

class TMDIFrame;

// The bookmark tree of a bookmark window: 16-pixel rows on the button face, no border. Dragging
// a row carries the bookmarks it imports into a brief.
class TBookmarkTree : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int RowHeight = 16;
    static constexpr int OutlineRole = Qt::UserRole + 1; // the item's index in the outline

    TBookmarkTree(const TBookmarkOutline& outline, QWidget* parent = nullptr);
    // The outline index of the selected row, or -1.
    int SelectedItem() const;
    QTreeWidgetItem* RowOf(int outlineIndex) const;
    // Shows the outline's items, folders expanded at the top level.
    void Fill();
    // What dragging the selected row carries: the bookmarks it imports (nullptr when none).
    QMimeData* DragData() const;

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    const TBookmarkOutline& outline_;
    std::vector<QTreeWidgetItem*> rows_;
};

// A bookmark window: an MDI child beside the brief windows showing the bookmarks of a file, from
// which bookmarks are copied or dragged into briefs.
class TBkMarks : public QWidget {
    Q_OBJECT
public:
    explicit TBkMarks(TMDIFrame& frame, QWidget* parent = nullptr);

    // Reads a bookmark file (an exported page, a places.sqlite or a Chromium Bookmarks file)
    // with the hourglass shown and the main window disabled. On failure the loading error has
    // been shown and the window shows nothing.
    bool LoadBookmarkFile(const std::string& path);

    // Copy: the selected bookmark into the entry buffer. False when nothing was copied.
    bool BookmarkToBuffer(TWebPage& buffer) const;

    const TBookmarkOutline& Outline() const { return outline_; }
    TBookmarkTree* SKOutline() const { return tree_; }
    QMenu* PopupMenu() const { return popup_; }
    QAction* PopupCopy() const { return copy_; }
    QMdiSubWindow* SubWindow() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TMDIFrame& frame_;
    TBookmarkOutline outline_;
    TBookmarkTree* tree_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* copy_ = nullptr;
    bool closed_ = false;
};

} // namespace gathra
