#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace gathra {

// A growable in-memory byte stream with a read/write position: one HTTP response, a notice page
// or a local file. Whoever fills it appends the closing NUL byte itself with `AppendNul`, so that
// `Size` counts it exactly as a stored stream would.
class TResponseBuffer {
public:
    const std::string& Bytes() const { return bytes_; }
    std::string& MutableBytes() { return bytes_; }
    const char* Data() const { return bytes_.data(); }
    char* MutableData() { return bytes_.data(); }
    size_t Size() const { return bytes_.size(); }
    bool Empty() const { return bytes_.empty(); }

    size_t Position() const { return position_; }
    void Seek(size_t position) { position_ = position > bytes_.size() ? bytes_.size() : position; }
    void Rewind() { position_ = 0; }

    // Empties the buffer and rewinds it.
    void Clear() {
        bytes_.clear();
        position_ = 0;
    }
    // Writes at the end and leaves the position there.
    void Append(std::string_view data) {
        bytes_.append(data.data(), data.size());
        position_ = bytes_.size();
    }
    void AppendNul() { Append(std::string_view("\0", 1)); }
    // Replaces the whole content (used for notices); no NUL is added.
    void Assign(std::string_view data) {
        bytes_.assign(data.data(), data.size());
        position_ = bytes_.size();
    }

    // True when the bytes begin with a response header (status line and header lines) that
    // body preparation must remove; false for a local file, which has none.
    bool HasHeader() const { return hasHeader_; }
    void SetHasHeader(bool v) { hasHeader_ = v; }

private:
    std::string bytes_;
    size_t position_ = 0;
    bool hasHeader_ = true;
};

} // namespace gathra
