#include "Desktop/PreferencesModel.h"

#include <algorithm>

namespace gathra {

TPreferencesModel::TPreferencesModel(const AppSettings& s, bool firstStart, bool runInProgress,
                                     Applier apply)
    : values_(PreferencesFrom(s)), firstStart_(firstStart), runInProgress_(runInProgress),
      apply_(std::move(apply)) {
    // The spin edits hold stored values that are out of their range to their bounds.
    values_.DiskBufferMegaBytes =
        std::clamp<std::int64_t>(values_.DiskBufferMegaBytes, MinDiskBuffer, MaxDiskBuffer);
    values_.ProxyPort = std::clamp(values_.ProxyPort, MinPort, MaxPort);
    values_.Retries = std::clamp(values_.Retries, MinRetries, MaxRetries);
}

TPreferencesModel::Applier
TPreferencesModel::SettingsApplier(AppSettings& settings, Registry& registry, Dialogs& dialogs) {
    return [&settings, &registry, &dialogs](const PreferencesInput& input) {
        // A running brief reads the settings without locks, so only values that really change
        // are written into the live record (during a run only the browser ones can).
        AppSettings updated = settings;
        const bool ok = ApplyPreferences(updated, registry, input, dialogs);
        auto assign = [](auto& live, const auto& value) {
            if (live != value) live = value;
        };
        assign(settings.BrowserPath, updated.BrowserPath);
        assign(settings.BrowserService, updated.BrowserService);
        assign(settings.AutoLoadBrowser, updated.AutoLoadBrowser);
        assign(settings.ProxyServer, updated.ProxyServer);
        assign(settings.ProxyPort, updated.ProxyPort);
        assign(settings.Retries, updated.Retries);
        assign(settings.CheckCertificates, updated.CheckCertificates);
        assign(settings.KeepPageResources, updated.KeepPageResources);
        assign(settings.ClassicTransfers, updated.ClassicTransfers);
        assign(settings.ConnectionsPerSite, updated.ConnectionsPerSite);
        assign(settings.RequestPauseMs, updated.RequestPauseMs);
        assign(settings.DiskBufferBytes, updated.DiskBufferBytes);
        assign(settings.DefaultUserName, updated.DefaultUserName);
        assign(settings.DefaultPassword, updated.DefaultPassword);
        assign(settings.ProgramFolder, updated.ProgramFolder);
        return ok;
    };
}

std::string TPreferencesModel::Caption() const {
    return firstStart_ ? "Please Setup the Browser" : "Gathra Light Preferences";
}

void TPreferencesModel::EditBrowser(std::string path) {
    values_.BrowserLocation = std::move(path);
    MarkChanged();
}
void TPreferencesModel::EditAutoLoad(bool checked) {
    values_.AutoLoad = checked;
    MarkChanged();
}
void TPreferencesModel::EditDiskBuffer(std::int64_t megaBytes) {
    if (!RunFieldsEnabled()) return;
    values_.DiskBufferMegaBytes = std::clamp(megaBytes, MinDiskBuffer, MaxDiskBuffer);
    MarkChanged();
}
void TPreferencesModel::EditProxyServer(std::string server) {
    if (!RunFieldsEnabled()) return;
    values_.ProxyServer = std::move(server);
    MarkChanged();
}
void TPreferencesModel::EditProxyPort(std::int32_t port) {
    if (!RunFieldsEnabled()) return;
    values_.ProxyPort = std::clamp(port, MinPort, MaxPort);
    MarkChanged();
}
void TPreferencesModel::EditCheckCertificates(bool checked) {
    if (!RunFieldsEnabled()) return;
    values_.CheckCertificates = checked;
    MarkChanged();
}
void TPreferencesModel::EditRetries(std::int32_t retries) {
    if (!RunFieldsEnabled()) return;
    values_.Retries = std::clamp(retries, MinRetries, MaxRetries);
    MarkChanged();
}
void TPreferencesModel::EditKeepPageResources(bool checked) {
    if (!RunFieldsEnabled()) return;
    values_.KeepPageResources = checked;
    MarkChanged();
}
void TPreferencesModel::EditClassicTransfers(bool checked) {
    if (!RunFieldsEnabled()) return;
    values_.ClassicTransfers = checked;
    MarkChanged();
}
void TPreferencesModel::EditConnectionsPerSite(std::int32_t count) {
    if (!RunFieldsEnabled()) return;
    values_.ConnectionsPerSite =
        std::clamp(count, AppSettings::MinConnectionsPerSite, AppSettings::MaxConnectionsPerSite);
    MarkChanged();
}
void TPreferencesModel::EditUserName(std::string text) {
    if (!RunFieldsEnabled()) return;
    values_.UserName = std::move(text);
    values_.UserNameEdited = true;
    MarkChanged();
}
void TPreferencesModel::EditPassword(std::string text) {
    if (!RunFieldsEnabled()) return;
    values_.Password = std::move(text);
    values_.PasswordEdited = true;
    confirmEnabled_ = true;
    MarkChanged();
}
void TPreferencesModel::EditConfirm(std::string text) {
    if (!confirmEnabled_) return;
    values_.Confirm = std::move(text);
    MarkChanged();
}

bool TPreferencesModel::Apply() {
    if (!apply_(values_)) return false;
    applyEnabled_ = false;
    return true;
}

std::string FindBrowserStartFolder(const std::string& browserPath, const std::string& programFolder,
                                   const std::function<bool(const std::string&)>& folderExists) {
    // The browser setting may be a whole command line: its folder ends at the last separator of
    // the program part, which is what comes before a quoted argument.
    std::string program = browserPath;
    if (const auto quote = program.find('"'); quote != std::string::npos && quote > 0)
        program.erase(quote);
    const auto slash = program.find_last_of("/\\");
    if (slash != std::string::npos) {
        std::string folder = program.substr(0, slash + 1);
        if (folderExists(folder)) return folder;
    }
    return programFolder;
}

} // namespace gathra
