#include "tools/gifimg/Commands.h"

namespace gifimg {

int runCopy(const QStringList& arguments)
{
    CommandLine commandLine("copy", "Loads a GIF and saves it again. OUT is replaced only when the whole save "
                                    "succeeds.");
    commandLine.parser().addOption({"rle", "Write run-length codes instead of LZW (larger, faster)."});
    commandLine.parser().addPositionalArgument("IN", "GIF file to read; '-' reads standard input.");
    commandLine.parser().addPositionalArgument("OUT", "GIF file to write; '-' writes standard output.");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 2, 2);
    if (!options)
        return commandLine.exitCode();
    const QStringList files = commandLine.parser().positionalArguments();
    const std::string in = files[0].toLocal8Bit().toStdString();
    const std::string out = files[1].toLocal8Bit().toStdString();

    return copyFile(in, out, commandLine.parser().isSet("rle"), *options);
}

} // namespace gifimg
