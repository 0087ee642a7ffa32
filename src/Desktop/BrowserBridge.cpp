#include "Desktop/BrowserBridge.h"

#include "Platform/ProcessStart.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace gathra {

namespace {

constexpr int OpenTimeoutMs = 5000;
constexpr int WindowInfoTimeoutMs = 2000;
constexpr size_t MaxAnswerBytes = 5000;

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsProgramFile(const std::string& path) {
    std::error_code ec;
    return path.find('/') != std::string::npos && std::filesystem::is_regular_file(path, ec) &&
           access(path.c_str(), X_OK) == 0;
}

bool IsAddressCode(char c) {
    return c == '1' || c == 'u' || c == 'U' || c == 'f' || c == 'F';
}

// Puts the address where an address field code stands; drops the other field codes. Says
// whether the argument held an address code.
bool Substitute(const std::string& argument, const std::string& address, std::string& out) {
    bool placed = false;
    out.clear();
    for (size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != '%' || i + 1 >= argument.size()) {
            out += argument[i];
            continue;
        }
        const char code = argument[++i];
        if (code == '%') {
            out += '%';
        } else if (IsAddressCode(code)) {
            out += address;
            placed = true;
        }
    }
    return placed;
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) args.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    std::strchr("\"`$\\", line[i + 1]) != nullptr)
                    ++i;
                word += line[i];
            }
        } else if (c == '\'') {
            for (++i; i < line.size() && line[i] != '\''; ++i)
                word += line[i];
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
        } else {
            word += c;
        }
    }
    if (inWord) args.push_back(std::move(word));
    return args;
}

std::vector<std::string> BrowserArguments(const std::string& browserPath,
                                          const std::string& address) {
    std::vector<std::string> words;
    if (IsProgramFile(browserPath))
        words = {browserPath};
    else
        words = SplitCommandLine(browserPath);
    if (words.empty()) return {"xdg-open", address};

    std::vector<std::string> argv;
    bool placed = false;
    std::string out;
    for (size_t i = 0; i < words.size(); ++i) {
        // The program's own name is taken as it stands.
        if (i == 0) {
            argv.push_back(words[0]);
            continue;
        }
        const bool here = Substitute(words[i], address, out);
        placed = placed || here;
        // A field code with nothing to put there leaves no empty argument behind.
        if (out.empty() && words[i].find('%') != std::string::npos) continue;
        argv.push_back(out);
    }
    if (!placed && !address.empty()) argv.push_back(address);
    return argv;
}

std::string FileAddress(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto unreserved = [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    };
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    // A drive path ("C:/x") is absolute too: it gets the empty host's slash in front.
    const bool drive =
        slashed.size() >= 2 && slashed[1] == ':' &&
        ((slashed[0] >= 'a' && slashed[0] <= 'z') || (slashed[0] >= 'A' && slashed[0] <= 'Z'));
    std::string out = slashed.starts_with('/') ? "file://" : "file:///";
    out.reserve(out.size() + slashed.size() * 3);
    for (size_t i = 0; i < slashed.size(); ++i) {
        const auto c = static_cast<unsigned char>(slashed[i]);
        if (unreserved(c) || (drive && i == 1)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string CommandLineAddress(const std::string& address, bool fileFlag) {
    if (fileFlag && Upper(address.substr(0, 4)) != "FILE") return FileAddress(address);
    std::string out;
    out.reserve(address.size());
    for (char c : address) {
        if (c == ' ')
            out += "%20";
        else
            out += c;
    }
    return out;
}

std::string OpenUrlItem(const std::string& address) {
    return "\"" + address + "\",,-1,,,,,";
}

TBrowserBridge::TBrowserBridge(Ports ports) : ports_(std::move(ports)) {
    if (ports_.Dde == nullptr) ports_.Dde = &noDde_;
    if (ports_.Windows == nullptr) ports_.Windows = &noWindows_;
    if (!ports_.Start)
        ports_.Start = [](const std::vector<std::string>& argv) { return SpawnDetached(argv); };
}

void TBrowserBridge::Status(const std::string& text) {
    if (ports_.Status) ports_.Status(text);
}

TBrowserBridge::OpenResult TBrowserBridge::Open(const std::string& address, bool fileFlag) {
    if (ports_.Windows->TypeAddress(address)) return OpenResult::Typed;
    AppSettings& settings = *ports_.Settings;
    if (Upper(settings.BrowserService).find("IEXPLORE") != std::string::npos)
        settings.BrowserService = "iexplore";
    if (settings.BrowserService.empty() || settings.BrowserPath.empty()) {
        if (ports_.Dlg != nullptr)
            ports_.Dlg->ShowMessage(kBrowserNotSetText, kBrowserNotSetCaption, false);
        return OpenResult::BrowserNotSet;
    }
    Status(" Loading \"" + address + "\"");
    OpenResult result = OpenResult::SentByDde;
    DdeClient& dde = *ports_.Dde;
    if (dde.Connect(settings.BrowserService, "WWW_OpenURL")) {
        dde.Request(OpenUrlItem(address), OpenTimeoutMs);
        dde.Disconnect();
        if (dde.Connect(settings.BrowserService, "WWW_Activate")) {
            dde.Request("-1,0", OpenTimeoutMs);
            dde.Disconnect();
        }
    } else {
        const std::vector<std::string> argv =
            BrowserArguments(settings.BrowserPath, CommandLineAddress(address, fileFlag));
        if (ports_.Start(argv)) {
            result = OpenResult::Started;
        } else {
            result = OpenResult::StartFailed;
            if (ports_.Dlg != nullptr)
                ports_.Dlg->ShowMessage("The browser \"" + argv.front() +
                                            "\" could not be started. " + kBrowserNotSetText,
                                        "Browser Not Started", false);
        }
    }
    Status(kIdleStatusText);
    return result;
}

std::optional<std::string> TBrowserBridge::CurrentPage() {
    DdeClient& dde = *ports_.Dde;
    const std::string service = ports_.Settings != nullptr ? ports_.Settings->BrowserService : "";
    if (dde.Connect(service, "WWW_GetWindowInfo")) {
        std::optional<std::string> answer = dde.Request("-1", WindowInfoTimeoutMs);
        std::optional<std::string> page;
        if (answer) {
            if (!answer->empty()) page = answer->substr(0, MaxAnswerBytes);
        } else {
            page = ports_.Windows->FixedPathText();
        }
        dde.Disconnect();
        if (page) return page;
    } else if (std::optional<std::string> field = ports_.Windows->AddressFieldText()) {
        return field;
    }
    for (const auto& source : ports_.PageSources)
        if (source)
            if (std::optional<std::string> page = source()) return page;
    return std::nullopt;
}

} // namespace gathra
