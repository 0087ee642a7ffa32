#pragma once
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace gathra {

struct PageRecord;
class TOCList;

// A text that is mostly empty (a notice page's title, a node's anchor): one pointer in the node,
// the text itself only when there is one.
class TocText {
public:
    TocText() = default;
    TocText(const TocText& other) { *this = std::string_view(other); }
    TocText& operator=(const TocText& other) { return *this = std::string_view(other); }
    TocText& operator=(std::string_view text) {
        if (text.empty())
            text_.reset();
        else if (text_)
            text_->assign(text);
        else
            text_ = std::make_unique<std::string>(text);
        return *this;
    }
    TocText& operator=(const std::string& text) { return *this = std::string_view(text); }
    TocText& operator=(const char* text) { return *this = std::string_view(text); }

    operator std::string_view() const {
        return text_ ? std::string_view(*text_) : std::string_view();
    }
    bool empty() const { return !text_; }
    // An anchor is never empty: "no text" is "no anchor".
    bool has_value() const { return !empty(); }
    friend bool operator==(const TocText& a, std::string_view b) {
        return std::string_view(a) == b;
    }
    friend std::ostream& operator<<(std::ostream& out, const TocText& text) {
        return out << std::string_view(text);
    }

private:
    std::unique_ptr<std::string> text_;
};

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
    TocText Title;
    TocText Anchor;             // "#" and the fragment of the link that made the node, or empty
    PageRecord* Page = nullptr; // not owned

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
