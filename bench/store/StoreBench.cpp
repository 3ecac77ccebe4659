// The contact store at 10 000 and 100 000 contacts: reading the name list, saving one
// contact, replacing the name list on close.
#include "app/IniFile.h"

#include "framework/core/Strings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

double secondsOf(const std::function<void()>& work, int repeat = 1)
{
    double best = 1e9;
    for (int i = 0; i < repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

std::string contactName(int i)
{
    static const char* first[] = {"Alice", "Bob", "Émile", "Zoé", "carl", "Dana", "Øystein", "Yuki"};
    return std::string(first[i % 8]) + " " + std::to_string(i);
}

void buildStore(const std::string& path, int contacts)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < contacts; ++i)
        out << '[' << contactName(i) << "]\n01=555 " << i << "\n02=" << i << " High Street, Springfield\n03=person" << i
            << "@example.org\n04=www.example.org/" << i << '\n';
    out << "[Items]\n";
    for (int i = 0; i < contacts; ++i)
        out << contactName(i) << "=\n";
}

struct Result {
    double read, save, replace;
};

Result measure(const std::string& folder, int contacts)
{
    const std::string path = folder + "/Data.sys";
    buildStore(path, contacts);
    TIniFile ini(path);
    TStringList names(true); // the name box keeps its list sorted
    Result r{};
    r.read = secondsOf([&] { ini.ReadKeyNames("items", names); }, 3);
    const std::string who = contactName(contacts / 2);
    r.save = secondsOf(
        [&] {
            ini.PutEntry(who, "01", "555 9999");
            ini.PutEntry(who, "02", "1 Other Street");
            ini.PutEntry(who, "03", "someone@example.org");
            ini.PutEntry(who, "04", "www.example.org");
        },
        3);
    std::vector<std::pair<std::string, std::string>> entries;
    for (const auto& name : names.Items())
        entries.emplace_back(name, "");
    entries.emplace_back("A new contact", "");
    // The list differs from the stored order, so every run really rewrites the file.
    r.replace = secondsOf([&] { ini.ReplaceSection("Items", entries); });
    std::printf("%7d contacts, %5.1f MB: read names %8.4f s   save one %8.4f s   replace names %8.4f s\n", contacts,
                static_cast<double>(std::filesystem::file_size(path)) / 1e6, r.read, r.save, r.replace);
    return r;
}

} // namespace

int main()
{
    std::string folder = (std::filesystem::temp_directory_path() / "carnelo-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 1;
    std::printf("Contact store (best of 3; the save and the replacement flush to disk)\n");
    const Result small = measure(folder, 10000);
    const Result large = measure(folder, 100000);
    std::filesystem::remove_all(folder);

    std::printf("targets at 10 000: read < 0.1 s %s, save < 0.05 s %s, replace < 0.3 s %s\n",
                small.read < 0.1 ? "met" : "MISSED", small.save < 0.05 ? "met" : "MISSED",
                small.replace < 0.3 ? "met" : "MISSED");
    std::printf("growth 10 000 -> 100 000 (linear is 10x): read %.1fx, save %.1fx, replace %.1fx\n",
                large.read / small.read, large.save / small.save, large.replace / small.replace);
    return 0;
}
