#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

// Whether a bookmark's address names a page an entry can fetch. Bookmarklets ("javascript:")
// and the browser's saved queries of its own history ("place:") do not, and no import makes
// them entries or shows them.
bool IsImportableAddress(std::string_view address);

// One item of a bookmark tree: a bookmark (with an address) or a folder (without one).
struct TBookmarkItem {
    std::string Text;    // the title as shown (character references already decoded)
    std::string Address; // empty for a folder or a heading
    int Parent = -1;     // -1 for a top-level item
    int Level = 1;       // 1 for a top-level item
    std::vector<int> Children;
};

// The tree a bookmark window shows, whatever file it came from (an exported bookmark page, a
// Firefox places database or a Chromium bookmark file). Items keep the order they were added in
// under each parent. The tree is never deeper than MaxLevels: an item added below an item at the
// deepest level becomes that item's sibling instead.
class TBookmarkOutline {
public:
    static constexpr int MaxLevels = 101;

    // The file's own title (an exported page's <title>), shown as the window's caption.
    std::optional<std::string> Title;

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    const TBookmarkItem& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
    const std::vector<int>& TopLevel() const { return top_; }

    // Adds an item as the last child of `parent` (-1: at the top level); returns its index.
    int Add(int parent, std::string text, std::string address);
    void Clear();

    // Every item once, each folder before what it holds, in the order the tree shows them.
    std::vector<int> InOrder() const;
    // What dragging `index` into a brief imports: the item itself when it holds nothing, else
    // every bookmark below it (folders are skipped), in order.
    std::vector<int> ItemsToImport(int index) const;
    // Every bookmark of the tree, in order.
    std::vector<int> Bookmarks() const;
    // The folder named by a path of titles separated by "/" ("Toolbar/News"), or -1.
    int FindFolder(const std::string& path) const;

private:
    void AppendInOrder(const std::vector<int>& roots, std::vector<int>& out) const;

    std::vector<TBookmarkItem> items_;
    std::vector<int> top_;
};

} // namespace gathra
