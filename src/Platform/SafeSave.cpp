#include "Platform/SafeSave.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gathra {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Closes fd keeping the errno of an earlier failure.
void CloseKeepingErrno(int fd) {
    int saved = errno;
    ::close(fd);
    errno = saved;
}

std::string FolderOfPath(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOfPath(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// How a new file gets its permissions: made with createMode (which the umask trims), then set to
// setMode when there is one (the mode of the file it replaces, or a fixed mode).
struct FileMode {
    mode_t createMode = 0666;
    std::optional<mode_t> setMode;
};

// Fills, sets the mode of and flushes an open file.
bool FillFile(int fd, std::string_view bytes, const FileMode& mode) {
    return WriteAll(fd, bytes) && (!mode.setMode || ::fchmod(fd, *mode.setMode) == 0) &&
           ::fsync(fd) == 0;
}

// An unnamed file in path's folder, filled and flushed, then linked under a temporary name.
// Nothing when the file system has no unnamed files (errno EOPNOTSUPP or EISDIR) or on failure.
std::optional<std::string> WriteUnnamed(const std::string& path, std::string_view bytes,
                                        const FileMode& mode, std::atomic<unsigned>& counter) {
#ifdef O_TMPFILE
    int fd = ::open(FolderOfPath(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode.createMode);
    if (fd < 0) return std::nullopt;
    if (!FillFile(fd, bytes, mode)) {
        CloseKeepingErrno(fd);
        return std::nullopt;
    }
    // Linking through /proc needs no privilege, unlike linking the descriptor itself.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TemporaryName(path, ::getpid(), counter.fetch_add(1));
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (::close(fd) != 0) {
                ::unlink(temp.c_str());
                return std::nullopt;
            }
            return temp;
        }
        if (errno != EEXIST) break;
    }
    CloseKeepingErrno(fd);
    // Without /proc (or with a full folder) the named way below still works.
    errno = EOPNOTSUPP;
    return std::nullopt;
#else
    (void)path, (void)bytes, (void)mode, (void)counter;
    errno = EOPNOTSUPP;
    return std::nullopt;
#endif
}

bool IsDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

std::string TemporaryName(const std::string& path, long pid, unsigned number) {
    return path + ".tmp" + std::to_string(pid) + "-" + std::to_string(number);
}

std::string FileToReplace(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string target(resolved);
    ::free(resolved);
    return target;
}

std::optional<std::string> WriteBeside(const std::string& path, std::string_view bytes, mode_t mode,
                                       bool keepOldMode) {
    static std::atomic<unsigned> counter{0};
    // A new file gets mode less the umask, as any program's new file does; a replaced file keeps
    // its own mode; without keepOldMode the file gets exactly mode.
    FileMode fileMode{mode, std::nullopt};
    struct stat old {};
    if (!keepOldMode)
        fileMode.setMode = mode;
    else if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        fileMode.setMode = old.st_mode & 07777;

    std::optional<std::string> unnamed = WriteUnnamed(path, bytes, fileMode, counter);
    if (unnamed) return unnamed;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return std::nullopt;

    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TemporaryName(path, ::getpid(), counter.fetch_add(1));
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, fileMode.createMode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return std::nullopt;
        }
        bool ok = FillFile(fd, bytes, fileMode);
        if (!ok) CloseKeepingErrno(fd);
        if (ok && ::close(fd) != 0) ok = false;
        if (!ok) {
            int saved = errno;
            ::unlink(temp.c_str());
            errno = saved;
            return std::nullopt;
        }
        return temp;
    }
    errno = EEXIST;
    return std::nullopt;
}

bool ReplaceWith(const std::string& temp, const std::string& path) {
    if (::rename(temp.c_str(), path.c_str()) == 0) return true;
    int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return false;
}

void SyncFolder(const std::string& path) {
    int fd = ::open(FolderOfPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::string folder = FolderOfPath(path);
    const std::string prefix = NameOfPath(path) + ".tmp";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const int saved = errno;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name.substr(0, prefix.size()) != prefix) continue;
        std::string_view rest = name.substr(prefix.size());
        size_t dash = rest.find('-');
        if (dash == std::string_view::npos || !IsDigits(rest.substr(0, dash)) ||
            !IsDigits(rest.substr(dash + 1)) || dash > 9)
            continue;
        const long pid = std::strtol(std::string(rest.substr(0, dash)).c_str(), nullptr, 10);
        // Our own temporaries may belong to a save in progress on another thread.
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        const std::string full = folder + "/" + std::string(name);
        struct stat st {};
        if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(full.c_str());
    }
    ::closedir(dir);
    errno = saved;
}

} // namespace gathra
