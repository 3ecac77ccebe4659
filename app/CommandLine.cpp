#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

#ifndef CARNELO_VERSION
#error "CARNELO_VERSION comes from the project version"
#endif

namespace {

// The toolkit's own options, which it takes out of the arguments itself.
constexpr std::array<std::string_view, 16> ValuedOptions = {"platform",      "platformpluginpath",
                                                            "platformtheme", "plugin",
                                                            "qmljsdebugger", "qwindowgeometry",
                                                            "qwindowicon",   "qwindowtitle",
                                                            "session",       "style",
                                                            "stylesheet",    "display",
                                                            "geometry",      "name",
                                                            "title",         "visual"};
constexpr std::array<std::string_view, 6> FlagOptions = {"reverse", "widgetcount", "nograb",
                                                         "dograb",  "sync",        "qwindowalwaysontop"};

template <size_t N>
bool contains(const std::array<std::string_view, N>& names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine result;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h")
            return {CommandLineAction::Help, {}};
        if (argument == "--version")
            return {CommandLineAction::Version, {}};
        std::string_view name = argument;
        if (name.size() > 1 && name[0] == '-') {
            name.remove_prefix(name.size() > 2 && name[1] == '-' ? 2 : 1);
            const size_t equals = name.find('=');
            if (equals != std::string_view::npos) {
                if (contains(ValuedOptions, name.substr(0, equals)))
                    continue;
            } else if (contains(FlagOptions, name)) {
                continue;
            } else if (contains(ValuedOptions, name) && i + 1 < arguments.size()) {
                ++i;
                continue;
            }
        }
        if (result.action == CommandLineAction::Run)
            result = {CommandLineAction::Usage, argument};
    }
    return result;
}

std::string versionText()
{
    return std::string("carnelo ") + CARNELO_VERSION + "\n";
}

std::string usageText()
{
    return "Usage: carnelo [--help | --version] [toolkit options: -platform NAME, -style NAME, -display DISPLAY ...]\n";
}

std::string helpText(const std::string& storePath)
{
    return usageText() +
           "\n"
           "Carnelo, an address book. It opens its one window; every command is in its File menu.\n"
           "\n"
           "  --help     show this help and where the contacts are kept, then exit\n"
           "  --version  show the version, then exit\n"
           "\n"
           "Contacts are kept in: " +
           storePath +
           "\n"
           "A portable copy keeps them in Data.sys beside the program (when that file exists or the\n"
           "folder is writable); an installed program keeps them in $XDG_DATA_HOME/carnelo, by\n"
           "default ~/.local/share/carnelo.\n";
}
