// The store under processes that die while saving and processes that save at once.
#include "app/IniFile.h"

#include "framework/core/Strings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Generation g's value: its number and a long tail made from it, so a torn or mixed
// file matches no generation.
std::string valueOf(long generation)
{
    const std::string digits = std::to_string(generation);
    std::string value = digits;
    while (value.size() < 20000)
        value += "-" + digits;
    return value;
}

std::string storeOf(long generation)
{
    return "[Alice]\n01=" + valueOf(generation) + "\n";
}

// The generation this content is, byte for byte; -1 for anything else.
long generationOf(const std::string& content)
{
    const std::string prefix = "[Alice]\n01=";
    if (content.compare(0, prefix.size(), prefix) != 0)
        return -1;
    const long generation = std::strtol(content.c_str() + prefix.size(), nullptr, 10);
    return content == storeOf(generation) ? generation : -1;
}

// A kill tests atomicity, not durability: a folder in memory, where flushing costs nothing,
// keeps a few hundred saves quick.
std::string memoryFolder()
{
    return "/dev/shm";
}

int temporariesIn(const std::string& folder)
{
    int count = 0;
    for (const std::string& name : ListFolder(folder))
        count += name != "Data.sys";
    return count;
}

// Runs body in a child process, which ends with 0 when body returns and 1 when it throws.
pid_t inChild(const std::function<void()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            body();
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    return pid;
}

int exitCodeOf(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST(StoreUnderCrashes, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewStoreAndNoTemporaryForLong)
{
    TempDir dir(memoryFolder());
    const std::string path = dir.File("Data.sys");
    TIniFile ini(path);
    ini.PutEntry("Alice", "01", valueOf(0));
    std::mt19937 random(20261208);
    long last = 0;
    int kills = 0, checked = 0, leftByKills = 0, leftAfterSave = 0;
    for (int round = 0; round < 200; ++round) {
        const long from = last + 1;
        const pid_t child = inChild([&] {
            TIniFile writer(path);
            for (long g = from;; ++g)
                writer.PutEntry("Alice", "01", valueOf(g));
        });
        ASSERT_GT(child, 0);
        // The moment of the kill is drawn at random; the checks below hold for any moment.
        ::usleep(std::uniform_int_distribution<unsigned>(0, 3000)(random));
        ::kill(child, SIGKILL);
        ASSERT_EQ(exitCodeOf(child), 128 + SIGKILL) << "the writer ran until killed";
        ++kills;

        const long found = generationOf(ReadText(path));
        ASSERT_GE(found, last) << "round " << round << ": the store is whole and never older";
        ++checked;
        last = found;
        leftByKills += temporariesIn(dir.Path());

        // The next successful save clears what the dead writer left.
        ++last;
        ini.PutEntry("Alice", "01", valueOf(last));
        ASSERT_EQ(generationOf(ReadText(path)), last);
        ++checked;
        leftAfterSave += temporariesIn(dir.Path());
    }
    EXPECT_EQ(leftAfterSave, 0);
    std::printf("[ figures  ] kills %d, stores checked %d, temporaries found after a kill %d, "
                "left after the next save %d\n",
                kills, checked, leftByKills, leftAfterSave);
}

TEST(StoreUnderCrashes, TwoProcessesSavingDifferentContactsAtOnceLoseNeither)
{
    TempDir dir(memoryFolder());
    const std::string path = dir.File("Data.sys");
    constexpr int kContacts = 30;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    auto saver = [&](const std::string& prefix) {
        return inChild([&, prefix] {
            char go = 0;
            if (::read(start[0], &go, 1) != 1) // both begin together
                throw std::runtime_error("no start");
            TIniFile ini(path);
            for (int i = 0; i < kContacts; ++i) {
                const std::string name = prefix + std::to_string(i);
                for (const char* key : {"01", "02", "03", "04"})
                    ini.PutEntry(name, key, name + " " + key);
                ini.PutEntry("items", name, "");
            }
        });
    };
    const pid_t first = saver("Ann"), second = saver("Bob");
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    ASSERT_EQ(::write(start[1], "gg", 2), 2);
    EXPECT_EQ(exitCodeOf(first), 0);
    EXPECT_EQ(exitCodeOf(second), 0);
    ::close(start[0]);
    ::close(start[1]);

    TIniFile ini(path);
    TStringList names;
    ini.ReadKeyNames("items", names);
    EXPECT_EQ(names.Count(), 2 * kContacts);
    int whole = 0;
    for (const std::string prefix : {"Ann", "Bob"})
        for (int i = 0; i < kContacts; ++i) {
            const std::string name = prefix + std::to_string(i);
            bool all = names.IndexOf(name) >= 0;
            for (const char* key : {"01", "02", "03", "04"})
                all = all && ini.GetEntry(name, key, "") == name + " " + key;
            whole += all;
        }
    EXPECT_EQ(whole, 2 * kContacts);
    EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"Data.sys"});
}
