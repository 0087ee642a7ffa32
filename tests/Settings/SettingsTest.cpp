#include "Settings/Settings.h"

#include "Text/ScrambleText.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace gathra {
namespace {

using test::RecordingDialogs;
using test::TempDir;
using test::WriteFileBytes;
namespace keys = settings_keys;

// A registry in a temporary folder whose desktop names `webby.desktop` the HTML handler.
class SettingsStore : public ::testing::Test {
protected:
    SettingsStore()
        : registry_(dir_ / "registry", [this](const std::vector<std::string>&) { return handler_; },
                    {dir_ / "applications"}) {
        std::filesystem::create_directories(dir_ / "applications");
        WriteFileBytes(dir_ / "applications" / "webby.desktop",
                       "[Desktop Entry]\nExec=/opt/webby/webby.bin %u\n");
    }

    void Store(std::string_view group, std::string_view name, std::string_view value) {
        ASSERT_TRUE(registry_.WriteValue(group, name, value));
    }
    std::optional<std::string> Stored(std::string_view group, std::string_view name) {
        return registry_.ReadValue(group, name);
    }
    AppSettings Loaded() {
        AppSettings settings;
        LoadSettings(settings, registry_);
        return settings;
    }

    TempDir dir_;
    std::optional<std::string> handler_ = "webby.desktop";
    Registry registry_;
    RecordingDialogs dialogs_;
};

// Scrambling and framing -----------------------------------------------------------------------

TEST(Scrambling, Base64ThenTheKeyByPosition) {
    EXPECT_EQ(ScrambleText(""), "");
    EXPECT_EQ(ScrambleText("a"), "\x65\x20\x16\x65"); // "YQ==" under 3C 71 2B 58
    EXPECT_EQ(UnscrambleText("\x65\x20\x16\x65"), "a");
    EXPECT_EQ(UnscrambleText(ScrambleText(std::string("ab\0cd", 5))), "ab");
}

TEST(SecretFraming, CountByteThenEscapedZerosAndBackslashes) {
    EXPECT_EQ(FrameStoredSecret(std::string("a\0b\\c", 5)), "\x07"
                                                            "a\\0b\\\\c");
    EXPECT_EQ(FrameStoredSecret(""), "");
    EXPECT_EQ(UnframeStoredSecret("\x07"
                                  "a\\0b\\\\c"),
              std::string("a\0b\\c", 5));
    EXPECT_EQ(UnframeStoredSecret(""), "");
    // The count byte bounds what is read.
    EXPECT_EQ(UnframeStoredSecret("\x01"
                                  "abc"),
              "a");
    EXPECT_EQ(UnframeStoredSecret("\x09"
                                  "ab"),
              "ab");
    // A backslash escapes whatever follows; only "0" gives a zero byte.
    EXPECT_EQ(UnframeStoredSecret("\x02"
                                  "\\x"),
              "\\");
}

TEST(SecretFraming, LongSecretsWhoseCountByteWrapsReadBackWhole) {
    std::string scrambled(300, 'x');
    scrambled[5] = '\0';
    scrambled[250] = '\\';
    std::string framed = FrameStoredSecret(scrambled);
    ASSERT_EQ(framed.size(), 303u);
    EXPECT_EQ(static_cast<unsigned char>(framed[0]), 302 % 256);
    EXPECT_EQ(UnframeStoredSecret(framed), scrambled);
}

// A plain text whose scrambled form holds `byte`, found by search.
std::string PlainWhoseScrambledFormHolds(char byte, char other = 'x') {
    std::uint32_t state = 12345; // a fixed sequence of printable texts of 4 to 15 characters
    auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
    for (int i = 0; i < 100000; ++i) {
        std::string plain(4 + next() % 12, ' ');
        for (char& c : plain)
            c = static_cast<char>(0x21 + next() % 94);
        std::string scrambled = ScrambleText(plain);
        if (scrambled.find(byte) != std::string::npos &&
            (other == 'x' || scrambled.find(other) != std::string::npos))
            return plain;
    }
    ADD_FAILURE() << "no plain text found";
    return {};
}

TEST_F(SettingsStore, SecretsWithZeroBytesAndBackslashesReadBackUnchanged) {
    const std::string secrets[] = {
        PlainWhoseScrambledFormHolds('\0'), PlainWhoseScrambledFormHolds('\\'),
        PlainWhoseScrambledFormHolds('\0', '\\'), std::string(200, 'A') + "\\\"\r\n\xE9"};
    for (const std::string& secret : secrets) {
        AppSettings settings = Loaded();
        PreferencesInput input = PreferencesFrom(settings);
        input.Password = input.Confirm = secret;
        input.UserName = "user " + secret;
        input.PasswordEdited = true;
        ASSERT_TRUE(ApplyPreferences(settings, registry_, input, dialogs_));
        EXPECT_EQ(Stored(keys::Briefs, keys::Password), FrameStoredSecret(ScrambleText(secret)));
        AppSettings reloaded = Loaded();
        EXPECT_EQ(reloaded.DefaultPassword, secret);
        EXPECT_EQ(reloaded.DefaultUserName, "user " + secret);
    }
    EXPECT_TRUE(dialogs_.Log.empty());
}

// Loading
// -------------------------------------------------------------------------------------------

TEST_F(SettingsStore, AnEmptyRegistryGivesTheDefaultsAndWritesTheDetectedBrowserBack) {
    AppSettings settings = Loaded();
    EXPECT_EQ(settings.DiskBufferBytes, 1048576);
    EXPECT_EQ(settings.ProxyPort, 80);
    EXPECT_EQ(settings.Retries, 3);
    EXPECT_EQ(settings.ProxyServer, "");
    EXPECT_EQ(settings.DefaultUserName, "");
    EXPECT_EQ(settings.DefaultPassword, "");
    EXPECT_FALSE(settings.AutoLoadBrowser);
    EXPECT_EQ(settings.BrowserPath, "/opt/webby/webby.bin");
    EXPECT_EQ(settings.BrowserService, "WEBBY");
    EXPECT_EQ(Stored(keys::Browser, keys::BrowserPath), "/opt/webby/webby.bin");
    EXPECT_EQ(Stored(keys::Browser, keys::BrowserService), "WEBBY");
    // Nothing else is written by a load.
    EXPECT_EQ(Stored(keys::DiskBuffer, keys::MegaBytes), std::nullopt);
}

TEST_F(SettingsStore, WithoutADesktopHandlerTheBrowserIsXdgOpen) {
    handler_ = std::nullopt;
    AppSettings settings = Loaded();
    EXPECT_EQ(settings.BrowserPath, "xdg-open");
    EXPECT_EQ(settings.BrowserService, "XDG-OPEN");
}

TEST_F(SettingsStore, AStoredBrowserIsNotDetectedAgain) {
    Store(keys::Browser, keys::BrowserPath, "/usr/bin/mine");
    AppSettings settings = Loaded();
    EXPECT_EQ(settings.BrowserPath, "/usr/bin/mine");
    EXPECT_EQ(settings.BrowserService, "");
    EXPECT_EQ(Stored(keys::Browser, keys::BrowserService), std::nullopt);
    Store(keys::Browser, keys::BrowserPath, ""); // empty counts as absent
    EXPECT_EQ(Loaded().BrowserPath, "/opt/webby/webby.bin");
}

TEST_F(SettingsStore, NumbersThatDoNotParseTakeTheirRowsDefault) {
    Store(keys::DiskBuffer, keys::MegaBytes, "abc");
    Store(keys::Proxy, keys::ProxyPort, "abc");
    Store(keys::Briefs, keys::Retries, "abc");
    AppSettings settings = Loaded();
    EXPECT_EQ(settings.DiskBufferBytes, 1048576);
    EXPECT_EQ(settings.ProxyPort, 80);
    EXPECT_EQ(settings.Retries, 3);

    for (const char* bad : {" 5", "5 ", "5x", "0x10", "99999999999", "--5", "+-5", "+"}) {
        Store(keys::Proxy, keys::ProxyPort, bad);
        EXPECT_EQ(Loaded().ProxyPort, 80) << bad;
    }
    Store(keys::Proxy, keys::ProxyPort, "+8080");
    EXPECT_EQ(Loaded().ProxyPort, 8080);
    // Numbers outside their range are read as the default too, and noted for reporting.
    Store(keys::Briefs, keys::Retries, "-2");
    AppSettings outOfRange = Loaded();
    EXPECT_EQ(outOfRange.Retries, 3);
    ASSERT_EQ(outOfRange.OutOfRange.size(), 2u); // with the disk buffer's "abc"
    EXPECT_NE(outOfRange.OutOfRange[1].find("Retries \"-2\""), std::string::npos);
}

TEST_F(SettingsStore, DiskBuffersOfTwoGigabytesAndMoreAreHeldIn64Bits) {
    Store(keys::DiskBuffer, keys::MegaBytes, "2048");
    EXPECT_EQ(Loaded().DiskBufferBytes, 2147483648LL);
    Store(keys::DiskBuffer, keys::MegaBytes, "999999");
    EXPECT_EQ(Loaded().DiskBufferBytes, 999999LL * 1048576);
}

TEST_F(SettingsStore, AutoLoadIsOnOnlyForExactlyYes) {
    for (const auto& [text, on] : std::vector<std::pair<std::string, bool>>{
             {"Yes", true}, {"yes", false}, {"YES", false}, {"No", false}, {"Yes ", false}}) {
        Store(keys::Browser, keys::AutoLoadBrowser, text);
        EXPECT_EQ(Loaded().AutoLoadBrowser, on) << text;
    }
}

TEST_F(SettingsStore, CertificateChecksAreOffOnlyForExactlyNoAndRoundTrip) {
    EXPECT_TRUE(Loaded().CheckCertificates); // absent
    for (const auto& [text, on] : std::vector<std::pair<std::string, bool>>{
             {"No", false}, {"no", true}, {"Yes", true}, {"", true}, {"No ", true}}) {
        Store(keys::Briefs, keys::CheckCertificates, text);
        EXPECT_EQ(Loaded().CheckCertificates, on) << text;
    }
    AppSettings settings;
    PreferencesInput input = PreferencesFrom(settings);
    EXPECT_TRUE(input.CheckCertificates);
    input.CheckCertificates = false;
    RecordingDialogs dialogs;
    ASSERT_TRUE(ApplyPreferences(settings, registry_, input, dialogs));
    EXPECT_FALSE(settings.CheckCertificates);
    EXPECT_EQ(Stored(keys::Briefs, keys::CheckCertificates), "No");
    EXPECT_FALSE(Loaded().CheckCertificates);
}

TEST_F(SettingsStore, PageResourcesAreKeptUnlessSwitchedOffAndTheChoiceIsStored) {
    EXPECT_TRUE(Loaded().KeepPageResources);
    for (const auto& [text, on] : std::vector<std::pair<std::string, bool>>{
             {"No", false}, {"Yes", true}, {"no", true}, {"", true}}) {
        Store(keys::Briefs, keys::PageResources, text);
        EXPECT_EQ(Loaded().KeepPageResources, on) << text;
    }
    AppSettings settings = Loaded();
    PreferencesInput input = PreferencesFrom(settings);
    EXPECT_TRUE(input.KeepPageResources);
    input.KeepPageResources = false;
    ASSERT_TRUE(ApplyPreferences(settings, registry_, input, dialogs_));
    EXPECT_EQ(Stored(keys::Briefs, keys::PageResources), "No");
    EXPECT_FALSE(settings.KeepPageResources);
    EXPECT_FALSE(Loaded().KeepPageResources);
}

TEST_F(SettingsStore, AValueTooLongForItsReadBufferCountsAsAbsent) {
    Store(keys::Proxy, keys::ProxyServer, std::string(499, 'h'));
    EXPECT_EQ(Loaded().ProxyServer, std::string(499, 'h'));
    Store(keys::Proxy, keys::ProxyServer, std::string(500, 'h'));
    EXPECT_EQ(Loaded().ProxyServer, "");
}

TEST_F(SettingsStore, ACorruptRegistryFileLoadsTheDefaultsAndTheReadableRest) {
    WriteFileBytes(dir_ / "registry",
                   std::string("\x01\x02garbage\0\n", 11) +
                       "Software\\Orsolo Development\\Gathra Light\\Briefs\\Retries=\"5\"\n"
                       "Software\\Orsolo Development\\Gathra Light\\Proxy\\Proxy Port=\"81\n");
    AppSettings settings = Loaded();
    EXPECT_EQ(settings.Retries, 5);
    EXPECT_EQ(settings.ProxyPort, 80);
    EXPECT_EQ(registry_.UnreadableLines(), 2);
}

// Browser detection
// ---------------------------------------------------------------------------------

TEST(BrowserDetection, PathAndServiceFromTheOpenCommandLine) {
    struct Case {
        const char* command;
        const char* path;
        const char* service;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Netscape\\Program\\netscape.exe \"%1\"",
         "C:\\Program Files\\Netscape\\Program\\netscape.exe", "NETSCAPE"},
        {"C:\\PROGRA~1\\INTERN~1\\iexplore.exe \"%1\"", "C:\\PROGRA~1\\INTERN~1\\iexplore.exe",
         "IEXPLORE"},
        {"/opt/web.d/bin/fire.fox.bin \"%1\"", "/opt/web.d/bin/fire.fox.bin", "FIRE"},
        {"/usr/bin/NetScape-Navigator \"%1\"", "/usr/bin/NetScape-Navigator", "NETSCAPE"},
        {"C:\\BROWSER\\WEB.EXE -nohome", "C:\\BROWSER\\WEB.EXE -nohome", ""},
        {"\"C:\\Program Files\\Web\\web.exe\" \"%1\"", "", ""},
        {"xdg-open \"%1\"", "xdg-open", "XDG-OPEN"},
    };
    for (const Case& c : cases) {
        DetectedBrowser found = BrowserFromCommandLine(c.command);
        EXPECT_EQ(found.Path, c.path) << c.command;
        EXPECT_EQ(found.Service, c.service) << c.command;
    }
}

// Applying the preferences ------------------------------------------------------------------------

PreferencesInput SampleInput() {
    PreferencesInput input;
    input.BrowserLocation = "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
    input.AutoLoad = true;
    input.DiskBufferMegaBytes = 2048;
    input.ProxyServer = "proxy.example";
    input.ProxyPort = 8080;
    input.Retries = 5;
    input.UserName = "ann";
    input.Password = "secret";
    input.Confirm = "secret";
    return input;
}

TEST_F(SettingsStore, ApplyingWritesEveryGroupInItsStoredForm) {
    AppSettings settings = Loaded();
    PreferencesInput input = SampleInput();
    input.PasswordEdited = true;
    ASSERT_TRUE(ApplyPreferences(settings, registry_, input, dialogs_));
    EXPECT_EQ(Stored(keys::DiskBuffer, keys::MegaBytes), "2048");
    EXPECT_EQ(Stored(keys::Browser, keys::BrowserPath), input.BrowserLocation);
    EXPECT_EQ(Stored(keys::Browser, keys::BrowserService), "iexplore");
    EXPECT_EQ(Stored(keys::Browser, keys::AutoLoadBrowser), "Yes");
    EXPECT_EQ(Stored(keys::Proxy, keys::ProxyServer), "proxy.example");
    EXPECT_EQ(Stored(keys::Proxy, keys::ProxyPort), "8080");
    EXPECT_EQ(Stored(keys::Briefs, keys::Retries), "5");
    EXPECT_EQ(Stored(keys::Briefs, keys::Password), FrameStoredSecret(ScrambleText("secret")));
    EXPECT_EQ(Stored(keys::Briefs, keys::UserName), FrameStoredSecret(ScrambleText("ann")));
    EXPECT_EQ(settings.DiskBufferBytes, 2147483648LL);
    EXPECT_EQ(settings.BrowserService, "iexplore");
    EXPECT_TRUE(settings.AutoLoadBrowser);

    AppSettings reloaded = Loaded();
    reloaded.ProgramFolder = settings.ProgramFolder;
    EXPECT_EQ(reloaded.BrowserPath, settings.BrowserPath);
    EXPECT_EQ(reloaded.BrowserService, settings.BrowserService);
    EXPECT_EQ(reloaded.DiskBufferBytes, settings.DiskBufferBytes);
    EXPECT_EQ(reloaded.ProxyServer, "proxy.example");
    EXPECT_EQ(reloaded.ProxyPort, 8080);
    EXPECT_EQ(reloaded.Retries, 5);
    EXPECT_EQ(reloaded.DefaultUserName, "ann");
    EXPECT_EQ(reloaded.DefaultPassword, "secret");
    EXPECT_TRUE(reloaded.AutoLoadBrowser);

    input.AutoLoad = false;
    ASSERT_TRUE(ApplyPreferences(settings, registry_, input, dialogs_));
    EXPECT_EQ(Stored(keys::Browser, keys::AutoLoadBrowser), "No");
}

TEST_F(SettingsStore, TheServiceIsTheBrowsersFileNameCutAtItsFirstDot) {
    AppSettings settings;
    for (const auto& [location, service] : std::vector<std::pair<std::string, std::string>>{
             {"/usr/bin/firefox", "firefox"},
             {"/opt/Web.Browser.bin", "Web"},
             {"C:\\Progra~1\\iexplore.exe", "iexplore"},
             {"D:\\MYIEXPLORE2.EXE", "iexplore"},
             {"", ""}}) {
        PreferencesInput input = PreferencesFrom(settings);
        input.BrowserLocation = location;
        ASSERT_TRUE(ApplyPreferences(settings, registry_, input, dialogs_));
        EXPECT_EQ(settings.BrowserService, service) << location;
    }
}

TEST_F(SettingsStore, AnUnconfirmedPasswordFailsButEverythingElseIsApplied) {
    AppSettings settings = Loaded();
    settings.DefaultPassword = "old";
    PreferencesInput input = SampleInput();
    input.PasswordEdited = true;
    input.Confirm = "secreT";
    EXPECT_FALSE(ApplyPreferences(settings, registry_, input, dialogs_));
    ASSERT_EQ(dialogs_.Log.size(), 1u);
    EXPECT_EQ(dialogs_.Log[0].Text, "Password not correctly confirmed.");
    EXPECT_EQ(dialogs_.Log[0].Caption, "Password Error");
    EXPECT_FALSE(dialogs_.Log[0].Information);
    EXPECT_FALSE(dialogs_.Log[0].Question);

    EXPECT_EQ(Stored(keys::DiskBuffer, keys::MegaBytes), "2048");
    EXPECT_EQ(Stored(keys::Proxy, keys::ProxyPort), "8080");
    EXPECT_EQ(Stored(keys::Briefs, keys::Retries), "5");
    EXPECT_EQ(Stored(keys::Briefs, keys::Password), std::nullopt);
    EXPECT_EQ(Stored(keys::Briefs, keys::UserName), std::nullopt);
    EXPECT_EQ(settings.ProxyServer, "proxy.example");
    EXPECT_EQ(settings.DefaultPassword, "old");
    EXPECT_EQ(settings.DefaultUserName, "");
}

TEST_F(SettingsStore, UneditedCredentialsAreNotWritten) {
    AppSettings settings = Loaded();
    PreferencesInput input = SampleInput();
    input.Confirm = "never compared";
    EXPECT_TRUE(ApplyPreferences(settings, registry_, input, dialogs_));
    EXPECT_TRUE(dialogs_.Log.empty());
    EXPECT_EQ(Stored(keys::Briefs, keys::Password), std::nullopt);
    EXPECT_EQ(Stored(keys::Briefs, keys::UserName), std::nullopt);
    EXPECT_EQ(settings.DefaultUserName, "");
}

TEST_F(SettingsStore, ChangingOnlyTheUserNameWritesBothWithoutConfirmation) {
    AppSettings settings = Loaded();
    PreferencesInput input = SampleInput();
    input.Confirm = "";
    input.UserNameEdited = true;
    EXPECT_TRUE(ApplyPreferences(settings, registry_, input, dialogs_));
    EXPECT_TRUE(dialogs_.Log.empty());
    EXPECT_EQ(Stored(keys::Briefs, keys::Password), FrameStoredSecret(ScrambleText("secret")));
    EXPECT_EQ(Stored(keys::Briefs, keys::UserName), FrameStoredSecret(ScrambleText("ann")));
    EXPECT_EQ(settings.DefaultPassword, "secret");
    EXPECT_EQ(settings.DefaultUserName, "ann");
}

TEST_F(SettingsStore, AnEmptyConfirmedPasswordLeavesAnEmptyValue) {
    AppSettings settings = Loaded();
    settings.DefaultPassword = "old";
    PreferencesInput input = PreferencesFrom(settings);
    input.Password = input.Confirm = "";
    input.PasswordEdited = true;
    EXPECT_TRUE(ApplyPreferences(settings, registry_, input, dialogs_));
    EXPECT_EQ(Stored(keys::Briefs, keys::Password), "");
    EXPECT_EQ(Loaded().DefaultPassword, "");
}

// Startup records
// -----------------------------------------------------------------------------------

TEST(OpenBriefs, RecordBytes) {
    OpenBriefsRecord record;
    record.MainWindow = {10, 20, 800, 600, WindowPlacement::Maximised};
    record.Briefs = {{"/home/u/a.brf", {1, 2, 300, 200, WindowPlacement::Normal}},
                     {"/b.brf", {-5, 0, 10, 10, WindowPlacement::Minimised}}};
    const std::string bytes = "10,20,800,600,2,"
                              "\x0E/home/u/a.brf1,2,300,200,0,"
                              "\x07/b.brf-5,0,10,10,1,";
    EXPECT_EQ(EncodeOpenBriefsRecord(record), bytes);
    EXPECT_EQ(DecodeOpenBriefsRecord(bytes), record);
    EXPECT_EQ(EncodeOpenBriefsRecord(OpenBriefsRecord{}), "0,0,0,0,0,");
}

TEST(OpenBriefs, PathsOf255BytesOrMoreAreLeftOut) {
    OpenBriefsRecord record;
    record.Briefs = {{std::string(254, 'p'), {}},
                     {std::string(255, 'q'), {}},
                     {std::string("a\0b", 3), {}},
                     {"/last.brf", {}}};
    std::string bytes = EncodeOpenBriefsRecord(record);
    EXPECT_EQ(bytes,
              "0,0,0,0,0,\xFF" + std::string(254, 'p') + "0,0,0,0,0,\x0A/last.brf0,0,0,0,0,");
    auto decoded = DecodeOpenBriefsRecord(bytes);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->Briefs.size(), 2u);
    EXPECT_EQ(decoded->Briefs[0].Path, std::string(254, 'p'));
    EXPECT_EQ(decoded->Briefs[1].Path, "/last.brf");
}

TEST(OpenBriefs, ARecordThatWouldNotFitItsReadBufferDropsTheLastWindows) {
    OpenBriefsRecord record;
    for (int i = 0; i < 40; ++i)
        record.Briefs.push_back({std::string(250, 'a') + std::to_string(i), {i, i, i, i, 0}});
    std::string bytes = EncodeOpenBriefsRecord(record);
    EXPECT_LE(bytes.size(), 9998u);
    auto decoded = DecodeOpenBriefsRecord(bytes);
    ASSERT_TRUE(decoded);
    ASSERT_GT(decoded->Briefs.size(), 30u);
    ASSERT_LT(decoded->Briefs.size(), 40u);
    for (size_t i = 0; i < decoded->Briefs.size(); ++i)
        EXPECT_EQ(decoded->Briefs[i], record.Briefs[i]);
}

TEST(OpenBriefs, DamagedRecordsAreNotOpened) {
    EXPECT_EQ(DecodeOpenBriefsRecord(""), std::nullopt);
    EXPECT_EQ(DecodeOpenBriefsRecord("10,20,800,"), std::nullopt);
    EXPECT_EQ(DecodeOpenBriefsRecord("10,x,800,600,0,"), std::nullopt);

    auto noState = DecodeOpenBriefsRecord("10,20,800,600,");
    ASSERT_TRUE(noState);
    EXPECT_EQ(noState->MainWindow, (WindowPlacement{10, 20, 800, 600, 0}));
    EXPECT_TRUE(noState->Briefs.empty());

    // A brief with only three numbers ends the list; the one before it stays.
    auto cut = DecodeOpenBriefsRecord("1,2,3,4,0,\x03/a1,2,3,4,1,\x03/b1,2,3");
    ASSERT_TRUE(cut);
    ASSERT_EQ(cut->Briefs.size(), 1u);
    EXPECT_EQ(cut->Briefs[0].Path, "/a");
    // A path longer than what is left, and a record of four numbers.
    auto shortPath = DecodeOpenBriefsRecord("1,2,3,4,0,\x03/a1,2,3,4,\x7F/b");
    ASSERT_TRUE(shortPath);
    ASSERT_EQ(shortPath->Briefs.size(), 1u);
    EXPECT_EQ(shortPath->Briefs[0].Placement, (WindowPlacement{1, 2, 3, 4, 0}));
}

TEST(OpenBriefs, EveryCutOfARecordDecodesWithoutFault) {
    OpenBriefsRecord record;
    record.Briefs = {{"/x/a.brf", {1, 2, 3, 4, 0}}, {"/y.brf", {5, 6, 7, 8, 2}}};
    std::string bytes = EncodeOpenBriefsRecord(record);
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        auto decoded = DecodeOpenBriefsRecord(std::string_view(bytes).substr(0, cut));
        if (decoded) {
            EXPECT_LE(decoded->Briefs.size(), 2u);
        }
    }
}

TEST(PreviousBriefs, RecordBytes) {
    PreviousBriefsRecord record;
    record.Slots = {"/a.brf", "", "/c/d.brf", ""};
    const std::string bytes = "\x07/a.brf\x01\x09/c/d.brf\x01";
    EXPECT_EQ(EncodePreviousBriefsRecord(record), bytes);
    EXPECT_EQ(DecodePreviousBriefsRecord(bytes), record);
    EXPECT_EQ(EncodePreviousBriefsRecord({}), "\x01\x01\x01\x01");
}

TEST(PreviousBriefs, LongPathsBecomeEmptySlotsAndCutRecordsEmptyTheRest) {
    PreviousBriefsRecord record;
    record.Slots = {std::string(255, 'a'), std::string(254, 'b'), "/c", ""};
    std::string bytes = EncodePreviousBriefsRecord(record);
    EXPECT_EQ(bytes, "\x01\xFF" + std::string(254, 'b') + "\x03/c\x01");
    PreviousBriefsRecord decoded = DecodePreviousBriefsRecord(bytes);
    EXPECT_EQ(decoded.Slots[0], "");
    EXPECT_EQ(decoded.Slots[1], std::string(254, 'b'));

    PreviousBriefsRecord cut = DecodePreviousBriefsRecord("\x03/a\x05/bc");
    EXPECT_EQ(cut.Slots, (std::array<std::string, 4>{"/a", "", "", ""}));
}

TEST_F(SettingsStore, StartupValuesRoundTripThroughTheRegistry) {
    EXPECT_FALSE(ReadStartupValues(registry_).FirstStart);
    EXPECT_FALSE(ReadStartupValues(registry_).OpenBriefs);
    Store(keys::Startup, keys::FirstStart, "Yes");
    EXPECT_TRUE(ReadStartupValues(registry_).FirstStart);
    ASSERT_TRUE(WriteFirstStartDone(registry_));
    EXPECT_EQ(Stored(keys::Startup, keys::FirstStart), "No");
    EXPECT_FALSE(ReadStartupValues(registry_).FirstStart);

    OpenBriefsRecord open;
    open.MainWindow = {0, 0, 1024, 768, 0};
    open.Briefs = {{"/home/u/briefs/News.brf", {5, 5, 400, 300, 1}}};
    PreviousBriefsRecord previous;
    previous.Slots = {"/home/u/briefs/News.brf", "/tmp/x.brf", "", ""};
    ASSERT_TRUE(WriteOpenBriefs(registry_, open));
    ASSERT_TRUE(WritePreviousBriefs(registry_, previous));
    StartupValues values = ReadStartupValues(registry_);
    EXPECT_EQ(values.OpenBriefs, open);
    EXPECT_EQ(values.PreviousBriefs, previous);
    EXPECT_EQ(Stored(keys::Startup, keys::PreviousBriefs), EncodePreviousBriefsRecord(previous));
}

} // namespace
} // namespace gathra
