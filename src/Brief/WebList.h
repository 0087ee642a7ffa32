#pragma once
#include "Brief/WebPage.h"

#include <memory>
#include <vector>

namespace gathra {

// The entries of a brief in display order, the selection and the row arithmetic of the list view.
// The list owns its entries. Geometry is pure arithmetic on the row index: row i's top is
// RowHeight * i from the top of the list.
class TWebList {
public:
    static constexpr int RowHeight = 26;

    int Count() const { return static_cast<int>(entries_.size()); }
    TWebPage& Entry(int index) { return *entries_.at(static_cast<size_t>(index)); }
    const TWebPage& Entry(int index) const { return *entries_.at(static_cast<size_t>(index)); }
    TWebPage* Selected() { return SelectedIndex >= 0 ? &Entry(SelectedIndex) : nullptr; }

    // Appends a new entry of the given kind; returns it.
    TWebPage& AddEntry(EntryKind kind);
    // Inserts a new entry at `index` (at the end when past it); the selection stays on the same
    // entry. Returns the new entry.
    TWebPage& InsertEntry(int index, EntryKind kind);
    // Frees the entry; the selection moves to the entry that takes its place (or the new last).
    void DeleteEntry(int index);
    // Exchanges two entries and their rows; the selection follows its entry.
    void SwapEntries(int i, int j);
    // Frees every entry.
    void Clear();

    void SelectEntry(int index);
    void UnselectEntry();

    // Row under a point given in the list's visible coordinates.
    int RowOfPoint(int y) const;
    static int RowTop(int index) { return index * RowHeight; }

    int SelectedIndex = -1;
    int ScrollPosition = 0; // pixels scrolled from the top; kept by the view
    int ScrollRange = 0;    // the list's bottom plus 20 once there are rows
    int ListBottom = 0;

private:
    void RenumberRows(int from);
    std::vector<std::unique_ptr<TWebPage>> entries_;
};

} // namespace gathra
