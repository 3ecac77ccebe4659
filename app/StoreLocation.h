#pragma once

#include <string>

// Where the contact store lives. A portable copy keeps "Data.sys" beside the program, as
// it always has: when the file is already there, or when the program's folder is
// writable and not a system folder. An installed program keeps it in the user's data
// folder, $XDG_DATA_HOME/carnelo (by default ~/.local/share/carnelo).
struct StoreLocationFacts {
    std::string programFolder; // with its final separator
    bool storeBesideProgram = false;
    bool programFolderWritable = false;
    std::string xdgDataHome; // the variable's value, "" when unset
    std::string home;
};

// The folder of the store, with its final separator.
std::string storeFolderFor(const StoreLocationFacts& facts);
// The facts of this process: its executable, its environment, the file system.
StoreLocationFacts currentStoreLocationFacts();
// Whether the store folder is the portable one beside the program.
bool isPortableStoreFolder(const StoreLocationFacts& facts);

// Makes the folder and its missing parents, each new one with mode 0700, as the user's
// data folders should be. True when the folder exists afterwards.
bool makePrivateFolder(const std::string& folder);
