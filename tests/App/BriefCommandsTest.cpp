#include "App/gathra/Cli.h"
#include "App/gathra/JsonText.h"
#include "Brief/BriefFile.h"
#include "support/CliRun.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace gathra {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class BriefCommandsTest : public ::testing::Test {
protected:
    int Run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return test::RunCli(args, out, err);
    }
    TBrief Load() {
        TBrief brief;
        brief.FileName = path;
        test::RecordingDialogs dialogs;
        EXPECT_TRUE(ReadBriefs2(brief, dialogs));
        return brief;
    }

    TempDir dir;
    std::string path = (dir / "News.brf").string();
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(BriefCommandsTest, NewWritesANewBriefAndRefusesToReplaceOne) {
    ASSERT_EQ(Run({"new", path}), 0) << err.str();
    TBrief fresh;
    EXPECT_EQ(ReadFileBytes(path), EncodeBriefFile(fresh));
    EXPECT_EQ(ReadFileBytes((dir / "News.cat").string()), std::string(2, '\0'));

    EXPECT_EQ(Run({"new", path, "--name", "Other"}), 1);
    EXPECT_NE(err.str().find("already exists"), std::string::npos);
    EXPECT_EQ(Load().BriefName, "New Brief");

    ASSERT_EQ(Run({"new", path, "--force", "--name", "Daily", "--comments", "one\ntwo"}), 0);
    TBrief b = Load();
    EXPECT_EQ(b.BriefName, "Daily");
    EXPECT_EQ(b.Comments, "one\r\ntwo\r\n");
}

TEST_F(BriefCommandsTest, AddAppendsInsertsAndSetsEveryOption) {
    ASSERT_EQ(Run({"new", path}), 0);
    ASSERT_EQ(Run({"add", path, "--url", "www.a.com"}), 0) << err.str();
    ASSERT_EQ(Run({"add", path, "--search", "cheap flights"}), 0) << err.str();
    ASSERT_EQ(Run({"add", path, "--url", "www.b.com", "--name", "Bee", "--depth", "3", "--images",
                   "--other-files", "--follow-external", "--user", "bob", "--password", "pw",
                   "--inactive", "--at", "1"}),
              0)
        << err.str();
    TBrief b = Load();
    ASSERT_EQ(b.WebList.Count(), 3);
    const TWebPage& a = b.WebList.Entry(0);
    EXPECT_EQ(a.EntryName, "www.a.com"); // the shown-name rule
    EXPECT_EQ(a.NameSet, 0);
    EXPECT_EQ(a.Active, 1);
    EXPECT_EQ(a.SpiderDepth, 1);
    EXPECT_EQ(a.LocalOnly, 1);
    const TWebPage& bee = b.WebList.Entry(1);
    EXPECT_EQ(bee.EntryName, "Bee");
    EXPECT_EQ(bee.NameSet, 1);
    EXPECT_EQ(bee.Address, "www.b.com");
    EXPECT_EQ(bee.SpiderDepth, 3);
    EXPECT_EQ(bee.LoadImages, 1);
    EXPECT_EQ(bee.LoadBinaries, 1);
    EXPECT_EQ(bee.LocalOnly, 0);
    EXPECT_EQ(bee.UserName, "bob");
    EXPECT_EQ(bee.Password, "pw");
    EXPECT_EQ(bee.Active, 0);
    const TWebPage& s = b.WebList.Entry(2);
    EXPECT_TRUE(s.IsSearchEntry());
    EXPECT_EQ(s.EntryName, "cheap flights");
    EXPECT_EQ(s.NameSet, 1);
    EXPECT_EQ(s.Address, "");
}

TEST_F(BriefCommandsTest, AnEmptyNameLeavesTheEntryUnnamed) {
    ASSERT_EQ(Run({"new", path}), 0);
    ASSERT_EQ(Run({"add", path, "--url", "www.a.com", "--name", ""}), 0) << err.str();
    ASSERT_EQ(Run({"add", path, "--url", "", "--name", ""}), 0) << err.str();
    TBrief b = Load();
    ASSERT_EQ(b.WebList.Count(), 2);
    EXPECT_EQ(b.WebList.Entry(0).NameSet, 0);
    EXPECT_EQ(b.WebList.Entry(0).EntryName, "www.a.com");
    EXPECT_EQ(b.WebList.Entry(1).NameSet, 0);
    EXPECT_EQ(b.WebList.Entry(1).EntryName, "New Page");
}

TEST_F(BriefCommandsTest, AddUsageErrors) {
    ASSERT_EQ(Run({"new", path}), 0);
    std::string before = ReadFileBytes(path);
    EXPECT_EQ(Run({"add", path}), 2);                                 // neither
    EXPECT_EQ(Run({"add", path, "--url", "a", "--search", "b"}), 2);  // both
    EXPECT_EQ(Run({"add", path, "--url", "a", "--depth", "0"}), 2);   // depth too small
    EXPECT_EQ(Run({"add", path, "--url", "a", "--depth", "100"}), 2); // too large
    EXPECT_EQ(Run({"add", path, "--search", "q", "--name", "n"}), 2); // search is named
    EXPECT_EQ(Run({"add", path, "--url", "a", "--at", "1"}), 2);      // past the end
    EXPECT_EQ(Run({"add", path, "--url", "a", "--at", "-1"}), 2);
    EXPECT_EQ(Run({"add", path, "--search", ""}), 2);
    EXPECT_EQ(Run({"add", path, "--url", "a", "--depth", "99", "--at", "0"}), 0);
    EXPECT_NE(ReadFileBytes(path), before);
}

TEST_F(BriefCommandsTest, RemoveDeletesByIndex) {
    ASSERT_EQ(Run({"new", path}), 0);
    for (std::string url : {"a", "b", "c"})
        ASSERT_EQ(Run({"add", path, "--url", url}), 0);
    ASSERT_EQ(Run({"remove", path, "1"}), 0) << err.str();
    TBrief b = Load();
    ASSERT_EQ(b.WebList.Count(), 2);
    EXPECT_EQ(b.WebList.Entry(1).Address, "c");
    EXPECT_EQ(Run({"remove", path, "2"}), 2);
    EXPECT_NE(err.str().find("no entry 2"), std::string::npos);
    EXPECT_EQ(Run({"remove", path}), 2);
    EXPECT_EQ(Load().WebList.Count(), 2);
}

TEST_F(BriefCommandsTest, UnloadableBriefExitsWith1AndTheLoadingError) {
    WriteFileBytes(path, "not a brief at all");
    EXPECT_EQ(Run({"show", path}), 1);
    EXPECT_EQ(err.str(),
              std::string(kBriefLoadingErrorCaption) + ": " + kBriefLoadingErrorText + "\n");
    EXPECT_EQ(Run({"add", path, "--url", "x"}), 1);
    EXPECT_EQ(ReadFileBytes(path), "not a brief at all");
    EXPECT_EQ(Run({"remove", (dir / "absent.brf").string(), "0"}), 1);
    // A header that counts too few words is refused without a message of its own.
    WriteFileBytes(path, std::string("SKBF-QRW\x01\x00\x00\x00\x01\x00", 14));
    EXPECT_EQ(Run({"show", path}), 1);
    EXPECT_NE(err.str().find("cannot load"), std::string::npos);
}

TEST_F(BriefCommandsTest, UnsavableBriefExitsWith1AndTheSavingError) {
    std::filesystem::create_directory(path);
    EXPECT_EQ(Run({"new", path, "--force"}), 1);
    EXPECT_EQ(err.str(), std::string(kBriefSavingErrorCaption) + ": " + kBriefSavingErrorText +
                             "\n" + std::strerror(EISDIR) + "\n");
}

TEST_F(BriefCommandsTest, ShowIsReadable) {
    ASSERT_EQ(Run({"new", path, "--name", "Morning", "--comments", "first line"}), 0);
    ASSERT_EQ(Run({"add", path, "--url", "www.a.com", "--images", "--user", "ann"}), 0);
    ASSERT_EQ(Run({"add", path, "--search", "tides", "--inactive"}), 0);
    ASSERT_EQ(Run({"show", path}), 0);
    std::string text = out.str();
    EXPECT_NE(text.find("Brief: Morning"), std::string::npos) << text;
    EXPECT_NE(text.find("  first line\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Entries: 2"), std::string::npos) << text;
    EXPECT_NE(text.find("0  [x] web    www.a.com  depth 1, images, user ann"), std::string::npos)
        << text;
    EXPECT_NE(text.find("1  [ ] search tides  depth 1"), std::string::npos) << text;
}

TEST_F(BriefCommandsTest, ShowJsonHasTheStoredFieldNames) {
    TBrief brief;
    brief.FileName = path;
    brief.BriefName = "Caf\xE9"; // Windows-1252, not UTF-8
    brief.Comments = "x\"y\r\n";
    brief.ArchivePaths = {"1\\Brief1.htm"};
    brief.ArchiveTitles = {"Mon \xC3\xA9"}; // valid UTF-8 passes through
    brief.ReservedList = {"r"};
    TWebPage* e = brief.WebList.AddEntry(EntryKind::Web);
    e->Address = "a.com";
    e->ApplyShownName();
    test::RecordingDialogs dialogs;
    ASSERT_TRUE(SaveBriefs2(brief, dialogs));
    ASSERT_EQ(Run({"show", path, "--json"}), 0) << err.str();
    EXPECT_EQ(out.str(), "{\n"
                         "  \"BriefName\": \"Caf\\u00E9\",\n"
                         "  \"Comments\": \"x\\\"y\\r\\n\",\n"
                         "  \"BriefActive\": 1,\n"
                         "  \"ReservedByte\": 0,\n"
                         "  \"ReservedCode\": \"\",\n"
                         "  \"ReservedList\": [\"r\"],\n"
                         "  \"ArchivePaths\": [\"1\\\\Brief1.htm\"],\n"
                         "  \"ArchiveTitles\": [\"Mon \xC3\xA9\"],\n"
                         "  \"Entries\": [\n"
                         "    {\"EntryName\": \"a.com\", \"Address\": \"a.com\", \"Active\": 1, "
                         "\"IsSearch\": 0, \"SpiderDepth\": 1, \"LoadImages\": 0, "
                         "\"LoadBinaries\": 0, \"LocalOnly\": 1, \"NameSet\": 0, "
                         "\"UserName\": \"\", \"Password\": \"\", \"Locked\": 0, "
                         "\"LockedText\": \"Locked Entry\", \"LockedTextSize\": 18, "
                         "\"AgentComment\": \"\", \"ReservedFlag\": 1, \"ReservedText\": \"\"}\n"
                         "  ]\n"
                         "}\n");
    ASSERT_EQ(Run({"new", path, "--force"}), 0);
    ASSERT_EQ(Run({"show", path, "--json"}), 0);
    EXPECT_NE(out.str().find("\"Comments\": null"), std::string::npos);
    EXPECT_NE(out.str().find("\"Entries\": []"), std::string::npos);
}

TEST_F(BriefCommandsTest, UsageErrorsAndHelp) {
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("add"), std::string::npos);
    EXPECT_EQ(Run({"add", "--help"}), 0);
    EXPECT_NE(out.str().find("--follow-external"), std::string::npos);
}

TEST(JsonText, InvalidUtf8BytesAreEscapedOneByOne) {
    EXPECT_EQ(JsonString("plain"), "\"plain\"");
    EXPECT_EQ(JsonString("\x80\xFF"), "\"\\u0080\\u00FF\"");
    EXPECT_EQ(JsonString("\xC3\xA9"), "\"\xC3\xA9\"");                  // é
    EXPECT_EQ(JsonString("\xC3"), "\"\\u00C3\"");                       // cut short
    EXPECT_EQ(JsonString("\xC0\xAF"), "\"\\u00C0\\u00AF\"");            // overlong "/"
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\u00ED\\u00A0\\u0080\""); // a surrogate
    EXPECT_EQ(JsonString("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");  // U+1F600
    EXPECT_EQ(JsonString(std::string("a\0\x1F\t", 4)), "\"a\\u0000\\u001F\\t\"");
}

} // namespace
} // namespace gathra
