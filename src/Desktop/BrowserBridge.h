#pragma once
#include "Platform/Browser.h"
#include "Platform/Dialogs.h"
#include "Settings/AppSettings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gathra {

// A client of the browser's DDE service. Desktops without DDE have no conversation to offer
// (NoDdeClient); tests use fakes to see the exact requests.
class DdeClient {
public:
    virtual ~DdeClient() = default;
    // Opens a conversation; false when no server answers.
    virtual bool Connect(const std::string& service, const std::string& topic) = 0;
    // A request in text format on the open conversation; none when no data comes back.
    virtual std::optional<std::string> Request(const std::string& item, int timeoutMs) = 0;
    virtual void Disconnect() = 0;
};

class NoDdeClient : public DdeClient {
public:
    bool Connect(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> Request(const std::string&, int) override { return std::nullopt; }
    void Disconnect() override {}
};

// The address field of a running Internet Explorer, found by walking its windows. Desktops
// without it find nothing (NoBrowserWindows).
class BrowserWindows {
public:
    virtual ~BrowserWindows() = default;
    // Types the address into the field and sends Enter; true when that was done.
    virtual bool TypeAddress(const std::string& address) = 0;
    // The field's text when the walk finds it.
    virtual std::optional<std::string> AddressFieldText() = 0;
    // The field's text along the fixed path used when the DDE answer is empty.
    virtual std::optional<std::string> FixedPathText() = 0;
};

class NoBrowserWindows : public BrowserWindows {
public:
    bool TypeAddress(const std::string&) override { return false; }
    std::optional<std::string> AddressFieldText() override { return std::nullopt; }
    std::optional<std::string> FixedPathText() override { return std::nullopt; }
};

// Splits a command line as a desktop file's Exec line is split, without a shell: blanks separate
// arguments; double quotes group (inside them a backslash escapes `"`, `` ` ``, `$` and `\`),
// single quotes group literally, and a backslash outside quotes escapes the next character.
std::vector<std::string> SplitCommandLine(const std::string& line);

// The program and arguments that show `address`: `browserPath` split into arguments, with the
// address put where "%1", "%u", "%U", "%f" or "%F" stands (other field codes are dropped, "%%"
// is "%"), else appended. A browser path that names an existing program as a whole (a path
// with blanks) is not split. An empty address just starts the browser; an empty browser path
// leaves it to the desktop's opener `xdg-open`. The address is never parsed as command text.
std::vector<std::string> BrowserArguments(const std::string& browserPath,
                                          const std::string& address);

// The "file://" address of a stored file, as RFC 8089 and 3986 write it: backslashes become "/",
// and every byte but the unreserved characters (letters, digits, "-", ".", "_", "~") and "/" is
// percent-encoded, so "#", "%", "?", blanks, quotes and the UTF-8 bytes of letters such as an
// e with acute ("%C3%A9") are part of the path and never start a fragment or a query. A drive
// letter keeps its colon ("file:///C:/Briefs/"). Decoding what follows "file://" gives the path
// back. Every way of showing a stored brief (Brief Ready, View Brief, Show Brief, the command
// line's archive view and generate --open) opens the address made here.
std::string FileAddress(const std::string& path);

// The address as it goes on the browser's command line: a stored file's path becomes its
// FileAddress; in any other address (a web address, or one that already begins with "file")
// every blank becomes "%20".
std::string CommandLineAddress(const std::string& address, bool fileFlag);

// The DDE item that loads an address in a new window.
std::string OpenUrlItem(const std::string& address);

// Shows addresses in the user's browser and asks it for the page it shows.
class TBrowserBridge : public Browser {
public:
    struct Ports {
        AppSettings* Settings = nullptr;
        Dialogs* Dlg = nullptr;
        // The main window's status bar (shown at once); may be empty.
        std::function<void(const std::string&)> Status;
        DdeClient* Dde = nullptr;          // none: no DDE
        BrowserWindows* Windows = nullptr; // none: no window walk
        // Starts a program detached; none: SpawnDetached.
        std::function<bool(const std::vector<std::string>&)> Start;
        // Further places the current page is looked up in, in order, each giving the answer
        // text of AddFromBrowser (quoted address, comma, quoted title).
        std::vector<std::function<std::optional<std::string>()>> PageSources;
    };

    explicit TBrowserBridge(Ports ports);

    enum class OpenResult { Typed, SentByDde, Started, BrowserNotSet, StartFailed };
    OpenResult Open(const std::string& address, bool fileFlag);
    void OpenUrl(const std::string& address, bool fileFlag) override { Open(address, fileFlag); }

    // The browser's current page as the text AddFromBrowser takes, or none.
    std::optional<std::string> CurrentPage();

    Ports& PortsInUse() { return ports_; }

private:
    void Status(const std::string& text);
    Ports ports_;
    NoDdeClient noDde_;
    NoBrowserWindows noWindows_;
};

inline constexpr const char* kBrowserNotSetText =
    "Please set the Browser in the Preferences dialog box (under the Edit menu).";
inline constexpr const char* kBrowserNotSetCaption = "Browser Not Set";
inline constexpr const char* kIdleStatusText = " Gathra Light";

} // namespace gathra
