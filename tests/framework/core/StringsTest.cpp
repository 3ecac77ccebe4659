#include "framework/core/Strings.h"
#include "framework/core/TextCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

TEST(TextCompare, EqualityFoldsCaseOnlyNotAccents)
{
    EXPECT_TRUE(SameText("émile", "Émile"));
    EXPECT_TRUE(SameText("BOB", "bob"));
    EXPECT_FALSE(SameText("émile", "emile"));
    EXPECT_FALSE(SameText("bob", "bobby"));
    EXPECT_TRUE(SameText("ÇA", "ça"));
}

TEST(TextCompare, AccentedLettersSortBesideTheirBaseLetter)
{
    EXPECT_LT(CompareText("bob", "Émile"), 0);
    EXPECT_LT(CompareText("Émile", "zed"), 0);
    EXPECT_GT(CompareText("Eva", "Émile"), 0); // "É" sorts as "e", so "em" < "ev"
}

TEST(TextCompare, OrderIsTotalAndConsistentWithEquality)
{
    std::vector<std::string> names = {"bob", "Bob", "BOB", "émile", "Émile",    "emile",
                                      "Zed", "zed", "a",   "",      "\xff\xfe", "ab"};
    for (const auto& a : names)
        for (const auto& b : names) {
            EXPECT_EQ(CompareText(a, b) == 0, a == b) << a << " vs " << b;
            EXPECT_EQ(CompareText(a, b), -CompareText(b, a)) << a << " vs " << b;
        }
    // Texts equal without regard to case sort next to each other.
    std::sort(names.begin(), names.end(), [](auto& a, auto& b) { return CompareText(a, b) < 0; });
    for (size_t i = 0; i + 2 < names.size(); ++i)
        if (SameText(names[i], names[i + 2])) {
            EXPECT_TRUE(SameText(names[i], names[i + 1]));
        }
}

TEST(TextCompare, FoldCaseKeysMatchSameText)
{
    EXPECT_EQ(FoldCase("Émile"), FoldCase("émile"));
    EXPECT_NE(FoldCase("Émile"), FoldCase("emile"));
    EXPECT_EQ(FoldCase("ITEMS"), "items");
}

TEST(StringList, SortedListInsertsAtSortedPlace)
{
    TStringList list(true);
    for (const char* name : {"zed", "Émile", "alice", "Bob", "émile"})
        list.Add(name);
    EXPECT_EQ(list.Items(), (std::vector<std::string>{"alice", "Bob", "Émile", "émile", "zed"}));
}

TEST(StringList, IndexOfIgnoresCaseInBothModes)
{
    for (bool sorted : {false, true}) {
        TStringList list(sorted);
        list.Add("Émile");
        list.Add("Bob");
        list.Add("carl");
        EXPECT_EQ(list.IndexOf("bob"), sorted ? 0 : 1);
        EXPECT_GE(list.IndexOf("ÉMILE"), 0);
        EXPECT_EQ(list.IndexOf("emile"), -1);
        EXPECT_EQ(list.IndexOf("nobody"), -1);
    }
}

TEST(StringList, SortedIndexOfFindsEveryEntryOfALargeList)
{
    std::mt19937 random(7);
    TStringList list(true);
    std::vector<std::string> added;
    for (int i = 0; i < 2000; ++i) {
        std::string name = "n" + std::to_string(random() % 100000);
        if (i % 3 == 0)
            name[0] = 'N';
        added.push_back(name);
        list.Add(name);
    }
    for (const auto& name : added)
        ASSERT_GE(list.IndexOf(name), 0) << name;
    EXPECT_TRUE(std::is_sorted(list.Items().begin(), list.Items().end(),
                               [](auto& a, auto& b) { return CompareText(a, b) < 0; }));
}

TEST(StringList, DeleteOfMinusOneDeletesNothing)
{
    TStringList list;
    list.Add("a");
    list.Delete(-1);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_THROW(list.Delete(1), EListError);
    EXPECT_THROW(list.Get(5), EListError);
}

TEST(StringList, InsertIntoASortedListIsRefused)
{
    TStringList list(true);
    EXPECT_THROW(list.Insert(0, "x"), EListError);
}

TEST(Utf8, EncodesEachSequenceLengthAndReadsItBackFromTheLeadByte)
{
    const struct {
        char32_t c;
        const char* bytes;
    } cases[] = {{U'A', "A"},
                 {U'\x7F', "\x7F"},
                 {U'é', "\xC3\xA9"},
                 {U'\x7FF', "\xDF\xBF"},
                 {U'€', "\xE2\x82\xAC"},
                 {U'\xFFFF', "\xEF\xBF\xBF"},
                 {U'\x1F600', "\xF0\x9F\x98\x80"}};
    for (const auto& c : cases) {
        const std::string bytes = utf8Of(c.c);
        EXPECT_EQ(bytes, c.bytes) << uint32_t(c.c);
        EXPECT_EQ(utf8SequenceLength(static_cast<unsigned char>(bytes[0])), bytes.size()) << uint32_t(c.c);
    }
}
