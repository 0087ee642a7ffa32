#include "Platform/OutputFile.h"

#include "Platform/FileQueue.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace gathra {
namespace {

// What one new file takes on disk at the least, whatever it holds.
constexpr std::uint64_t kFileBlockBytes = 4096;
constexpr std::size_t kFirstBufferBytes = 8192;

// Counted per thread: a run writes its files on its own thread and measures its own writes, and
// the count costs no locked instruction for each of the many small writes of a page.
thread_local std::uint64_t tBytesWritten = 0;

} // namespace

std::uint64_t TOutputFile::BytesWritten() {
    return tBytesWritten;
}

void TOutputFile::CountWritten(std::uint64_t bytes) {
    tBytesWritten += bytes;
}

TOutputFile::~TOutputFile() {
    if (queue_ != nullptr) {
        // What was written so far still becomes the file, as below.
        try {
            queue_->End();
        } catch (const TDiskError&) {
        }
        return;
    }
    if (fd_ < 0) return;
    // As a stream closed by its destructor would: what was written so far still reaches the
    // file, and a failure here has nobody left to report to.
    try {
        Flush();
    } catch (const TDiskError&) {
    }
    ::close(fd_);
}

void TOutputFile::Open(const std::string& path) {
    if (IsOpen()) Close();
    path_ = PosixPath(path);
    buffer_.clear();
    written_ = 0;
    do {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        throw TDiskError("cannot create " + path_ + ": " + std::strerror(errno),
                         std::strerror(errno));
    tBytesWritten += kFileBlockBytes;
}

void TOutputFile::OpenQueued(const std::string& path, TFileQueue& queue) {
    if (IsOpen()) Close();
    path_ = PosixPath(path);
    // Only one queued file is filled at a time; another one is written here and now.
    if (!queue.Begin(path_)) {
        Open(path_);
        return;
    }
    buffer_.clear();
    written_ = 0;
    queue_ = &queue;
    tBytesWritten += kFileBlockBytes;
}

void TOutputFile::Write(std::string_view bytes) {
    if (!IsOpen()) throw TDiskError("write to a closed file");
    if (bytes.empty()) return;
    written_ += bytes.size();
    tBytesWritten += bytes.size();
    if (queue_ != nullptr) {
        queue_->Append(bytes);
        return;
    }
    if (buffer_.size() + bytes.size() <= kBufferBytes) {
        // Small files stay small in memory: a buffer of kBufferBytes for each notice page would
        // go back and forth to the system with every file.
        if (buffer_.capacity() < kFirstBufferBytes) buffer_.reserve(kFirstBufferBytes);
        buffer_.append(bytes.data(), bytes.size());
        return;
    }
    Flush();
    if (bytes.size() >= kBufferBytes)
        WriteThrough(bytes);
    else
        buffer_.append(bytes.data(), bytes.size());
}

void TOutputFile::Flush() {
    if (buffer_.empty()) return;
    // Emptied also when the write fails: a failure is reported once, not again by the destructor.
    struct Emptied {
        std::string& Buffer;
        ~Emptied() { Buffer.clear(); }
    } emptied{buffer_};
    WriteThrough(buffer_);
}

void TOutputFile::WriteThrough(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw TDiskError("cannot write " + path_ + ": " + std::strerror(errno),
                             std::strerror(errno));
        }
        if (n == 0) throw TDiskError("cannot write " + path_ + ": nothing written");
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

void TOutputFile::Close() {
    if (queue_ != nullptr) {
        TFileQueue& queue = *queue_;
        queue_ = nullptr;
        queue.End();
        return;
    }
    if (fd_ < 0) return;
    int fd = fd_;
    try {
        Flush();
    } catch (const TDiskError&) {
        fd_ = -1;
        ::close(fd);
        throw;
    }
    fd_ = -1;
    if (::close(fd) != 0)
        throw TDiskError("cannot close " + path_ + ": " + std::strerror(errno),
                         std::strerror(errno));
}

} // namespace gathra
