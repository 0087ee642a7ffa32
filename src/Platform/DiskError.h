#pragma once
#include <stdexcept>
#include <string>

namespace gathra {

// A file input/output failure inside a brief run ("Disk Full" included). It is caught once, at
// the run level, which then shows the "Disk Error" message.
class TDiskError : public std::runtime_error {
public:
    // cause: the system's own words for the failure, empty when the program found it itself.
    explicit TDiskError(const std::string& what, std::string cause = {})
        : std::runtime_error(what), cause_(std::move(cause)) {}
    const std::string& Cause() const { return cause_; }

private:
    std::string cause_;
};

} // namespace gathra
