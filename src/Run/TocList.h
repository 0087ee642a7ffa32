#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

struct PageRecord;
class TOCList;

// One stored page or notice page of an entry in the table-of-contents tree. Nodes live in the
// list they were appended to, which keeps them in order.
struct TocNode {
    TocNode();
    ~TocNode();
    TocNode(const TocNode&) = delete;
    TocNode& operator=(const TocNode&) = delete;

    // The pages first reached from this node's page; made by ChildList when the first one is
    // added, so that the many nodes that never get children (notice pages) cost no list.
    std::unique_ptr<TOCList> Children;
    PageRecord* Page = nullptr; // not owned

    // The child list, made empty when there is none yet.
    TOCList* ChildList();

    std::string_view Title() const { return texts_ ? texts_->Title : std::string_view(); }
    // "#" and the fragment of the link that made the node, or empty.
    std::string_view Anchor() const { return texts_ ? texts_->Anchor : std::string_view(); }
    void SetTitle(std::string_view title);
    void SetAnchor(std::string_view anchor);

private:
    // Mostly both empty (a notice page has neither): a node holds one pointer, and the texts
    // are made when one of them is set.
    struct Texts {
        std::string Title;
        std::string Anchor;
    };
    std::unique_ptr<Texts> texts_;
};

// A list of nodes in insertion order; the root of a tree, since every node owns its children.
// The nodes are kept in blocks that grow with the list (a few for a page's handful of links,
// a thousand at a time for a page of thousands), without an allocation each.
class TOCList {
public:
    TOCList();
    ~TOCList();
    TOCList(const TOCList&) = delete;
    TOCList& operator=(const TOCList&) = delete;

    int Count() const { return count_; }
    // The node at `index` (0 <= index < Count()).
    TocNode* At(int index) const;
    TocNode* First() const { return count_ > 0 ? At(0) : nullptr; }
    TocNode* Last() const { return count_ > 0 ? At(count_ - 1) : nullptr; }
    // Appends a node with a copy of `title`, no anchor, no page and no children.
    void Append(std::string_view title);

private:
    std::vector<std::unique_ptr<TocNode[]>> blocks_;
    int count_ = 0;
};

} // namespace gathra
