#include "Platform/FileQueue.h"

#include "Platform/OutputFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace gathra {
namespace {

// A block is a run of files, each: the path's length, the path, the content's length, the
// content (lengths as 8 bytes in the machine's order).
void PutLength(std::string& block, std::uint64_t length) {
    block.append(reinterpret_cast<const char*>(&length), sizeof length);
}

std::uint64_t TakeLength(std::string_view& block) {
    std::uint64_t length = 0;
    std::memcpy(&length, block.data(), sizeof length);
    block.remove_prefix(sizeof length);
    return length;
}

} // namespace

TFileQueue::~TFileQueue() {
    Finish();
    if (!block_.empty()) HandOver();
    {
        std::unique_lock lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (folderFd_ >= 0) ::close(folderFd_);
}

bool TFileQueue::Begin(std::string_view path) {
    if (open_ != std::string::npos) return false;
    if (block_.size() >= kBlockBytes) HandOver();
    if (block_.capacity() < kBlockBytes) block_.reserve(kBlockBytes + kBlockBytes / 4);
    PutLength(block_, path.size());
    block_.append(path);
    open_ = block_.size();
    PutLength(block_, 0);
    return true;
}

void TFileQueue::Append(std::string_view bytes) {
    block_.append(bytes);
}

void TFileQueue::End() {
    Finish();
    ThrowFailure();
}

void TFileQueue::Finish() {
    if (open_ == std::string::npos) return;
    const std::uint64_t length = block_.size() - open_ - sizeof(std::uint64_t);
    std::memcpy(block_.data() + open_, &length, sizeof length);
    open_ = std::string::npos;
}

void TFileQueue::HandOver() {
    std::unique_lock lock(mutex_);
    if (failed_) {
        // Nothing more is written after a failure.
        block_.clear();
        return;
    }
    if (!thread_.joinable() && !writesHere_) {
        try {
            thread_ = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            // No thread to be had (the system is out of them): the files are written here, in
            // the same order, as the blocks are handed over.
            writesHere_ = true;
        }
    }
    if (writesHere_) {
        std::string message;
        std::string cause;
        if (!WriteUnlocked(lock, block_, message, cause)) NoteFailure(message, cause);
        block_.clear();
        return;
    }
    if (pendingBytes_ >= kMostPendingBytes) {
        full_ = true;
        changed_.wait(lock, [&] { return pendingBytes_ < kMostPendingBytes / 2 || failed_; });
        full_ = false;
    }
    pendingBytes_ += block_.size();
    blocks_.push_back(std::move(block_));
    block_ = std::string();
    if (!spare_.empty()) {
        block_ = std::move(spare_.back());
        spare_.pop_back();
    }
    const bool wake = sleeping_;
    lock.unlock();
    if (wake) changed_.notify_all();
}

void TFileQueue::Drain() {
    Finish();
    if (!block_.empty()) HandOver();
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return (blocks_.empty() && !busy_) || failed_; });
    }
    ThrowFailure();
}

void TFileQueue::ThrowFailure() {
    std::unique_lock lock(mutex_);
    if (!failed_ || reported_) return;
    reported_ = true;
    throw TDiskError(failure_, cause_);
}

void TFileQueue::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        sleeping_ = true;
        changed_.wait(lock, [&] { return !blocks_.empty() || stop_; });
        sleeping_ = false;
        if (blocks_.empty()) return; // stopping with nothing left
        std::string block = std::move(blocks_.front());
        blocks_.pop_front();
        busy_ = true;
        std::string message;
        std::string cause;
        const bool ok = WriteUnlocked(lock, block, message, cause);
        busy_ = false;
        pendingBytes_ -= block.size();
        block.clear();
        if (spare_.size() < 2) spare_.push_back(std::move(block));
        if (!ok) NoteFailure(message, cause);
        changed_.notify_all();
    }
}

bool TFileQueue::WriteUnlocked(std::unique_lock<std::mutex>& lock, std::string_view block,
                               std::string& message, std::string& cause) {
    lock.unlock();
    bool ok = true;
    WriteBlock(block, ok, message, cause);
    lock.lock();
    return ok;
}

void TFileQueue::NoteFailure(std::string& message, std::string& cause) {
    if (failed_) return;
    failed_ = true;
    failure_ = std::move(message);
    cause_ = std::move(cause);
    blocks_.clear();
    pendingBytes_ = 0;
}

void TFileQueue::WriteBlock(std::string_view block, bool& ok, std::string& message,
                            std::string& cause) {
    while (ok && block.size() >= 2 * sizeof(std::uint64_t)) {
        const std::uint64_t pathLength = TakeLength(block);
        std::string_view path = block.substr(0, pathLength);
        block.remove_prefix(pathLength);
        const std::uint64_t length = TakeLength(block);
        std::string_view bytes = block.substr(0, length);
        block.remove_prefix(length);
        ok = WriteFile(path, bytes, message, cause);
    }
}

bool TFileQueue::WriteFile(std::string_view path, std::string_view bytes, std::string& message,
                           std::string& cause) {
    const size_t slash = path.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? "." : path.substr(0, slash + 1);
    const std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
    if (folder != folder_ || folderFd_ < 0) {
        if (folderFd_ >= 0) ::close(folderFd_);
        folder_ = std::string(folder);
        folderFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    int fd;
    do {
        fd =
            folderFd_ >= 0
                ? ::openat(folderFd_, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                : ::open(std::string(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        cause = std::strerror(errno);
        message = "cannot create " + std::string(path) + ": " + cause;
        return false;
    }
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) cause = std::strerror(errno);
            message = "cannot write " + std::string(path) + ": " +
                      (n < 0 ? cause : std::string("nothing written"));
            ::close(fd);
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    if (::close(fd) != 0) {
        cause = std::strerror(errno);
        message = "cannot close " + std::string(path) + ": " + cause;
        return false;
    }
    return true;
}

} // namespace gathra
