#include "Brief/BriefEditing.h"

#include <cctype>

namespace gathra {

std::string CreateCaption(const std::string& path) {
    size_t start = path.find_last_of('\\');
    // POSIX paths separate folders with "/"; a stored Windows path with "\".
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && (start == std::string::npos || slash > start)) start = slash;
    start = start == std::string::npos ? 0 : start + 1;
    std::string name = path.substr(start);
    size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

void SortEntries(TWebList& list) {
    int remembered = list.SelectedIndex;
    // Names compare as unsigned bytes (std::string's char_traits compare does that).
    for (int i = 0; i < list.Count(); ++i)
        for (int j = i + 1; j < list.Count(); ++j)
            if (list.Entry(j).EntryName.compare(list.Entry(i).EntryName) < 0) {
                list.SwapEntries(i, j);
                if (list.SelectedIndex != -1 && remembered != -1) list.SelectEntry(remembered);
            }
    if (remembered != -1) list.SelectEntry(remembered);
}

TWebPage* PasteEntry(TWebList& list, const TWebPage& buffer) {
    TWebPage* entry =
        list.InsertEntry(0, buffer.IsSearchEntry() ? EntryKind::Search : EntryKind::Web);
    if (entry != nullptr) entry->TransferFrom(buffer);
    return entry;
}

bool DropEntry(TWebList& target, const TWebPage& source, int row, bool sameBrief, bool copy) {
    EntryKind kind = source.IsSearchEntry() ? EntryKind::Search : EntryKind::Web;
    if (row >= target.Count()) row = (sameBrief && !copy) ? target.Count() - 1 : target.Count();
    if (row < 0) row = 0;
    if (sameBrief && row == target.SelectedIndex) return false;
    if (sameBrief && !copy) {
        int from = target.SelectedIndex;
        if (from < 0) return false;
        // Walk the entry to its new row one place at a time, so every row in between shifts
        // one row toward the old position.
        int step = row > from ? 1 : -1;
        for (int i = from; i != row; i += step)
            target.SwapEntries(i, i + step);
        target.SelectEntry(row);
        return true;
    }
    TWebPage* entry = target.InsertEntry(row, kind);
    if (entry == nullptr) return false; // the brief is full
    entry->TransferFrom(source);
    if (sameBrief) target.SelectEntry(row);
    return true;
}

RowPart HitRowPart(const TWebList& list, const ColumnEdges& e, int x, int y) {
    if (y < 0) return RowPart::None;
    int row = y / TWebList::RowHeight;
    if (row >= list.Count()) return RowPart::None;
    int top = TWebList::RowTop(row);
    int dy = y - top;
    if (x >= 1 && x < e.C0 - 1 && dy >= 1 && dy < 25) return RowPart::CheckMark;
    if (dy >= 5 && dy < 20) {
        if (x >= e.C0 + 5 && x < e.C1 - 5) return RowPart::NameLabel;
        if (x >= e.C1 + 5 && x < e.C2 - 1) return RowPart::DepthLabel;
    }
    if (row == list.SelectedIndex) return RowPart::Highlight;
    return list.Entry(row).IsSearchEntry() ? RowPart::SearchShape : RowPart::ScrollBox;
}

bool BeginsDrag(RowPart part) {
    return part != RowPart::None && part != RowPart::ScrollBox;
}

bool AcceptsDrop(RowPart part, int row, int selectedRow) {
    if (part == RowPart::None || part == RowPart::SearchShape) return false;
    return row != selectedRow;
}

} // namespace gathra
