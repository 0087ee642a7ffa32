#include "Desktop/EntryDialogModel.h"
#include "support/RecordingDialogs.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

TWebPage EntryWithCredentials() {
    TWebPage e(EntryKind::Web);
    e.EntryName = "News";
    e.NameSet = 1;
    e.Address = "www.example.com/news";
    e.UserName = "alice";
    e.Password = "secret";
    return e;
}

struct EntryDialogModelTest : ::testing::Test {
    test::RecordingDialogs dialogs;
};

TEST_F(EntryDialogModelTest, FillsInputsFromTheEntry) {
    TWebPage e(EntryKind::Web);
    e.EntryName = "example.com";
    e.Address = "example.com";
    e.SpiderDepth = 3;
    e.LoadImages = 1;
    e.LocalOnly = 0;
    TEntryDialogModel m(e, EntryDialogKind::Web, true, dialogs);
    EXPECT_EQ(m.Inputs().Name, "") << "an unnamed entry shows an empty name field";
    EXPECT_EQ(m.Inputs().Address, "example.com");
    EXPECT_EQ(m.Inputs().Depth, 3);
    EXPECT_TRUE(m.Inputs().Images);
    EXPECT_FALSE(m.Inputs().Binaries);
    EXPECT_TRUE(m.Inputs().FollowExternal);
    EXPECT_EQ(m.TitleText(), "example.com");
}

TEST_F(EntryDialogModelTest, StoredDepthOutsideTheSpinRangeIsHeldToIt) {
    TWebPage e(EntryKind::Web);
    e.SpiderDepth = 500;
    EXPECT_EQ(TEntryDialogModel(e, EntryDialogKind::Web, true, dialogs).Inputs().Depth, 99);
    e.SpiderDepth = -4;
    EXPECT_EQ(TEntryDialogModel(e, EntryDialogKind::Web, true, dialogs).Inputs().Depth, 1);
}

TEST_F(EntryDialogModelTest, ApplyIsEnabledAtOpeningOnlyForAnEntryWithAUserName) {
    TWebPage with = EntryWithCredentials();
    TEntryDialogModel a(with, EntryDialogKind::Web, true, dialogs);
    a.Activate();
    EXPECT_TRUE(a.ApplyEnabled());
    EXPECT_FALSE(a.ConfirmEnabled()) << "filling the password is not an edit of it";

    TWebPage passwordOnly(EntryKind::Web);
    passwordOnly.Password = "pw";
    TEntryDialogModel b(passwordOnly, EntryDialogKind::Search, true, dialogs);
    b.Activate();
    EXPECT_FALSE(b.ApplyEnabled());
    EXPECT_EQ(b.Inputs().Password, "pw");
}

TEST_F(EntryDialogModelTest, ChangingOnlyTheUserNameStoresItWithTheUnchangedPassword) {
    for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
        TWebPage e = EntryWithCredentials();
        TEntryDialogModel m(e, kind, true, dialogs);
        m.Activate();
        m.EditUserName("bob");
        EXPECT_TRUE(m.Ok());
        EXPECT_EQ(e.UserName, "bob");
        EXPECT_EQ(e.Password, "secret");
    }
    EXPECT_TRUE(dialogs.Log.empty());
}

TEST_F(EntryDialogModelTest, AConfirmedPasswordIsStored) {
    TWebPage e = EntryWithCredentials();
    TEntryDialogModel m(e, EntryDialogKind::Web, true, dialogs);
    m.Activate();
    m.EditPassword("n3w");
    EXPECT_TRUE(m.ConfirmEnabled());
    m.EditConfirm("n3w");
    m.Apply();
    EXPECT_TRUE(m.Accepted());
    EXPECT_EQ(e.Password, "n3w");
    EXPECT_EQ(e.UserName, "alice");
}

TEST_F(EntryDialogModelTest, WrongConfirmationKeepsTheOldPasswordButWritesTheRest) {
    for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
        dialogs.Log.clear();
        TWebPage e = EntryWithCredentials();
        TEntryDialogModel m(e, kind, true, dialogs);
        m.Activate();
        m.EditUserName("mallory");
        m.EditPassword("n3w");
        m.EditConfirm("N3W"); // letter case counts
        m.EditDepth(4);
        EXPECT_FALSE(m.Ok()) << "the dialog stays open";
        ASSERT_EQ(dialogs.Log.size(), 1u);
        EXPECT_EQ(dialogs.Log[0].Text, "Password not correctly confirmed.");
        EXPECT_EQ(dialogs.Log[0].Caption, "Password Error");
        EXPECT_FALSE(dialogs.Log[0].Information);
        EXPECT_EQ(e.Password, "secret");
        EXPECT_EQ(e.UserName, "alice");
        EXPECT_EQ(e.SpiderDepth, 4);
        EXPECT_TRUE(m.Applied());
        // The web dialog's Apply always goes off; the search dialog's stays on to retry.
        EXPECT_EQ(m.ApplyEnabled(), kind == EntryDialogKind::Search);
    }
}

TEST_F(EntryDialogModelTest, OkOnAnUnchangedWebDialogWritesEveryInput) {
    TWebPage e = EntryWithCredentials();
    e.EntryName = "Shown";
    e.NameSet = 0;
    TEntryDialogModel m(e, EntryDialogKind::Web, true, dialogs);
    m.Activate();
    EXPECT_TRUE(m.Ok());
    EXPECT_TRUE(m.Applied());
    EXPECT_EQ(e.EntryName, "") << "the empty name field was written";
}

TEST_F(EntryDialogModelTest, OkOnAnUnchangedSearchDialogOnlyCloses) {
    TWebPage e(EntryKind::Search);
    e.EntryName = "cheap flights";
    e.NameSet = 0;
    e.Address = "left over";
    TEntryDialogModel m(e, EntryDialogKind::Search, true, dialogs);
    m.Activate();
    EXPECT_TRUE(m.Ok());
    EXPECT_FALSE(m.Applied());
    EXPECT_EQ(e.EntryName, "cheap flights");
    EXPECT_EQ(e.Address, "left over");
}

TEST_F(EntryDialogModelTest, ApplyingTheSearchDialogEmptiesTheAddressAndMakesASearchEntry) {
    TWebPage e(EntryKind::Web);
    e.Address = "www.example.com";
    int selections = 0;
    TEntryDialogModel m(e, EntryDialogKind::Search, true, dialogs);
    m.SelectEntry = [&] { ++selections; };
    m.Activate();
    m.EditName("weather today");
    m.Apply();
    EXPECT_EQ(e.Address, "");
    EXPECT_EQ(e.IsSearch, 1);
    EXPECT_EQ(e.EntryName, "weather today");
    EXPECT_EQ(selections, 1);
}

TEST_F(EntryDialogModelTest, FollowExternalLinksIsTheInverseOfLocalOnly) {
    TWebPage e(EntryKind::Web);
    e.LocalOnly = 0;
    TEntryDialogModel m(e, EntryDialogKind::Web, true, dialogs);
    m.Activate();
    EXPECT_TRUE(m.Inputs().FollowExternal);
    m.EditFollowExternal(false);
    m.Apply();
    EXPECT_EQ(e.LocalOnly, 1);
    m.EditFollowExternal(true);
    m.Apply();
    EXPECT_EQ(e.LocalOnly, 0);
}

TEST_F(EntryDialogModelTest, ReadOnlyDialogsWriteNothingAndStillClose) {
    for (auto kind : {EntryDialogKind::Web, EntryDialogKind::Search}) {
        TWebPage e = EntryWithCredentials();
        e.Locked = 1;
        ASSERT_FALSE(TEntryDialogModel::EditableFor(e, false));
        TEntryDialogModel m(e, kind, false, dialogs);
        m.Activate();
        m.EditName("changed anyway"); // the view disables inputs; the model must hold regardless
        EXPECT_TRUE(m.Ok());
        EXPECT_EQ(e.EntryName, "News");
        EXPECT_EQ(e.IsSearch, 0);
    }
    TWebPage free(EntryKind::Web);
    EXPECT_FALSE(TEntryDialogModel::EditableFor(free, true));
    EXPECT_TRUE(TEntryDialogModel::EditableFor(free, false));
}

TEST_F(EntryDialogModelTest, AppliedChangesStayWhenTheDialogIsThenCancelled) {
    TWebPage e = EntryWithCredentials();
    TEntryDialogModel m(e, EntryDialogKind::Web, true, dialogs);
    m.Activate();
    m.EditImages(true);
    m.Apply();
    m.EditBinaries(true); // then Cancel: never applied
    EXPECT_EQ(e.LoadImages, 1);
    EXPECT_EQ(e.LoadBinaries, 0);
}

TEST(FinishEntryDialog, UnnamedEntryFollowsItsAddressAfterAnApply) {
    TWebPage e(EntryKind::Web);
    e.EntryName = "";
    e.Address = "www.example.com";
    FinishEntryDialog(e, true, "");
    EXPECT_EQ(e.EntryName, "www.example.com");
    EXPECT_EQ(e.NameSet, 0);

    e.Address.clear();
    e.EntryName.clear();
    FinishEntryDialog(e, true, "");
    EXPECT_EQ(e.EntryName, "New Page");
}

TEST(FinishEntryDialog, ANameTypedIntoTheFieldMarksTheEntryNamed) {
    TWebPage e(EntryKind::Web);
    e.EntryName = "Mine";
    FinishEntryDialog(e, true, "Mine");
    EXPECT_EQ(e.NameSet, 1);
    TWebPage notApplied(EntryKind::Search);
    FinishEntryDialog(notApplied, false, "typed but cancelled");
    EXPECT_EQ(notApplied.NameSet, 0);
    EXPECT_EQ(notApplied.EntryName, "New Search");
}

TEST(FinishEntryDialog, DepthLabelFollowsSpiderDepth) {
    TWebPage e(EntryKind::Web);
    e.SpiderDepth = 12;
    FinishEntryDialog(e, false, "");
    EXPECT_EQ(e.DepthText, "12");
}

TEST(FitLockLabel, ShrinksUntilTheTextFits) {
    // 10 pixels per point of width for the whole text, height 2 pixels per point.
    auto measure = [](int pt) { return std::pair{pt * 10, pt * 2}; };
    LockLabelFit fit = FitLockLabel(18, 10, 150, 100, measure);
    EXPECT_EQ(fit.PointSize, 14);
    EXPECT_EQ(fit.Left, (150 - 140) / 2);
    EXPECT_GT(fit.Left, 0);
}

TEST(FitLockLabel, HeightAlsoShrinksTheText) {
    auto measure = [](int pt) { return std::pair{10, pt * 4}; };
    // top 20 + height must stay below 80 - 3: height < 57, so 14 points (56 pixels).
    EXPECT_EQ(FitLockLabel(18, 20, 300, 80, measure).PointSize, 14);
}

TEST(FitLockLabel, NeverShrinksBelowSixPoints) {
    int calls = 0;
    auto measure = [&](int pt) {
        ++calls;
        return std::pair{5000 + pt, 10};
    };
    LockLabelFit fit = FitLockLabel(18, 0, 200, 100, measure);
    EXPECT_EQ(fit.PointSize, 6);
    EXPECT_EQ(calls, 13);
    EXPECT_EQ(FitLockLabel(4, 0, 200, 100, measure).PointSize, 4) << "a small size stays";
}

TEST(FitLockLabel, AHugeStoredSizeEndsQuickly) {
    int calls = 0;
    auto measure = [&](int pt) {
        ++calls;
        return std::pair{pt * 10, pt};
    };
    LockLabelFit fit = FitLockLabel(2000000000, 0, 300, 300, measure);
    EXPECT_EQ(fit.PointSize, 29);
    EXPECT_LT(calls, 200);
}

TEST(EntryDialogTopics, EachDialogHasItsOwnHelpTopics) {
    EXPECT_EQ(TopicsFor(EntryDialogKind::Web).Properties, 20);
    EXPECT_EQ(TopicsFor(EntryDialogKind::Web).Retrieval, 21);
    EXPECT_EQ(TopicsFor(EntryDialogKind::Web).Password, 22);
    EXPECT_EQ(TopicsFor(EntryDialogKind::Search).Properties, 18);
    EXPECT_EQ(TopicsFor(EntryDialogKind::Search).Retrieval, 19);
    EXPECT_EQ(TopicsFor(EntryDialogKind::Search).Password, 21);
}

} // namespace
} // namespace gathra
