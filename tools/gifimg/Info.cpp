#include "tools/gifimg/Commands.h"

namespace gifimg {

int runInfo(const QStringList& arguments)
{
    CommandLine commandLine("info", "Describes each GIF file: version, logical screen, frames, extensions and "
                                    "the warnings of its reading.");
    commandLine.parser().addOption({"json", "Print one JSON object per file (an array for several files)."});
    commandLine.parser().addPositionalArgument("FILE", "GIF files; '-' reads standard input.", "FILE...");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 1, -1);
    if (!options)
        return commandLine.exitCode();
    const bool json = commandLine.parser().isSet("json");

    std::vector<std::string> names;
    for (const QString& file : commandLine.parser().positionalArguments())
        names.push_back(file.toLocal8Bit().toStdString());
    return infoFiles(names, json, *options);
}

} // namespace gifimg
