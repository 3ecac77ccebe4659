#include "app/IniFile.h"

#include "framework/core/Strings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

class IniFileTest : public testing::Test {
protected:
    TempDir dir;
    std::string path = dir.File("Data.sys");
    TIniFile ini{path};

    std::vector<std::string> names(const std::string& section = "items")
    {
        TStringList list;
        list.Add("stale");
        ini.ReadKeyNames(section, list);
        return list.Items();
    }
    std::string file() { return ReadText(path); }
    void saveContact(const std::string& name, const std::string& tel, const std::string& address)
    {
        ini.PutEntry(name, "01", tel);
        ini.PutEntry(name, "02", address);
        ini.PutEntry(name, "03", "");
        ini.PutEntry(name, "04", "");
    }
    std::string writeErrorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const EIniFileException& e) {
            return e.Message();
        }
        return "no error";
    }
};

} // namespace

TEST_F(IniFileTest, TwoContactsThenCloseGiveTheDocumentedLayout)
{
    saveContact("Bob", "555 0101", "1 High Street");
    saveContact("Alice", "555 0202", "2 Low Road");
    ini.DeleteSection("Items");
    ini.ReplaceSection("Items", {{"Alice", ""}, {"Bob", ""}});
    EXPECT_EQ(file(), "[Bob]\n01=555 0101\n02=1 High Street\n03=\n04=\n"
                      "[Alice]\n01=555 0202\n02=2 Low Road\n03=\n04=\n"
                      "[Items]\nAlice=\nBob=\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"Alice", "Bob"}));
    EXPECT_EQ(ini.GetEntry("alice", "02", ""), "2 Low Road");
}

TEST_F(IniFileTest, MissingFileReadsAsEmptyAndIsNotCreatedByReading)
{
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(ini.GetEntry("Bob", "01", "dflt"), "dflt");
    ini.DeleteSection("Bob");
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
}

TEST_F(IniFileTest, NamesDifferingOnlyInCaseAreOneContact)
{
    saveContact("Bob", "1", "a");
    ini.PutEntry("bob", "01", "2");
    EXPECT_EQ(file(), "[Bob]\n01=2\n02=a\n03=\n04=\n");
    ini.ReplaceSection("Items", {{"Bob", ""}, {"bob", ""}});
    EXPECT_EQ(names(), std::vector<std::string>{"Bob"});
}

TEST_F(IniFileTest, ValuesLoseBlanksAndOnePairOfEnclosingQuotes)
{
    struct Case {
        std::string stored, read;
    };
    const Case cases[] = {{"  spaced  ", "spaced"},
                          {"\"quoted\"", "quoted"},
                          {"'single'", "single"},
                          {"\"mixed'", "\"mixed'"},
                          {"\"", "\""},
                          {"\"\"", ""},
                          {"' x '", " x "}};
    for (const auto& c : cases) {
        ini.PutEntry("S", "k", c.stored);
        EXPECT_EQ(ini.GetEntry("S", "k", "?"), c.read) << c.stored;
    }
}

TEST_F(IniFileTest, LongValuesAndLongNameListsReadWhole)
{
    const std::string value(2000, 'v');
    ini.PutEntry("Bob", "02", value);
    EXPECT_EQ(ini.GetEntry("Bob", "02", ""), value);

    std::vector<std::pair<std::string, std::string>> list;
    for (int i = 0; i < 3000; ++i)
        list.emplace_back("contact number " + std::to_string(i), "");
    ini.ReplaceSection("Items", list);
    const auto read = names();
    ASSERT_EQ(read.size(), 3000u);
    EXPECT_EQ(read.back(), "contact number 2999");
}

TEST_F(IniFileTest, HandDeletedSectionStillListedAndUnlistedSectionHidden)
{
    WriteText(path, "[Zoe]\n01=9\n[Items]\nBob=\n");
    EXPECT_EQ(names(), std::vector<std::string>{"Bob"});
    EXPECT_EQ(ini.GetEntry("Bob", "01", ""), "");
    EXPECT_EQ(ini.GetEntry("Zoe", "01", ""), "9");
}

TEST_F(IniFileTest, NewKeyGoesToTheEndOfItsSectionAndExistingKeyChangesInPlace)
{
    WriteText(path, "[A]\nx=1\n\n[B]\ny=2\n");
    ini.PutEntry("a", "z", "3");
    ini.PutEntry("B", "Y", "4");
    EXPECT_EQ(file(), "[A]\nx=1\nz=3\n\n[B]\ny=4\n");
}

TEST_F(IniFileTest, UntouchedLinesKeepEveryByte)
{
    const std::string original = "\xEF\xBB\xBF[A]\r\nx = 1\r\n; note\r\nodd line\r\n[B]\r\nbad=\xff\xfe\r\n";
    WriteText(path, original);
    EXPECT_EQ(ini.GetEntry("A", "x", ""), "1");
    ini.PutEntry("B", "new", "v");
    EXPECT_EQ(file(), original + "new=v\r\n");
    ini.DeleteSection("B");
    EXPECT_EQ(file(), "\xEF\xBB\xBF[A]\r\nx = 1\r\n; note\r\nodd line\r\n");
    ini.DeleteSection("A");
    EXPECT_EQ(file(), "\xEF\xBB\xBF");
}

TEST_F(IniFileTest, SectionsAppendAfterAFinalLineWithoutLineEnd)
{
    WriteText(path, "[A]\nx=1");
    ini.PutEntry("A", "y", "2");
    ini.PutEntry("B", "z", "3");
    EXPECT_EQ(file(), "[A]\nx=1\ny=2\n[B]\nz=3\n");
}

TEST_F(IniFileTest, ReadOnlyStoreRefusesWritesWithTheFullPath)
{
    saveContact("Bob", "1", "a");
    const std::string before = file();
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(writeErrorOf([&] { ini.PutEntry("Alice", "01", "2"); }), "Ne peut écrire dans " + path);
    EXPECT_EQ(writeErrorOf([&] { ini.DeleteSection("Bob"); }), "Ne peut écrire dans " + path);
    EXPECT_EQ(file(), before);
    // Erasing nothing is not a write, and an unchanged list writes nothing either.
    ini.DeleteSection("Nobody");
    ini.ReplaceSection("Nobody", {});
}

TEST_F(IniFileTest, RelativePathIsReportedInFull)
{
    TIniFile relative("Data.sys");
    EXPECT_EQ(relative.FileName().front(), '/');
}

TEST_F(IniFileTest, NamesThatWouldNotReadBackAreRefusedAndNothingIsWritten)
{
    saveContact("Bob", "1", "a");
    const std::string before = file();
    const std::vector<std::pair<std::string, std::string>> badKeys = {
        {"Bob", "a=b"}, {"Bob", "[x"}, {"Bob", ";c"}, {"Bob", "li\nne"}, {"Bob", "   "}};
    // Not a structured binding: clang 14 cannot capture those in a lambda.
    for (const auto& bad : badKeys)
        EXPECT_NE(writeErrorOf([&] { ini.PutEntry(bad.first, bad.second, "v"); }).find("Nom de clé incorrect"),
                  std::string::npos)
            << bad.second;
    for (const std::string section : {"a]b", "x\ry", ""})
        EXPECT_NE(writeErrorOf([&] { ini.PutEntry(section, "01", "v"); }).find("Nom de section incorrect"),
                  std::string::npos);
    EXPECT_NE(writeErrorOf([&] { ini.PutEntry("Bob", "01", "two\nlines"); }).find("Valeur incorrecte"),
              std::string::npos);
    EXPECT_NE(writeErrorOf([&] {
                  ini.ReplaceSection("Items", {{"ok", ""}, {"b=d", ""}});
              }).find("Nom de clé"),
              std::string::npos);
    EXPECT_EQ(file(), before);
}

TEST_F(IniFileTest, BlanksAroundNamesAreTrimmedBeforeUse)
{
    ini.PutEntry("  Bob  ", "  01 ", "x");
    EXPECT_EQ(file(), "[Bob]\n01=x\n");
}

TEST_F(IniFileTest, EveryListedNameOfAHandEditedFileCanBeWrittenBack)
{
    WriteText(path, "[Items]\n  spaced name  =\n=empty\nodd]name=\nctl\x01name=\nno equals\n;comment=\nok=\n[weird=\n");
    const auto listed = names();
    EXPECT_EQ(listed, (std::vector<std::string>{"spaced name", "odd]name", "ok"}));
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& n : listed)
        entries.emplace_back(n, "");
    ini.ReplaceSection("Items", entries);
    EXPECT_EQ(names(), listed);
}

TEST_F(IniFileTest, ReplaceSectionEqualsEraseThenOneWriteAtATime)
{
    const std::string start = "[Items]\nOld=\n[Bob]\n01=1\n[items]\nDup=\n";
    const std::vector<std::pair<std::string, std::string>> entries = {{"b", ""}, {"A", ""}, {"B", "x"}};
    WriteText(path, start);
    ini.DeleteSection("Items");
    for (const auto& [k, v] : entries)
        ini.PutEntry("Items", k, v);
    const std::string expected = file();

    WriteText(path, start);
    ini.ReplaceSection("Items", entries);
    EXPECT_EQ(file(), expected);
    EXPECT_EQ(expected, "[Bob]\n01=1\n[Items]\nb=x\nA=\n");
}

TEST_F(IniFileTest, UnchangedReplacementWritesNothing)
{
    ini.ReplaceSection("Items", {{"Bob", ""}});
    struct stat before {};
    ::stat(path.c_str(), &before);
    ::chmod(path.c_str(), 0444);
    ini.ReplaceSection("Items", {{"Bob", ""}}); // would fail if it wrote
    ::chmod(path.c_str(), 0644);
    struct stat after {};
    ::stat(path.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(IniFileTest, FailedRewriteLeavesTheOldFileComplete)
{
    saveContact("Bob", "1", "a");
    const std::string before = file();
    // A file-size limit makes the write fail part-way, like a full disk, even for root.
    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 2000; ++i)
        many.emplace_back("name " + std::to_string(i), "");
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = writeErrorOf([&] { ini.ReplaceSection("Items", many); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error, "Ne peut écrire dans " + path);
    EXPECT_EQ(file(), before);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"Data.sys"});
}

TEST_F(IniFileTest, LeftoverTemporaryFilesAreNeverTheStore)
{
    WriteText(dir.File(".Data.sys.tmp-123"), "[Items]\nGhost=\n");
    EXPECT_TRUE(names().empty());
    ini.PutEntry("A", "01", "x");
    EXPECT_EQ(file(), "[A]\n01=x\n");
}
