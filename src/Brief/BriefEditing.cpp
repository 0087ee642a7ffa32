#include "Brief/BriefEditing.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

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
    const int remembered = list.SelectedIndex;
    const int n = list.Count();
    // The exchange sort (each position takes, in turn, every later name that is smaller) decides
    // where entries of equal names end up, so it is kept. It runs on the names' ranks (their
    // places among the distinct names, in byte order), which compare exactly as the names do,
    // and on an index permutation, so its quadratic number of comparisons stays cheap; the
    // entries themselves then move once.
    std::vector<std::string> distinct;
    distinct.reserve(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        distinct.push_back(list.Entry(k).EntryName);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<int> rank(static_cast<size_t>(n)), order(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        auto it = std::lower_bound(distinct.begin(), distinct.end(), list.Entry(k).EntryName);
        rank[static_cast<size_t>(k)] = static_cast<int>(it - distinct.begin());
        order[static_cast<size_t>(k)] = k;
    }
    for (size_t i = 0; i < rank.size(); ++i)
        for (size_t j = i + 1; j < rank.size(); ++j)
            if (rank[j] < rank[i]) {
                std::swap(rank[i], rank[j]);
                std::swap(order[i], order[j]);
            }
    // Move the entries into that order with one swap per misplaced entry: `where[e]` is the
    // current position of the entry that started at e.
    std::vector<int> at(static_cast<size_t>(n)), where(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        at[static_cast<size_t>(k)] = where[static_cast<size_t>(k)] = k;
    for (int pos = 0; pos < n; ++pos) {
        int wanted = order[static_cast<size_t>(pos)];
        int from = where[static_cast<size_t>(wanted)];
        if (from == pos) continue;
        list.SwapEntries(pos, from);
        int displaced = at[static_cast<size_t>(pos)];
        at[static_cast<size_t>(pos)] = wanted;
        at[static_cast<size_t>(from)] = displaced;
        where[static_cast<size_t>(wanted)] = pos;
        where[static_cast<size_t>(displaced)] = from;
    }
    // The selection stays at the same row, not with its entry.
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
