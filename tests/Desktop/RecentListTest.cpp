#include "Desktop/RecentList.h"
#include "Desktop/WindowTables.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

TEST(RecentList, FiveOpensKeepTheLastFourNewestFirst) {
    TRecentList recent;
    for (const char* p : {"/b/a.brf", "/b/b.brf", "/b/c.brf", "/b/d.brf", "/b/e.brf"})
        recent.AddToRecent(p, nullptr);
    EXPECT_EQ(recent.Captions(),
              (std::vector<std::string>{"&1 e.brf", "&2 d.brf", "&3 c.brf", "&4 b.brf"}));
    auto slots = recent.Slots();
    EXPECT_EQ(slots[3], "/b/b.brf");
}

TEST(RecentList, ReopeningMovesToTheTopWithoutDuplicate) {
    TRecentList recent;
    int w1 = 0, w2 = 0;
    recent.AddToRecent("/b/a.brf", &w1);
    recent.AddToRecent("/b/b.brf", &w2);
    recent.AddToRecent("/b/a.brf", &w1);
    EXPECT_EQ(recent.Captions(), (std::vector<std::string>{"&1 a.brf", "&2 b.brf"}));
    EXPECT_EQ(recent.Window(0), &w1);
    EXPECT_EQ(recent.Window(1), &w2);
    recent.AddToRecent("/b/A.brf", nullptr); // letter case counts
    EXPECT_EQ(recent.Count(), 3);
}

TEST(RecentList, ClickBringsAnOpenWindowFrontOrOpensTheFile) {
    TRecentList recent;
    int w = 0;
    recent.AddToRecent("/b/a.brf", &w);
    recent.AddToRecent("/b/b.brf", nullptr);
    auto name = [](TRecentList::WindowRef) { return std::string("/b/a.brf"); };
    EXPECT_EQ(recent.Click(1, name).BringToFront, &w);
    EXPECT_EQ(recent.Click(0, name).OpenPath, "/b/b.brf");
    auto renamed = [](TRecentList::WindowRef) { return std::string("/b/other.brf"); };
    auto nothing = recent.Click(1, renamed);
    EXPECT_EQ(nothing.BringToFront, nullptr);
    EXPECT_TRUE(nothing.OpenPath.empty());
    recent.ForgetWindow(&w);
    EXPECT_EQ(recent.Click(1, name).OpenPath, "/b/a.brf");
}

TEST(RecentList, RestoreAppendsAfterTheReopenedBriefs) {
    TRecentList recent;
    recent.AddToRecent("/b/open.brf", nullptr);
    recent.Restore({"", "/b/open.brf", "/b/x.brf", "/b/y.brf", "/b/z.brf"});
    // four records are examined: the empty slot, the duplicate, x and y
    EXPECT_EQ(recent.Captions(), (std::vector<std::string>{"&1 open.brf", "&2 x.brf", "&3 y.brf"}));
}

TEST(WindowTables, SlotsCompactWhenAWindowCloses) {
    TWindowTables<int, int> t;
    int a = 0, b = 0, c = 0;
    EXPECT_EQ(t.AddBrief(&a), 0);
    EXPECT_EQ(t.AddBrief(&b), 1);
    EXPECT_EQ(t.AddBrief(&c), 2);
    t.AddChild(&a);
    t.AddChild(&c); // b failed to load and never entered the window list
    t.RemoveBrief(&b, &b);
    EXPECT_EQ(t.BriefIndex(&c), 1);
    EXPECT_EQ(t.WindowCount(), 2);
    EXPECT_EQ(t.CurrentBrief, 1);
    t.RemoveBrief(&c, &c);
    t.RemoveBrief(&a, &a);
    EXPECT_EQ(t.CurrentBrief, -1);
    EXPECT_EQ(t.WindowCount(), 0);
}

TEST(WindowTables, RefusesMoreThan201Windows) {
    TWindowTables<int, int> t;
    std::vector<int> windows(202);
    for (int i = 0; i < 201; ++i) {
        EXPECT_EQ(t.AddBrief(&windows[i]), i);
        EXPECT_TRUE(t.AddChild(&windows[i]));
    }
    EXPECT_EQ(t.AddBrief(&windows[201]), -1);
    EXPECT_FALSE(t.AddChild(&windows[201]));
    EXPECT_EQ(t.CurrentBrief, 200);
}

} // namespace
} // namespace gathra
