// Any bytes as the contact store: every read must end normally, and every listed name
// must be accepted back by a write.
#include "app/IniFile.h"

#include "framework/core/Strings.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string storePath()
{
    static const std::string path = "/tmp/carnelo-fuzz-store-" + std::to_string(::getpid());
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = storePath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    TIniFile ini(path);
    TStringList names;
    ini.ReadKeyNames("items", names);
    for (const auto& name : names.Items()) {
        if (!TIniFile::IsValidKeyName(name))
            std::abort();
        for (const char* key : {"01", "02", "03", "04"})
            (void)ini.GetEntry(name, key, "");
    }
    // The first line's text, whatever it is, as a section and key name.
    const std::string probe(reinterpret_cast<const char*>(data), std::min<size_t>(size, 16));
    (void)ini.GetEntry(probe, probe, "");
    if (size > 0 && (data[0] & 1)) {
        std::vector<std::pair<std::string, std::string>> entries;
        for (const auto& name : names.Items())
            entries.emplace_back(name, "");
        ini.ReplaceSection("Items", entries); // never refuses what it listed
        TStringList again;
        ini.ReadKeyNames("items", again);
        if (again.Count() > names.Count())
            std::abort();
    }
    std::remove(path.c_str());
    return 0;
}
