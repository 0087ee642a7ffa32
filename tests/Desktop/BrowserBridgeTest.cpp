#include "Platform/ProcessStart.h"
#include "Desktop/BrowserBridge.h"
#include "support/FileAddressPath.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace gathra {
namespace {

using Argv = std::vector<std::string>;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(BrowserArguments, CommandLinesAreSplitAsDesktopExecLines) {
    struct Case {
        const char* Path;
        const char* Address;
        Argv Expected;
    };
    const Case cases[] = {
        {"", "file:///b/0/Brief0.htm", {"xdg-open", "file:///b/0/Brief0.htm"}},
        {"/usr/bin/firefox", "http://a/", {"/usr/bin/firefox", "http://a/"}},
        {"/usr/bin/firefox \"%1\"", "http://a/b%20c", {"/usr/bin/firefox", "http://a/b%20c"}},
        {"\"/opt/web view/bin\" --new-window %1", "x", {"/opt/web view/bin", "--new-window", "x"}},
        {"xdg-open \"%1\"", "file:///t/a.htm", {"xdg-open", "file:///t/a.htm"}},
        {"firefox %u", "http://a/", {"firefox", "http://a/"}},
        {"firefox %U --flag", "http://a/", {"firefox", "http://a/", "--flag"}},
        {"viewer %f", "f", {"viewer", "f"}},
        {"viewer --open=%F", "f", {"viewer", "--open=f"}},
        {"browser --name %c --icon %i %u", "u", {"browser", "--name", "--icon", "u"}},
        {"browser 100%% %u", "u", {"browser", "100%", "u"}},
        {"/opt/my\\ browser/run  -p  'a b'", "u", {"/opt/my browser/run", "-p", "a b", "u"}},
        {"run \"say \\\"hi\\\" \\$HOME\"", "u", {"run", "say \"hi\" $HOME", "u"}},
        // The address is never command text: its quotes, "%u" and shell words stay as they are.
        {"b %u", "http://x/$(touch y);\"%u\"", {"b", "http://x/$(touch y);\"%u\""}},
        // No address: the browser just starts.
        {"/usr/bin/firefox \"%1\"", "", {"/usr/bin/firefox"}},
        {"/usr/bin/firefox", "", {"/usr/bin/firefox"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BrowserArguments(c.Path, c.Address), c.Expected) << c.Path;
}

TEST(BrowserArguments, AProgramPathWithBlanksIsTakenWhole) {
    TempDir dir;
    fs::create_directory(dir / "my browser");
    const std::string program = (dir / "my browser" / "run").string();
    WriteFileBytes(program, "#!/bin/sh\n");
    fs::permissions(program, fs::perms::owner_all);
    EXPECT_EQ(BrowserArguments(program, "http://example.org/"),
              (Argv{program, "http://example.org/"}));
}

TEST(BrowserArguments, CommandLineAddresses) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"/home/u/my briefs/0/Brief0.htm", true, "file:///home/u/my%20briefs/0/Brief0.htm"},
        {"C:/Briefs/0/Brief0.htm", true, "file:///C:/Briefs/0/Brief0.htm"},
        {"/b/run #2/Brief0.htm", true, "file:///b/run%20%232/Brief0.htm"},
        {"file:///a b.htm", true, "file:///a%20b.htm"},
        {"FILE:///x.htm", true, "FILE:///x.htm"},
        {"http://a/b c", false, "http://a/b%20c"},
        {"/not/a/file", false, "/not/a/file"},
    };
    for (auto [in, file, out] : cases)
        EXPECT_EQ(CommandLineAddress(in, file), out) << in;
}

TEST(FileAddress, EncodesEveryByteButUnreservedOnesAndDecodesToThePath) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/briefs/0/Brief0.htm", "file:///home/u/briefs/0/Brief0.htm"},
        {"/b/Notes #1 100%/0/Brief0.htm", "file:///b/Notes%20%231%20100%25/0/Brief0.htm"},
        {"/b/why?/a\"b'c/x.htm", "file:///b/why%3F/a%22b%27c/x.htm"},
        {"/b/\xC3\xA9t\xC3\xA9/x.htm", "file:///b/%C3%A9t%C3%A9/x.htm"},
        {"/b/a~b_c-d.e/f&g=h;i+j,k@l!m$n(o)p*q/", "file:///b/a~b_c-d.e/"
                                                  "f%26g%3Dh%3Bi%2Bj%2Ck%40l%21m%24n%28o%29p%2Aq/"},
        {"C:\\Briefs\\my run\\Brief0.htm", "file:///C:/Briefs/my%20run/Brief0.htm"},
        {"relative/x:y.htm", "file:///relative/x%3Ay.htm"},
    };
    for (auto [path, address] : cases) {
        EXPECT_EQ(FileAddress(path), address) << path;
        std::string slashed = path;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        EXPECT_EQ(test::FileAddressPath(FileAddress(path)),
                  (slashed.starts_with('/') ? "" : "/") + slashed);
    }
    // Every byte value comes back.
    std::string all = "/";
    for (int c = 1; c < 256; ++c)
        if (c != '\\') all += static_cast<char>(c);
    EXPECT_EQ(test::FileAddressPath(FileAddress(all)), all);
    EXPECT_EQ(FileAddress(all).find_first_of(" #?\"'<>"), std::string::npos);
}

// A DDE server that answers as told and records every exchange.
class FakeDde : public DdeClient {
public:
    bool Answers = true;
    std::optional<std::string> Data;
    std::vector<std::string> Log;
    bool Connect(const std::string& service, const std::string& topic) override {
        Log.push_back("connect " + service + " " + topic);
        return Answers;
    }
    std::optional<std::string> Request(const std::string& item, int timeoutMs) override {
        Log.push_back("request " + item + " " + std::to_string(timeoutMs));
        return Data;
    }
    void Disconnect() override { Log.push_back("disconnect"); }
};

struct BridgeRig {
    AppSettings Settings;
    test::RecordingDialogs Dlg;
    std::vector<std::string> Statuses;
    std::vector<Argv> Started;
    bool StartWorks = true;
    FakeDde Dde;
    TBrowserBridge Make(bool withDde) {
        TBrowserBridge::Ports ports;
        ports.Settings = &Settings;
        ports.Dlg = &Dlg;
        ports.Status = [this](const std::string& s) { Statuses.push_back(s); };
        if (withDde) ports.Dde = &Dde;
        ports.Start = [this](const Argv& argv) {
            Started.push_back(argv);
            return StartWorks;
        };
        return TBrowserBridge(std::move(ports));
    }
};

TEST(OpenUrl, StartsTheBrowserWithTheAddressAndShowsItInTheStatusBar) {
    BridgeRig rig;
    rig.Settings.BrowserPath = "firefox --new-tab %u";
    rig.Settings.BrowserService = "FIREFOX";
    TBrowserBridge bridge = rig.Make(false);
    EXPECT_EQ(bridge.Open("/b/my run/Brief0.htm", true), TBrowserBridge::OpenResult::Started);
    ASSERT_EQ(rig.Started.size(), 1u);
    EXPECT_EQ(rig.Started[0], (Argv{"firefox", "--new-tab", "file:///b/my%20run/Brief0.htm"}));
    EXPECT_EQ(rig.Statuses,
              (std::vector<std::string>{" Loading \"/b/my run/Brief0.htm\"", " Gathra Light"}));

    rig.StartWorks = false;
    EXPECT_EQ(bridge.Open("http://a/", false), TBrowserBridge::OpenResult::StartFailed);
    ASSERT_EQ(rig.Dlg.Log.size(), 1u);
    EXPECT_EQ(rig.Dlg.Log[0].Caption, "Browser Not Started");
    EXPECT_EQ(rig.Statuses.back(), " Gathra Light");
}

TEST(OpenUrl, ABrowserThatIsNotSetIsReported) {
    for (auto [path, service] : {std::pair{"", "FIREFOX"}, std::pair{"firefox", ""}}) {
        BridgeRig rig;
        rig.Settings.BrowserPath = path;
        rig.Settings.BrowserService = service;
        TBrowserBridge bridge = rig.Make(false);
        EXPECT_EQ(bridge.Open("http://a/", false), TBrowserBridge::OpenResult::BrowserNotSet);
        ASSERT_EQ(rig.Dlg.Log.size(), 1u);
        EXPECT_EQ(rig.Dlg.Log[0].Text,
                  "Please set the Browser in the Preferences dialog box (under the Edit menu).");
        EXPECT_EQ(rig.Dlg.Log[0].Caption, "Browser Not Set");
        EXPECT_TRUE(rig.Started.empty());
        EXPECT_TRUE(rig.Statuses.empty());
    }
}

TEST(OpenUrl, ABrowserThatAnswersDdeGetsTheAddressThatWay) {
    BridgeRig rig;
    rig.Settings.BrowserPath = "C:\\IE\\IEXPLORE.EXE";
    rig.Settings.BrowserService = "IEXPLORE";
    TBrowserBridge bridge = rig.Make(true);
    EXPECT_EQ(bridge.Open("http://a/", false), TBrowserBridge::OpenResult::SentByDde);
    EXPECT_EQ(rig.Settings.BrowserService, "iexplore");
    EXPECT_EQ(rig.Dde.Log, (std::vector<std::string>{
                               "connect iexplore WWW_OpenURL", "request \"http://a/\",,-1,,,,, 5000",
                               "disconnect", "connect iexplore WWW_Activate", "request -1,0 5000",
                               "disconnect"}));
    EXPECT_TRUE(rig.Started.empty());
}

TEST(CurrentPage, DdeAnswerFirstThenTheOtherSourcesInOrder) {
    BridgeRig rig;
    rig.Settings.BrowserService = "NETSCAPE";
    rig.Dde.Data = std::string(6000, 'a');
    TBrowserBridge withDde = rig.Make(true);
    EXPECT_EQ(withDde.CurrentPage()->size(), 5000u);
    EXPECT_EQ(rig.Dde.Log.front(), "connect NETSCAPE WWW_GetWindowInfo");
    EXPECT_EQ(rig.Dde.Log[1], "request -1 2000");

    TBrowserBridge bridge = rig.Make(false);
    EXPECT_FALSE(bridge.CurrentPage().has_value());
    std::vector<int> asked;
    bridge.PortsInUse().PageSources = {
        [&]() -> std::optional<std::string> {
            asked.push_back(1);
            return std::nullopt;
        },
        [&]() -> std::optional<std::string> {
            asked.push_back(2);
            return "\"http://b/\",\"B\"";
        },
        [&]() -> std::optional<std::string> {
            asked.push_back(3);
            return "never";
        }};
    EXPECT_EQ(bridge.CurrentPage(), "\"http://b/\",\"B\"");
    EXPECT_EQ(asked, (std::vector<int>{1, 2}));
}

// The whole way, with a small recording program as the browser: the arguments arrive as they
// were built and nothing in the address reaches a shell.
TEST(OpenUrl, ARecordingBrowserReceivesTheAddressUntouched) {
    TempDir dir;
    const std::string record = (dir / "argv.txt").string();
    const std::string program = (dir / "browser").string();
    WriteFileBytes(program, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                record + ".part'\nmv '" + record + ".part' '" + record + "'\n");
    fs::permissions(program, fs::perms::owner_all);
    BridgeRig rig;
    rig.Settings.BrowserPath = "'" + program + "' --flag \"%u\"";
    rig.Settings.BrowserService = "BROWSER";
    TBrowserBridge::Ports ports;
    ports.Settings = &rig.Settings;
    ports.Dlg = &rig.Dlg;
    TBrowserBridge bridge(std::move(ports)); // starts for real
    const std::string hostile =
        "http://x/$(touch${IFS}" + (dir / "pwned").string() + ");`id` a&b;\"%u\"";
    EXPECT_EQ(bridge.Open(hostile, false), TBrowserBridge::OpenResult::Started);
    for (int i = 0; i < 500 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadFileBytes(record), "--flag\nhttp://x/$(touch${IFS}" + (dir / "pwned").string() +
                                         ");`id`%20a&b;\"%u\"\n");
    EXPECT_FALSE(fs::exists(dir / "pwned"));
}

TEST(ProcessStart, AProgramThatCannotStartIsReported) {
    EXPECT_FALSE(SpawnDetached({"/nonexistent/gathra-browser-test"}));
    EXPECT_FALSE(SpawnDetached({}));
    EXPECT_FALSE(SpawnDetached({""}));
    EXPECT_TRUE(SpawnDetached({"true"}));
}

} // namespace
} // namespace gathra
