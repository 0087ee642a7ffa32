#pragma once
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace gathra {

// A file input/output failure inside a brief run ("Disk Full" included). It is caught once, at
// the run level, which then shows the "Disk Error" message.
class TDiskError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file of the run folder being written. Every failure throws TDiskError.
class TOutputFile {
public:
    TOutputFile() = default;
    explicit TOutputFile(const std::string& path) { Open(path); }
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Creates or truncates the file; path separators "\" are taken as "/".
    void Open(const std::string& path);
    void Write(std::string_view bytes);
    TOutputFile& operator<<(std::string_view bytes) {
        Write(bytes);
        return *this;
    }
    // Flushes and closes; a failure to flush is a disk error.
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

// The path as the POSIX file system wants it: every "\" becomes "/".
std::string PosixPath(std::string_view path);

} // namespace gathra
