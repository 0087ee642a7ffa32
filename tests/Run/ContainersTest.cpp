#include "Run/HashTable.h"
#include "Run/LList.h"
#include "Run/TocList.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace gathra {
namespace {

TEST(PageTable, FindOnEmptyTableYieldsNone) {
    THashTable table(97);
    EXPECT_EQ(table.Find("host/a.html"), nullptr);
}

TEST(PageTable, NewestRecordOfAKeyWins) {
    THashTable table(97);
    table.Add("host/a", "GA0.htm", 0, 2, 1, nullptr, 0);
    table.Add("host/a", "GA1.htm", 0, 1, 0, nullptr, 0);
    ASSERT_NE(table.Find("host/a"), nullptr);
    EXPECT_EQ(table.Find("host/a")->LocalName(), "GA1.htm");
    EXPECT_EQ(table.Find("host/a")->Depth, 1);
}

TEST(PageTable, KeysDifferingInCaseAreDifferent) {
    THashTable table(97);
    table.Add("host/Page", "GA0.htm", 0, 1, 1, nullptr, 0);
    EXPECT_EQ(table.Find("host/page"), nullptr);
    EXPECT_NE(table.Find("host/Page"), nullptr);
}

TEST(PageTable, AnagramsShareABucketAndAreBothFound) {
    THashTable table(97);
    EXPECT_EQ(table.BucketOf("abc"), table.BucketOf("cba"));
    table.Add("abc", "GA0.htm", 0, 1, 1, nullptr, 0);
    table.Add("cba", "GA1.htm", 0, 1, 1, nullptr, 0);
    EXPECT_EQ(table.Find("abc")->LocalName(), "GA0.htm");
    EXPECT_EQ(table.Find("cba")->LocalName(), "GA1.htm");
    EXPECT_EQ(table.Bucket(table.BucketOf("abc")).Count(), 2);
}

TEST(PageTable, BucketIsUnsignedByteSumModuloCount) {
    THashTable table(97);
    EXPECT_EQ(table.BucketOf(""), 0);
    EXPECT_EQ(table.BucketOf("\xff\x01"), (255 + 1) % 97);
}

TEST(PageTable, AddLinksTheTocNodeToItsRecord) {
    THashTable table(97);
    TOCList toc;
    toc.Append("");
    PageRecord* record = table.Add("host/", "GA0.htm", 0, 1, 1, toc.Last(), 0);
    EXPECT_EQ(toc.Last()->Page, record);
    EXPECT_EQ(record->Toc, toc.Last());
    table.Add("host/b", "GA1.htm", 0, 1, 1, nullptr, 0);
    EXPECT_EQ(toc.Last()->Page, record);
}

// The table keeps an index of the newest record of each key beside its bucket chains; whatever
// the order of additions, a lookup must give exactly the record a walk of the key's bucket
// finds first.
TEST(PageTable, LookupAgreesWithTheBucketChains) {
    THashTable table(97);
    std::mt19937 random(8);
    const std::string letters("ab\0c", 4); // few letters: many repeats, anagrams and collisions
    std::vector<std::string> keys;
    for (int i = 0; i < 3000; ++i) {
        std::string key;
        for (int n = static_cast<int>(random() % 5); n > 0; --n)
            key += letters[random() % letters.size()];
        keys.push_back(key);
        table.Add(key, "GA" + std::to_string(i) + ".htm", 0, i, 1, nullptr, 0);
    }
    keys.push_back("never added");
    for (const std::string& key : keys) {
        PageRecord* chained = table.Bucket(table.BucketOf(key)).Find(key);
        EXPECT_EQ(table.Find(key), chained) << key;
    }
    // A key is cut at its first NUL, as the stored copies are.
    ASSERT_NE(table.Find(std::string("a\0zz", 4)), nullptr);
    EXPECT_EQ(table.Find(std::string("a\0zz", 4)), table.Find("a"));
    EXPECT_EQ(table.Find("a")->Url(), "a");
    int total = 0;
    for (int b = 0; b < table.BucketCount(); ++b)
        total += table.Bucket(b).Count();
    EXPECT_EQ(total, 3000); // every addition is chained, repeats included
}

// Many distinct keys, as a page of thousands of links adds: the index grows through several
// sizes and still answers every key with the newest record of its chain.
TEST(PageTable, LookupStaysRightAsTheIndexGrows) {
    THashTable table(97);
    for (int i = 0; i < 20000; ++i) {
        std::string key = "host/item/p" + std::to_string(i) + ".htm";
        table.Add(key, "GA" + std::to_string(i) + ".htm", 0, 0, 0, nullptr, 0);
        if (i % 7 == 0) table.Add(key, "again", 0, 0, 1, nullptr, 0);
    }
    for (int i = 0; i < 20000; ++i) {
        std::string key = "host/item/p" + std::to_string(i) + ".htm";
        PageRecord* found = table.Find(key);
        ASSERT_NE(found, nullptr) << key;
        EXPECT_EQ(found, table.Bucket(table.BucketOf(key)).Find(key));
        EXPECT_EQ(found->LocalName(), i % 7 == 0 ? "again" : "GA" + std::to_string(i) + ".htm");
    }
    EXPECT_EQ(table.Find("host/item/p20000.htm"), nullptr);
}

TEST(PageTable, BucketListFindsTheNewestOfAKeyAmongOthers) {
    TPageLList list;
    EXPECT_EQ(list.Find("x"), nullptr);
    list.Add("x", "GA0.htm", 0, 1, 1, nullptr, 0);
    list.Add("y", "GA1.htm", 0, 1, 1, nullptr, 0);
    list.Add("x", "GA2.htm", 0, 1, 0, nullptr, 1);
    list.Add("z", "GA3.htm", 0, 1, 1, nullptr, 0);
    ASSERT_NE(list.Find("x"), nullptr);
    EXPECT_EQ(list.Find("x")->LocalName(), "GA2.htm");
    EXPECT_EQ(list.Find("x")->FramePage, 1);
    EXPECT_EQ(list.Head()->LocalName(), "GA3.htm");
    EXPECT_EQ(list.Count(), 4);
}

// Keys of every length, short ones sharing the table's blocks and long ones (a hostile page's
// hundred-kilobyte link) kept apart, each found again as it was given.
TEST(PageTable, KeysOfEveryLengthAreKeptAsGiven) {
    THashTable table(97);
    std::vector<std::string> keys;
    for (size_t size : {1u, 2u, 100u, 16383u, 16384u, 16385u, 65535u, 65536u, 100000u})
        for (char c : {'a', 'b'})
            keys.push_back(std::string(size, c));
    for (int i = 0; i < 5000; ++i)
        keys.push_back("host/dir/page" + std::to_string(i) + ".htm?q=" + std::to_string(i * 31));
    for (size_t i = 0; i < keys.size(); ++i)
        table.Add(keys[i], "GA" + std::to_string(i) + ".htm", 0, 1, 0, nullptr, 0);
    for (size_t i = 0; i < keys.size(); ++i) {
        PageRecord* found = table.Find(keys[i]);
        ASSERT_NE(found, nullptr) << i;
        EXPECT_EQ(found->Url(), keys[i]);
        EXPECT_EQ(found->LocalName(), "GA" + std::to_string(i) + ".htm");
    }
    EXPECT_EQ(table.Find(std::string(99999, 'a')), nullptr);
}

// Keys of one folder keep the folder once; keys that split differently, or whose parts would
// run together alike ("http://h/ab/c" and "http://h/a/bc"), must still be told apart.
TEST(PageTable, KeysSharingFoldersAreToldApartAndRenamesKeepTheKey) {
    THashTable table(97);
    const std::string folder = "http://example.org/docs/";
    const std::vector<std::string> keys = {
        folder, // nothing after the folder
        folder + "a.htm",
        folder + "a.htm?q=1/2", // a '/' in the query moves the split
        "http://example.org/docs/sub/a.htm",
        "http://example.org/doc/sa.htm", // the same bytes split elsewhere
        "http://example.org/docsa.htm",
        "http://example.org/" + std::string(5000, 'f') + "/x.htm", // a folder too long to share
        "mailto:someone@example.org",                              // no folder at all
        "short/a",
    };
    for (size_t i = 0; i < keys.size(); ++i)
        table.Add(keys[i], "GA" + std::to_string(i) + ".htm", 0, 1, 0, nullptr, 0);
    for (size_t i = 0; i < keys.size(); ++i) {
        PageRecord* found = table.Find(keys[i]);
        ASSERT_NE(found, nullptr) << keys[i];
        EXPECT_EQ(found->Url(), keys[i]);
        EXPECT_EQ(found->LocalName(), "GA" + std::to_string(i) + ".htm");
        EXPECT_EQ(table.Bucket(table.BucketOf(keys[i])).Find(keys[i]), found);
    }
    for (const std::string& absent :
         {folder.substr(0, folder.size() - 1), folder + "a.ht", folder + "a.htmx",
          folder + "a.htm/", std::string("http://example.org/do")})
        EXPECT_EQ(table.Find(absent), nullptr) << absent;
    PageRecord* record = table.Find(folder + "a.htm");
    table.Rename(*record, "GA1.txt");
    EXPECT_EQ(record->LocalName(), "GA1.txt");
    EXPECT_EQ(record->Url(), folder + "a.htm");
    EXPECT_EQ(table.Find(folder + "a.htm"), record);
}

TEST(TextQueue, RemovingTheOnlyRecordEmptiesTheList) {
    TLList list;
    list.Append("a", 1);
    EXPECT_EQ(list.Remove(list.First()), nullptr);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.First(), nullptr);
    list.Append("b", 0);
    ASSERT_NE(list.First(), nullptr);
    EXPECT_EQ(list.First()->Text, "b");
    list.Append("c", 0);
    EXPECT_EQ(list.First()->Next->Text, "c");
}

TEST(TextQueue, DrainsInInsertionOrder) {
    TLList list;
    for (int i = 0; i < 5; ++i)
        list.Append(std::to_string(i), static_cast<std::uint8_t>(i));
    std::string seen;
    TextRecord* r = list.First();
    while (r != nullptr) {
        seen += r->Text;
        r = list.Remove(r);
    }
    EXPECT_EQ(seen, "01234");
}

// A level queues thousands of addresses of every length (a hostile page's hundred-kilobyte
// link among them) while the level before drains; each comes out whole, in order, with its flag.
TEST(TextQueue, LongQueuesOfEveryLengthDrainWhole) {
    TLList list;
    std::deque<std::pair<std::string, std::uint8_t>> expected;
    std::mt19937 random(17);
    int appended = 0;
    auto append = [&] {
        const size_t size = appended % 997 == 0 ? 100000 : random() % 120;
        std::string text(size, static_cast<char>('a' + appended % 26));
        if (!text.empty()) text[0] = '#';
        const auto flag = static_cast<std::uint8_t>(appended % 2);
        list.Append(text, flag);
        expected.emplace_back(text, flag);
        ++appended;
    };
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 300; ++i)
            append();
        for (int i = 0; i < (round % 2 == 0 ? 150 : 450) && list.First() != nullptr; ++i) {
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(list.First()->Text, expected.front().first);
            EXPECT_EQ(list.First()->Flag, expected.front().second);
            list.Remove(list.First());
            expected.pop_front();
            ASSERT_EQ(list.Count(), static_cast<int>(expected.size()));
        }
    }
    size_t walked = 0;
    for (TextRecord* r = list.First(); r != nullptr; r = r->Next, ++walked)
        EXPECT_EQ(r->Text, expected[walked].first);
    EXPECT_EQ(walked, expected.size());
}

TEST(TextQueue, RemoveOfAStrangerReturnsNone) {
    TLList a, b;
    a.Append("x", 0);
    b.Append("y", 0);
    EXPECT_EQ(a.Remove(b.First()), nullptr);
    EXPECT_EQ(a.Count(), 1);
    TLList empty;
    EXPECT_EQ(empty.Remove(a.First()), nullptr);
}

TEST(TableOfContents, DeepAndLongTreesAreFreedWithoutRecursion) {
    auto root = std::make_unique<TOCList>();
    TOCList* current = root.get();
    for (int i = 0; i < 200000; ++i) {
        current->Append("t");
        current = current->Last()->ChildList();
    }
    for (int i = 0; i < 200000; ++i)
        root->Append("s");
    EXPECT_EQ(root->Count(), 200001);
    root.reset(); // must not overflow the stack
}

// Records and the spider hold on to nodes while their list grows through blocks of every size.
TEST(TableOfContents, NodesKeepTheirOrderAndPlaceAsTheListGrows) {
    TOCList toc;
    std::vector<TocNode*> appended;
    for (int i = 0; i < 5000; ++i) {
        toc.Append(std::to_string(i));
        appended.push_back(toc.Last());
        if (i % 3 == 0) toc.Last()->ChildList()->Append("child of " + std::to_string(i));
    }
    ASSERT_EQ(toc.Count(), 5000);
    EXPECT_EQ(toc.First(), appended.front());
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(toc.At(i), appended[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(toc.At(i)->Title(), std::to_string(i));
        EXPECT_EQ(toc.At(i)->Children != nullptr, i % 3 == 0);
    }
    EXPECT_EQ(toc.At(3000)->ChildList()->First()->Title(), "child of 3000");
}

TEST(TableOfContents, FirstAndLastFollowAppends) {
    TOCList toc;
    EXPECT_EQ(toc.First(), nullptr);
    EXPECT_EQ(toc.Last(), nullptr);
    toc.Append("one");
    toc.Append("two");
    EXPECT_EQ(toc.First()->Title(), "one");
    EXPECT_EQ(toc.Last()->Title(), "two");
    EXPECT_TRUE(toc.Last()->Anchor().empty());
    EXPECT_EQ(toc.Last()->Children, nullptr); // made when the first child comes
    EXPECT_EQ(toc.Last()->ChildList()->Count(), 0);
    EXPECT_EQ(toc.Last()->ChildList(), toc.Last()->Children.get());
}

} // namespace
} // namespace gathra
