#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

struct TocNode;

// One page or notice page stored for an entry, keyed by its engine address. Records and their
// keys live in the TRecordStore of their list or table, as long as it does.
struct PageRecord {
    PageRecord* Next = nullptr;  // the next older record
    std::string_view Url;        // engine address without fragment
    std::string LocalName;       // file name in the run folder
    TocNode* Toc = nullptr;      // not owned
    std::int32_t Depth = 0;      // spider depth still allowed below this page
    std::uint8_t SmartMatch = 0; // always 0
    std::uint8_t Loaded = 0;     // 1: fetched and stored; 0: only a notice page
    std::uint8_t FramePage = 0;  // made for a page reached as a frame source
};

// Keeps the records of a page table and the bytes of their keys: a large page adds a record for
// every link, so they are made one after another in large blocks, without an allocation of
// their own each, and are all freed together.
class TRecordStore {
public:
    TRecordStore() = default;
    TRecordStore(const TRecordStore&) = delete;
    TRecordStore& operator=(const TRecordStore&) = delete;

    PageRecord* NewRecord() { return &records_.emplace_back(); }
    // A lasting copy of `bytes`.
    std::string_view Keep(std::string_view bytes);

private:
    static constexpr size_t kBlockBytes = 64 * 1024;
    std::deque<PageRecord> records_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;
    size_t left_ = 0;
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
    // Adds a record in front; when `tocNode` is given its Page points at the new record.
    PageRecord* Add(std::string_view url, std::string_view localName, std::uint8_t smartMatch,
                    std::int32_t depth, std::uint8_t loaded, TocNode* tocNode,
                    std::uint8_t framePage);
    // The first record whose Url equals `url` byte for byte, or none.
    PageRecord* Find(std::string_view url) const;

private:
    std::unique_ptr<TRecordStore> own_;
    TRecordStore* store_;
    int count_ = 0;
    PageRecord* head_ = nullptr;
};

// Keys are cut at their first NUL byte, as the stored strings are NUL-terminated copies.
std::string_view KeyText(std::string_view key);

} // namespace gathra
