#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace gathra {

struct TextRecord {
    ~TextRecord();
    std::unique_ptr<TextRecord> Next;
    std::string Text;
    std::uint8_t Flag = 0;
};

// Strings with a flag each, in insertion order; drained by First and Remove.
class TLList {
public:
    TLList() = default;
    ~TLList();
    TLList(const TLList&) = delete;
    TLList& operator=(const TLList&) = delete;

    int Count() const { return count_; }
    TextRecord* First() const { return head_.get(); }
    void Append(std::string_view text, std::uint8_t flag);
    // Unlinks and frees `record`; returns the new head, or none when the list is empty or the
    // record is not in it.
    TextRecord* Remove(TextRecord* record);

private:
    int count_ = 0;
    std::unique_ptr<TextRecord> head_;
    TextRecord* tail_ = nullptr;
};

} // namespace gathra
