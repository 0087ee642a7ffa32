#include "Run/HashTable.h"

#include <cassert>

namespace gathra {

THashTable::THashTable(int bucketCount) {
    assert(bucketCount > 0);
    buckets_.reserve(static_cast<size_t>(bucketCount));
    for (int i = 0; i < bucketCount; ++i)
        buckets_.push_back(std::make_unique<TPageLList>(&store_));
}

int THashTable::BucketOf(std::string_view key) const {
    unsigned long long sum = 0;
    for (unsigned char c : KeyText(key))
        sum += c;
    return static_cast<int>(sum % buckets_.size());
}

void THashTable::Grow() {
    std::vector<std::uint32_t> old = std::move(newest_);
    newest_.assign(old.empty() ? 64 : old.size() * 2, 0);
    const size_t mask = newest_.size() - 1;
    for (std::uint32_t slot : old) {
        if (slot == 0) continue;
        size_t i = TRecordStore::HashOf(store_.At(slot - 1)) & mask;
        while (newest_[i] != 0)
            i = (i + 1) & mask;
        newest_[i] = slot;
    }
}

PageRecord* THashTable::Add(std::string_view url, std::string_view localName,
                            std::uint8_t smartMatch, std::int32_t depth, std::uint8_t loaded,
                            TocNode* tocNode, std::uint8_t framePage) {
    PageRecord* record = buckets_[static_cast<size_t>(BucketOf(url))]->Add(
        url, localName, smartMatch, depth, loaded, tocNode, framePage);
    const std::uint32_t slot = store_.Count(); // the new record's number plus one
    if ((used_ + 1) * 2 > newest_.size()) Grow();
    const std::string_view key = KeyText(url);
    const size_t mask = newest_.size() - 1;
    size_t i = KeyHash(key) & mask;
    while (newest_[i] != 0 && !store_.At(newest_[i] - 1).HasKey(key))
        i = (i + 1) & mask;
    if (newest_[i] == 0) ++used_;
    newest_[i] = slot;
    return record;
}

PageRecord* THashTable::Find(std::string_view url) const {
    if (newest_.empty()) return nullptr;
    const std::string_view key = KeyText(url);
    const size_t mask = newest_.size() - 1;
    for (size_t i = KeyHash(key) & mask; newest_[i] != 0; i = (i + 1) & mask) {
        PageRecord& record = store_.At(newest_[i] - 1);
        if (record.HasKey(key)) return &record;
    }
    return nullptr;
}

} // namespace gathra
