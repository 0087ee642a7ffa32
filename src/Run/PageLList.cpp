#include "Run/PageLList.h"

#include "Run/TocList.h"

#include <cstring>

namespace gathra {

std::string_view KeyText(std::string_view key) {
    size_t nul = key.find('\0');
    return nul == std::string_view::npos ? key : key.substr(0, nul);
}

std::uint64_t KeyHash(std::string_view key, std::uint64_t hash) {
    for (unsigned char c : key) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

namespace {

// A kept folder part: its size (4 bytes, unaligned) and its bytes.
std::string_view PrefixText(const char* prefix) {
    if (prefix == nullptr) return {};
    std::uint32_t size;
    std::memcpy(&size, prefix, sizeof size);
    return {prefix + sizeof size, size};
}

// Keys are split after their last '/' when what comes before is long enough to be worth
// sharing: the pages of one folder of one site then keep their common part once.
constexpr size_t kShortestShared = 12;
constexpr size_t kLongestShared = 4096;

} // namespace

std::string PageRecord::Url() const {
    std::string url(PrefixText(prefix_));
    url.append(text_, restSize_);
    return url;
}

bool PageRecord::HasKey(std::string_view key) const {
    std::string_view prefix = PrefixText(prefix_);
    return key.size() == prefix.size() + restSize_ &&
           std::memcmp(key.data() + prefix.size(), text_, restSize_) == 0 &&
           key.substr(0, prefix.size()) == prefix;
}

TRecordStore::TRecordStore() = default;
TRecordStore::~TRecordStore() = default;

std::uint64_t TRecordStore::HashOf(const PageRecord& record) {
    return KeyHash({record.text_, record.restSize_}, KeyHash(PrefixText(record.prefix_)));
}

const char* TRecordStore::Keep(std::initializer_list<std::string_view> pieces) {
    size_t size = 0;
    for (std::string_view piece : pieces)
        size += piece.size();
    char* to;
    if (size > left_ && size > kBlockBytes / 4) {
        // A long key gets a block of its own; the current block goes on serving short ones.
        blocks_.push_back(std::make_unique<char[]>(size));
        to = blocks_.back().get();
    } else {
        if (size > left_) {
            blocks_.push_back(std::make_unique<char[]>(kBlockBytes));
            free_ = blocks_.back().get();
            left_ = kBlockBytes;
        }
        to = free_;
        free_ += size;
        left_ -= size;
    }
    char* at = to;
    for (std::string_view piece : pieces) {
        if (!piece.empty()) std::memcpy(at, piece.data(), piece.size());
        at += piece.size();
    }
    return to;
}

const char* TRecordStore::PrefixOf(std::string_view folder) {
    if ((prefixCount_ + 1) * 2 > prefixes_.size()) {
        std::vector<const char*> old = std::move(prefixes_);
        prefixes_.assign(old.empty() ? 16 : old.size() * 2, nullptr);
        const size_t mask = prefixes_.size() - 1;
        for (const char* prefix : old) {
            if (prefix == nullptr) continue;
            size_t i = KeyHash(PrefixText(prefix)) & mask;
            while (prefixes_[i] != nullptr)
                i = (i + 1) & mask;
            prefixes_[i] = prefix;
        }
    }
    const size_t mask = prefixes_.size() - 1;
    size_t i = KeyHash(folder) & mask;
    for (; prefixes_[i] != nullptr; i = (i + 1) & mask)
        if (PrefixText(prefixes_[i]) == folder) return prefixes_[i];
    const std::uint32_t size = static_cast<std::uint32_t>(folder.size());
    const char* kept =
        Keep({std::string_view(reinterpret_cast<const char*>(&size), sizeof size), folder});
    prefixes_[i] = kept;
    ++prefixCount_;
    return kept;
}

PageRecord* TRecordStore::NewRecord(std::string_view key, std::string_view localName) {
    if (count_ % kRecordsPerBlock == 0)
        recordBlocks_.push_back(std::make_unique<PageRecord[]>(kRecordsPerBlock));
    PageRecord& record = At(count_++);
    key = KeyText(key);
    size_t slash = key.rfind('/');
    if (slash != std::string_view::npos && slash + 1 >= kShortestShared &&
        slash + 1 <= kLongestShared) {
        record.prefix_ = PrefixOf(key.substr(0, slash + 1));
        key.remove_prefix(slash + 1);
    }
    record.restSize_ = static_cast<std::uint32_t>(key.size());
    record.text_ =
        Keep({key, std::string_view("", 1), KeyText(localName), std::string_view("", 1)});
    return &record;
}

void TRecordStore::Rename(PageRecord& record, std::string_view localName) {
    record.text_ = Keep({std::string_view(record.text_, record.restSize_), std::string_view("", 1),
                         KeyText(localName), std::string_view("", 1)});
}

TPageLList::TPageLList(TRecordStore* store)
    : own_(store == nullptr ? std::make_unique<TRecordStore>() : nullptr),
      store_(store == nullptr ? own_.get() : store) {}

TPageLList::~TPageLList() = default;

PageRecord* TPageLList::Add(std::string_view url, std::string_view localName,
                            std::uint8_t smartMatch, std::int32_t depth, std::uint8_t loaded,
                            TocNode* tocNode, std::uint8_t framePage) {
    PageRecord* record = store_->NewRecord(url, localName);
    record->SmartMatch = smartMatch;
    record->Depth = depth;
    record->Loaded = loaded;
    record->Toc = tocNode;
    record->FramePage = framePage;
    record->next_ = head_ == nullptr ? 0 : headNumber_ + 1;
    head_ = record;
    headNumber_ = store_->Count() - 1;
    ++count_;
    if (tocNode != nullptr) tocNode->Page = record;
    return record;
}

PageRecord* TPageLList::Find(std::string_view url) const {
    std::string_view key = KeyText(url);
    for (PageRecord* r = head_; r != nullptr; r = Next(*r))
        if (r->HasKey(key)) return r;
    return nullptr;
}

} // namespace gathra
