#include "Engine/HashTable.h"

#include <cassert>

namespace gathra {

THashTable::THashTable(int bucketCount) {
    assert(bucketCount > 0);
    buckets_.reserve(static_cast<size_t>(bucketCount));
    for (int i = 0; i < bucketCount; ++i)
        buckets_.push_back(std::make_unique<TPageLList>());
}

int THashTable::BucketOf(std::string_view key) const {
    unsigned long long sum = 0;
    for (unsigned char c : KeyText(key))
        sum += c;
    return static_cast<int>(sum % buckets_.size());
}

PageRecord* THashTable::Add(std::string_view url, std::string_view localName,
                            std::uint8_t smartMatch, std::int32_t depth, std::uint8_t loaded,
                            TocNode* tocNode, std::uint8_t framePage) {
    PageRecord* record = buckets_[static_cast<size_t>(BucketOf(url))]->Add(
        url, localName, smartMatch, depth, loaded, tocNode, framePage);
    newest_[std::string_view(record->Url)] = record;
    return record;
}

PageRecord* THashTable::Find(std::string_view url) const {
    auto found = newest_.find(KeyText(url));
    return found == newest_.end() ? nullptr : found->second;
}

} // namespace gathra
