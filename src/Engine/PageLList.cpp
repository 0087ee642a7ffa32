#include "Engine/PageLList.h"

#include "Engine/TocList.h"

namespace gathra {

std::string_view KeyText(std::string_view key) {
    size_t nul = key.find('\0');
    return nul == std::string_view::npos ? key : key.substr(0, nul);
}

// Unlinks iteratively so that a long chain does not recurse once per record.
PageRecord::~PageRecord() {
    std::unique_ptr<PageRecord> next = std::move(Next);
    while (next)
        next = std::move(next->Next);
}

TPageLList::~TPageLList() = default;

PageRecord* TPageLList::Add(std::string_view url, std::string_view localName,
                            std::uint8_t smartMatch, std::int32_t depth, std::uint8_t loaded,
                            TocNode* tocNode, std::uint8_t framePage) {
    auto record = std::make_unique<PageRecord>();
    record->Url = std::string(KeyText(url));
    record->LocalName = std::string(KeyText(localName));
    record->SmartMatch = smartMatch;
    record->Depth = depth;
    record->Loaded = loaded;
    record->Toc = tocNode;
    record->FramePage = framePage;
    record->Next = std::move(head_);
    head_ = std::move(record);
    ++count_;
    if (tocNode != nullptr) tocNode->Page = head_.get();
    return head_.get();
}

PageRecord* TPageLList::Find(std::string_view url) const {
    std::string_view key = KeyText(url);
    for (PageRecord* r = head_.get(); r != nullptr; r = r->Next.get())
        if (r->Url == key) return r;
    return nullptr;
}

} // namespace gathra
