#include "App/gathra/Cli.h"
#include "Text/ScrambleText.h"
#include "Platform/Registry.h"
#include "Settings/Settings.h"
#include "support/CliRun.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace gathra {
namespace {

using test::TempDir;
namespace keys = settings_keys;

// Runs `gathra` against a registry in a temporary folder (GATHRA_CONFIG_DIR).
class SettingsCommand : public ::testing::Test {
protected:
    SettingsCommand() {
        if (const char* old = std::getenv("GATHRA_CONFIG_DIR")) saved_ = old;
        setenv("GATHRA_CONFIG_DIR", dir_.Path().c_str(), 1);
        // A stored browser keeps the tests away from this machine's desktop.
        registry_.WriteValue(keys::Browser, keys::BrowserPath, "/usr/bin/webby");
        registry_.WriteValue(keys::Browser, keys::BrowserService, "WEBBY");
    }
    ~SettingsCommand() override {
        if (saved_)
            setenv("GATHRA_CONFIG_DIR", saved_->c_str(), 1);
        else
            unsetenv("GATHRA_CONFIG_DIR");
    }

    int Run(const std::vector<std::string>& words) {
        out_.str("");
        err_.str("");
        return test::RunCli(words, out_, err_);
    }
    std::optional<std::string> Stored(std::string_view group, std::string_view name) {
        return registry_.ReadValue(group, name);
    }

    TempDir dir_;
    Registry registry_{dir_ / "registry", nullptr, {}};
    std::optional<std::string> saved_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(SettingsCommand, PrintsEverySetting) {
    ASSERT_EQ(Run({"settings"}), 0) << err_.str();
    std::string text = out_.str();
    for (const char* line :
         {"browser: /usr/bin/webby\n", "browser-service: WEBBY\n", "autoload: no\n",
          "proxy-server: \n", "proxy-port: 80\n", "retries: 3\n", "disk-buffer-mb: 1\n", "user: \n",
          "password: not set\n", "page-resources: yes\n", "first-start: no\n", "program-folder: "})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
    EXPECT_NE(text.find((dir_ / "registry").string()), std::string::npos);
}

TEST_F(SettingsCommand, SetStoresTheFormsOfThePreferencesDialog) {
    EXPECT_EQ(Run({"settings", "set", "disk-buffer-mb", "4096"}), 0) << err_.str();
    EXPECT_EQ(Run({"settings", "set", "autoload", "YES"}), 0);
    EXPECT_EQ(Run({"settings", "set", "proxy-server", "proxy.local"}), 0);
    EXPECT_EQ(Run({"settings", "set", "proxy-port", "3128"}), 0);
    EXPECT_EQ(Run({"settings", "set", "retries", "4"}), 0);
    EXPECT_EQ(Run({"settings", "set", "browser", "/opt/x/IEXPLORE.EXE"}), 0);
    EXPECT_EQ(Run({"settings", "set", "page-resources", "No"}), 0);
    EXPECT_EQ(out_.str(), "page-resources: No\n");
    EXPECT_EQ(Stored(keys::DiskBuffer, keys::MegaBytes), "4096");
    EXPECT_EQ(Stored(keys::Browser, keys::AutoLoadBrowser), "Yes");
    EXPECT_EQ(Stored(keys::Proxy, keys::ProxyServer), "proxy.local");
    EXPECT_EQ(Stored(keys::Proxy, keys::ProxyPort), "3128");
    EXPECT_EQ(Stored(keys::Briefs, keys::Retries), "4");
    EXPECT_EQ(Stored(keys::Browser, keys::BrowserPath), "/opt/x/IEXPLORE.EXE");
    EXPECT_EQ(Stored(keys::Browser, keys::BrowserService), "iexplore");
    EXPECT_EQ(Stored(keys::Briefs, keys::PageResources), "No");

    ASSERT_EQ(Run({"settings", "--json"}), 0);
    std::string json = out_.str();
    EXPECT_NE(json.find("\"disk-buffer-bytes\": 4294967296,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"autoload\": true,"), std::string::npos);
    EXPECT_NE(json.find("\"proxy-port\": 3128,"), std::string::npos);
    EXPECT_NE(json.find("\"page-resources\": false,"), std::string::npos);
}

TEST_F(SettingsCommand, CertificateChecksAreOnUntilSetOff) {
    ASSERT_EQ(Run({"settings"}), 0) << err_.str();
    EXPECT_NE(out_.str().find("check-certificates: yes\n"), std::string::npos) << out_.str();
    EXPECT_EQ(Run({"settings", "set", "check-certificates", "maybe"}), 2);
    EXPECT_EQ(Stored(keys::Briefs, keys::CheckCertificates), std::nullopt);
    ASSERT_EQ(Run({"settings", "set", "check-certificates", "No"}), 0) << err_.str();
    EXPECT_EQ(Stored(keys::Briefs, keys::CheckCertificates), "No");
    ASSERT_EQ(Run({"settings", "--json"}), 0);
    EXPECT_NE(out_.str().find("\"check-certificates\": false,"), std::string::npos) << out_.str();
    ASSERT_EQ(Run({"settings", "set", "check-certificates", "yes"}), 0);
    EXPECT_EQ(Stored(keys::Briefs, keys::CheckCertificates), "Yes");
}

TEST_F(SettingsCommand, PasswordsAndUserNamesFromTheCommandLineCountAsConfirmed) {
    ASSERT_EQ(Run({"settings", "set", "password", "s3cr\\et"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "password: set\n");
    ASSERT_EQ(Run({"settings", "set", "user", "ann"}), 0);
    EXPECT_EQ(Stored(keys::Briefs, keys::Password), FrameStoredSecret(ScrambleText("s3cr\\et")));
    EXPECT_EQ(Stored(keys::Briefs, keys::UserName), FrameStoredSecret(ScrambleText("ann")));

    ASSERT_EQ(Run({"settings"}), 0);
    EXPECT_NE(out_.str().find("password: set\n"), std::string::npos);
    EXPECT_NE(out_.str().find("user: ann\n"), std::string::npos);
    EXPECT_EQ(out_.str().find("s3cr"), std::string::npos);
    ASSERT_EQ(Run({"settings", "--json"}), 0);
    EXPECT_NE(out_.str().find("\"password-set\": true"), std::string::npos);
    EXPECT_EQ(out_.str().find("s3cr"), std::string::npos);
}

// A password left off the command line stays out of the process list and the shell's history:
// it is read from standard input, or typed twice at prompts that do not echo it. The old form
// still works, with a warning.
TEST_F(SettingsCommand, APasswordLeftOffTheCommandLineIsReadUnseen) {
    ASSERT_EQ(Run({"settings", "set", "password", "before"}), 0);
    EXPECT_NE(err_.str().find("gathra: warning: a password given on the command line can be "
                              "seen by other users"),
              std::string::npos)
        << err_.str();
    struct Case {
        std::vector<std::string> Words;
        std::string Input;
        bool Terminal;
        int Status;
        std::string Stored; // the password afterwards
        std::string Said;   // on standard error
        std::vector<bool> Echo;
    } cases[] = {
        {{"password"}, "piped\nnot this\n", false, 0, "piped", "", {}},
        {{"password"}, "crlf\r\n", false, 0, "crlf", "", {}},
        {{"password"}, "no line end", false, 0, "no line end", "", {}},
        {{"password"}, "\n", false, 0, "", "", {}},
        {{"password"}, "", false, 2, "", "no password on standard input", {}},
        {{"password"},
         "typed\ntyped\n",
         true,
         0,
         "typed",
         "Password: \nPassword again: \n",
         {false, true, false, true}},
        {{"password"},
         "one\ntwo\n",
         true,
         2,
         "typed",
         "the two passwords differ",
         {false, true, false, true}},
        {{"password"}, "", true, 2, "typed", "no password typed", {false, true}},
        {{"retries"}, "3\n", false, 2, "typed", "retries needs a value", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Input);
        std::vector<std::string> words{"settings", "set"};
        words.insert(words.end(), c.Words.begin(), c.Words.end());
        std::vector<const char*> argv{"gathra"};
        for (const std::string& w : words)
            argv.push_back(w.c_str());
        std::istringstream in(c.Input);
        std::vector<bool> echo;
        CliInput input{&in, c.Terminal, [&echo](bool on) { echo.push_back(on); }};
        out_.str("");
        err_.str("");
        EXPECT_EQ(RunGathraCli(static_cast<int>(argv.size()), argv.data(), out_, err_, input),
                  c.Status);
        EXPECT_NE(err_.str().find(c.Said), std::string::npos) << err_.str();
        EXPECT_EQ(err_.str().find("warning"), std::string::npos) << err_.str();
        EXPECT_EQ(echo, c.Echo);
        // An empty password is stored as an empty value.
        EXPECT_EQ(Stored(keys::Briefs, keys::Password),
                  c.Stored.empty() ? "" : FrameStoredSecret(ScrambleText(c.Stored)));
        // Nothing typed shows on standard output.
        if (!c.Stored.empty()) {
            EXPECT_EQ(out_.str().find(c.Stored), std::string::npos);
        }
    }
}

TEST_F(SettingsCommand, BadValuesAreUsageErrorsThatWriteNothing) {
    for (std::vector<std::string> words :
         std::vector<std::vector<std::string>>{{"settings", "set", "retries", "6"},
                                               {"settings", "set", "retries", "abc"},
                                               {"settings", "set", "proxy-port", "100000"},
                                               {"settings", "set", "disk-buffer-mb", "0"},
                                               {"settings", "set", "autoload", "maybe"},
                                               {"settings", "set", "page-resources", "on"},
                                               {"settings", "set", "colour", "red"},
                                               {"settings", "set", "retries"}}) {
        EXPECT_EQ(Run(words), 2) << words[2];
        EXPECT_FALSE(err_.str().empty());
    }
    EXPECT_EQ(Stored(keys::Briefs, keys::Retries), std::nullopt);
    EXPECT_EQ(Stored(keys::Proxy, keys::ProxyPort), std::nullopt);
    // Not even a detected browser is written.
    std::filesystem::remove(dir_ / "registry");
    EXPECT_EQ(Run({"settings", "set", "retries", "0"}), 2);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "registry"));
}

TEST_F(SettingsCommand, AnUnwritableRegistryIsAnError) {
    std::filesystem::remove(dir_ / "registry");
    std::filesystem::create_directories(dir_ / "registry" / "in-the-way");
    EXPECT_EQ(Run({"settings", "set", "retries", "2"}), 1);
    EXPECT_NE(err_.str().find("could not write"), std::string::npos);
}

TEST_F(SettingsCommand, UnreadableLinesAreReportedAndKept) {
    std::string text = test::ReadFileBytes(dir_ / "registry") + "this is not a setting\n";
    test::WriteFileBytes(dir_ / "registry", text);
    ASSERT_EQ(Run({"settings", "set", "retries", "2"}), 0);
    EXPECT_NE(err_.str().find("1 unreadable line"), std::string::npos) << err_.str();
    EXPECT_NE(test::ReadFileBytes(dir_ / "registry").find("this is not a setting\n"),
              std::string::npos);
}

TEST_F(SettingsCommand, ValuesOutOfTheirRangeAreReadAsTheDefaultAndReported) {
    const std::string longText(1024 * 1024, 'p');
    struct Case {
        std::string_view Group, Name;
        std::string Stored;
        std::string Shown;    // the line `gathra settings` prints
        std::string Reported; // a part of the report, empty: nothing reported
    } cases[] = {
        {keys::DiskBuffer, keys::MegaBytes, "-5", "disk-buffer-mb: 1\n", "\"-5\""},
        {keys::DiskBuffer, keys::MegaBytes, "0", "disk-buffer-mb: 1\n", "from 1 to 999999"},
        {keys::DiskBuffer, keys::MegaBytes, "1000000", "disk-buffer-mb: 1\n", "\"1000000\""},
        {keys::DiskBuffer, keys::MegaBytes, "999999", "disk-buffer-mb: 999999\n", ""},
        {keys::Proxy, keys::ProxyPort, "-1", "proxy-port: 80\n", "Proxy\\Proxy Port"},
        {keys::Proxy, keys::ProxyPort, "100000", "proxy-port: 80\n", "\"100000\""},
        {keys::Proxy, keys::ProxyPort, "8080", "proxy-port: 8080\n", ""},
        {keys::Briefs, keys::Retries, "0", "retries: 3\n", "from 1 to 5"},
        {keys::Briefs, keys::Retries, "6", "retries: 3\n", "\"6\""},
        {keys::Briefs, keys::Retries, "many", "retries: 3\n", "\"many\""},
        {keys::Proxy, keys::ProxyServer, longText, "proxy-server: \n", "1048576 bytes"},
        {keys::Proxy, keys::ProxyServer, std::string(499, 'h'),
         "proxy-server: " + std::string(499, 'h') + "\n", ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(registry_.WriteValue(c.Group, c.Name, c.Stored));
        ASSERT_EQ(Run({"settings"}), 0) << err_.str();
        EXPECT_NE(out_.str().find(c.Shown), std::string::npos) << c.Shown << out_.str();
        if (c.Reported.empty())
            EXPECT_EQ(err_.str(), "") << c.Shown;
        else
            EXPECT_NE(err_.str().find(c.Reported), std::string::npos) << err_.str();
        registry_.WriteValue(c.Group, c.Name,
                             c.Group == keys::Proxy && c.Name == keys::ProxyServer ? "" : "1");
    }
}

TEST_F(SettingsCommand, ASettingsFileThatIsASymbolicLinkStaysOne) {
    std::filesystem::create_directory(dir_ / "real");
    std::filesystem::rename(dir_ / "registry", dir_ / "real" / "registry");
    std::filesystem::create_symlink(dir_ / "real" / "registry", dir_ / "registry");
    ASSERT_EQ(Run({"settings", "set", "retries", "2"}), 0) << err_.str();
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "registry"));
    EXPECT_EQ(Stored(keys::Briefs, keys::Retries), "2");
    EXPECT_NE(test::ReadFileBytes(dir_ / "real" / "registry").find("2"), std::string::npos);
}

} // namespace
} // namespace gathra
