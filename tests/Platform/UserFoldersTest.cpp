#include "Platform/UserFolders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace gathra {
namespace {

namespace fs = std::filesystem;

TEST(UserFolders, ReadsTheFoldersTheUserDirsFileNames) {
    struct Case {
        const char* Text;
        const char* Name;
        const char* Folder;
    };
    const Case cases[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n", "DOCUMENTS", "/home/u/Documents"},
        {"# xdg-user-dirs\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\r\nXDG_DOCUMENTS_DIR=\"$HOME/"
         "Dokumente\"\n",
         "DOCUMENTS", "/home/u/Dokumente"},
        {"XDG_DOCUMENTS_DIR=\"/srv/docs/\"", "DOCUMENTS", "/srv/docs"},
        {"  XDG_DOCUMENTS_DIR = \"$HOME/My\\\"Docs\\\\\"\n", "DOCUMENTS", "/home/u/My\"Docs\\"},
        // "$HOME/" alone is the home folder itself (a desktop the user switched off).
        {"XDG_DESKTOP_DIR=\"$HOME/\"\n", "DESKTOP", "/home/u"},
        // The last line counts; a relative path, "$HOMEX" or a value without quotes is unset.
        {"XDG_DOCUMENTS_DIR=\"$HOME/A\"\nXDG_DOCUMENTS_DIR=\"$HOME/B\"\n", "DOCUMENTS",
         "/home/u/B"},
        {"XDG_DOCUMENTS_DIR=\"Documents\"\n", "DOCUMENTS", ""},
        {"XDG_DOCUMENTS_DIR=\"$HOMEX/a\"\n", "DOCUMENTS", ""},
        {"XDG_DOCUMENTS_DIR=$HOME/Documents\n", "DOCUMENTS", ""},
        {"XDG_DOCUMENTS_DIRS=\"/x\"\n#XDG_DOCUMENTS_DIR=\"/y\"\n", "DOCUMENTS", ""},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", "DOCUMENTS", ""},
        {"", "DOCUMENTS", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XdgUserFolderIn(c.Text, c.Name, "/home/u"), c.Folder) << c.Text;
}

// The folder as the session finds it: the user-dirs file's when it exists, else the usual
// name in the home folder when that exists, else the home folder.
TEST(UserFolders, FallsBackToTheUsualFolderThenHome) {
    test::TempDir home;
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "conf").c_str(), 1);

    EXPECT_EQ(UserFolder("DOCUMENTS", "Documents"), home.Path().string());
    fs::create_directories(home / "Documents");
    EXPECT_EQ(UserFolder("DOCUMENTS", "Documents"), (home / "Documents").string());
    fs::create_directories(home / "conf");
    test::WriteFileBytes(home / "conf/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
    // Named but not there yet: the usual folder still.
    EXPECT_EQ(UserFolder("DOCUMENTS", "Documents"), (home / "Documents").string());
    fs::create_directories(home / "Papiere");
    EXPECT_EQ(UserFolder("DOCUMENTS", "Documents"), (home / "Papiere").string());
    // A relative XDG_CONFIG_HOME counts as unset: ~/.config is read.
    setenv("XDG_CONFIG_HOME", "conf", 1);
    EXPECT_EQ(UserFolder("DOCUMENTS", "Documents"), (home / "Documents").string());

    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
} // namespace gathra
