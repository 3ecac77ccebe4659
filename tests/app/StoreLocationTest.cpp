#include "app/StoreLocation.h"
#include "app/IniFile.h"

#include "framework/core/Strings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct Case {
    const char* what;
    StoreLocationFacts facts;
    const char* folder;
};

TEST(StoreLocation, PortableBesideTheProgramElseTheUsersDataFolder)
{
    const Case cases[] = {
        {"a store beside the program wins", {"/usr/bin/", true, false, "/x", "/home/a"}, "/usr/bin/"},
        {"a writable folder is a portable copy", {"/home/a/carnelo/", false, true, "", "/home/a"}, "/home/a/carnelo/"},
        {"installed: the data home", {"/usr/bin/", false, false, "/data", "/home/a"}, "/data/carnelo/"},
        {"a trailing separator is not doubled", {"/usr/bin/", false, false, "/data/", "/home/a"}, "/data/carnelo/"},
        {"unset: under home", {"/usr/bin/", false, false, "", "/home/a"}, "/home/a/.local/share/carnelo/"},
        {"a relative data home is ignored",
         {"/usr/bin/", false, false, "rel", "/home/a"},
         "/home/a/.local/share/carnelo/"},
        {"root may write system folders but keeps out",
         {"/usr/local/bin/", false, true, "", "/root"},
         "/root/.local/share/carnelo/"},
        {"nor under /opt", {"/opt/carnelo/", false, true, "", "/root"}, "/root/.local/share/carnelo/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(storeFolderFor(c.facts), c.folder) << c.what;
}

TEST(StoreLocation, FoldersAreMadePrivateWithTheirParents)
{
    TempDir dir;
    const std::string folder = dir.File("share/carnelo/");
    ASSERT_TRUE(makePrivateFolder(folder));
    for (const std::string& made : {dir.File("share"), dir.File("share/carnelo")}) {
        struct stat info {};
        ASSERT_EQ(::stat(made.c_str(), &info), 0) << made;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
    }
    EXPECT_TRUE(makePrivateFolder(folder)) << "an existing folder is fine";
    WriteText(dir.File("file"), "x");
    EXPECT_FALSE(makePrivateFolder(dir.File("file")));
    EXPECT_FALSE(makePrivateFolder(dir.File("file/below")));
}

TEST(StoreLocation, TheFirstSaveMakesTheStoreFolder)
{
    TempDir dir;
    const std::string path = dir.File("data/carnelo/Data.sys");
    TIniFile store(path);
    TStringList names;
    store.ReadKeyNames("items", names);
    EXPECT_TRUE(ListFolder(dir.Path()).empty()) << "reading makes nothing";
    store.SetMakeFolder(true);
    store.PutEntry("Ann", "01", "12");
    EXPECT_EQ(store.GetEntry("Ann", "01", ""), "12");
}

} // namespace
