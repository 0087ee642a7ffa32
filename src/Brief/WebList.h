#pragma once
#include "Brief/WebPage.h"

#include <memory>
#include <vector>

namespace gathra {

// The colours a row's check mark background and the selection bar take; the view maps them to
// its palette and to the check-mark bitmaps.
enum class RowColour { White, Grey, Yellow, Navy };

// The entries of a brief in display order, the selection and the row arithmetic of the list view.
// The list owns its entries. Geometry is pure arithmetic on the row index: row i's top is
// RowHeight * i from the top of the list (scroll position 0), so hit-testing needs no search.
class TWebList {
public:
    static constexpr int RowHeight = 26;
    // A brief file counts its entries in a signed 16-bit word.
    static constexpr int MaxEntries = 32767;

    int Count() const { return static_cast<int>(entries_.size()); }
    TWebPage& Entry(int index) { return *entries_.at(static_cast<size_t>(index)); }
    const TWebPage& Entry(int index) const { return *entries_.at(static_cast<size_t>(index)); }
    TWebPage* Selected() { return SelectedIndex >= 0 ? &Entry(SelectedIndex) : nullptr; }
    bool IsFull() const { return Count() >= MaxEntries; }

    // Appends a new entry of the given kind under the last row; returns it, or nullptr when the
    // list already holds MaxEntries. The scroll position is left alone.
    TWebPage* AddEntry(EntryKind kind);
    // Inserts a new entry at `index` (appends when at or past the end, which scrolls the list to
    // the top; otherwise the scroll position is kept). The selection stays on the same entry.
    // Returns the new entry, or nullptr when the list is full.
    TWebPage* InsertEntry(int index, EntryKind kind);
    // Frees the entry. Deleting the selected entry selects the one that takes its place (or the
    // new last one); deleting one above the selection keeps the same entry selected.
    void DeleteEntry(int index);
    // Exchanges two entries and their rows; the selection follows its entry.
    void SwapEntries(int i, int j);
    // Frees every entry and forgets the selection.
    void Clear();

    // Selects an entry; an index outside the list changes nothing.
    void SelectEntry(int index);
    // Hides the selection bar; no entry is selected afterwards.
    void UnselectEntry();
    // Selects the row under a point (y in the view's visible coordinates). Returns the row, or -1
    // when the point is below the last row (the brief window's empty area handles it then).
    int SelectAtPoint(int y);
    // The arrow keys: move the selection one row. Up with no selection or on the first row, and
    // Down on the last row, change nothing and return false (the view beeps). Down with no
    // selection selects the first row.
    bool MoveSelectionUp();
    bool MoveSelectionDown();

    // Row under a point given in the view's visible coordinates: floor((y + scroll) / 26).
    int RowOfPoint(int y) const;
    static int RowTop(int index) { return index * RowHeight; }
    // Where row i is drawn in the view once scrolled.
    int VisibleRowTop(int index) const { return RowTop(index) - ScrollPosition; }
    // Each row has a 2-pixel separator line at its bottom edge.
    static int SeparatorTop(int index) { return RowTop(index) + RowHeight - 1; }
    int SeparatorCount() const { return Count(); }

    // Colours of the selection: the bar is navy over a search entry and grey over a web entry;
    // a check mark's background is yellow (search) or white (web), navy or grey when selected.
    RowColour CheckBackgroundOf(int index) const;
    RowColour HighlightColour() const;
    bool HighlightVisible() const { return SelectedIndex >= 0; }
    int HighlightTop() const { return VisibleRowTop(SelectedIndex); }

    // The two vertical column lines sit one pixel left of the header's column edges c0 and c1.
    // Their height is the scroll range, or the view's client height + 20 when the range is
    // smaller.
    void UpdateColumnLines(int c0, int c1);

    int SelectedIndex = -1;
    int ScrollPosition = 0; // pixels scrolled from the top; kept by the view
    int ScrollRange = 0;    // a new brief has 0; last row top + 46 after an append
    int ListBottom = 0;     // last row top + 46 after an append; +-26 on insert and delete
    int ClientHeight = 0;   // the view's visible height, set by the view when it is resized
    int ColumnLineHeight = 0;
    int ColumnLine1Left = 34;
    int ColumnLine2Left = 38;

private:
    void RenumberRows(int from);
    void GrowColumnLines();
    std::vector<std::unique_ptr<TWebPage>> entries_;
};

} // namespace gathra
