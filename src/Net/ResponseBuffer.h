#pragma once
#include "Net/BodySpool.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace gathra {

// A growable in-memory byte stream with a read/write position: one HTTP response, a notice page
// or a local file. Whoever fills it appends the closing NUL byte itself with `AppendNul`, so that
// `Size` counts it exactly as a stored stream would.
//
// The body of a file (a response that is not a page) may be written to disk as it arrives (a
// spool) instead: the buffer then holds the header and the closing NUL, and `ResponseSize`
// counts both parts.
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

    // Empties the buffer and rewinds it; a spooled body is dropped, its file removed.
    void Clear() {
        bytes_.clear();
        position_ = 0;
        spool_.reset();
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
        spool_.reset();
    }

    // True when the bytes begin with a response header (status line and header lines) that
    // body preparation must remove; false for a local file, which has none.
    bool HasHeader() const { return hasHeader_; }
    void SetHasHeader(bool v) { hasHeader_ = v; }

    // Whoever fills the buffer may write the body of a file (a document of status 200 or 203,
    // binary or text other than HTML) to a spool file in the run folder rather than into
    // memory. Only a caller that stores such a body as it came (StoreBody) allows it; Clear keeps
    // the permission.
    bool SpoolsFiles() const { return spoolsFiles_; }
    void SetSpoolsFiles(bool v) { spoolsFiles_ = v; }
    // The spooled body, or null when the whole response is in memory.
    TBodySpool* Spool() const { return spool_.get(); }
    void SetSpool(std::unique_ptr<TBodySpool> spool) { spool_ = std::move(spool); }
    // The size of the whole response: the bytes in memory and the spooled body.
    std::uint64_t ResponseSize() const { return bytes_.size() + (spool_ ? spool_->Size() : 0); }

private:
    std::string bytes_;
    size_t position_ = 0;
    bool hasHeader_ = true;
    bool spoolsFiles_ = false;
    std::unique_ptr<TBodySpool> spool_;
};

} // namespace gathra
