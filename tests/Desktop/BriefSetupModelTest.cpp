#include "Desktop/BriefSetupModel.h"
#include "Text/StoredText.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

TBrief BriefWithArchive() {
    TBrief b;
    b.BriefName = "Morning";
    b.Comments = std::string("first\r\nsecond");
    b.ArchivePaths = {"1\\Brief1.htm", "2\\Brief2.htm", "3\\Brief3.htm"};
    b.ArchiveTitles = {"12/7/98 9:05:03PM", "12/8/98 9:05:03PM", "12/9/98 9:05:03PM"};
    return b;
}

TEST(BriefSetupModel, ShowsNameCommentsAndTheNewestRunFirst) {
    TBrief b = BriefWithArchive();
    TBriefSetupModel m(b);
    EXPECT_EQ(m.Name(), "Morning");
    EXPECT_EQ(m.CommentsText(), "first\nsecond");
    ASSERT_EQ(m.ArchiveRows().size(), 3u);
    EXPECT_EQ(m.ArchiveRows()[0], "12/9/98 9:05:03PM");
    EXPECT_TRUE(m.ViewEnabled());
    EXPECT_TRUE(m.ViewIsDefault());
    EXPECT_FALSE(m.DeleteEnabled());
}

TEST(BriefSetupModel, EmptyArchiveMakesCloseTheDefault) {
    TBrief b;
    TBriefSetupModel m(b);
    EXPECT_FALSE(m.ArchiveListEnabled());
    EXPECT_FALSE(m.ViewEnabled());
    EXPECT_FALSE(m.ViewIsDefault());
    EXPECT_EQ(m.CommentsText(), "");
}

TEST(BriefSetupModel, OkWritesTheNameAndOnlyEditedComments) {
    TBrief b = BriefWithArchive();
    TBriefSetupModel m(b);
    m.EditName("Evening");
    EXPECT_TRUE(m.ApplyOnOk(b));
    EXPECT_EQ(b.BriefName, "Evening");
    EXPECT_EQ(*b.Comments, "first\r\nsecond");

    TBrief none;
    TBriefSetupModel n(none);
    EXPECT_TRUE(n.ApplyOnOk(none));
    EXPECT_FALSE(none.Comments.has_value()) << "untouched: still no comments";

    TBriefSetupModel edited(none);
    edited.EditComments("a\nb\n");
    edited.ApplyOnOk(none);
    EXPECT_EQ(*none.Comments, "a\r\nb\r\n");
}

TEST(BriefSetupModel, NameIsCutToSixtyCharactersNotBytes) {
    TBrief b;
    TBriefSetupModel m(b);
    std::string name;
    for (int i = 0; i < 70; ++i)
        name += "\xC3\xA9"; // é
    m.EditName(name);
    EXPECT_EQ(m.Name().size(), 120u);
    m.ApplyOnOk(b);
    EXPECT_TRUE(IsValidUtf8(b.BriefName));
}

TEST(BriefSetupModel, NothingChangesWhileGenerating) {
    TBrief b = BriefWithArchive();
    b.Generating = 1;
    TBriefSetupModel m(b);
    EXPECT_FALSE(m.PropertiesEnabled());
    EXPECT_TRUE(m.ViewEnabled());
    m.EditName("Other");
    m.EditComments("x");
    EXPECT_FALSE(m.ApplyOnOk(b));
    EXPECT_EQ(b.BriefName, "Morning");
    EXPECT_EQ(*b.Comments, "first\r\nsecond");
}

TEST(StoredText, Utf8IsKeptAndOtherBytesAreReadAsWindows1252) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF")) << "overlong";
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "surrogate";
    EXPECT_FALSE(IsValidUtf8("\xE2\x82")) << "cut short";
    EXPECT_EQ(StoredTextAsUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(StoredTextAsUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(StoredTextAsUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(StoredTextAsUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(StoredText, CuttingNeverSplitsACharacter) {
    EXPECT_EQ(CutToCharacters("abc", 2), "ab");
    EXPECT_EQ(CutToCharacters("\xC3\xA9\xC3\xA9", 1), "\xC3\xA9");
    EXPECT_EQ(CutToCharacters("ab", 5), "ab");
}

TEST(BriefSetupModel, CommentLineEndsRoundTrip) {
    EXPECT_EQ(CommentsForBrief(CommentsForMemo("a\r\nb\r\n")), "a\r\nb\r\n");
    EXPECT_EQ(CommentsForBrief("x\r\ny"), "x\r\ny") << "no doubled CR";
}

} // namespace
} // namespace gathra
