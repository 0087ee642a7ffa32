#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace gathra {

struct PageRecord;
class TOCList;

// One stored page or notice page of an entry in the table-of-contents tree.
struct TocNode {
    TocNode();
    ~TocNode();
    TocNode(const TocNode&) = delete;
    TocNode& operator=(const TocNode&) = delete;

    std::unique_ptr<TocNode> Next;
    // The pages first reached from this node's page; made by ChildList when the first one is
    // added, so that the many nodes that never get children (notice pages) cost no list.
    std::unique_ptr<TOCList> Children;
    std::string Title;
    std::optional<std::string> Anchor; // "#" and the fragment of the link that made the node
    PageRecord* Page = nullptr;        // not owned

    // The child list, made empty when there is none yet.
    TOCList* ChildList();
};

// A list of nodes in insertion order; the root of a tree, since every node owns its children.
class TOCList {
public:
    TOCList() = default;
    ~TOCList();
    TOCList(const TOCList&) = delete;
    TOCList& operator=(const TOCList&) = delete;

    int Count() const { return count_; }
    TocNode* First() const { return count_ > 0 ? head_.get() : nullptr; }
    TocNode* Last() const { return count_ > 0 ? tail_ : nullptr; }
    // Appends a node with a copy of `title`, no anchor, no page and no children.
    void Append(std::string_view title);

private:
    int count_ = 0;
    std::unique_ptr<TocNode> head_;
    TocNode* tail_ = nullptr;
};

} // namespace gathra
