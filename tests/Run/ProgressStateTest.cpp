#include "Run/ProgressState.h"
#include "Run/RunFlags.h"
#include "Platform/SocketCanceller.h"
#include "support/RecordingDialogs.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

// A font of fixed pitch: every byte is 7 pixels wide.
int FixedPitch(std::string_view s) {
    return static_cast<int>(s.size()) * 7;
}

TEST(FitLabelText, ShortTextStaysWhole) {
    EXPECT_EQ(FitLabelText("example.com/index.htm", FixedPitch, 100), "example.com/index.htm");
}

TEST(FitLabelText, LongAddressIsCutWithDotsAndFits) {
    std::string address = "www.example.com/" + std::string(200, 'a') + "/page.htm";
    std::string shown = FitLabelText(address, FixedPitch, 100);
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_EQ(address.substr(0, shown.size() - 3), shown.substr(0, shown.size() - 3));
    EXPECT_LT(FixedPitch(shown) + 100, kProgressDialogWidth - 30);
    // One more byte would not have fitted.
    std::string longer = address.substr(0, shown.size() - 2) + "...";
    EXPECT_GE(FixedPitch(longer) + 100, kProgressDialogWidth - 30);
}

TEST(FitLabelText, OnlyTheFirstLineIsShown) {
    std::string shown = FitLabelText("first line\r\nsecond line", FixedPitch, 0);
    EXPECT_EQ(shown, "first line...");
    EXPECT_EQ(FitLabelText("name\tcomment", FixedPitch, 0), "name...");
}

TEST(FitLabelText, LeadingBlanksAndBreaksAreSkipped) {
    EXPECT_EQ(FitLabelText(" \t\r\n  abc", FixedPitch, 0, 10000), "abc...");
}

TEST(FitLabelText, AtMost255BytesAreTaken) {
    std::string shown = FitLabelText(std::string(1000000, 'x'), FixedPitch, 0, 1000000);
    EXPECT_EQ(shown, std::string(255, 'x') + "...");
    EXPECT_EQ(FitLabelText(std::string(255, 'x'), FixedPitch, 0, 1000000), std::string(255, 'x'));
}

TEST(FitLabelText, NothingFitsGivesDots) {
    auto huge = [](std::string_view) { return 100000; };
    EXPECT_EQ(FitLabelText("abc", huge, 0), "...");
    EXPECT_EQ(FitLabelText("", huge, 0), "");
}

class ProgressStateTest : public ::testing::Test {
protected:
    test::RecordingDialogs dialogs;
    RunFlags flags;
    SocketCanceller canceller;
    TProgressState state{dialogs, flags, canceller};
};

TEST_F(ProgressStateTest, LabelsKeepTheirFittedCaptions) {
    state.UpdateItem(ProgressLabel::CurrAddr, "a\nb", FixedPitch, 80);
    state.UpdateItem(ProgressLabel::PagesLoaded, "12", FixedPitch, 80);
    EXPECT_EQ(state.Caption(ProgressLabel::CurrAddr), "a...");
    EXPECT_EQ(state.Caption(ProgressLabel::PagesLoaded), "12");
    EXPECT_EQ(state.Caption(ProgressLabel::BriefName), "");
}

TEST_F(ProgressStateTest, ProgressIsHeldWithinItsRange) {
    state.UpdateProgress(55);
    EXPECT_EQ(state.Progress(), 55);
    state.UpdateProgress(140);
    EXPECT_EQ(state.Progress(), 100);
    state.UpdateProgress(-3);
    EXPECT_EQ(state.Progress(), 0);
}

TEST_F(ProgressStateTest, StopAnsweredNoChangesNothing) {
    flags.RunActive = 1;
    dialogs.Answers = {1};
    state.AbortClick();
    ASSERT_EQ(dialogs.Log.size(), 1u);
    EXPECT_EQ(dialogs.Log[0].Text, "Are you sure you want to stop this brief?");
    EXPECT_EQ(dialogs.Log[0].Caption, "Stop Brief?");
    EXPECT_EQ(flags.AbortFlag.load(), 0);
    EXPECT_FALSE(canceller.Cancelled());
    EXPECT_TRUE(state.ButtonsEnabled());
    EXPECT_EQ(flags.QuestionOpen.load(), 0);
}

TEST_F(ProgressStateTest, StopConfirmedRaisesTheFlagCancelsTheSocketAndDisablesButtons) {
    flags.RunActive = 1;
    dialogs.Answers = {0};
    state.AbortClick();
    EXPECT_EQ(flags.AbortFlag.load(), 1);
    EXPECT_TRUE(canceller.Cancelled());
    EXPECT_FALSE(state.ButtonsEnabled());
    EXPECT_EQ(flags.QuestionOpen.load(), 0);
}

TEST_F(ProgressStateTest, StopConfirmedAfterTheRunEndedSetsNoFlag) {
    flags.RunActive = 0;
    dialogs.Answers = {0};
    state.AbortClick();
    EXPECT_EQ(flags.AbortFlag.load(), 0);
    EXPECT_FALSE(canceller.Cancelled());
    EXPECT_TRUE(state.ButtonsEnabled());
}

// The run waits for QuestionOpen before it frees the dialog, so it must stand while Ask is up.
class FlagWatchingDialogs : public Dialogs {
public:
    explicit FlagWatchingDialogs(RunFlags& f) : flags(f) {}
    void ShowMessage(const std::string&, const std::string&, bool) override {}
    int Ask(const std::string&, const std::string&) override {
        openDuringQuestion = flags.QuestionOpen.load();
        return 0;
    }
    RunFlags& flags;
    int openDuringQuestion = -1;
};

TEST(ProgressQuestion, QuestionOpenStandsWhileAsking) {
    RunFlags flags;
    flags.RunActive = 1;
    SocketCanceller canceller;
    FlagWatchingDialogs dialogs(flags);
    TProgressState state(dialogs, flags, canceller);
    state.SkipClick();
    EXPECT_EQ(dialogs.openDuringQuestion, 1);
    EXPECT_EQ(flags.QuestionOpen.load(), 0);
}

TEST_F(ProgressStateTest, SkipKeepsButtonsUntilStopFollows) {
    flags.RunActive = 1;
    dialogs.Answers = {0, 0};
    state.SkipClick();
    EXPECT_EQ(dialogs.Log[0].Text, "Are you sure you want to skip this entry?");
    EXPECT_EQ(dialogs.Log[0].Caption, "Skip Entry?");
    EXPECT_EQ(flags.SkipFlag.load(), 1);
    EXPECT_EQ(flags.AbortFlag.load(), 0);
    EXPECT_TRUE(canceller.Cancelled());
    EXPECT_TRUE(state.ButtonsEnabled());
    state.AbortClick();
    EXPECT_FALSE(state.ButtonsEnabled());
}

TEST_F(ProgressStateTest, TheUserCannotCloseTheDialog) {
    EXPECT_FALSE(state.CanClose());
}

} // namespace
} // namespace gathra
