#include "Brief/WebList.h"

#include <algorithm>
#include <utility>

namespace gathra {

namespace {
// The list's bottom and the scroll range sit 46 pixels below the last row's top: the row itself
// and 20 pixels of empty space under it.
constexpr int kBottomBelowLastTop = 46;
constexpr int kColumnLineSlack = 20;
} // namespace

void TWebList::RenumberRows(int from) {
    for (int i = from; i < Count(); ++i)
        entries_[static_cast<size_t>(i)]->RowTop = RowTop(i);
}

void TWebList::GrowColumnLines() {
    if (ListBottom >= ClientHeight) ColumnLineHeight = ListBottom + kColumnLineSlack;
}

TWebPage* TWebList::AddEntry(EntryKind kind) {
    if (IsFull()) return nullptr;
    int top = RowTop(Count());
    entries_.push_back(std::make_unique<TWebPage>(kind));
    TWebPage& entry = *entries_.back();
    entry.RowTop = top;
    ListBottom = top + kBottomBelowLastTop;
    GrowColumnLines();
    ScrollRange = top + kBottomBelowLastTop;
    return &entry;
}

TWebPage* TWebList::InsertEntry(int index, EntryKind kind) {
    if (IsFull()) return nullptr;
    if (index < 0) index = 0;
    if (index >= Count()) {
        // Appending shows the list from the top; the remembered position is not restored.
        ScrollPosition = 0;
        return AddEntry(kind);
    }
    entries_.insert(entries_.begin() + index, std::make_unique<TWebPage>(kind));
    RenumberRows(index);
    ListBottom += RowHeight;
    GrowColumnLines();
    ScrollRange += RowHeight;
    if (SelectedIndex >= index) SelectedIndex += 1;
    return &Entry(index);
}

void TWebList::DeleteEntry(int index) {
    if (index < 0 || index >= Count()) return;
    if (index < SelectedIndex) SelectedIndex -= 1;
    entries_.erase(entries_.begin() + index);
    RenumberRows(index);
    ListBottom -= RowHeight;
    if (ListBottom < ClientHeight) ColumnLineHeight = ClientHeight;
    ScrollRange -= RowHeight;
    if (Count() == 0) {
        SelectedIndex = -1;
        return;
    }
    if (SelectedIndex >= Count()) SelectedIndex = Count() - 1;
}

void TWebList::SwapEntries(int i, int j) {
    if (i < 0 || j < 0 || i >= Count() || j >= Count() || i == j) return;
    if (SelectedIndex == i)
        SelectedIndex = j;
    else if (SelectedIndex == j)
        SelectedIndex = i;
    std::swap(entries_[static_cast<size_t>(i)], entries_[static_cast<size_t>(j)]);
    Entry(i).RowTop = RowTop(i);
    Entry(j).RowTop = RowTop(j);
}

void TWebList::Clear() {
    entries_.clear();
    SelectedIndex = -1;
}

void TWebList::SelectEntry(int index) {
    if (index < 0 || index >= Count()) return;
    SelectedIndex = index;
}

void TWebList::UnselectEntry() {
    SelectedIndex = -1;
}

int TWebList::SelectAtPoint(int y) {
    int row = RowOfPoint(y);
    if (row < 0 || row >= Count()) return -1;
    SelectEntry(row);
    return row;
}

bool TWebList::MoveSelectionUp() {
    if (SelectedIndex <= 0) return false;
    SelectEntry(SelectedIndex - 1);
    return true;
}

bool TWebList::MoveSelectionDown() {
    if (SelectedIndex + 1 >= Count()) return false;
    SelectEntry(SelectedIndex + 1);
    return true;
}

int TWebList::RowOfPoint(int y) const {
    // Floor division, so that points above the list give negative rows rather than row 0.
    int content = y + ScrollPosition;
    int row = content / RowHeight;
    if (content % RowHeight != 0 && content < 0) row -= 1;
    return row;
}

RowColour TWebList::CheckBackgroundOf(int index) const {
    bool search = Entry(index).IsSearchEntry();
    if (index == SelectedIndex) return search ? RowColour::Navy : RowColour::Grey;
    return search ? RowColour::Yellow : RowColour::White;
}

RowColour TWebList::HighlightColour() const {
    if (SelectedIndex >= 0 && Entry(SelectedIndex).IsSearchEntry()) return RowColour::Navy;
    return RowColour::Grey;
}

void TWebList::UpdateColumnLines(int c0, int c1) {
    ColumnLineHeight = std::max(ScrollRange, ClientHeight + kColumnLineSlack);
    ColumnLine1Left = c0 - 1;
    ColumnLine2Left = c1 - 1;
}

} // namespace gathra
