#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace gathra {

// The body of one response written to a file of the run folder as it arrives, instead of being
// held in memory. The file has no name while it is written (an unnamed file of the folder's file
// system), so a failed, cancelled or interrupted transfer, or a process that dies, leaves nothing
// behind; it is given its name once the response turns out to be stored. Where the file system
// cannot make unnamed files, a hidden ".part" file of the folder stands in, removed again on
// every path but the one that names it.
class TBodySpool {
public:
    enum class Kind {
        Unnamed, // no name until Place
        Hidden,  // a hidden ".part" name until Place
    };

    // Makes a spool file in folder (a run folder, with or without its trailing separator):
    // unnamed when allowUnnamed and the file system can, else hidden. Null when neither could be
    // made; *error (when given) then holds the system's words for why.
    static std::unique_ptr<TBodySpool> Open(const std::string& folder, bool allowUnnamed = true,
                                            std::string* error = nullptr);
    ~TBodySpool();
    TBodySpool(const TBodySpool&) = delete;
    TBodySpool& operator=(const TBodySpool&) = delete;

    // Appends bytes to the file. False when the system would not take them all (the disk is full,
    // the file too large for its file system, a device error); Error() says why, and the spool
    // takes nothing more.
    bool Write(std::string_view bytes);
    // Bytes written so far.
    std::uint64_t Size() const { return size_; }
    Kind FileKind() const { return kind_; }
    // The hidden name while there is one (Hidden only), else empty.
    const std::string& HiddenPath() const { return hiddenPath_; }
    const std::string& Error() const { return error_; }

    // Gives the file the name path, replacing a file of that name as creating it would have, and
    // closes it; where the name cannot be given (path on another file system), the bytes are
    // copied there instead. Throws TDiskError when neither works (nothing is left then: neither
    // the spool's file nor a part of the copy).
    void Place(const std::string& path);

private:
    TBodySpool(int fd, Kind kind, std::string hiddenPath);
    void Discard();
    // Each answers 0, or the system's error number.
    int Name(const std::string& target);
    int CopyTo(const std::string& target);

    int fd_ = -1;
    Kind kind_;
    std::string hiddenPath_;
    std::uint64_t size_ = 0;
    std::string error_;
};

} // namespace gathra
