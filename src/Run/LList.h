#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>

namespace gathra {

// One queued string; its text lives in the list's blocks as long as the record is in the list.
struct TextRecord {
    TextRecord* Next = nullptr;
    std::string_view Text;
    std::uint8_t Flag = 0;

private:
    friend class TLList;
    std::uint64_t block_ = 0; // the number of the block it is kept in
};

// Strings with a flag each, in insertion order; drained by First and Remove. A level of a crawl
// queues thousands of addresses, so records and texts are kept one after another in blocks,
// and a block is freed when its last record has been removed.
class TLList {
public:
    TLList();
    ~TLList();
    TLList(const TLList&) = delete;
    TLList& operator=(const TLList&) = delete;

    int Count() const { return count_; }
    TextRecord* First() const { return head_; }
    void Append(std::string_view text, std::uint8_t flag);
    // Unlinks and frees `record`; returns the new head, or none when the list is empty or the
    // record is not in it.
    TextRecord* Remove(TextRecord* record);

private:
    struct Block {
        std::unique_ptr<char[]> Bytes;
        std::size_t Size = 0;
        std::size_t Used = 0;
        std::size_t Live = 0; // records in it not removed yet
    };
    std::deque<Block> blocks_;      // oldest first
    std::uint64_t firstNumber_ = 0; // the number of blocks_.front()
    int count_ = 0;
    TextRecord* head_ = nullptr;
    TextRecord* tail_ = nullptr;
};

} // namespace gathra
