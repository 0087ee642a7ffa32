#include "Platform/CommandLineBrowser.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

using Argv = std::vector<std::string>;

TEST(CommandLineBrowser, StartsTheDesktopOpenerWhenNoBrowserIsSet) {
    EXPECT_EQ(CommandLineBrowser::CommandFor("", "file:///b/0/Brief0.htm"),
              (Argv{"xdg-open", "file:///b/0/Brief0.htm"}));
}

TEST(CommandLineBrowser, APlainProgramGetsTheAddressAsItsArgument) {
    EXPECT_EQ(CommandLineBrowser::CommandFor("/opt/my browser/run", "http://example.org/"),
              (Argv{"/opt/my browser/run", "http://example.org/"}));
}

TEST(CommandLineBrowser, ACommandLineHasItsPlaceholderReplaced) {
    EXPECT_EQ(CommandLineBrowser::CommandFor("/usr/bin/firefox \"%1\"", "http://a/b c"),
              (Argv{"/usr/bin/firefox", "http://a/b c"}));
    EXPECT_EQ(CommandLineBrowser::CommandFor("\"/opt/web view/bin\" --new-window %1", "x"),
              (Argv{"/opt/web view/bin", "--new-window", "x"}));
    EXPECT_EQ(CommandLineBrowser::CommandFor("xdg-open \"%1\"", "file:///t/a.htm"),
              (Argv{"xdg-open", "file:///t/a.htm"}));
}

TEST(CommandLineBrowser, WithoutAnAddressTheBrowserJustStarts) {
    EXPECT_EQ(CommandLineBrowser::CommandFor("/usr/bin/firefox \"%1\"", ""),
              (Argv{"/usr/bin/firefox"}));
    EXPECT_EQ(CommandLineBrowser::CommandFor("/usr/bin/firefox", ""), (Argv{"/usr/bin/firefox"}));
}

TEST(CommandLineBrowser, AProgramThatCannotStartIsReported) {
    EXPECT_FALSE(SpawnDetached({"/nonexistent/gathra-browser-test"}));
    EXPECT_FALSE(SpawnDetached({}));
    EXPECT_TRUE(SpawnDetached({"true"}));
}

} // namespace
} // namespace gathra
