#include "Desktop/SampleBriefs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace gathra {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A program folder as installed: the four samples and their catalogues, read-only for the user.
struct Installed {
    test::TempDir Dir;
    std::string Program = Dir.Folder() + "usr/share/gathralight/";
    std::string User = Dir.Folder() + "home/Documents/Gathra Light/";
    WritableProbe Writable = [this](const std::string& folder) {
        return folder.rfind(Program, 0) != 0; // nothing of the program's is the user's
    };
    Installed() {
        for (const char* name : kSampleBriefs) {
            Write(fs::path(Program) / "Briefs" / name, std::string("brief ") + name);
            Write(fs::path(Program) / "Briefs" / fs::path(name).replace_extension(".cat"),
                  std::string("catalogue ") + name);
            fs::permissions(fs::path(Program) / "Briefs" / name,
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
    }
};

TEST(SampleBriefs, TheUsersBriefsFolderIsTheProgramsOnlyWhereTheUserMayWrite) {
    Installed s;
    auto yes = [](const std::string&) { return true; };
    EXPECT_EQ(UserBriefsFolder(s.Program, "/home/u/Documents", yes), s.Program + "Briefs/");
    fs::create_directories(s.Program + "briefs");
    EXPECT_EQ(UserBriefsFolder(s.Program, "/home/u/Documents", yes), s.Program + "briefs/");
    // Else a visible folder named after the program in the documents folder.
    EXPECT_EQ(UserBriefsFolder(s.Program, "/home/u/Documents", s.Writable),
              "/home/u/Documents/Gathra Light/");
    EXPECT_EQ(UserBriefsFolder(s.Program, "/home/u/", s.Writable), "/home/u/Gathra Light/");
    EXPECT_EQ(UserBriefsFolder(s.Dir.Folder() + "nowhere/", "/home/u/Dokumente", yes),
              "/home/u/Dokumente/Gathra Light/");
}

// An installed program's samples are opened from copies the user may change; a later first
// start (a new settings file) keeps the user's copies; a program folder the user owns keeps its
// own samples; a missing sample opens none.
TEST(SampleBriefs, AnInstalledProgramsSamplesAreOpenedFromTheUsersCopies) {
    Installed s;
    auto paths = SampleBriefPaths(s.Program, s.User, s.Writable);
    ASSERT_TRUE(paths.has_value());
    ASSERT_EQ(paths->size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ((*paths)[i], s.User + kSampleBriefs[i]);
        EXPECT_EQ(test::ReadFileBytes((*paths)[i]), std::string("brief ") + kSampleBriefs[i]);
        EXPECT_EQ(test::ReadFileBytes(fs::path((*paths)[i]).replace_extension(".cat")),
                  std::string("catalogue ") + kSampleBriefs[i]);
        EXPECT_NE(fs::status((*paths)[i]).permissions() & fs::perms::owner_write, fs::perms::none);
    }
    EXPECT_FALSE(fs::exists(s.User + "News.brf.part"));

    Write(s.User + "News.brf", "changed by the user");
    ASSERT_TRUE(SampleBriefPaths(s.Program, s.User, s.Writable).has_value());
    EXPECT_EQ(test::ReadFileBytes(s.User + "News.brf"), "changed by the user");

    auto own = SampleBriefPaths(s.Program, s.User, [](const std::string&) { return true; });
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->front(), s.Program + "Briefs/Leisure.brf");

    // Where no copy can be made (the user's folder would have to be inside a file), the
    // program's own samples are opened all the same.
    Write(s.Dir / "file", "x");
    auto fallback = SampleBriefPaths(s.Program, s.Dir.Folder() + "file/Briefs/", s.Writable);
    ASSERT_TRUE(fallback.has_value());
    EXPECT_EQ(fallback->back(), s.Program + "Briefs/Gov.brf");

    fs::remove(s.Program + "Briefs/Gov.brf");
    EXPECT_FALSE(SampleBriefPaths(s.Program, s.User, s.Writable).has_value());
}

// The samples of an installed program are copied for root as for everyone: root may write into
// the installed share folder, but it is the system's, not the user's. A program folder of the
// user's own (a build or unpacked tree) keeps its samples; a link to the share folder is seen
// through.
TEST(SampleBriefs, AnInstalledProgramsFolderIsNeverTheUsersEvenWhereTheUserMayWrite) {
    Installed s;
    const std::string tree = s.Dir.Folder() + "tree/";
    fs::create_directories(tree + "Briefs");
    fs::create_directory_symlink(s.Program, s.Dir / "linked");
    struct Case {
        std::string Folder;
        bool Users;
    } cases[] = {
        {s.Program + "Briefs", false},
        {s.Program, false},
        {s.Dir.Folder() + "linked/Briefs", false},
        {tree + "Briefs", true},
        {s.Dir.Folder() + "share/gathralight2/Briefs", true},
    };
    for (const Case& c : cases) {
        fs::create_directories(c.Folder);
        ASSERT_TRUE(FolderIsWritable(c.Folder)) << c.Folder; // a temporary folder of our own
        EXPECT_EQ(FolderIsUsers(c.Folder), c.Users) << c.Folder;
    }
    auto paths = SampleBriefPaths(s.Program, s.User, FolderIsUsers);
    ASSERT_TRUE(paths.has_value());
    EXPECT_EQ(paths->front(), s.User + "Leisure.brf");
    EXPECT_EQ(test::ReadFileBytes(paths->front()), "brief Leisure.brf");
    EXPECT_EQ(UserBriefsFolder(s.Program, "/docs", FolderIsUsers), "/docs/Gathra Light/");
    EXPECT_EQ(UserBriefsFolder(tree, "/docs", FolderIsUsers), tree + "Briefs/");
}

} // namespace
} // namespace gathra
