#pragma once
#include "Brief/BriefEditing.h"
#include "Brief/WebList.h"

#include <QAbstractScrollArea>
#include <QPoint>

namespace gathra {

class TSkeinForm;

// The entry list view: every row of the brief painted in one scrolling widget (check mark,
// name, depth, search pattern, selection highlight, separator and column lines). Mouse and
// keyboard input are hit-tested by row arithmetic and handed to the brief window.
class TWebScrollBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr const char* DragMimeType = "application/x-gathralight-entry-row";

    TWebScrollBox(TSkeinForm& form, TWebList& list, QWidget* parent);

    // The header's column edges changed (window resize).
    void SetColumns(const ColumnEdges& edges);
    const ColumnEdges& Columns() const { return edges_; }
    // The list's rows or scroll range changed.
    void ListChanged();
    // Scrolls so that the selected row is in view.
    void EnsureSelectedVisible();
    int ScrollPosition() const;
    void SetScrollPosition(int y);

    // The height of the two column lines: the scroll range, or the visible height + 20.
    int ColumnLineHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void PaintRow(class QPainter& p, int index, int top, int width);
    void UpdateScrollBar();
    int ListY(int viewportY) const { return viewportY + ScrollPosition(); }
    void StartDrag();
    bool AcceptDrag(class QDropEvent* event);

    TSkeinForm& form_;
    TWebList& list_;
    ColumnEdges edges_;
    // The press that may become a click on a check mark or the start of a drag.
    RowPart pressPart_ = RowPart::None;
    QPoint pressPoint_;
    bool pressPending_ = false;
    bool doubleClickPress_ = false;
};

} // namespace gathra
