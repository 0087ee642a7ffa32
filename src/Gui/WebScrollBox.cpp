#include "Gui/WebScrollBox.h"

#include "Gui/EntryPictures.h"
#include "Gui/SkeinForm.h"
#include "Imports/BookmarkEntries.h"
#include "Imports/BrowserPage.h"
#include "Gui/BookmarkDrag.h"
#include "Gui/MessageDialogs.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace gathra {
namespace {

constexpr int Row = TWebList::RowHeight;

// A drag carries the source window and the row control it began on.
QByteArray EncodeDrag(const TSkeinForm* source, RowPart part) {
    return QByteArray::number(reinterpret_cast<quintptr>(source)) + ' ' +
           QByteArray::number(static_cast<int>(part));
}

bool DecodeDrag(const QMimeData* mime, TSkeinForm*& source, RowPart& part) {
    if (mime == nullptr || !mime->hasFormat(TWebScrollBox::DragMimeType)) return false;
    QList<QByteArray> fields = mime->data(TWebScrollBox::DragMimeType).split(' ');
    if (fields.size() != 2) return false;
    bool ok1 = false, ok2 = false;
    auto* form = reinterpret_cast<TSkeinForm*>(fields[0].toULongLong(&ok1));
    int p = fields[1].toInt(&ok2);
    if (!ok1 || !ok2 || !TSkeinForm::IsLive(form)) return false;
    source = form;
    part = static_cast<RowPart>(p);
    return true;
}

} // namespace

TWebScrollBox::TWebScrollBox(TSkeinForm& form, TWebList& list, QWidget* parent)
    : QAbstractScrollArea(parent), form_(form), list_(list) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(pal);
    verticalScrollBar()->setSingleStep(Row);
}

void TWebScrollBox::SetColumns(const ColumnEdges& edges) {
    edges_ = edges;
    viewport()->update();
}

int TWebScrollBox::ScrollPosition() const {
    return verticalScrollBar()->value();
}

void TWebScrollBox::SetScrollPosition(int y) {
    verticalScrollBar()->setValue(y);
    list_.ScrollPosition = verticalScrollBar()->value();
}

int TWebScrollBox::ColumnLineHeight() const {
    int visible = viewport()->height();
    return list_.ScrollRange < visible ? visible + 20 : list_.ScrollRange;
}

void TWebScrollBox::UpdateScrollBar() {
    QScrollBar* bar = verticalScrollBar();
    int visible = viewport()->height();
    bar->setPageStep(std::max(Row, visible - visible % Row));
    bar->setRange(0, std::max(0, list_.ScrollRange - visible));
}

void TWebScrollBox::ListChanged() {
    UpdateScrollBar();
    SetScrollPosition(list_.ScrollPosition);
    viewport()->update();
}

void TWebScrollBox::EnsureSelectedVisible() {
    if (list_.SelectedIndex < 0) return;
    int top = TWebList::RowTop(list_.SelectedIndex);
    int visible = viewport()->height();
    if (top < ScrollPosition())
        SetScrollPosition(top);
    else if (top + Row > ScrollPosition() + visible)
        SetScrollPosition(top + Row - visible);
}

void TWebScrollBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    list_.ClientHeight = viewport()->height();
    UpdateScrollBar();
}

void TWebScrollBox::scrollContentsBy(int, int) {
    list_.ScrollPosition = verticalScrollBar()->value();
    viewport()->update();
}

void TWebScrollBox::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int scroll = ScrollPosition();
    const int width = viewport()->width();
    const int height = viewport()->height();
    p.fillRect(viewport()->rect(), Qt::white);
    const int first = scroll / Row;
    const int last = std::min(list_.Count() - 1, (scroll + height) / Row);
    const EntryPictures& pictures = EntryPictures::Get();

    // Backgrounds first: the search pattern and, in front of it, the selection highlight.
    for (int i = first; i <= last; ++i) {
        int top = TWebList::RowTop(i) - scroll;
        const TWebPage& entry = list_.Entry(i);
        if (entry.IsSearchEntry()) {
            p.setBrushOrigin(0, top);
            p.fillRect(0, top, std::max(width, 3000), Row, pictures.SearchPattern);
        }
        if (i == list_.SelectedIndex)
            p.fillRect(0, top, width, Row, entry.IsSearchEntry() ? RowNavy : RowGrey);
    }
    // One sunken separator under every row, and the two sunken column lines.
    const QColor shadow(128, 128, 128);
    // The separators run across the whole list, however wide the window is.
    const int right = std::max(width, 1000) - 1;
    for (int i = first; i <= last; ++i) {
        int y = TWebList::RowTop(i) - scroll + 25;
        p.setPen(shadow);
        p.drawLine(0, y, right, y);
        p.setPen(Qt::white);
        p.drawLine(0, y + 1, right, y + 1);
    }
    int lineBottom = std::min(height, ColumnLineHeight() - scroll);
    for (int x : {edges_.C0 - 1, edges_.C1 - 1}) {
        p.setPen(shadow);
        p.drawLine(x, 0, x, lineBottom);
        p.setPen(Qt::white);
        p.drawLine(x + 1, 0, x + 1, lineBottom);
    }
    // The row controls.
    for (int i = first; i <= last; ++i)
        PaintRow(p, i, TWebList::RowTop(i) - scroll, width);
}

void TWebScrollBox::PaintRow(QPainter& p, int index, int top, int) {
    const TWebPage& entry = list_.Entry(index);
    const bool selected = index == list_.SelectedIndex;
    const bool search = entry.IsSearchEntry();
    if (entry.Active != 0) {
        QColor background =
            selected ? (search ? RowNavy : RowGrey) : (search ? RowYellow : RowWhite);
        const QPixmap& check = EntryPictures::Get().CheckFor(background);
        int checkWidth = edges_.C0 - 2;
        p.drawPixmap(1 + (checkWidth - 17) / 2, top + 1 + (24 - 17) / 2, check);
    }
    p.setPen(selected ? Qt::white : Qt::black);
    QRect name(edges_.C0 + 5, top + 5, std::max(0, edges_.C1 - 5 - (edges_.C0 + 5)), 15);
    p.drawText(name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               FromStored(entry.EntryName));
    QRect depth(edges_.C1 + 5, top + 5, std::max(0, edges_.C2 - 1 - (edges_.C1 + 5)), 15);
    p.drawText(depth, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               FromStored(entry.DepthText));
}

void TWebScrollBox::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    const int row = list_.RowOfPoint(pos.y());
    pressPending_ = false;
    if (row >= list_.Count() || pos.y() < 0) {
        form_.Panel3MouseDown(event->button(), event->globalPosition().toPoint());
        return;
    }
    RowPart part = HitRowPart(list_, edges_, pos.x(), ListY(pos.y()));
    form_.SelectEntry(row);
    if (event->button() == Qt::RightButton) {
        form_.ShowRowPopup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() == Qt::LeftButton) {
        pressPending_ = true;
        pressPart_ = part;
        pressPoint_ = pos;
    }
}

void TWebScrollBox::mouseMoveEvent(QMouseEvent* event) {
    if (!pressPending_ || !(event->buttons() & Qt::LeftButton)) return;
    if ((event->position().toPoint() - pressPoint_).manhattanLength() <
        QApplication::startDragDistance())
        return;
    pressPending_ = false;
    if (BeginsDrag(pressPart_)) StartDrag();
}

void TWebScrollBox::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressPending_ || event->button() != Qt::LeftButton) return;
    pressPending_ = false;
    if (pressPart_ == RowPart::CheckMark) form_.ToggleActive(list_.RowOfPoint(pressPoint_.y()));
}

void TWebScrollBox::mouseDoubleClickEvent(QMouseEvent* event) {
    pressPending_ = false;
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    const int row = list_.RowOfPoint(pos.y());
    // Below the last row the scroll box itself was double-clicked: it launches the selected
    // entry, as a double click on any of its rows does.
    if (row >= list_.Count() || pos.y() < 0) {
        form_.ViewPage1Click();
        return;
    }
    form_.SelectEntry(row);
    // A check mark counts each click of a double click, so Active ends as it was.
    if (HitRowPart(list_, edges_, pos.x(), ListY(pos.y())) == RowPart::CheckMark)
        form_.ToggleActive(row);
    else
        form_.ViewPage1Click();
}

void TWebScrollBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up)
        form_.MoveSelection(-1);
    else if (event->key() == Qt::Key_Down)
        form_.MoveSelection(+1);
    else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
             form_.Brief.WebList.Selected() != nullptr)
        form_.Properties1Click(); // the selected entry's setup, as its menu item opens it
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void TWebScrollBox::StartDrag() {
    auto* mime = new QMimeData;
    mime->setData(DragMimeType, EncodeDrag(&form_, pressPart_));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const EntryPictures& pictures = EntryPictures::Get();
    drag->setDragCursor(pictures.DragCopy, Qt::CopyAction);
    drag->setDragCursor(pictures.DragMove, Qt::MoveAction);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

namespace {

// Links and address-bar icons dragged from a browser: a text/uri-list, with the titles where the
// browser offers them (text/x-moz-url in UTF-16, or _NETSCAPE_URL). Only web addresses count.
std::optional<std::vector<BookmarkEntry>> BrowserLinksOf(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasFormat("text/uri-list")) return std::nullopt;
    std::string titled;
    if (mime->hasFormat("text/x-moz-url")) {
        const QByteArray raw = mime->data("text/x-moz-url");
        titled =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.constData()), raw.size() / 2)
                .toStdString();
    } else if (mime->hasFormat("_NETSCAPE_URL")) {
        titled = mime->data("_NETSCAPE_URL").toStdString();
    }
    std::vector<BookmarkEntry> links;
    for (const BrowserPage& page :
         PagesFromUriList(mime->data("text/uri-list").toStdString(), titled))
        if (std::optional<std::string> address = WebAddressInText(page.Url))
            links.push_back(
                {page.Title.empty() ? std::string() : BookmarkEntryName(page.Title), *address});
    if (links.empty()) return std::nullopt;
    return links;
}

} // namespace

bool TWebScrollBox::AcceptDrag(QDropEvent* event) {
    // Bookmarks are always copied, onto any row, while the brief is not being generated.
    if (event->mimeData() != nullptr && event->mimeData()->hasFormat(kBookmarkDragMimeType)) {
        if (form_.Generating()) return false;
        event->setDropAction(Qt::CopyAction);
        return true;
    }
    TSkeinForm* source = nullptr;
    RowPart part = RowPart::None;
    if (!DecodeDrag(event->mimeData(), source, part)) {
        // A browser's links are copied like bookmarks.
        if (form_.Generating() || !BrowserLinksOf(event->mimeData())) return false;
        event->setDropAction(Qt::CopyAction);
        return true;
    }
    int row = list_.RowOfPoint(event->position().toPoint().y());
    if (!AcceptsDrop(part, row, list_.SelectedIndex)) return false;
    event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction
                                                                    : Qt::MoveAction);
    return true;
}

void TWebScrollBox::dragEnterEvent(QDragEnterEvent* event) {
    TSkeinForm* source = nullptr;
    RowPart part = RowPart::None;
    if (DecodeDrag(event->mimeData(), source, part) ||
        (event->mimeData() != nullptr && event->mimeData()->hasFormat(kBookmarkDragMimeType)) ||
        BrowserLinksOf(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TWebScrollBox::dragMoveEvent(QDragMoveEvent* event) {
    if (AcceptDrag(event))
        event->accept();
    else
        event->ignore();
}

void TWebScrollBox::dropEvent(QDropEvent* event) {
    if (std::optional<std::vector<BookmarkEntry>> bookmarks =
            DecodeBookmarkDrag(event->mimeData())) {
        if (!AcceptDrag(event)) {
            event->ignore();
            return;
        }
        event->accept();
        form_.DropBookmarks(*bookmarks, list_.RowOfPoint(event->position().toPoint().y()));
        return;
    }
    TSkeinForm* source = nullptr;
    RowPart part = RowPart::None;
    if (!DecodeDrag(event->mimeData(), source, part)) {
        std::optional<std::vector<BookmarkEntry>> links = BrowserLinksOf(event->mimeData());
        if (!links || !AcceptDrag(event)) {
            event->ignore();
            return;
        }
        event->accept();
        form_.DropBookmarks(*links, list_.RowOfPoint(event->position().toPoint().y()));
        return;
    }
    if (!AcceptDrag(event)) {
        event->ignore();
        return;
    }
    bool copy = (event->modifiers() & Qt::ControlModifier) != 0;
    int row = list_.RowOfPoint(event->position().toPoint().y());
    event->accept();
    form_.FinishDragDrop(*source, row, copy);
}

} // namespace gathra
