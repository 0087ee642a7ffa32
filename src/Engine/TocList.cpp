#include "Engine/TocList.h"

#include <vector>

namespace gathra {

TocNode::TocNode() = default;

TOCList* TocNode::ChildList() {
    if (!Children) Children = std::make_unique<TOCList>();
    return Children.get();
}

TocNode::~TocNode() = default;

// A table of contents may be many thousands of nodes long or deep (pages reached through frames
// nest one level per page), so the tree is taken apart with an explicit stack instead of letting
// the owning pointers recurse.
TOCList::~TOCList() {
    std::vector<std::unique_ptr<TocNode>> pending;
    if (head_) pending.push_back(std::move(head_));
    while (!pending.empty()) {
        std::unique_ptr<TocNode> node = std::move(pending.back());
        pending.pop_back();
        if (node->Next) pending.push_back(std::move(node->Next));
        if (node->Children && node->Children->head_) {
            pending.push_back(std::move(node->Children->head_));
            node->Children->count_ = 0;
            node->Children->tail_ = nullptr;
        }
    }
}

void TOCList::Append(std::string_view title) {
    auto node = std::make_unique<TocNode>();
    node->Title = title;
    TocNode* raw = node.get();
    if (tail_ == nullptr || count_ <= 0)
        head_ = std::move(node);
    else
        tail_->Next = std::move(node);
    tail_ = raw;
    ++count_;
}

} // namespace gathra
