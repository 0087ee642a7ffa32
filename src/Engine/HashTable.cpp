#include "Engine/HashTable.h"

#include <cassert>
#include <functional>

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

namespace {

size_t HashOf(std::string_view key) {
    return std::hash<std::string_view>{}(key);
}

} // namespace

void THashTable::Grow() {
    std::vector<PageRecord*> old = std::move(newest_);
    newest_.assign(old.empty() ? 64 : old.size() * 2, nullptr);
    const size_t mask = newest_.size() - 1;
    for (PageRecord* record : old) {
        if (record == nullptr) continue;
        size_t i = HashOf(record->Url) & mask;
        while (newest_[i] != nullptr)
            i = (i + 1) & mask;
        newest_[i] = record;
    }
}

PageRecord* THashTable::Add(std::string_view url, std::string_view localName,
                            std::uint8_t smartMatch, std::int32_t depth, std::uint8_t loaded,
                            TocNode* tocNode, std::uint8_t framePage) {
    PageRecord* record = buckets_[static_cast<size_t>(BucketOf(url))]->Add(
        url, localName, smartMatch, depth, loaded, tocNode, framePage);
    if ((used_ + 1) * 2 > newest_.size()) Grow();
    const size_t mask = newest_.size() - 1;
    size_t i = HashOf(record->Url) & mask;
    while (newest_[i] != nullptr && newest_[i]->Url != record->Url)
        i = (i + 1) & mask;
    if (newest_[i] == nullptr) ++used_;
    newest_[i] = record;
    return record;
}

PageRecord* THashTable::Find(std::string_view url) const {
    if (newest_.empty()) return nullptr;
    const std::string_view key = KeyText(url);
    const size_t mask = newest_.size() - 1;
    for (size_t i = HashOf(key) & mask; newest_[i] != nullptr; i = (i + 1) & mask)
        if (newest_[i]->Url == key) return newest_[i];
    return nullptr;
}

} // namespace gathra
