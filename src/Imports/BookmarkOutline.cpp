#include "Imports/BookmarkOutline.h"

#include <utility>

namespace gathra {

bool IsImportableAddress(std::string_view address) {
    while (!address.empty() && (address.front() == ' ' || address.front() == '\t' ||
                                address.front() == '\r' || address.front() == '\n'))
        address.remove_prefix(1);
    if (address.empty()) return false;
    for (std::string_view scheme : {std::string_view("javascript:"), std::string_view("place:")}) {
        if (address.size() < scheme.size()) continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i) {
            const char c = address[i];
            same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == scheme[i];
        }
        if (same) return false;
    }
    return true;
}

int TBookmarkOutline::Add(int parent, std::string text, std::string address) {
    if (parent >= Count()) parent = -1;
    while (parent >= 0 && Item(parent).Level >= MaxLevels)
        parent = Item(parent).Parent;
    TBookmarkItem item;
    item.Text = std::move(text);
    item.Address = std::move(address);
    item.Parent = parent;
    item.Level = parent < 0 ? 1 : Item(parent).Level + 1;
    const int index = Count();
    items_.push_back(std::move(item));
    if (parent < 0)
        top_.push_back(index);
    else
        items_[static_cast<size_t>(parent)].Children.push_back(index);
    return index;
}

void TBookmarkOutline::Clear() {
    items_.clear();
    top_.clear();
    Title.reset();
}

void TBookmarkOutline::AppendInOrder(const std::vector<int>& roots, std::vector<int>& out) const {
    // An explicit stack of (list, next position) keeps deep trees off the call stack.
    std::vector<std::pair<const std::vector<int>*, size_t>> stack{{&roots, 0}};
    while (!stack.empty()) {
        auto& [list, next] = stack.back();
        if (next == list->size()) {
            stack.pop_back();
            continue;
        }
        const int index = (*list)[next++];
        out.push_back(index);
        const TBookmarkItem& item = Item(index);
        if (!item.Children.empty()) stack.push_back({&item.Children, 0});
    }
}

std::vector<int> TBookmarkOutline::InOrder() const {
    std::vector<int> out;
    out.reserve(items_.size());
    AppendInOrder(top_, out);
    return out;
}

std::vector<int> TBookmarkOutline::ItemsToImport(int index) const {
    if (index < 0 || index >= Count()) return {};
    const TBookmarkItem& item = Item(index);
    if (item.Children.empty()) return {index};
    std::vector<int> below;
    AppendInOrder(item.Children, below);
    std::vector<int> out;
    for (int i : below)
        if (!Item(i).Address.empty()) out.push_back(i);
    return out;
}

std::vector<int> TBookmarkOutline::Bookmarks() const {
    std::vector<int> out;
    for (int i : InOrder())
        if (!Item(i).Address.empty()) out.push_back(i);
    return out;
}

int TBookmarkOutline::FindFolder(const std::string& path) const {
    const std::vector<int>* level = &top_;
    int found = -1;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        const std::string name = path.substr(from, slash - from);
        from = slash + 1;
        if (name.empty()) continue;
        found = -1;
        for (int i : *level)
            if (Item(i).Text == name && (Item(i).Address.empty() || !Item(i).Children.empty())) {
                found = i;
                break;
            }
        if (found < 0) return -1;
        level = &Item(found).Children;
    }
    return found;
}

} // namespace gathra
