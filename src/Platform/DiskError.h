#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace gathra {

// The free space of the run folder's disk at or below the disk buffer ("Minimum disk space").
struct SpaceBelowBuffer {
    std::uint64_t FreeBytes = 0;
    std::uint64_t BufferBytes = 0;
};

// A file input/output failure inside a brief run ("Disk Full" included). It is caught once, at
// the run level, which then shows the "Disk Error" message.
class TDiskError : public std::runtime_error {
public:
    // cause: the system's own words for the failure, empty when the program found it itself.
    // space: the free space and the disk buffer, when it is the disk buffer setting that stopped
    // the run (the free space came down to it).
    explicit TDiskError(const std::string& what, std::string cause = {},
                        std::optional<SpaceBelowBuffer> space = {})
        : std::runtime_error(what), cause_(std::move(cause)), space_(space) {}
    const std::string& Cause() const { return cause_; }
    const std::optional<SpaceBelowBuffer>& Space() const { return space_; }

private:
    std::string cause_;
    std::optional<SpaceBelowBuffer> space_;
};

} // namespace gathra
