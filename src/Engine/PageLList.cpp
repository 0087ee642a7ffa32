#include "Engine/PageLList.h"

#include "Engine/TocList.h"

#include <cstring>

namespace gathra {

std::string_view KeyText(std::string_view key) {
    size_t nul = key.find('\0');
    return nul == std::string_view::npos ? key : key.substr(0, nul);
}

std::string_view TRecordStore::Keep(std::string_view bytes) {
    if (bytes.empty()) return {};
    if (bytes.size() > left_) {
        // A long key gets a block of its own; the current block goes on serving short ones.
        if (bytes.size() > kBlockBytes / 4) {
            blocks_.push_back(std::make_unique<char[]>(bytes.size()));
            std::memcpy(blocks_.back().get(), bytes.data(), bytes.size());
            return {blocks_.back().get(), bytes.size()};
        }
        blocks_.push_back(std::make_unique<char[]>(kBlockBytes));
        free_ = blocks_.back().get();
        left_ = kBlockBytes;
    }
    std::memcpy(free_, bytes.data(), bytes.size());
    std::string_view kept(free_, bytes.size());
    free_ += bytes.size();
    left_ -= bytes.size();
    return kept;
}

TPageLList::TPageLList(TRecordStore* store)
    : own_(store == nullptr ? std::make_unique<TRecordStore>() : nullptr),
      store_(store == nullptr ? own_.get() : store) {}

TPageLList::~TPageLList() = default;

PageRecord* TPageLList::Add(std::string_view url, std::string_view localName,
                            std::uint8_t smartMatch, std::int32_t depth, std::uint8_t loaded,
                            TocNode* tocNode, std::uint8_t framePage) {
    PageRecord* record = store_->NewRecord();
    record->Url = store_->Keep(KeyText(url));
    record->LocalName = std::string(KeyText(localName));
    record->SmartMatch = smartMatch;
    record->Depth = depth;
    record->Loaded = loaded;
    record->Toc = tocNode;
    record->FramePage = framePage;
    record->Next = head_;
    head_ = record;
    ++count_;
    if (tocNode != nullptr) tocNode->Page = record;
    return record;
}

PageRecord* TPageLList::Find(std::string_view url) const {
    std::string_view key = KeyText(url);
    for (PageRecord* r = head_; r != nullptr; r = r->Next)
        if (r->Url == key) return r;
    return nullptr;
}

} // namespace gathra
