#include "Net/BodySpool.h"

#include "Platform/FilePath.h"
#include "Platform/OutputFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace gathra {
namespace {

// What one new file takes on disk at the least, as the run's free-space checks count it.
constexpr std::uint64_t kFileBlockBytes = 4096;
constexpr int kHiddenNameTries = 100;

std::atomic<unsigned> gHiddenCounter{0};

std::string SystemWords(int error) {
    return std::strerror(error);
}

int OpenUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
    // The name is given through /proc/self/fd (linking by descriptor alone needs a privilege):
    // without it an unnamed file could never be placed.
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (!canName) return -1;
    int fd;
    do {
        fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
#else
    (void)folder;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

} // namespace

std::unique_ptr<TBodySpool> TBodySpool::Open(const std::string& folder, bool allowUnnamed,
                                             std::string* error) {
    const std::string dir = PosixPath(folder.empty() ? std::string(".") : folder);
    if (allowUnnamed) {
        int fd = OpenUnnamed(dir);
        if (fd >= 0) {
            TOutputFile::CountWritten(kFileBlockBytes);
            return std::unique_ptr<TBodySpool>(new TBodySpool(fd, Kind::Unnamed, {}));
        }
    }
    int lastError = 0;
    for (int attempt = 0; attempt < kHiddenNameTries; ++attempt) {
        const std::string path =
            InFolder(dir, ".gathra-" + std::to_string(::getpid()) + "-" +
                              std::to_string(gHiddenCounter.fetch_add(1)) + ".part");
        int fd;
        do {
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            TOutputFile::CountWritten(kFileBlockBytes);
            return std::unique_ptr<TBodySpool>(new TBodySpool(fd, Kind::Hidden, path));
        }
        lastError = errno;
        if (lastError != EEXIST) break;
    }
    if (error != nullptr) *error = SystemWords(lastError);
    return nullptr;
}

TBodySpool::TBodySpool(int fd, Kind kind, std::string hiddenPath)
    : fd_(fd), kind_(kind), hiddenPath_(std::move(hiddenPath)) {}

TBodySpool::~TBodySpool() {
    Discard();
}

void TBodySpool::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    // An unnamed file is gone with its last descriptor; a hidden one is removed by name.
    if (!hiddenPath_.empty()) {
        ::unlink(hiddenPath_.c_str());
        hiddenPath_.clear();
    }
}

bool TBodySpool::Write(std::string_view bytes) {
    if (fd_ < 0) return false;
    // Counted before the write, as the output files do: the free-space checks see what is
    // about to land.
    TOutputFile::CountWritten(bytes.size());
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = n < 0 ? SystemWords(errno) : std::string("nothing written");
            // What was written is of no use any more; the file goes at once, not at the end of
            // the transfer, so that a full disk gets its room back.
            Discard();
            return false;
        }
        size_ += static_cast<std::uint64_t>(n);
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void TBodySpool::Place(const std::string& path) {
    if (fd_ < 0) throw TDiskError("cannot create " + path + ": the body was not kept", error_);
    const std::string target = PosixPath(path);
    int failure = Name(target);
    if (failure == 0) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            // A file whose last bytes may not have reached the disk gets no name.
            failure = errno;
            ::unlink(target.c_str());
        }
    } else {
        // A name that cannot be given (another file system, a link the system refuses) still
        // leaves the bytes to copy.
        failure = CopyTo(target);
    }
    Discard();
    if (failure != 0)
        // The same words as a file of that name that could not be created.
        throw TDiskError("cannot create " + target + ": " + SystemWords(failure),
                         SystemWords(failure));
}

int TBodySpool::Name(const std::string& target) {
    if (kind_ == Kind::Hidden) {
        if (::rename(hiddenPath_.c_str(), target.c_str()) != 0) return errno;
        hiddenPath_.clear();
        return 0;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    auto link = [&] {
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW);
    };
    int linked = link();
    // Creating the file would have replaced an older one of that name.
    if (linked != 0 && errno == EEXIST && ::unlink(target.c_str()) == 0) linked = link();
    return linked == 0 ? 0 : errno;
}

int TBodySpool::CopyTo(const std::string& target) {
    int out;
    do {
        out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (out < 0 && errno == EINTR);
    if (out < 0) return errno;
    TOutputFile::CountWritten(kFileBlockBytes);
    std::string block(64 * 1024, '\0');
    int failure = 0;
    for (off_t at = 0; failure == 0;) {
        ssize_t n = ::pread(fd_, block.data(), block.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) failure = errno;
            break;
        }
        TOutputFile::CountWritten(static_cast<std::uint64_t>(n));
        for (ssize_t done = 0; done < n && failure == 0;) {
            ssize_t put = ::write(out, block.data() + done, static_cast<size_t>(n - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0)
                failure = put < 0 ? errno : EIO;
            else
                done += put;
        }
        at += n;
    }
    if (::close(out) != 0 && failure == 0) failure = errno;
    if (failure != 0) ::unlink(target.c_str());
    return failure;
}

} // namespace gathra
