#include "Run/TocList.h"

#include <bit>
#include <cassert>

namespace gathra {
namespace {

// Block b holds 4 << b nodes up to a thousand and twenty-four, then that many each.
constexpr int kFirstBlock = 4;
constexpr int kGrowingBlocks = 9; // 4, 8, ... 1024
constexpr int kLargestBlock = kFirstBlock << (kGrowingBlocks - 1);
constexpr int kGrowingNodes = kFirstBlock * ((1 << kGrowingBlocks) - 1); // nodes in those

int BlockSize(size_t block) {
    return block < kGrowingBlocks ? kFirstBlock << block : kLargestBlock;
}

} // namespace

TocNode::TocNode() = default;

TOCList* TocNode::ChildList() {
    if (!Children) Children = std::make_unique<TOCList>();
    return Children.get();
}

TocNode::~TocNode() = default;

void TocNode::SetTitle(std::string_view title) {
    if (!texts_ && title.empty()) return;
    if (!texts_) texts_ = std::make_unique<Texts>();
    texts_->Title.assign(title);
    if (texts_->Title.empty() && texts_->Anchor.empty()) texts_.reset();
}

void TocNode::SetAnchor(std::string_view anchor) {
    if (!texts_ && anchor.empty()) return;
    if (!texts_) texts_ = std::make_unique<Texts>();
    texts_->Anchor.assign(anchor);
    if (texts_->Title.empty() && texts_->Anchor.empty()) texts_.reset();
}

TOCList::TOCList() = default;

// A table of contents may be many thousands of nodes long or deep (pages reached through frames
// nest one level per page), so the child lists are taken off their nodes and freed one after
// another instead of letting each list free its children's lists in turn.
TOCList::~TOCList() {
    std::vector<std::unique_ptr<TOCList>> pending;
    auto takeChildren = [&pending](TOCList& list) {
        for (int i = 0; i < list.count_; ++i)
            if (TocNode* node = list.At(i); node->Children)
                pending.push_back(std::move(node->Children));
    };
    takeChildren(*this);
    while (!pending.empty()) {
        std::unique_ptr<TOCList> list = std::move(pending.back());
        pending.pop_back();
        takeChildren(*list);
    }
}

TocNode* TOCList::At(int index) const {
    assert(index >= 0 && index < count_);
    if (index < kGrowingNodes) {
        // Blocks 0..b-1 hold kFirstBlock * (2^b - 1) nodes.
        const unsigned b = std::bit_width(static_cast<unsigned>(index / kFirstBlock + 1)) - 1;
        return &blocks_[b][static_cast<size_t>(index - kFirstBlock * ((1 << b) - 1))];
    }
    const int rest = index - kGrowingNodes;
    return &blocks_[static_cast<size_t>(kGrowingBlocks + rest / kLargestBlock)]
                   [static_cast<size_t>(rest % kLargestBlock)];
}

void TOCList::Append(std::string_view title) {
    if (count_ == 0 || At(count_ - 1) == &blocks_.back()[BlockSize(blocks_.size() - 1) - 1])
        blocks_.push_back(
            std::make_unique<TocNode[]>(static_cast<size_t>(BlockSize(blocks_.size()))));
    ++count_;
    At(count_ - 1)->SetTitle(title);
}

} // namespace gathra
