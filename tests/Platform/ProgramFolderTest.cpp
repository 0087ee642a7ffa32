#include "Platform/ProgramFolder.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

using test::TempDir;

TEST(ProgramFolder, TheExecutablesFolderWhenTheDataSitsBesideIt) {
    TempDir build;
    TempDir share;
    for (const char* folder : {"images", "Briefs", "help"})
        std::filesystem::create_directories(build / folder);
    EXPECT_EQ(ProgramFolderFor(build / "gathra", share.Path()), build.Folder());
}

TEST(ProgramFolder, TheShareFolderWhenTheDataIsNotBesideTheExecutable) {
    TempDir bin;
    TempDir share;
    std::filesystem::create_directories(bin / "images");
    std::filesystem::create_directories(bin / "Briefs"); // help/ is missing
    EXPECT_EQ(ProgramFolderFor(bin / "gathra", share.Path()), share.Folder());
}

TEST(ProgramFolder, TheExecutablesFolderWhenNothingIsInstalled) {
    TempDir bin;
    EXPECT_EQ(ProgramFolderFor(bin / "gathra", bin / "no-share"), bin.Folder());
    EXPECT_EQ(ProgramFolderFor(bin / "gathra", ""), bin.Folder());
}

TEST(ProgramFolder, AnOverrideWinsAndGetsItsTrailingSlash) {
    const char* old = std::getenv("GATHRA_PROGRAM_FOLDER");
    std::string saved = old ? old : "";
    setenv("GATHRA_PROGRAM_FOLDER", "/opt/gathra", 1);
    EXPECT_EQ(DetectProgramFolder(), "/opt/gathra/");
    if (old)
        setenv("GATHRA_PROGRAM_FOLDER", saved.c_str(), 1);
    else
        unsetenv("GATHRA_PROGRAM_FOLDER");
    std::string detected = DetectProgramFolder();
    ASSERT_FALSE(detected.empty());
    EXPECT_EQ(detected.back(), '/');
}

} // namespace
} // namespace gathra
