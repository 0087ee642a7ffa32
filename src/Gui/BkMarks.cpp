#include "Gui/BkMarks.h"

#include "Imports/BookmarkEntries.h"
#include "Imports/BookmarkFile.h"
#include "Gui/BookmarkDrag.h"
#include "Gui/MDIFrame.h"
#include "Gui/MessageDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace gathra {

namespace {

// Every row is 16 pixels high, whatever the font asks for.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), TBookmarkTree::RowHeight};
    }
};

} // namespace

TBookmarkTree::TBookmarkTree(const TBookmarkOutline& outline, QWidget* parent)
    : QTreeWidget(parent), outline_(outline) {
    setHeaderHidden(true);
    setColumnCount(1);
    setFrameShape(QFrame::NoFrame);
    setUniformRowHeights(true);
    setItemDelegate(new RowDelegate(this));
    setIconSize(QSize(14, 14));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
}

void TBookmarkTree::Fill() {
    clear();
    rows_.assign(static_cast<size_t>(outline_.Count()), nullptr);
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon page = style()->standardIcon(QStyle::SP_FileIcon);
    for (int i : outline_.InOrder()) {
        const TBookmarkItem& item = outline_.Item(i);
        QTreeWidgetItem* row = item.Parent < 0
                                   ? new QTreeWidgetItem(this)
                                   : new QTreeWidgetItem(rows_[static_cast<size_t>(item.Parent)]);
        // A bookmark without a title is shown by its address, as its entry will be.
        row->setText(0, FromStored(item.Text.empty() ? item.Address : item.Text));
        row->setData(0, OutlineRole, i);
        if (!item.Address.empty()) row->setToolTip(0, FromStored(item.Address));
        row->setIcon(0, item.Address.empty() ? folder : page);
        rows_[static_cast<size_t>(i)] = row;
    }
    for (int i : outline_.TopLevel())
        rows_[static_cast<size_t>(i)]->setExpanded(true);
    if (topLevelItemCount() > 0) setCurrentItem(topLevelItem(0));
}

int TBookmarkTree::SelectedItem() const {
    QTreeWidgetItem* row = currentItem();
    return row == nullptr ? -1 : row->data(0, OutlineRole).toInt();
}

QTreeWidgetItem* TBookmarkTree::RowOf(int outlineIndex) const {
    return outlineIndex >= 0 && outlineIndex < static_cast<int>(rows_.size())
               ? rows_[static_cast<size_t>(outlineIndex)]
               : nullptr;
}

QMimeData* TBookmarkTree::DragData() const {
    const int selected = SelectedItem();
    if (selected < 0) return nullptr;
    std::vector<BookmarkEntry> bookmarks =
        BookmarkEntries(outline_, outline_.ItemsToImport(selected));
    if (bookmarks.empty()) return nullptr;
    auto* mime = new QMimeData;
    mime->setData(kBookmarkDragMimeType, EncodeBookmarkDrag(bookmarks));
    return mime;
}

void TBookmarkTree::startDrag(Qt::DropActions) {
    QMimeData* mime = DragData();
    if (mime == nullptr) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

TBkMarks::TBkMarks(TMDIFrame& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
    setWindowTitle(tr("Bookmarks"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tree_ = new TBookmarkTree(outline_, this);
    tree_->setVisible(false);
    layout->addWidget(tree_);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);

    popup_ = new QMenu(this);
    copy_ = popup_->addAction(tr("&Copy"));
    connect(copy_, &QAction::triggered, this, [this] { frame_.CopyEntry(); });
    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (QTreeWidgetItem* row = tree_->itemAt(at)) tree_->setCurrentItem(row);
        popup_->popup(tree_->viewport()->mapToGlobal(at));
    });
}

QMdiSubWindow* TBkMarks::SubWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

bool TBkMarks::LoadBookmarkFile(const std::string& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    frame_.setEnabled(false);
    std::optional<TBookmarkOutline> read;
    {
        // The message, if any, comes after the hourglass and with the main window usable.
        SilentDialogs silent;
        read = gathra::LoadBookmarkFile(path, silent);
    }
    if (read) {
        outline_ = std::move(*read);
        setWindowTitle(FromStored(BookmarkWindowCaption(path, outline_.Title)));
        tree_->Fill();
        tree_->setVisible(true);
    }
    frame_.setEnabled(true);
    QApplication::restoreOverrideCursor();
    if (!read)
        frame_.Dlg().ShowMessage(kBookmarkLoadingErrorText, kBookmarkLoadingErrorCaption, false);
    return read.has_value();
}

bool TBkMarks::BookmarkToBuffer(TWebPage& buffer) const {
    return gathra::BookmarkToBuffer(outline_, tree_->SelectedItem(), buffer);
}

void TBkMarks::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        frame_.RemoveBookmarkWindow(this);
    }
    event->accept();
}

} // namespace gathra
