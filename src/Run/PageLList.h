#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

struct TocNode;
class TRecordStore;

// One page or notice page stored for an entry, keyed by its engine address. Records, their keys
// and their names live in the TRecordStore of their list or table, as long as it does.
struct PageRecord {
    TocNode* Toc = nullptr;      // not owned
    std::int32_t Depth = 0;      // spider depth still allowed below this page
    std::uint8_t SmartMatch = 0; // always 0
    std::uint8_t Loaded = 0;     // 1: fetched and stored; 0: only a notice page
    std::uint8_t FramePage = 0;  // made for a page reached as a frame source
    // 1: its notice page was handed to the notice writer, and may not be on disk yet.
    std::uint8_t NoticeQueued = 0;

    // The engine address without fragment.
    std::string Url() const;
    // Whether the key is `key`, byte for byte (`key` already cut at its first NUL).
    bool HasKey(std::string_view key) const;
    // The file name in the run folder.
    std::string_view LocalName() const { return text_ + restSize_ + 1; }

private:
    friend class TRecordStore;
    friend class TPageLList;
    // A key is kept as the folder part many keys share ("http://host/docs/", once per store)
    // and the rest; the rest is followed by a NUL, the local name and a NUL.
    const char* prefix_ = nullptr; // a kept folder part (see TRecordStore), or none
    const char* text_ = nullptr;
    std::uint32_t restSize_ = 0;
    std::uint32_t next_ = 0; // the next older record of its list: its number plus one, or 0
};

// Keeps the records of a page table with their keys and names: a large page adds a record for
// every link, so they are made one after another in large blocks, without an allocation of
// their own each, and are all freed together. The records are numbered in the order made.
class TRecordStore {
public:
    TRecordStore();
    ~TRecordStore();
    TRecordStore(const TRecordStore&) = delete;
    TRecordStore& operator=(const TRecordStore&) = delete;

    // A new record with these key and name (each cut at its first NUL); the other fields are
    // the defaults.
    PageRecord* NewRecord(std::string_view key, std::string_view localName);
    void Rename(PageRecord& record, std::string_view localName);

    std::uint32_t Count() const { return count_; }
    PageRecord& At(std::uint32_t number) const {
        return recordBlocks_[number / kRecordsPerBlock][number % kRecordsPerBlock];
    }
    // A hash of a record's key, the same as KeyHash of the key's text.
    static std::uint64_t HashOf(const PageRecord& record);

private:
    static constexpr std::uint32_t kRecordsPerBlock = 1024;
    static constexpr size_t kBlockBytes = 64 * 1024;

    // A lasting copy of the pieces, one after another.
    const char* Keep(std::initializer_list<std::string_view> pieces);
    const char* PrefixOf(std::string_view folder);

    std::vector<std::unique_ptr<PageRecord[]>> recordBlocks_;
    std::uint32_t count_ = 0;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;
    size_t left_ = 0;
    // The folder parts kept so far, in open addressing (power-of-two size, at most half used).
    std::vector<const char*> prefixes_;
    size_t prefixCount_ = 0;
};

// Records newest first; Find returns the newest record of a key.
class TPageLList {
public:
    // store: where the records are kept (a table's, shared by its lists); null: a store of the
    // list's own.
    explicit TPageLList(TRecordStore* store = nullptr);
    ~TPageLList();
    TPageLList(const TPageLList&) = delete;
    TPageLList& operator=(const TPageLList&) = delete;

    int Count() const { return count_; }
    PageRecord* Head() const { return head_; }
    // The next older record after `record` (one of this list's), or none.
    PageRecord* Next(const PageRecord& record) const {
        return record.next_ == 0 ? nullptr : &store_->At(record.next_ - 1);
    }
    // Adds a record in front; when `tocNode` is given its Page points at the new record.
    PageRecord* Add(std::string_view url, std::string_view localName, std::uint8_t smartMatch,
                    std::int32_t depth, std::uint8_t loaded, TocNode* tocNode,
                    std::uint8_t framePage);
    // The first record whose Url equals `url` byte for byte, or none.
    PageRecord* Find(std::string_view url) const;
    // Gives a record of this list another local name.
    void Rename(PageRecord& record, std::string_view localName) {
        store_->Rename(record, localName);
    }

private:
    std::unique_ptr<TRecordStore> own_;
    TRecordStore* store_;
    int count_ = 0;
    PageRecord* head_ = nullptr;
    std::uint32_t headNumber_ = 0;
};

// Keys are cut at their first NUL byte, as the stored strings are NUL-terminated copies.
std::string_view KeyText(std::string_view key);
// A hash of a key's text (FNV-1a), computed piecewise by the store for kept keys.
std::uint64_t KeyHash(std::string_view key, std::uint64_t hash = 14695981039346656037ull);

} // namespace gathra
