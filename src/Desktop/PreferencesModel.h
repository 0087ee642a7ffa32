#pragma once
#include "Platform/Dialogs.h"
#include "Platform/Registry.h"
#include "Settings/AppSettings.h"
#include "Settings/Settings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace gathra {

// The "Gathra Light Preferences" dialog without widgets. Applying goes through the settings
// store (`apply` returns false only for an unconfirmed password, which it has reported itself).
class TPreferencesModel {
public:
    using Applier = std::function<bool(const PreferencesInput&)>;
    // The applier of the program: ApplyPreferences on these settings, this registry and these
    // dialogs.
    static Applier SettingsApplier(AppSettings& settings, Registry& registry, Dialogs& dialogs);

    // The ranges are the settings store's own (SettingRanges).
    static constexpr std::int64_t MinDiskBuffer = SettingRanges::MinDiskBuffer;
    static constexpr std::int64_t MaxDiskBuffer = SettingRanges::MaxDiskBuffer;
    static constexpr std::int32_t MinPort = SettingRanges::MinPort;
    static constexpr std::int32_t MaxPort = SettingRanges::MaxPort;
    static constexpr std::int32_t MinRetries = SettingRanges::MinRetries;
    static constexpr std::int32_t MaxRetries = SettingRanges::MaxRetries;
    static constexpr std::size_t MaxSettingBytes = SettingRanges::MaxSettingBytes;
    static constexpr std::size_t MaxSecretBytes = SettingRanges::MaxSecretBytes;
    static constexpr int GeneralTopic = 29, ProxyTopic = 30, BriefTopic = 31, RetrievalTopic = 32;

    // `firstStart`: opened by the first start because no browser was found.
    // `runInProgress`: a brief run is going, so only the browser settings may change.
    TPreferencesModel(const AppSettings& settings, bool firstStart, bool runInProgress,
                      Applier apply);

    std::string Caption() const;
    const PreferencesInput& Values() const { return values_; }

    bool ApplyEnabled() const { return applyEnabled_; }
    bool ConfirmEnabled() const { return confirmEnabled_; }
    bool PortEnabled() const { return !runInProgress_ && !values_.ProxyServer.empty(); }
    // Proxy, disk space, retries, page resources and credentials: a run reads them without locks.
    bool RunFieldsEnabled() const { return !runInProgress_; }

    void EditBrowser(std::string path);
    void EditAutoLoad(bool checked);
    void EditDiskBuffer(std::int64_t megaBytes);
    void EditProxyServer(std::string server);
    void EditProxyPort(std::int32_t port);
    void EditRetries(std::int32_t retries);
    void EditCheckCertificates(bool checked);
    void EditKeepPageResources(bool checked);
    void EditClassicTransfers(bool checked);
    void EditConnectionsPerSite(std::int32_t count);
    void EditUserName(std::string text);
    void EditPassword(std::string text);
    void EditConfirm(std::string text);

    // Apply: true on success (the Apply buttons go off); false keeps the dialog open.
    bool Apply();
    // OK: true when the dialog may close.
    bool Ok() { return Apply(); }

private:
    void MarkChanged() { applyEnabled_ = true; }

    PreferencesInput values_;
    bool firstStart_;
    bool runInProgress_;
    Applier apply_;
    bool applyEnabled_ = false;
    bool confirmEnabled_ = false;
};

// The folder the "Find Browser" dialog starts in: the browser's folder when it exists, else the
// program's folder.
std::string FindBrowserStartFolder(const std::string& browserPath, const std::string& programFolder,
                                   const std::function<bool(const std::string&)>& folderExists);

} // namespace gathra
