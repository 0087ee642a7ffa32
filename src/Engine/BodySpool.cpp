#include "Engine/BodySpool.h"

#include "Engine/FileNames.h"
#include "Engine/OutputFile.h"

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
    if (::access("/proc/self/fd", X_OK) != 0) return -1;
    int fd;
    do {
        fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
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
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    int failure = 0;
    if (kind_ == Kind::Unnamed) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        auto link = [&] {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW);
        };
        int linked = link();
        // Creating the file would have replaced an older one of that name.
        if (linked != 0 && errno == EEXIST && ::unlink(target.c_str()) == 0) linked = link();
        if (linked != 0) failure = errno;
    } else if (::rename(hiddenPath_.c_str(), target.c_str()) != 0) {
        failure = errno;
    } else {
        hiddenPath_.clear();
    }
    if (failure == 0) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            // A file whose last bytes may not have reached the disk gets no name.
            failure = errno;
            ::unlink(target.c_str());
        }
    }
    if (failure != 0) {
        Discard();
        // The same words as a file of that name that could not be created.
        throw TDiskError("cannot create " + target + ": " + SystemWords(failure),
                         SystemWords(failure));
    }
}

} // namespace gathra
