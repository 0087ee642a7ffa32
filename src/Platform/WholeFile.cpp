#include "Platform/WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace gathra {
namespace {

// Opens a regular file for reading; -1 with errno set otherwise.
int OpenRegular(const std::string& path, std::uint64_t* size) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    const bool examined = ::fstat(fd, &st) == 0;
    if (!examined || !S_ISREG(st.st_mode)) {
        const int error = !examined ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (size != nullptr) *size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

// Reads up to `most` bytes onto `bytes`; false (errno set) on a read error.
bool ReadUpTo(int fd, std::string& bytes, std::uint64_t most) {
    char buffer[65536];
    while (bytes.size() < most) {
        const std::uint64_t want = std::min<std::uint64_t>(sizeof buffer, most - bytes.size());
        ssize_t n = ::read(fd, buffer, static_cast<size_t>(want));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

} // namespace

WholeFile ReadWholeFile(const std::string& path, std::uint64_t limit) {
    WholeFile file;
    int fd = OpenRegular(path, &file.Size);
    if (fd < 0) {
        file.Error = errno;
        return file;
    }
    if (file.Size > limit) {
        ::close(fd);
        file.Result = WholeFile::Outcome::TooLarge;
        return file;
    }
    try {
        file.Bytes.reserve(static_cast<size_t>(file.Size));
        // One byte past the limit tells a file that grew beyond it.
        if (!ReadUpTo(fd, file.Bytes, limit + 1)) {
            file.Error = errno;
            file.Bytes.clear();
            ::close(fd);
            return file;
        }
    } catch (const std::bad_alloc&) {
        file.Error = ENOMEM;
        file.Bytes = std::string();
        ::close(fd);
        return file;
    }
    ::close(fd);
    if (file.Bytes.size() > limit) {
        file.Size = std::max<std::uint64_t>(file.Size, file.Bytes.size());
        file.Bytes = std::string();
        file.Result = WholeFile::Outcome::TooLarge;
        return file;
    }
    file.Result = WholeFile::Outcome::Read;
    return file;
}

std::string ReadFileHead(const std::string& path, std::size_t count) {
    std::string bytes;
    int fd = OpenRegular(path, nullptr);
    if (fd < 0) return bytes;
    if (!ReadUpTo(fd, bytes, count)) bytes.clear();
    ::close(fd);
    return bytes;
}

std::string SizeText(std::uint64_t bytes) {
    struct Unit {
        std::uint64_t Size;
        const char* Name;
    } units[] = {{1ull << 30, " GB"}, {1ull << 20, " MB"}, {1ull << 10, " KB"}};
    for (const Unit& unit : units)
        if (bytes >= unit.Size) return std::to_string(bytes / unit.Size) + unit.Name;
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

} // namespace gathra
