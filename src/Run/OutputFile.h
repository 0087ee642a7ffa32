#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace gathra {

class TFileQueue;

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

// A file of the run folder being written. Every failure throws TDiskError.
//
// Bytes are gathered in a buffer of the file's own and handed to the system in large writes: a
// page or notice of up to kBufferBytes is created with one open, one write and one close.
class TOutputFile {
public:
    TOutputFile() = default;
    explicit TOutputFile(const std::string& path) { Open(path); }
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Creates or truncates the file; path separators "\" are taken as "/".
    void Open(const std::string& path);
    // As Open, for a small file written whole at Close by `queue`'s thread: the bytes are
    // gathered in memory and nothing touches the disk before Close.
    void OpenQueued(const std::string& path, TFileQueue& queue);
    void Write(std::string_view bytes);
    TOutputFile& operator<<(std::string_view bytes) {
        Write(bytes);
        return *this;
    }
    // Flushes and closes; a failure to flush is a disk error.
    void Close();
    bool IsOpen() const { return fd_ >= 0 || queue_ != nullptr; }
    const std::string& Path() const { return path_; }
    // Bytes written since the file was opened: where the next write lands.
    std::uint64_t Written() const { return written_; }

    // Bytes written to the output files of the calling thread so far, with a block counted for
    // each file created (the space a file takes at the least). The free-space checks of a run
    // measure what its thread wrote since their last look by it.
    static std::uint64_t BytesWritten();
    // Adds to that count what the thread writes to the run folder by other means (a response's
    // body written as it arrives).
    static void CountWritten(std::uint64_t bytes);

    static constexpr std::size_t kBufferBytes = 64 * 1024;

private:
    void Flush();
    void WriteThrough(std::string_view bytes);

    int fd_ = -1;
    TFileQueue* queue_ = nullptr; // set while a queued file is open
    std::string path_;
    std::string buffer_;
    std::uint64_t written_ = 0;
};

// The path as the POSIX file system wants it: every "\" becomes "/".
std::string PosixPath(std::string_view path);

} // namespace gathra
