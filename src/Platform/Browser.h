#pragma once
#include <string>

namespace gathra {

// Shows an address or a stored file in the user's web browser.
class Browser {
public:
    virtual ~Browser() = default;
    // `fileFlag` is set when `address` names a stored file rather than a web address.
    virtual void OpenUrl(const std::string& address, bool fileFlag) = 0;
};

} // namespace gathra
