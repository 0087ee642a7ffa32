#include "Brief/WebList.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

TWebList ListOf(int count) {
    TWebList list;
    for (int i = 0; i < count; ++i)
        list.AddEntry(EntryKind::Web)->EntryName = "e" + std::to_string(i);
    return list;
}

std::vector<std::string> Names(const TWebList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list.Entry(i).EntryName);
    return names;
}

void ExpectRowTopsInOrder(const TWebList& list) {
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.Entry(i).RowTop, 26 * i) << i;
}

TEST(WebListRows, AppendingSetsBottomAndRangeBelowTheLastRow) {
    TWebList list;
    EXPECT_EQ(list.ScrollRange, 0);
    list.AddEntry(EntryKind::Web);
    EXPECT_EQ(list.ScrollRange, 46);
    EXPECT_EQ(list.ListBottom, 46);
    list.AddEntry(EntryKind::Search);
    EXPECT_EQ(list.ScrollRange, 72);
    EXPECT_EQ(list.Entry(1).RowTop, 26);
    EXPECT_TRUE(list.Entry(1).IsSearchEntry());
    EXPECT_EQ(list.SeparatorCount(), 2);
    EXPECT_EQ(list.SeparatorTop(1), 51);
}

TEST(WebListRows, InsertingAndDeletingMoveTheRangeByOneRow) {
    TWebList list = ListOf(3);
    list.InsertEntry(1, EntryKind::Web)->EntryName = "new";
    EXPECT_EQ(Names(list), (std::vector<std::string>{"e0", "new", "e1", "e2"}));
    EXPECT_EQ(list.ScrollRange, 124); // three rows give 98, one more row 26
    ExpectRowTopsInOrder(list);
    list.DeleteEntry(0);
    EXPECT_EQ(list.ScrollRange, 98);
    ExpectRowTopsInOrder(list);
}

TEST(WebListRows, ListEmptiedByDeletingKeepsRange20) {
    TWebList list = ListOf(2);
    list.DeleteEntry(1);
    list.DeleteEntry(0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.ScrollRange, 20);
    EXPECT_EQ(list.SelectedIndex, -1);
    list.AddEntry(EntryKind::Web);
    EXPECT_EQ(list.ScrollRange, 46);
}

TEST(WebListRows, RowOfPointCountsTheScrollPosition) {
    TWebList list = ListOf(5);
    list.ScrollPosition = 30;
    EXPECT_EQ(list.RowOfPoint(0), 1);
    EXPECT_EQ(list.RowOfPoint(21), 1);
    EXPECT_EQ(list.RowOfPoint(22), 2);
    list.ScrollPosition = 0;
    EXPECT_EQ(list.RowOfPoint(25), 0);
    EXPECT_EQ(list.RowOfPoint(26), 1);
    EXPECT_EQ(list.RowOfPoint(-1), -1);
    EXPECT_EQ(list.RowOfPoint(-26), -1);
    EXPECT_EQ(list.RowOfPoint(-27), -2);
}

TEST(WebListRows, AppendingScrollsToTheTopInsertingKeepsTheScroll) {
    TWebList list = ListOf(10);
    list.ScrollPosition = 52;
    list.InsertEntry(3, EntryKind::Web);
    EXPECT_EQ(list.ScrollPosition, 52);
    list.InsertEntry(list.Count(), EntryKind::Web);
    EXPECT_EQ(list.ScrollPosition, 0);
    EXPECT_EQ(list.Count(), 12);
    ExpectRowTopsInOrder(list);
}

TEST(WebListRows, ColumnLinesFollowTheListAndTheView) {
    TWebList list;
    list.ClientHeight = 100;
    list.UpdateColumnLines(35, 400);
    EXPECT_EQ(list.ColumnLineHeight, 120); // range 0 is smaller than the view
    EXPECT_EQ(list.ColumnLine1Left, 34);
    EXPECT_EQ(list.ColumnLine2Left, 399);
    for (int i = 0; i < 3; ++i)
        list.AddEntry(EntryKind::Web); // bottom 98: below the view
    EXPECT_EQ(list.ColumnLineHeight, 120);
    list.AddEntry(EntryKind::Web); // bottom 124 reaches past the view
    EXPECT_EQ(list.ColumnLineHeight, 144);
    list.InsertEntry(0, EntryKind::Web);
    EXPECT_EQ(list.ColumnLineHeight, 170);
    list.DeleteEntry(0);
    EXPECT_EQ(list.ColumnLineHeight, 170); // the bottom (124) is still past the view
    list.DeleteEntry(0);
    EXPECT_EQ(list.ColumnLineHeight, 100); // shrinks to the view's height, not less
    list.UpdateColumnLines(35, 400);
    EXPECT_EQ(list.ColumnLineHeight, 120);
}

TEST(WebListRows, RefusesEntriesBeyondTheFileLimit) {
    TWebList list;
    for (int i = 0; i < TWebList::MaxEntries; ++i)
        ASSERT_NE(list.AddEntry(EntryKind::Web), nullptr);
    EXPECT_TRUE(list.IsFull());
    EXPECT_EQ(list.AddEntry(EntryKind::Web), nullptr);
    EXPECT_EQ(list.InsertEntry(0, EntryKind::Search), nullptr);
    EXPECT_EQ(list.Count(), 32767);
    EXPECT_FALSE(list.Entry(0).IsSearchEntry());
    list.DeleteEntry(5);
    EXPECT_NE(list.InsertEntry(0, EntryKind::Web), nullptr);
}

TEST(WebListSelection, InsertingAboveTheSelectionKeepsTheSameEntry) {
    TWebList list = ListOf(3);
    list.SelectEntry(1);
    list.InsertEntry(1, EntryKind::Web);
    EXPECT_EQ(list.SelectedIndex, 2);
    EXPECT_EQ(list.Selected()->EntryName, "e1");
    list.InsertEntry(3, EntryKind::Web);
    EXPECT_EQ(list.SelectedIndex, 2);
}

TEST(WebListSelection, DeletingBeforeTheSelectionKeepsTheSameEntry) {
    TWebList list = ListOf(3);
    list.SelectEntry(2);
    list.DeleteEntry(0);
    EXPECT_EQ(list.SelectedIndex, 1);
    EXPECT_EQ(list.Selected()->EntryName, "e2");
    list.DeleteEntry(1); // the selected (and last) one
    EXPECT_EQ(list.SelectedIndex, 0);
    EXPECT_EQ(list.Selected()->EntryName, "e1");
}

TEST(WebListSelection, DeletingTheSelectedEntrySelectsTheOneInItsPlace) {
    TWebList list = ListOf(4);
    list.SelectEntry(1);
    list.DeleteEntry(1);
    EXPECT_EQ(list.Selected()->EntryName, "e2");
    list.DeleteEntry(2); // below the selection: unchanged
    EXPECT_EQ(list.Selected()->EntryName, "e2");
    list.DeleteEntry(1);
    list.DeleteEntry(0);
    EXPECT_EQ(list.SelectedIndex, -1);
    EXPECT_EQ(list.Selected(), nullptr);
}

TEST(WebListSelection, DeletingWithoutSelectionSelectsNothing) {
    TWebList list = ListOf(3);
    list.DeleteEntry(1);
    EXPECT_EQ(list.SelectedIndex, -1);
    list.DeleteEntry(7); // outside the list: nothing happens
    EXPECT_EQ(list.Count(), 2);
}

TEST(WebListSelection, SwappingCarriesTheSelectionWithItsEntry) {
    TWebList list = ListOf(4);
    list.SelectEntry(0);
    list.SwapEntries(0, 3);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"e3", "e1", "e2", "e0"}));
    EXPECT_EQ(list.SelectedIndex, 3);
    list.SwapEntries(1, 3);
    EXPECT_EQ(list.SelectedIndex, 1);
    list.SwapEntries(2, 3);
    EXPECT_EQ(list.SelectedIndex, 1);
    ExpectRowTopsInOrder(list);
}

TEST(WebListSelection, SelectingOutsideTheListChangesNothing) {
    TWebList list = ListOf(2);
    list.SelectEntry(1);
    list.SelectEntry(2);
    list.SelectEntry(-1);
    EXPECT_EQ(list.SelectedIndex, 1);
    list.UnselectEntry();
    EXPECT_EQ(list.SelectedIndex, -1);
    EXPECT_FALSE(list.HighlightVisible());
}

TEST(WebListSelection, PointBelowTheLastRowSelectsNothing) {
    TWebList list = ListOf(2);
    list.SelectEntry(0);
    EXPECT_EQ(list.SelectAtPoint(52), -1);
    EXPECT_EQ(list.SelectedIndex, 0);
    list.ScrollPosition = 26;
    EXPECT_EQ(list.SelectAtPoint(3), 1);
    EXPECT_EQ(list.SelectedIndex, 1);
    EXPECT_EQ(list.HighlightTop(), 0);
}

TEST(WebListSelection, ArrowKeys) {
    TWebList list = ListOf(3);
    EXPECT_FALSE(list.MoveSelectionUp()); // no selection: beep
    EXPECT_TRUE(list.MoveSelectionDown());
    EXPECT_EQ(list.SelectedIndex, 0);
    EXPECT_FALSE(list.MoveSelectionUp());
    EXPECT_EQ(list.SelectedIndex, 0);
    EXPECT_TRUE(list.MoveSelectionDown());
    EXPECT_TRUE(list.MoveSelectionDown());
    EXPECT_FALSE(list.MoveSelectionDown());
    EXPECT_EQ(list.SelectedIndex, 2);
    EXPECT_FALSE(TWebList().MoveSelectionDown());
}

TEST(WebListSelection, ColoursOfSelectedAndUnselectedRows) {
    TWebList list;
    list.AddEntry(EntryKind::Web);
    list.AddEntry(EntryKind::Search);
    EXPECT_EQ(list.CheckBackgroundOf(0), RowColour::White);
    EXPECT_EQ(list.CheckBackgroundOf(1), RowColour::Yellow);
    list.SelectEntry(0);
    EXPECT_EQ(list.CheckBackgroundOf(0), RowColour::Grey);
    EXPECT_EQ(list.HighlightColour(), RowColour::Grey);
    list.SelectEntry(1);
    EXPECT_EQ(list.CheckBackgroundOf(0), RowColour::White);
    EXPECT_EQ(list.CheckBackgroundOf(1), RowColour::Navy);
    EXPECT_EQ(list.HighlightColour(), RowColour::Navy);
}

} // namespace
} // namespace gathra
