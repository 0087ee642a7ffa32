#include "Settings/Settings.h"

#include "Text/ScrambleText.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <charconv>

namespace gathra {

namespace keys = settings_keys;

namespace {

// Read buffer sizes, terminator included: a longer value counts as absent.
constexpr size_t kSettingBuffer = SettingRanges::MaxSettingBytes + 1;
constexpr size_t kOpenBriefsBuffer = 9999;
constexpr size_t kPreviousBriefsBuffer = 1499;
constexpr size_t kFirstStartBuffer = 299;

// Path records hold their length plus one in a single byte.
constexpr size_t kMaxRecordedPath = 254;

std::optional<std::string> ReadSetting(const Registry& registry, std::string_view group,
                                       std::string_view name, size_t buffer = kSettingBuffer) {
    std::optional<std::string> value = registry.ReadValue(group, name);
    if (!value || value->empty() || value->size() + 1 > buffer) return std::nullopt;
    return value;
}

// The file-name part of a path written with either kind of separator (or a drive letter).
std::string FileNamePart(std::string_view path) {
    size_t cut = path.find_last_of("\\/:");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string CutAtFirstDot(std::string text) {
    if (size_t dot = text.find('.'); dot != std::string::npos) text.resize(dot);
    return text;
}

std::string StoredSecret(std::string_view plain) {
    return FrameStoredSecret(ScrambleText(plain));
}

std::optional<std::string> LoadSecret(const Registry& registry, std::string_view name) {
    std::optional<std::string> stored = ReadSetting(registry, keys::Briefs, name);
    if (!stored) return std::nullopt;
    return UnscrambleText(UnframeStoredSecret(*stored));
}

void AppendNumbers(std::string& out, const WindowPlacement& placement) {
    for (std::int32_t number :
         {placement.Left, placement.Top, placement.Width, placement.Height, placement.State}) {
        out += std::to_string(number);
        out += ',';
    }
}

// Reads up to five comma-terminated numbers into `placement`; gives how many were read. `pos`
// moves past the numbers read and no further.
int ReadNumbers(std::string_view text, size_t& pos, WindowPlacement& placement) {
    std::int32_t* fields[] = {&placement.Left, &placement.Top, &placement.Width, &placement.Height,
                              &placement.State};
    int count = 0;
    for (std::int32_t* field : fields) {
        size_t comma = text.find(',', pos);
        if (comma == std::string_view::npos) break;
        std::optional<std::int32_t> number = ParseDecimal(text.substr(pos, comma - pos));
        if (!number) break;
        *field = *number;
        pos = comma + 1;
        ++count;
    }
    return count;
}

bool Recordable(const std::string& path) {
    return path.size() <= kMaxRecordedPath && path.find('\0') == std::string::npos;
}

void AppendPath(std::string& out, const std::string& path) {
    out += static_cast<char>(path.size() + 1);
    out += path;
}

} // namespace

std::optional<std::int32_t> ParseDecimal(std::string_view text) {
    // from_chars takes a leading "-" but not a "+"; allow exactly one sign of either kind.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string FrameStoredSecret(std::string_view scrambled) {
    if (scrambled.empty()) return {}; // the count byte 0 ends the zero-terminated value at once
    std::string escaped;
    for (char c : scrambled) {
        if (c == '\0')
            escaped += "\\0";
        else if (c == '\\')
            escaped += "\\\\";
        else
            escaped += c;
    }
    std::string framed(1, static_cast<char>(escaped.size() % 256));
    return framed + escaped;
}

std::string UnframeStoredSecret(std::string_view stored) {
    if (stored.empty()) return {};
    size_t count = static_cast<unsigned char>(stored[0]);
    std::string_view text = stored.substr(1);
    // The count byte wraps for long secrets; the whole value is theirs when its length agrees.
    if (text.size() % 256 == count) count = text.size();
    std::string bytes;
    size_t consumed = 0;
    for (size_t i = 0; consumed < count && i < text.size(); ++i) {
        char c = text[i];
        ++consumed;
        if (c == '\\' && i + 1 < text.size()) {
            ++i;
            ++consumed;
            bytes += text[i] == '0' ? '\0' : '\\';
        } else {
            bytes += c;
        }
    }
    return bytes;
}

DetectedBrowser BrowserFromCommandLine(std::string_view commandLine) {
    DetectedBrowser found{std::string(commandLine), {}};
    size_t quote = commandLine.find('"');
    if (quote == std::string_view::npos) return found;
    // Keep what comes before the blank that precedes the quote.
    found.Path = quote == 0 ? std::string() : std::string(commandLine.substr(0, quote - 1));
    if (Lowered(found.Path).find("netscape") != std::string::npos)
        found.Service = "NETSCAPE";
    else
        found.Service = CutAtFirstDot(Uppered(FileNamePart(found.Path)));
    return found;
}

void DetectBrowser(AppSettings& settings, Registry& registry) {
    std::optional<std::string> fileClass = registry.ReadClassesRoot(".htm");
    std::optional<std::string> command;
    if (fileClass) command = registry.ReadClassesRoot(*fileClass + "\\shell\\open\\command");
    if (command) {
        DetectedBrowser found = BrowserFromCommandLine(*command);
        settings.BrowserPath = found.Path;
        settings.BrowserService = found.Service;
    }
    registry.WriteValue(keys::Browser, keys::BrowserPath, settings.BrowserPath);
    registry.WriteValue(keys::Browser, keys::BrowserService, settings.BrowserService);
}

namespace {

// A number setting: absent leaves `value` alone; a value that is not a number, or lies outside
// [low, high], is read as fallback and noted.
template <typename Number>
void ReadNumberSetting(AppSettings& settings, const Registry& registry, std::string_view group,
                       std::string_view name, Number low, Number high, Number fallback,
                       Number& value) {
    std::optional<std::string> text = ReadSetting(registry, group, name);
    if (!text) return;
    std::optional<std::int32_t> number = ParseDecimal(*text);
    if (number && *number >= low && *number <= high) {
        value = *number;
        return;
    }
    value = fallback;
    settings.OutOfRange.push_back(std::string(group) + "\\" + std::string(name) + " \"" + *text +
                                  "\" is not a whole number from " + std::to_string(low) + " to " +
                                  std::to_string(high) + "; " + std::to_string(fallback) +
                                  " is used");
}

// A text setting longer than its read buffer cannot be used (nor kept by the next change).
std::optional<std::string> ReadTextSetting(AppSettings& settings, const Registry& registry,
                                           std::string_view group, std::string_view name) {
    std::optional<std::string> value = registry.ReadValue(group, name);
    if (value && value->size() + 1 > kSettingBuffer)
        settings.OutOfRange.push_back(std::string(group) + "\\" + std::string(name) + " of " +
                                      std::to_string(value->size()) + " bytes is longer than " +
                                      std::to_string(kSettingBuffer - 1) + "; it is not used");
    return ReadSetting(registry, group, name);
}

} // namespace

void LoadSettings(AppSettings& settings, Registry& registry) {
    using Range = SettingRanges;
    settings.OutOfRange.clear();
    std::int64_t megaBytes = settings.DiskBufferBytes / kBytesPerMegaByte;
    ReadNumberSetting<std::int64_t>(settings, registry, keys::DiskBuffer, keys::MegaBytes,
                                    Range::MinDiskBuffer, Range::MaxDiskBuffer, 1, megaBytes);
    settings.DiskBufferBytes = megaBytes * kBytesPerMegaByte;

    if (auto path = ReadTextSetting(settings, registry, keys::Browser, keys::BrowserPath)) {
        settings.BrowserPath = *path;
        if (auto service = ReadSetting(registry, keys::Browser, keys::BrowserService))
            settings.BrowserService = *service;
    } else {
        DetectBrowser(settings, registry);
    }
    if (auto autoLoad = ReadSetting(registry, keys::Browser, keys::AutoLoadBrowser))
        settings.AutoLoadBrowser = *autoLoad == "Yes";

    if (auto server = ReadTextSetting(settings, registry, keys::Proxy, keys::ProxyServer))
        settings.ProxyServer = *server;
    ReadNumberSetting(settings, registry, keys::Proxy, keys::ProxyPort, Range::MinPort,
                      Range::MaxPort, 80, settings.ProxyPort);
    ReadNumberSetting(settings, registry, keys::Briefs, keys::Retries, Range::MinRetries,
                      Range::MaxRetries, 3, settings.Retries);
    // Only an explicit "No" turns the checks off; a damaged value keeps them on.
    if (auto check = ReadSetting(registry, keys::Briefs, keys::CheckCertificates))
        settings.CheckCertificates = *check != "No";
    // On unless switched off: briefs made before the setting existed get the better copies.
    if (auto keep = ReadSetting(registry, keys::Briefs, keys::PageResources))
        settings.KeepPageResources = *keep != "No";
    // Only an explicit "Yes" turns the fast transfers off.
    if (auto classic = ReadSetting(registry, keys::Briefs, keys::ClassicTransfers))
        settings.ClassicTransfers = *classic == "Yes";
    ReadNumberSetting(settings, registry, keys::Briefs, keys::ConnectionsPerSite,
                      AppSettings::MinConnectionsPerSite, AppSettings::MaxConnectionsPerSite, 6,
                      settings.ConnectionsPerSite);
    ReadNumberSetting(settings, registry, keys::Briefs, keys::RequestPause, 0,
                      AppSettings::MaxRequestPauseMs, 0, settings.RequestPauseMs);
    if (auto password = LoadSecret(registry, keys::Password)) settings.DefaultPassword = *password;
    if (auto user = LoadSecret(registry, keys::UserName)) settings.DefaultUserName = *user;
}

PreferencesInput PreferencesFrom(const AppSettings& settings) {
    PreferencesInput input;
    input.BrowserLocation = settings.BrowserPath;
    input.AutoLoad = settings.AutoLoadBrowser;
    input.DiskBufferMegaBytes = settings.DiskBufferBytes / kBytesPerMegaByte;
    input.ProxyServer = settings.ProxyServer;
    input.ProxyPort = settings.ProxyPort;
    input.Retries = settings.Retries;
    input.CheckCertificates = settings.CheckCertificates;
    input.UserName = settings.DefaultUserName;
    input.Password = settings.DefaultPassword;
    input.KeepPageResources = settings.KeepPageResources;
    input.ClassicTransfers = settings.ClassicTransfers;
    input.ConnectionsPerSite = settings.ConnectionsPerSite;
    input.RequestPauseMs = settings.RequestPauseMs;
    return input;
}

bool ApplyPreferences(AppSettings& settings, Registry& registry, const PreferencesInput& input,
                      Dialogs& dialogs) {
    settings.BrowserPath = input.BrowserLocation;
    std::string service = FileNamePart(input.BrowserLocation);
    if (service.find("IEXPLORE") != std::string::npos) service = "iexplore";
    settings.BrowserService = CutAtFirstDot(service);

    settings.ProxyServer = input.ProxyServer;
    settings.ProxyPort = input.ProxyPort;
    settings.Retries = input.Retries;
    settings.CheckCertificates = input.CheckCertificates;

    registry.WriteValue(keys::DiskBuffer, keys::MegaBytes,
                        std::to_string(input.DiskBufferMegaBytes));
    settings.DiskBufferBytes = input.DiskBufferMegaBytes * kBytesPerMegaByte;

    registry.WriteValue(keys::Browser, keys::BrowserPath, settings.BrowserPath);
    registry.WriteValue(keys::Browser, keys::BrowserService, settings.BrowserService);
    registry.WriteValue(keys::Browser, keys::AutoLoadBrowser, input.AutoLoad ? "Yes" : "No");
    settings.AutoLoadBrowser = input.AutoLoad;

    registry.WriteValue(keys::Proxy, keys::ProxyServer, settings.ProxyServer);
    registry.WriteValue(keys::Proxy, keys::ProxyPort, std::to_string(settings.ProxyPort));

    registry.WriteValue(keys::Briefs, keys::Retries, std::to_string(settings.Retries));
    registry.WriteValue(keys::Briefs, keys::CheckCertificates,
                        settings.CheckCertificates ? "Yes" : "No");
    registry.WriteValue(keys::Briefs, keys::PageResources, input.KeepPageResources ? "Yes" : "No");
    settings.KeepPageResources = input.KeepPageResources;
    settings.ClassicTransfers = input.ClassicTransfers;
    settings.ConnectionsPerSite =
        std::clamp(input.ConnectionsPerSite, AppSettings::MinConnectionsPerSite,
                   AppSettings::MaxConnectionsPerSite);
    settings.RequestPauseMs = std::clamp(input.RequestPauseMs, 0, AppSettings::MaxRequestPauseMs);
    registry.WriteValue(keys::Briefs, keys::ClassicTransfers,
                        settings.ClassicTransfers ? "Yes" : "No");
    registry.WriteValue(keys::Briefs, keys::ConnectionsPerSite,
                        std::to_string(settings.ConnectionsPerSite));
    registry.WriteValue(keys::Briefs, keys::RequestPause, std::to_string(settings.RequestPauseMs));
    if (!input.UserNameEdited && !input.PasswordEdited) return true;
    if (input.PasswordEdited && input.Password != input.Confirm) {
        dialogs.ShowMessage("Password not correctly confirmed.", "Password Error", false);
        return false;
    }
    registry.WriteValue(keys::Briefs, keys::Password, StoredSecret(input.Password));
    registry.WriteValue(keys::Briefs, keys::UserName, StoredSecret(input.UserName));
    settings.DefaultUserName = input.UserName;
    settings.DefaultPassword = input.Password;
    return true;
}

std::string EncodeOpenBriefsRecord(const OpenBriefsRecord& record) {
    std::string out;
    AppendNumbers(out, record.MainWindow);
    for (const BriefWindowPlacement& brief : record.Briefs) {
        if (!Recordable(brief.Path)) continue;
        std::string entry;
        AppendPath(entry, brief.Path);
        AppendNumbers(entry, brief.Placement);
        if (out.size() + entry.size() + 1 > kOpenBriefsBuffer) break;
        out += entry;
    }
    return out;
}

std::optional<OpenBriefsRecord> DecodeOpenBriefsRecord(std::string_view stored) {
    OpenBriefsRecord record;
    size_t pos = 0;
    if (ReadNumbers(stored, pos, record.MainWindow) < 4) return std::nullopt;
    while (pos < stored.size()) {
        size_t length = static_cast<unsigned char>(stored[pos]);
        if (length == 0 || pos + length > stored.size()) break;
        BriefWindowPlacement brief;
        brief.Path = std::string(stored.substr(pos + 1, length - 1));
        pos += length;
        if (ReadNumbers(stored, pos, brief.Placement) < 4) break;
        record.Briefs.push_back(std::move(brief));
    }
    return record;
}

std::string EncodePreviousBriefsRecord(const PreviousBriefsRecord& record) {
    std::string out;
    for (const std::string& path : record.Slots)
        AppendPath(out, Recordable(path) ? path : "");
    return out;
}

PreviousBriefsRecord DecodePreviousBriefsRecord(std::string_view stored) {
    PreviousBriefsRecord record;
    size_t pos = 0;
    for (std::string& slot : record.Slots) {
        if (pos >= stored.size()) break;
        size_t length = static_cast<unsigned char>(stored[pos]);
        if (length == 0 || pos + length > stored.size()) break;
        slot = std::string(stored.substr(pos + 1, length - 1));
        pos += length;
    }
    return record;
}

StartupValues ReadStartupValues(const Registry& registry) {
    StartupValues values;
    if (auto first = ReadSetting(registry, keys::Startup, keys::FirstStart, kFirstStartBuffer))
        values.FirstStart = *first == "Yes";
    if (auto open = ReadSetting(registry, keys::Startup, keys::OpenBriefs, kOpenBriefsBuffer))
        values.OpenBriefs = DecodeOpenBriefsRecord(*open);
    if (auto previous =
            ReadSetting(registry, keys::Startup, keys::PreviousBriefs, kPreviousBriefsBuffer))
        values.PreviousBriefs = DecodePreviousBriefsRecord(*previous);
    return values;
}

bool WriteFirstStartDone(Registry& registry) {
    return registry.WriteValue(keys::Startup, keys::FirstStart, "No");
}

bool WriteOpenBriefs(Registry& registry, const OpenBriefsRecord& record) {
    return registry.WriteValue(keys::Startup, keys::OpenBriefs, EncodeOpenBriefsRecord(record));
}

bool WritePreviousBriefs(Registry& registry, const PreviousBriefsRecord& record) {
    return registry.WriteValue(keys::Startup, keys::PreviousBriefs,
                               EncodePreviousBriefsRecord(record));
}

} // namespace gathra
