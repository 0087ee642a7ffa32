#include "Brief/WebList.h"

#include <cmath>
#include <utility>

namespace gathra {

void TWebList::RenumberRows(int from) {
    for (int i = from; i < Count(); ++i) entries_[static_cast<size_t>(i)]->RowTop = RowTop(i);
}

TWebPage& TWebList::AddEntry(EntryKind kind) {
    int top = RowTop(Count());
    entries_.push_back(std::make_unique<TWebPage>(kind));
    TWebPage& entry = *entries_.back();
    entry.RowTop = top;
    ListBottom = top + 46;
    ScrollRange = top + 46;
    return entry;
}

TWebPage& TWebList::InsertEntry(int index, EntryKind kind) {
    int remembered = ScrollPosition;
    if (index < 0) index = 0;
    if (index >= Count()) {
        ScrollPosition = 0; // appending leaves the list scrolled to the top
        return AddEntry(kind);
    }
    entries_.insert(entries_.begin() + index, std::make_unique<TWebPage>(kind));
    RenumberRows(index);
    ListBottom += RowHeight;
    ScrollRange += RowHeight;
    if (SelectedIndex >= index) SelectedIndex += 1;
    ScrollPosition = remembered;
    return Entry(index);
}

void TWebList::DeleteEntry(int index) {
    if (index < 0 || index >= Count()) return;
    if (index < SelectedIndex) SelectedIndex -= 1;
    entries_.erase(entries_.begin() + index);
    RenumberRows(index);
    ListBottom -= RowHeight;
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

void TWebList::UnselectEntry() { SelectedIndex = -1; }

int TWebList::RowOfPoint(int y) const {
    return static_cast<int>(std::floor(static_cast<double>(y + ScrollPosition) / RowHeight));
}

} // namespace gathra
