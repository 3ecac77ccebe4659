#pragma once

#include <string>
#include <vector>

// The program's arguments: it has none of its own that change what it does, only
// --help and --version, and lets the toolkit's standard options through.
enum class CommandLineAction { Run, Help, Version, Usage };

struct CommandLine {
    CommandLineAction action = CommandLineAction::Run;
    std::string badArgument; // for Usage
};

// arguments: without the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string versionText();
std::string helpText(const std::string& storePath);
std::string usageText();
