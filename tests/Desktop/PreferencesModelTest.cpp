#include "Desktop/PreferencesModel.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

struct PreferencesModelTest : ::testing::Test {
    test::TempDir dir;
    Registry registry{dir.Path() / "registry",
                      [](const std::vector<std::string>&) { return std::optional<std::string>(); },
                      {}};
    test::RecordingDialogs dialogs;
    AppSettings settings;

    TPreferencesModel Open(bool running = false) {
        return TPreferencesModel(settings, false, running,
                                 TPreferencesModel::SettingsApplier(settings, registry, dialogs));
    }
};

TEST_F(PreferencesModelTest, StoredValuesOutsideTheSpinRangesAreHeldToThem) {
    settings.DiskBufferBytes = 0;
    settings.Retries = 9;
    settings.ProxyPort = 123456;
    TPreferencesModel m = Open();
    EXPECT_EQ(m.Values().DiskBufferMegaBytes, 1);
    EXPECT_EQ(m.Values().Retries, 5);
    EXPECT_EQ(m.Values().ProxyPort, 99999);
    EXPECT_FALSE(m.ApplyEnabled());
    EXPECT_EQ(m.Caption(), "Gathra Light Preferences");
}

TEST_F(PreferencesModelTest, PortFollowsTheServer) {
    TPreferencesModel m = Open();
    EXPECT_FALSE(m.PortEnabled());
    m.EditProxyServer("proxy");
    EXPECT_TRUE(m.PortEnabled());
    EXPECT_TRUE(m.ApplyEnabled());
    m.EditProxyServer("");
    EXPECT_FALSE(m.PortEnabled());
}

TEST_F(PreferencesModelTest, ARunLocksEverythingButTheBrowser) {
    settings.ProxyServer = "proxy";
    TPreferencesModel m = Open(true);
    EXPECT_FALSE(m.PortEnabled());
    m.EditRetries(1);
    m.EditProxyServer("other");
    m.EditPassword("x");
    EXPECT_FALSE(m.ApplyEnabled());
    EXPECT_FALSE(m.ConfirmEnabled());
    m.EditBrowser("/usr/bin/lynx");
    EXPECT_TRUE(m.Ok());
    EXPECT_EQ(settings.BrowserPath, "/usr/bin/lynx");
    EXPECT_EQ(settings.BrowserService, "lynx");
    EXPECT_EQ(settings.ProxyServer, "proxy");
    EXPECT_EQ(settings.Retries, 3);
}

TEST_F(PreferencesModelTest, UnconfirmedPasswordKeepsApplyOnAndTheOldPassword) {
    settings.DefaultPassword = "old";
    TPreferencesModel m = Open();
    m.EditDiskBuffer(7);
    m.EditPassword("new");
    EXPECT_TRUE(m.ConfirmEnabled());
    m.EditConfirm("nEw");
    EXPECT_FALSE(m.Ok());
    EXPECT_TRUE(m.ApplyEnabled());
    EXPECT_EQ(settings.DefaultPassword, "old");
    EXPECT_EQ(settings.DiskBufferBytes, 7 * 1048576);
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Caption, "Password Error");
    m.EditConfirm("new");
    EXPECT_TRUE(m.Apply());
    EXPECT_FALSE(m.ApplyEnabled());
    EXPECT_EQ(settings.DefaultPassword, "new");
}

TEST_F(PreferencesModelTest, FirstStartAsksForTheBrowser) {
    TPreferencesModel m(settings, true, false, [](const PreferencesInput&) { return true; });
    EXPECT_EQ(m.Caption(), "Please Setup the Browser");
}

TEST(FindBrowserStartFolder, UsesTheBrowsersFolderWhenItExists) {
    auto exists = [](const std::string& f) { return f == "/usr/bin/"; };
    EXPECT_EQ(FindBrowserStartFolder("/usr/bin/firefox", "/opt/g/", exists), "/usr/bin/");
    EXPECT_EQ(FindBrowserStartFolder("/usr/bin/firefox \"%1\"", "/opt/g/", exists), "/usr/bin/");
    EXPECT_EQ(FindBrowserStartFolder("/gone/firefox", "/opt/g/", exists), "/opt/g/");
    EXPECT_EQ(FindBrowserStartFolder("", "/opt/g/", exists), "/opt/g/");
    EXPECT_EQ(FindBrowserStartFolder("firefox", "/opt/g/", exists), "/opt/g/");
}

} // namespace
} // namespace gathra
