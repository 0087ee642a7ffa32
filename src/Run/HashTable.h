#pragma once
#include "Run/PageLList.h"

#include <string_view>
#include <vector>

namespace gathra {

// Page records hashed by the byte sum of their key into a fixed number of chained buckets.
class THashTable {
public:
    explicit THashTable(int bucketCount);

    int BucketCount() const { return static_cast<int>(buckets_.size()); }
    // Sum of the key's bytes (unsigned, up to its first NUL) modulo the bucket count.
    int BucketOf(std::string_view key) const;
    PageRecord* Add(std::string_view url, std::string_view localName, std::uint8_t smartMatch,
                    std::int32_t depth, std::uint8_t loaded, TocNode* tocNode,
                    std::uint8_t framePage);
    PageRecord* Find(std::string_view url) const;
    const TPageLList& Bucket(int i) const { return *buckets_[static_cast<size_t>(i)]; }
    // Gives a record of this table another local name.
    void Rename(PageRecord& record, std::string_view localName) {
        store_.Rename(record, localName);
    }

private:
    void Grow();

    TRecordStore store_; // every bucket's records; declared first, so it outlives the buckets
    std::vector<std::unique_ptr<TPageLList>> buckets_;
    // The newest record of every key, in open addressing (a power-of-two number of slots, at
    // most half of them used, probed one after another). A bucket is a chain searched from its
    // head, and a large page adds thousands of keys to 97 buckets: without this index every
    // lookup would walk a chain that grows with the page, and a page scan would be quadratic.
    // The keys are the records' own, which live as long as the table and never change, so each
    // key is stored once; a slot holds the record's number in the store plus one (0: empty).
    std::vector<std::uint32_t> newest_;
    size_t used_ = 0;
};

} // namespace gathra
