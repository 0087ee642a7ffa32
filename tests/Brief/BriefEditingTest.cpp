#include "Brief/BriefEditing.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

TWebList ListOf(std::initializer_list<const char*> names) {
    TWebList list;
    for (const char* name : names)
        list.AddEntry(EntryKind::Web)->EntryName = name;
    return list;
}

std::vector<std::string> Names(const TWebList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list.Entry(i).EntryName);
    return names;
}

TEST(BriefCaption, FileNameUpToFirstDotWithFirstLetterRaised) {
    EXPECT_EQ(CreateCaption("C:\\Briefs\\MY.NEWS.BRF"), "My");
    EXPECT_EQ(CreateCaption("/home/u/briefs/1st.brf"), "1st");
    EXPECT_EQ(CreateCaption("/home/u/briefs/LEISURE.brf"), "Leisure");
    EXPECT_EQ(CreateCaption("noext"), "Noext");
    EXPECT_EQ(CreateCaption("/a.b/plain"), "Plain");
    EXPECT_EQ(CreateCaption(""), "");
}

TEST(SortEntries, OrdersByBytesSoCapitalsComeFirst) {
    TWebList list = ListOf({"b", "B", "a"});
    SortEntries(list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"B", "a", "b"}));
    TWebList other = ListOf({"beta", "Alpha", "alpha"});
    SortEntries(other);
    EXPECT_EQ(Names(other), (std::vector<std::string>{"Alpha", "alpha", "beta"}));
}

// The exchange sort, written out plainly on the entries themselves: the order that sorting must
// give, down to where entries of equal names end up.
std::vector<std::string> ExchangeSorted(std::vector<std::pair<std::string, std::string>>& items) {
    for (size_t i = 0; i < items.size(); ++i)
        for (size_t j = i + 1; j < items.size(); ++j)
            if (items[j].first < items[i].first) std::swap(items[i], items[j]);
    std::vector<std::string> tags;
    for (auto& item : items)
        tags.push_back(item.second);
    return tags;
}

TEST(SortEntries, EqualNamesEndWhereTheExchangeSortPutsThem) {
    unsigned seed = 7;
    for (int round = 0; round < 20; ++round) {
        TWebList list;
        std::vector<std::pair<std::string, std::string>> items;
        int n = 1 + round * 3;
        for (int k = 0; k < n; ++k) {
            seed = seed * 1103515245u + 12345u;
            std::string name(1, static_cast<char>('a' + (seed >> 16) % 4));
            if ((seed >> 8) % 3 == 0) name[0] = static_cast<char>(name[0] - 'a' + 'A');
            TWebPage* entry = list.AddEntry(EntryKind::Web);
            entry->EntryName = name;
            entry->Address = std::to_string(k);
            items.emplace_back(name, entry->Address);
        }
        SortEntries(list);
        std::vector<std::string> addresses;
        for (int k = 0; k < list.Count(); ++k) {
            addresses.push_back(list.Entry(k).Address);
            EXPECT_EQ(list.Entry(k).RowTop, 26 * k);
        }
        EXPECT_EQ(addresses, ExchangeSorted(items)) << "round " << round;
    }
    // bytes above 127 sort after ASCII
    TWebList bytes = ListOf({"\xe9t\xe9", "zoo", "Zed"});
    SortEntries(bytes);
    EXPECT_EQ(Names(bytes), (std::vector<std::string>{"Zed", "zoo", "\xe9t\xe9"}));
}

TEST(SortEntries, SelectionStaysAtTheSameRow) {
    TWebList list = ListOf({"c", "b", "a"});
    list.SelectEntry(0);
    SortEntries(list);
    EXPECT_EQ(list.SelectedIndex, 0);
    EXPECT_EQ(list.Entry(0).EntryName, "a");
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.Entry(i).RowTop, 26 * i);
}

TEST(PasteEntry, GoesFirstAndTheSelectionFollowsItsEntry) {
    TWebList list = ListOf({"one", "two"});
    list.SelectEntry(1);
    TWebPage buffer(EntryKind::Search);
    buffer.EntryName = "query";
    PasteEntry(list, buffer);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"query", "one", "two"}));
    EXPECT_TRUE(list.Entry(0).IsSearchEntry());
    EXPECT_EQ(list.SelectedIndex, 2);
}

TEST(DropEntry, MovingWithinABriefShiftsTheRowsBetween) {
    TWebList list = ListOf({"0", "1", "2"});
    list.SelectEntry(0);
    EXPECT_TRUE(DropEntry(list, list.Entry(0), 2, true, false));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"1", "2", "0"}));
    EXPECT_EQ(list.SelectedIndex, 2);
    // and back up again
    EXPECT_TRUE(DropEntry(list, list.Entry(2), 0, true, false));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(list.SelectedIndex, 0);
}

TEST(DropEntry, OntoItsOwnRowChangesNothing) {
    TWebList list = ListOf({"0", "1", "2"});
    list.SelectEntry(2);
    EXPECT_FALSE(DropEntry(list, list.Entry(2), 2, true, false));
    // past the end while moving means the last row, which is its own
    EXPECT_FALSE(DropEntry(list, list.Entry(2), 9, true, false));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"0", "1", "2"}));
}

TEST(DropEntry, CopyWithinABriefSelectsTheCopy) {
    TWebList list = ListOf({"0", "1", "2"});
    list.SelectEntry(0);
    TWebPage copy = list.Entry(0);
    EXPECT_TRUE(DropEntry(list, copy, 9, true, true));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"0", "1", "2", "0"}));
    EXPECT_EQ(list.SelectedIndex, 3);
}

TEST(DropEntry, FromAnotherBriefInsertsACopyAndKeepsTheSelectedEntry) {
    TWebList list = ListOf({"a", "b"});
    list.SelectEntry(1);
    TWebPage source(EntryKind::Web);
    source.EntryName = "x";
    source.Address = "example.org";
    EXPECT_TRUE(DropEntry(list, source, 1, false, false));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "x", "b"}));
    EXPECT_EQ(list.Entry(1).Address, "example.org");
    EXPECT_EQ(list.SelectedIndex, 2);
    EXPECT_TRUE(DropEntry(list, source, 50, false, false));
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Entry(3).EntryName, "x");
}

TEST(RowHitTesting, ControlsInFrontOfHighlightAndPattern) {
    TWebList list;
    list.AddEntry(EntryKind::Web);
    list.AddEntry(EntryKind::Search);
    ColumnEdges e = ColumnEdges::ForWidth(533);
    EXPECT_EQ(HitRowPart(list, e, 10, 10), RowPart::CheckMark);
    EXPECT_EQ(HitRowPart(list, e, 100, 10), RowPart::NameLabel);
    EXPECT_EQ(HitRowPart(list, e, 500, 10), RowPart::DepthLabel);
    EXPECT_EQ(HitRowPart(list, e, 100, 22), RowPart::ScrollBox);
    EXPECT_EQ(HitRowPart(list, e, 100, 26 + 22), RowPart::SearchShape);
    EXPECT_EQ(HitRowPart(list, e, 100, 60), RowPart::None);
    list.SelectEntry(1);
    EXPECT_EQ(HitRowPart(list, e, 100, 26 + 22), RowPart::Highlight);
    EXPECT_EQ(HitRowPart(list, e, 100, 26 + 10), RowPart::NameLabel);
}

TEST(RowHitTesting, DragRules) {
    EXPECT_FALSE(BeginsDrag(RowPart::ScrollBox));
    EXPECT_TRUE(BeginsDrag(RowPart::Highlight));
    EXPECT_TRUE(BeginsDrag(RowPart::CheckMark));
    EXPECT_FALSE(AcceptsDrop(RowPart::SearchShape, 0, 2));
    EXPECT_FALSE(AcceptsDrop(RowPart::NameLabel, 2, 2));
    EXPECT_TRUE(AcceptsDrop(RowPart::NameLabel, 3, 2));
    EXPECT_TRUE(AcceptsDrop(RowPart::Highlight, 0, -1));
}

TEST(RowArithmetic, RowOfPointCountsTheScrollPosition) {
    TWebList list;
    list.ScrollPosition = 30;
    EXPECT_EQ(list.RowOfPoint(0), 1);
    EXPECT_EQ(list.RowOfPoint(21), 1);
    EXPECT_EQ(list.RowOfPoint(22), 2);
}

} // namespace
} // namespace gathra
