#include "Engine/LList.h"

namespace gathra {

TextRecord::~TextRecord() {
    std::unique_ptr<TextRecord> next = std::move(Next);
    while (next)
        next = std::move(next->Next);
}

TLList::~TLList() = default;

void TLList::Append(std::string_view text, std::uint8_t flag) {
    auto record = std::make_unique<TextRecord>();
    record->Text = std::string(text);
    record->Flag = flag;
    TextRecord* raw = record.get();
    if (tail_ == nullptr)
        head_ = std::move(record);
    else
        tail_->Next = std::move(record);
    tail_ = raw;
    ++count_;
}

TextRecord* TLList::Remove(TextRecord* record) {
    if (head_ == nullptr || record == nullptr) return nullptr;
    TextRecord* previous = nullptr;
    TextRecord* current = head_.get();
    while (current != nullptr && current != record) {
        previous = current;
        current = current->Next.get();
    }
    if (current == nullptr) return nullptr;
    std::unique_ptr<TextRecord> removed;
    if (previous == nullptr) {
        removed = std::move(head_);
        head_ = std::move(removed->Next);
    } else {
        removed = std::move(previous->Next);
        previous->Next = std::move(removed->Next);
    }
    if (tail_ == current) tail_ = previous;
    --count_;
    return head_.get();
}

} // namespace gathra
