#pragma once
#include "Platform/Dialogs.h"
#include "Platform/Registry.h"
#include "Settings/AppSettings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gathra {

// Group keys and the subkeys whose default values hold the settings.
namespace settings_keys {
inline constexpr std::string_view DiskBuffer = "Disk Buffer";
inline constexpr std::string_view MegaBytes = "MegaBytes";
inline constexpr std::string_view Browser = "Browser";
inline constexpr std::string_view BrowserPath = "Browser Path";
inline constexpr std::string_view BrowserService = "Browser Service";
inline constexpr std::string_view AutoLoadBrowser = "AutoLoad Browser";
inline constexpr std::string_view Proxy = "Proxy";
inline constexpr std::string_view ProxyServer = "Proxy Server";
inline constexpr std::string_view ProxyPort = "Proxy Port";
inline constexpr std::string_view Briefs = "Briefs";
inline constexpr std::string_view Retries = "Retries";
inline constexpr std::string_view Password = "Password";
inline constexpr std::string_view UserName = "UserName";
inline constexpr std::string_view CheckCertificates = "Check Certificates";
inline constexpr std::string_view PageResources = "Page Resources";
// The folder of the brief chosen last in the open and save dialogs, where they start next time.
inline constexpr std::string_view LastBriefFolder = "Last Folder";
inline constexpr std::string_view ClassicTransfers = "Classic Transfers";
inline constexpr std::string_view ConnectionsPerSite = "Connections Per Site";
inline constexpr std::string_view RequestPause = "Request Pause";
inline constexpr std::string_view Startup = "Startup";
inline constexpr std::string_view FirstStart = "First Start";
inline constexpr std::string_view OpenBriefs = "Open Briefs";
inline constexpr std::string_view PreviousBriefs = "Previous Briefs";
} // namespace settings_keys

inline constexpr std::int64_t kBytesPerMegaByte = 1048576;

// The values the store accepts: a stored number outside its range keeps the default, and the
// preferences dialog offers no more than this.
struct SettingRanges {
    static constexpr std::int64_t MinDiskBuffer = 1, MaxDiskBuffer = 999999; // megabytes
    static constexpr std::int32_t MinPort = 0, MaxPort = 99999;
    static constexpr std::int32_t MinRetries = 1, MaxRetries = 5;
    // A setting longer than this does not fit the buffer it is read back with and would be lost.
    static constexpr std::size_t MaxSettingBytes = 499;
    // The default credentials are stored scrambled (four bytes for three), with escapes that may
    // double a byte, behind a count byte: this many plain bytes always fit.
    static constexpr std::size_t MaxSecretBytes = 93;
};

// Fills `settings` from the Disk Buffer, Browser, Proxy and Briefs groups, in that order; absent,
// empty, oversized or unparsable values keep the defaults of AppSettings. When no browser path is
// stored, DetectBrowser finds one and writes it back. ProgramFolder is left as it is.
void LoadSettings(AppSettings& settings, Registry& registry);

// Takes BrowserPath and BrowserService from the HTML file association and writes both (possibly
// empty) into the Browser group.
void DetectBrowser(AppSettings& settings, Registry& registry);

// The browser path and DDE service name that an ".htm" open command line gives.
struct DetectedBrowser {
    std::string Path;
    std::string Service;
};
DetectedBrowser BrowserFromCommandLine(std::string_view commandLine);

// What the preferences dialog holds when OK or Apply is pressed.
struct PreferencesInput {
    std::string BrowserLocation; // "Location:"
    bool AutoLoad = false;       // "Auto Load at Startup"
    std::int64_t DiskBufferMegaBytes = 1;
    std::string ProxyServer;
    std::int32_t ProxyPort = 80;
    std::int32_t Retries = 3;
    bool CheckCertificates = true; // "Check certificates"
    std::string UserName;
    std::string Password;
    std::string Confirm;
    bool UserNameEdited = false; // changed since the dialog opened
    bool PasswordEdited = false;
    bool KeepPageResources = true;       // "Keep page styles and scripts"
    bool ClassicTransfers = false;       // "Classic transfers"
    std::int32_t ConnectionsPerSite = 6; // "Connections per site"
    std::int32_t RequestPauseMs = 0;     // "Pause between requests"
};

// The dialog's values as they stand when it opens from `settings` (nothing edited yet).
PreferencesInput PreferencesFrom(const AppSettings& settings);

// Updates `settings` from the dialog's values and writes the Disk Buffer, Browser, Proxy and
// Briefs groups. Fails only for an edited password that differs from its confirmation: then
// "Password not correctly confirmed." / "Password Error" is shown, everything but the credentials
// is applied and written all the same, and the credentials are left alone. A value that cannot
// be written is skipped without a message (see Registry::FailedWrites).
bool ApplyPreferences(AppSettings& settings, Registry& registry, const PreferencesInput& input,
                      Dialogs& dialogs);

// The stored form of the scrambled bytes of a password or user name: one count byte (stored
// characters that follow, modulo 256), then the bytes with a zero byte written as "\0" and a
// backslash as "\\".
std::string FrameStoredSecret(std::string_view scrambled);
// Undoes FrameStoredSecret. A value longer than 256 characters is read whole when its length
// agrees with the count byte modulo 256.
std::string UnframeStoredSecret(std::string_view stored);

// Startup group -----------------------------------------------------------------------------------

// Position, size and state of a window. For a minimised window the position and size are those
// of its restored placement.
struct WindowPlacement {
    enum : std::int32_t { Normal = 0, Minimised = 1, Maximised = 2 };
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t State = Normal;
    bool operator==(const WindowPlacement&) const = default;
};

struct BriefWindowPlacement {
    std::string Path; // the brief file's full path
    WindowPlacement Placement;
    bool operator==(const BriefWindowPlacement&) const = default;
};

// "Open Briefs": the main window and the brief windows open at the last exit, in window order.
struct OpenBriefsRecord {
    WindowPlacement MainWindow;
    std::vector<BriefWindowPlacement> Briefs;
    bool operator==(const OpenBriefsRecord&) const = default;
};

// "Previous Briefs": the recent list's four slots; an empty path is an empty slot.
struct PreviousBriefsRecord {
    std::array<std::string, 4> Slots;
    bool operator==(const PreviousBriefsRecord&) const = default;
};

// Brief windows whose path has 255 bytes or more (or a zero byte) are left out, and so are the
// last ones when the record would not fit the 9,999-byte read buffer.
std::string EncodeOpenBriefsRecord(const OpenBriefsRecord& record);
// Nothing when even the main window's first four numbers are missing. Reading stops at the first
// damaged brief record; one whose first four numbers are all present is kept (State 0 when the
// fifth is missing).
std::optional<OpenBriefsRecord> DecodeOpenBriefsRecord(std::string_view stored);

// Paths of 255 bytes or more (or holding a zero byte) are written as empty slots.
std::string EncodePreviousBriefsRecord(const PreviousBriefsRecord& record);
PreviousBriefsRecord DecodePreviousBriefsRecord(std::string_view stored);

struct StartupValues {
    bool FirstStart = false;                    // "First Start" is exactly "Yes"
    std::optional<OpenBriefsRecord> OpenBriefs; // nothing to restore when absent
    PreviousBriefsRecord PreviousBriefs;
};
StartupValues ReadStartupValues(const Registry& registry);
// The first activation marks the first start done by writing "No".
bool WriteFirstStartDone(Registry& registry);
bool WriteOpenBriefs(Registry& registry, const OpenBriefsRecord& record);
bool WritePreviousBriefs(Registry& registry, const PreviousBriefsRecord& record);

// Parsing helpers shared with the command line
// -----------------------------------------------------

// A whole decimal integer (optional sign) that fits 32 bits, else nothing.
std::optional<std::int32_t> ParseDecimal(std::string_view text);

} // namespace gathra
