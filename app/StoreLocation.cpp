#include "app/StoreLocation.h"

#include "framework/core/System.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* StoreName = "Data.sys";

std::string withSeparator(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// Packages and `make install` put programs here; even a user who may write there (root)
// must not scatter contacts among them, or removing the package would leave files behind.
bool isSystemFolder(const std::string& folder)
{
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/opt/"})
        if (folder.rfind(prefix, 0) == 0)
            return true;
    return false;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

bool isPortableStoreFolder(const StoreLocationFacts& facts)
{
    return facts.storeBesideProgram || (facts.programFolderWritable && !isSystemFolder(facts.programFolder));
}

std::string storeFolderFor(const StoreLocationFacts& facts)
{
    if (isPortableStoreFolder(facts))
        return facts.programFolder;
    // A relative value is to be ignored, as for every base folder of that convention.
    if (!facts.xdgDataHome.empty() && facts.xdgDataHome.front() == '/')
        return withSeparator(facts.xdgDataHome) + "carnelo/";
    return withSeparator(facts.home.empty() ? std::string("/") : facts.home) + ".local/share/carnelo/";
}

StoreLocationFacts currentStoreLocationFacts()
{
    StoreLocationFacts facts;
    facts.programFolder = ExtractFilePath(ExecutablePath());
    facts.storeBesideProgram = ::access((facts.programFolder + StoreName).c_str(), F_OK) == 0;
    facts.programFolderWritable = ::access(facts.programFolder.c_str(), W_OK) == 0;
    facts.xdgDataHome = environment("XDG_DATA_HOME");
    facts.home = environment("HOME");
    return facts;
}

bool makePrivateFolder(const std::string& folder)
{
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) == 0)
        return !folder.empty() && S_ISDIR(info.st_mode);
    std::string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    if (slash != std::string::npos && slash > 0 && !makePrivateFolder(trimmed.substr(0, slash)))
        return false;
    // Another process may make it between the check and here.
    return ::mkdir(trimmed.c_str(), 0700) == 0 || errno == EEXIST;
}
