#pragma once
#include <cstdint>
#include <string>

namespace gathra {

// Every file that the program reads whole (briefs, their catalogues, bookmark files, the
// settings) is read through here, with a size limit of its own kind far above any real file of
// that kind: a larger file is refused before a byte of it is read, so that a wrong file chosen by
// mistake (a disk image, a video) neither takes the memory of its size nor passes for a damaged
// brief.

// Far above any brief, catalogue, bookmark file or settings file that the program writes or
// reads; a file past it is not one of them.
inline constexpr std::uint64_t kWholeFileLimit = 256ull << 20;

struct WholeFile {
    enum class Outcome {
        Read,       // Bytes holds the whole file
        CannotRead, // Error says why (errno): missing, not permitted, a folder, a read error
        TooLarge,   // Size is past the limit; nothing was read
    };
    Outcome Result = Outcome::CannotRead;
    std::string Bytes;
    int Error = 0;
    std::uint64_t Size = 0; // the file's size as the system gave it

    bool Ok() const { return Result == Outcome::Read; }
};

// Reads the regular file at `path` whole, when it holds at most `limit` bytes. A file that grows
// past the limit while it is read is refused too. Never opens a FIFO or device for reading (a
// named pipe would hang the read): those are refused as not regular files (EINVAL; a folder
// gives EISDIR).
WholeFile ReadWholeFile(const std::string& path, std::uint64_t limit = kWholeFileLimit);

// The first `count` bytes of a regular file (fewer when it is shorter); empty when it cannot be
// read.
std::string ReadFileHead(const std::string& path, std::size_t count);

// "3 GB", "300 MB", "12 KB", "17 bytes": a file size for a message, rounded down.
std::string SizeText(std::uint64_t bytes);

} // namespace gathra
