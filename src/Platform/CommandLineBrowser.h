#pragma once
#include "Platform/Browser.h"

#include <string>
#include <vector>

namespace gathra {

// Shows an address by starting the browser program with it on its command line (no shell).
// The browser path is either a program, or a command line in the form `PROGRAM "%1"` whose %1
// is replaced; with no browser set, the desktop's opener `xdg-open` is used.
class CommandLineBrowser : public Browser {
public:
    explicit CommandLineBrowser(const std::string& browserPath) : browserPath_(browserPath) {}
    void OpenUrl(const std::string& address, bool fileFlag) override;

    // The argument vector that OpenUrl starts.
    static std::vector<std::string> CommandFor(const std::string& browserPath,
                                               const std::string& address);

private:
    const std::string& browserPath_;
};

// Starts a program without waiting for it; false when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

} // namespace gathra
