#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace gathra {

struct TocNode;

// One page or notice page stored for an entry, keyed by its engine address.
struct PageRecord {
    ~PageRecord();
    std::unique_ptr<PageRecord> Next; // the next older record
    std::string Url;                  // engine address without fragment
    std::string LocalName;            // file name in the run folder
    std::uint8_t SmartMatch = 0;      // always 0
    std::int32_t Depth = 0;           // spider depth still allowed below this page
    std::uint8_t Loaded = 0;          // 1: fetched and stored; 0: only a notice page
    TocNode* Toc = nullptr;           // not owned
    std::uint8_t FramePage = 0;       // made for a page reached as a frame source
};

// Records newest first; Find returns the newest record of a key.
class TPageLList {
public:
    TPageLList() = default;
    ~TPageLList();
    TPageLList(const TPageLList&) = delete;
    TPageLList& operator=(const TPageLList&) = delete;

    int Count() const { return count_; }
    PageRecord* Head() const { return head_.get(); }
    // Adds a record in front; when `tocNode` is given its Page points at the new record.
    PageRecord* Add(std::string_view url, std::string_view localName, std::uint8_t smartMatch,
                    std::int32_t depth, std::uint8_t loaded, TocNode* tocNode,
                    std::uint8_t framePage);
    // The first record whose Url equals `url` byte for byte, or none.
    PageRecord* Find(std::string_view url) const;

private:
    int count_ = 0;
    std::unique_ptr<PageRecord> head_;
};

// Keys are cut at their first NUL byte, as the stored strings are NUL-terminated copies.
std::string_view KeyText(std::string_view key);

} // namespace gathra
