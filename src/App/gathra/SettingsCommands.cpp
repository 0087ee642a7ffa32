#include "App/gathra/SettingsCommands.h"

#include "Platform/Dialogs.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Registry.h"
#include "Shell/Settings.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <map>

namespace gathra {

namespace {

// Windows-1252 characters of the bytes 0x80 to 0x9F (0 where the code page has none).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else if (c >= 0x80)
            return false;
        if (extra > text.size() - i - 1) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

void AppendUnicodeEscape(std::string& out, unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04X", code);
    out += buffer;
}

// A JSON string of a stored byte string: kept as it is when it is UTF-8, else read as
// Windows-1252, the code page the settings were written in.
std::string JsonString(std::string_view text) {
    bool utf8 = IsValidUtf8(text);
    std::string out = "\"";
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '"')
            out += "\\\"";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c == 0x7F)
            AppendUnicodeEscape(out, c);
        else if (c < 0x80 || utf8)
            out += ch;
        else if (c < 0xA0)
            AppendUnicodeEscape(out, kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD);
        else
            AppendUnicodeEscape(out, c);
    }
    return out + "\"";
}

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
        << "disk-buffer-mb: " << s.DiskBufferBytes / kBytesPerMegaByte << "\n"
        << "user: " << s.DefaultUserName << "\n"
        << "password: " << (s.DefaultPassword.empty() ? "not set" : "set") << "\n"
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
        << "  \"disk-buffer-mb\": " << s.DiskBufferBytes / kBytesPerMegaByte << ",\n"
        << "  \"disk-buffer-bytes\": " << s.DiskBufferBytes << ",\n"
        << "  \"user\": " << JsonString(s.DefaultUserName) << ",\n"
        << "  \"password-set\": " << (s.DefaultPassword.empty() ? "false" : "true") << ",\n"
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
    if (name == "browser") {
        input.BrowserLocation = value;
    } else if (name == "autoload") {
        std::string lower = value;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower != "yes" && lower != "no")
            return "autoload takes yes or no, not \"" + value + "\"";
        input.AutoLoad = lower == "yes";
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

// Shows the dialogs' messages on standard error, the command line's way.
class StreamDialogs : public Dialogs {
public:
    explicit StreamDialogs(std::ostream& err) : err_(err) {}
    void ShowMessage(const std::string& text, const std::string& caption, bool) override {
        err_ << caption << ": " << text << "\n";
    }
    int Ask(const std::string&, const std::string&) override { return 1; }

private:
    std::ostream& err_;
};

} // namespace

void AddSettingsCommands(CLI::App& app, std::ostream& out, std::ostream& err, int& status) {
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
                               "disk-buffer-mb", "user", "password"}));
    set->add_option("VALUE", *value, "Its new value")->required();

    set->callback([&out, &err, &status, name, value] {
        Registry registry(Registry::DefaultFile());
        LoadedSettings loaded = Load(registry, err);
        PreferencesInput input = PreferencesFrom(loaded.Settings);
        if (auto problem = EditField(input, *name, *value)) {
            err << "gathra settings set: " << *problem << "\n";
            status = 2;
            return;
        }
        StreamDialogs dialogs(err);
        int failedBefore = registry.FailedWrites();
        bool applied = ApplyPreferences(loaded.Settings, registry, input, dialogs);
        if (!applied || registry.FailedWrites() != failedBefore) {
            err << "gathra settings set: could not write " << registry.File().string() << "\n";
            status = 1;
            return;
        }
        out << *name << ": "
            << (*name == "password" ? (value->empty() ? "not set" : "set") : *value) << "\n";
        status = 0;
    });

    settings->callback([&out, &err, &status, json, set] {
        if (set->parsed()) return;
        Registry registry(Registry::DefaultFile());
        LoadedSettings loaded = Load(registry, err);
        if (*json)
            PrintJson(loaded, registry, out);
        else
            PrintText(loaded, registry, out);
        status = 0;
    });
}

} // namespace gathra
