#include "App/gathra/CliCommands.h"
#include "App/gathra/JsonText.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Registry.h"
#include "Settings/Settings.h"
#include "Text/AsciiText.h"

#include <cctype>
#include <istream>
#include <memory>
#include <optional>

namespace gathra {

namespace {

struct LoadedSettings {
    AppSettings Settings;
    StartupValues Startup;
};

LoadedSettings Load(Registry& registry, std::ostream& err) {
    LoadedSettings loaded;
    loaded.Settings.ProgramFolder = DetectProgramFolder();
    LoadSettings(loaded.Settings, registry);
    loaded.Startup = ReadStartupValues(registry);
    if (int skipped = registry.UnreadableLines(); skipped > 0)
        err << "gathra: " << skipped << " unreadable line(s) in " << registry.File().string()
            << " were skipped; they stay in the file\n";
    for (const std::string& problem : loaded.Settings.OutOfRange)
        err << "gathra: " << registry.File().string() << ": " << problem << "\n";
    return loaded;
}

void PrintText(const LoadedSettings& loaded, const Registry& registry, std::ostream& out) {
    const AppSettings& s = loaded.Settings;
    out << "settings-file: " << registry.File().string() << "\n"
        << "browser: " << s.BrowserPath << "\n"
        << "browser-service: " << s.BrowserService << "\n"
        << "autoload: " << (s.AutoLoadBrowser ? "yes" : "no") << "\n"
        << "proxy-server: " << s.ProxyServer << "\n"
        << "proxy-port: " << s.ProxyPort << "\n"
        << "retries: " << s.Retries << "\n"
        << "check-certificates: " << (s.CheckCertificates ? "yes" : "no") << "\n"
        << "disk-buffer-mb: " << s.DiskBufferBytes / kBytesPerMegaByte << "\n"
        << "user: " << s.DefaultUserName << "\n"
        << "password: " << (s.DefaultPassword.empty() ? "not set" : "set") << "\n"
        << "page-resources: " << (s.KeepPageResources ? "yes" : "no") << "\n"
        << "classic-transfers: " << (s.ClassicTransfers ? "yes" : "no") << "\n"
        << "connections-per-site: " << s.ConnectionsPerSite << "\n"
        << "request-pause-ms: " << s.RequestPauseMs << "\n"
        << "program-folder: " << s.ProgramFolder << "\n"
        << "first-start: " << (loaded.Startup.FirstStart ? "yes" : "no") << "\n";
    for (size_t i = 0; i < loaded.Startup.PreviousBriefs.Slots.size(); ++i)
        out << "recent-brief-" << i + 1 << ": " << loaded.Startup.PreviousBriefs.Slots[i] << "\n";
}

void PrintJson(const LoadedSettings& loaded, const Registry& registry, std::ostream& out) {
    const AppSettings& s = loaded.Settings;
    out << "{\n"
        << "  \"settings-file\": " << JsonString(registry.File().string()) << ",\n"
        << "  \"browser\": " << JsonString(s.BrowserPath) << ",\n"
        << "  \"browser-service\": " << JsonString(s.BrowserService) << ",\n"
        << "  \"autoload\": " << (s.AutoLoadBrowser ? "true" : "false") << ",\n"
        << "  \"proxy-server\": " << JsonString(s.ProxyServer) << ",\n"
        << "  \"proxy-port\": " << s.ProxyPort << ",\n"
        << "  \"retries\": " << s.Retries << ",\n"
        << "  \"check-certificates\": " << (s.CheckCertificates ? "true" : "false") << ",\n"
        << "  \"disk-buffer-mb\": " << s.DiskBufferBytes / kBytesPerMegaByte << ",\n"
        << "  \"disk-buffer-bytes\": " << s.DiskBufferBytes << ",\n"
        << "  \"user\": " << JsonString(s.DefaultUserName) << ",\n"
        << "  \"password-set\": " << (s.DefaultPassword.empty() ? "false" : "true") << ",\n"
        << "  \"page-resources\": " << (s.KeepPageResources ? "true" : "false") << ",\n"
        << "  \"classic-transfers\": " << (s.ClassicTransfers ? "true" : "false") << ",\n"
        << "  \"connections-per-site\": " << s.ConnectionsPerSite << ",\n"
        << "  \"request-pause-ms\": " << s.RequestPauseMs << ",\n"
        << "  \"program-folder\": " << JsonString(s.ProgramFolder) << ",\n"
        << "  \"first-start\": " << (loaded.Startup.FirstStart ? "true" : "false") << ",\n"
        << "  \"recent-briefs\": [";
    const auto& slots = loaded.Startup.PreviousBriefs.Slots;
    for (size_t i = 0; i < slots.size(); ++i)
        out << (i ? ", " : "") << JsonString(slots[i]);
    out << "]\n}\n";
}

// A whole decimal number within the bounds of the dialog's spin edit.
std::optional<std::int32_t> NumberIn(const std::string& text, std::int32_t low, std::int32_t high) {
    std::optional<std::int32_t> number = ParseDecimal(text);
    if (!number || *number < low || *number > high) return std::nullopt;
    return number;
}

// Puts VALUE into the dialog's field NAME; an error text when the value is not acceptable.
std::optional<std::string> EditField(PreferencesInput& input, const std::string& name,
                                     const std::string& value) {
    auto outOfRange = [&](const char* range) {
        return name + " takes a whole number from " + range + ", not \"" + value + "\"";
    };
    auto yesNo = [&](bool& field) -> std::optional<std::string> {
        std::string lower = Lowered(value);
        if (lower != "yes" && lower != "no")
            return name + " takes yes or no, not \"" + value + "\"";
        field = lower == "yes";
        return std::nullopt;
    };
    if (name == "browser") {
        input.BrowserLocation = value;
    } else if (name == "autoload") {
        return yesNo(input.AutoLoad);
    } else if (name == "check-certificates") {
        return yesNo(input.CheckCertificates);
    } else if (name == "page-resources") {
        return yesNo(input.KeepPageResources);
    } else if (name == "classic-transfers") {
        return yesNo(input.ClassicTransfers);
    } else if (name == "connections-per-site") {
        auto count =
            NumberIn(value, AppSettings::MinConnectionsPerSite, AppSettings::MaxConnectionsPerSite);
        if (!count) return outOfRange("1 to 16");
        input.ConnectionsPerSite = *count;
    } else if (name == "request-pause-ms") {
        auto pause = NumberIn(value, 0, AppSettings::MaxRequestPauseMs);
        if (!pause) return outOfRange("0 to 60000");
        input.RequestPauseMs = *pause;
    } else if (name == "proxy-server") {
        input.ProxyServer = value;
    } else if (name == "proxy-port") {
        auto port = NumberIn(value, 0, 99999);
        if (!port) return outOfRange("0 to 99999");
        input.ProxyPort = *port;
    } else if (name == "retries") {
        auto retries = NumberIn(value, 1, 5);
        if (!retries) return outOfRange("1 to 5");
        input.Retries = *retries;
    } else if (name == "disk-buffer-mb") {
        auto megaBytes = NumberIn(value, 1, 999999);
        if (!megaBytes) return outOfRange("1 to 999999");
        input.DiskBufferMegaBytes = *megaBytes;
    } else if (name == "user") {
        input.UserName = value;
        input.UserNameEdited = true;
    } else if (name == "password") {
        // Typed on the command line, the password needs no second copy to confirm it.
        input.Password = value;
        input.Confirm = value;
        input.PasswordEdited = true;
    }
    return std::nullopt;
}

// One line of input without its line end; nothing at the end of the input.
std::optional<std::string> ReadLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line) && line.empty()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The password when it is left off the command line: the first line of standard input, or, on
// a terminal, typed twice at prompts that do not echo it. Nothing (after saying why) when none
// was given.
std::optional<std::string> ReadPassword(CliState& state) {
    CliInput& input = state.Input;
    if (!input.Terminal) {
        std::optional<std::string> line = ReadLine(*input.In);
        if (!line) state.Fail(CliExitUsage, "settings set password: no password on standard input");
        return line;
    }
    auto prompted = [&](const char* prompt) {
        state.Err << prompt << std::flush;
        if (input.SetEcho) input.SetEcho(false);
        std::optional<std::string> line = ReadLine(*input.In);
        if (input.SetEcho) input.SetEcho(true);
        state.Err << "\n";
        return line;
    };
    std::optional<std::string> first = prompted("Password: ");
    std::optional<std::string> again = first ? prompted("Password again: ") : std::nullopt;
    if (!first || !again) {
        state.Fail(CliExitUsage, "settings set password: no password typed");
        return std::nullopt;
    }
    if (*first != *again) {
        state.Fail(CliExitUsage, "settings set password: the two passwords differ; nothing was "
                                 "changed");
        return std::nullopt;
    }
    return first;
}

} // namespace

void AddSettingsCommands(CLI::App& app, CliState& state) {
    CLI::App* settings = app.add_subcommand("settings", "Print the settings, or change one");
    auto json = std::make_shared<bool>(false);
    settings->add_flag("--json", *json, "Print the settings as JSON");

    CLI::App* set = settings->add_subcommand(
        "set", "Change one setting as the preferences dialog would (a password or user name "
               "given here counts as confirmed)");
    auto name = std::make_shared<std::string>();
    auto value = std::make_shared<std::string>();
    set->add_option("NAME", *name, "The setting to change")
        ->required()
        ->check(CLI::IsMember({"browser", "autoload", "proxy-server", "proxy-port", "retries",
                               "check-certificates", "disk-buffer-mb", "user", "password",
                               "page-resources", "classic-transfers", "connections-per-site",
                               "request-pause-ms"}));
    CLI::Option* valueOption = set->add_option(
        "VALUE", *value,
        "Its new value. Leave it out for the password: it is then read from standard input, or "
        "typed unseen at a prompt");

    set->callback([&state, name, value, valueOption] {
        if (valueOption->count() == 0) {
            if (*name != "password") {
                state.Fail(CliExitUsage, "settings set: " + *name + " needs a value");
                return;
            }
            std::optional<std::string> typed = ReadPassword(state);
            if (!typed) return;
            *value = *typed;
        } else if (*name == "password") {
            state.Err << "gathra: warning: a password given on the command line can be seen by "
                         "other users in the process list and stays in the shell's history; "
                         "leave it out to type it unseen, or pipe it in\n";
        }
        // A bad value is refused before loading, which may write a detected browser.
        PreferencesInput trial;
        if (auto problem = EditField(trial, *name, *value)) {
            state.Fail(CliExitUsage, "settings set: " + *problem);
            return;
        }
        Registry registry(Registry::DefaultFile());
        LoadedSettings loaded = Load(registry, state.Err);
        PreferencesInput input = PreferencesFrom(loaded.Settings);
        EditField(input, *name, *value);
        int failedBefore = registry.FailedWrites();
        bool applied = ApplyPreferences(loaded.Settings, registry, input, state.Messages);
        if (!applied || registry.FailedWrites() != failedBefore) {
            state.Fail(CliExitBriefFailed,
                       "settings set: could not write " + registry.File().string());
            return;
        }
        state.Out << *name << ": "
                  << (*name == "password" ? (value->empty() ? "not set" : "set") : *value) << "\n";
    });

    settings->callback([&state, json, set] {
        if (set->parsed()) return;
        Registry registry(Registry::DefaultFile());
        LoadedSettings loaded = Load(registry, state.Err);
        if (*json)
            PrintJson(loaded, registry, state.Out);
        else
            PrintText(loaded, registry, state.Out);
    });
}

} // namespace gathra
