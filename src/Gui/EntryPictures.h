#pragma once
#include <QBrush>
#include <QColor>
#include <QCursor>
#include <QPixmap>

namespace gathra {

// The pictures the entry rows are drawn with, made once at start-up: the four 17 x 16 check
// marks (one per row background), the 8 x 8 search pattern and the two drag cursors.
struct EntryPictures {
    QPixmap UnhighlightedCheck;   // web entry, white row
    QPixmap HighlightedCheck;     // web entry, grey selection
    QPixmap SearchCheck;          // search entry, yellow row
    QPixmap SearchHighlightCheck; // search entry, navy selection
    QBrush SearchPattern;
    QPixmap DragCopy;
    QPixmap DragMove;

    static const EntryPictures& Get();
    // The check mark picture for a row background colour.
    const QPixmap& CheckFor(const QColor& background) const;
};

inline const QColor RowWhite{255, 255, 255};
inline const QColor RowGrey{128, 128, 128};
inline const QColor RowYellow{255, 255, 0};
inline const QColor RowNavy{0, 0, 128};

} // namespace gathra
