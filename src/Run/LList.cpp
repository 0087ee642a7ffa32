#include "Run/LList.h"

#include <cstring>
#include <new>

namespace gathra {
namespace {

constexpr std::size_t kBlockBytes = 16 * 1024;

constexpr std::size_t Aligned(std::size_t size) {
    return (size + alignof(TextRecord) - 1) & ~(alignof(TextRecord) - 1);
}

} // namespace

TLList::TLList() = default;
TLList::~TLList() = default;

void TLList::Append(std::string_view text, std::uint8_t flag) {
    const std::size_t need = Aligned(sizeof(TextRecord) + text.size());
    if (blocks_.empty() || blocks_.back().Size - blocks_.back().Used < need) {
        // A long text gets a block of its own.
        const std::size_t size = need > kBlockBytes / 4 ? need : kBlockBytes;
        blocks_.push_back({std::make_unique<char[]>(size), size, 0, 0});
    }
    Block& block = blocks_.back();
    char* at = block.Bytes.get() + block.Used;
    block.Used += need;
    ++block.Live;
    char* textAt = at + sizeof(TextRecord);
    if (!text.empty()) std::memcpy(textAt, text.data(), text.size());
    auto* record = new (at) TextRecord;
    record->Text = std::string_view(textAt, text.size());
    record->Flag = flag;
    record->block_ = firstNumber_ + blocks_.size() - 1;
    if (tail_ == nullptr)
        head_ = record;
    else
        tail_->Next = record;
    tail_ = record;
    ++count_;
}

TextRecord* TLList::Remove(TextRecord* record) {
    if (head_ == nullptr || record == nullptr) return nullptr;
    TextRecord* previous = nullptr;
    TextRecord* current = head_;
    while (current != nullptr && current != record) {
        previous = current;
        current = current->Next;
    }
    if (current == nullptr) return nullptr;
    if (previous == nullptr)
        head_ = current->Next;
    else
        previous->Next = current->Next;
    if (tail_ == current) tail_ = previous;
    --count_;
    --blocks_[current->block_ - firstNumber_].Live;
    // Blocks are emptied mostly in order: free those at the front with nothing left in them.
    while (!blocks_.empty() && blocks_.front().Live == 0) {
        blocks_.pop_front();
        ++firstNumber_;
    }
    return head_;
}

} // namespace gathra
