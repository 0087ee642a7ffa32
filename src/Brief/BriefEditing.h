#pragma once
#include "Brief/Brief.h"

#include <string>

namespace gathra {

// The brief window's caption for a file: the file name up to its first dot, in lower case with
// the first letter raised ("C:\Briefs\MY.NEWS.BRF" gives "My").
std::string CreateCaption(const std::string& path);

// Orders the entries by name, byte by byte (so upper case sorts before lower case). The
// selection stays at the same row, not with the entry.
void SortEntries(TWebList& list);

// Paste: a copy of `buffer` becomes the first entry; the selection stays on the entry that was
// selected (now one row lower).
TWebPage* PasteEntry(TWebList& list, const TWebPage& buffer);

// A dropped entry row. `source` is a copy of the dragged (selected) entry of the source brief.
// Returns false when nothing changed (an entry dropped onto its own row), so nothing is saved.
bool DropEntry(TWebList& target, const TWebPage& source, int row, bool sameBrief, bool copy);

// Which control of a row a point falls on. The list shows one row per entry; each row has a
// check mark, a name and a depth label in front, and behind them the selection highlight on the
// selected row or the patterned background of a search entry.
enum class RowPart {
    None,        // below the last row
    ScrollBox,   // the bare background of a web entry's row
    SearchShape, // a search entry's patterned background
    Highlight,   // the selection bar behind the selected row's controls
    CheckMark,
    NameLabel,
    DepthLabel,
};

// The right edges of the three header sections.
struct ColumnEdges {
    int C0 = 40;
    int C1 = 0;
    int C2 = 0;
    // The header of a window `width` pixels wide: sections of 40, width - 100 and 60.
    static ColumnEdges ForWidth(int width) { return {40, width - 60, width}; }
};

// `y` is in list coordinates (scroll position already added).
RowPart HitRowPart(const TWebList& list, const ColumnEdges& edges, int x, int y);
// Row controls begin a drag with the left button; the bare scroll box does not.
bool BeginsDrag(RowPart part);
// Whether a drag that began on `part` may drop onto `row` of a list whose selected row is
// `selectedRow`: never onto the target's selected row (for a drag within one brief, that is the
// dragged row itself), and never a drag begun on a search entry's background.
bool AcceptsDrop(RowPart part, int row, int selectedRow);

} // namespace gathra
