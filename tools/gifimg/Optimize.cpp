#include "tools/gifimg/Commands.h"

#include "gif/GIFImage.h"

namespace gifimg {

int runOptimize(const QStringList& arguments)
{
    CommandLine commandLine("optimize", "Makes a GIF smaller without changing what it shows. Without pass options "
                                        "every pass runs. OUT is never larger than IN: when nothing is gained, OUT "
                                        "gets the input unchanged.");
    QCommandLineParser& parser = commandLine.parser();
    parser.addOption({"trim", "Cut transparent borders; fold frames that show nothing into the one before."});
    parser.addOption({"merge", "Make pixels transparent that the frame before leaves on the screen."});
    parser.addOption({"cleanup", "Remove needless transparency, disposal, comments and extensions."});
    parser.addOption({"sort", "Sort colour maps by use and drop unused colours."});
    parser.addPositionalArgument("IN", "GIF file to read; '-' reads standard input.");
    parser.addPositionalArgument("OUT", "GIF file to write; '-' writes standard output.");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 2, 2);
    if (!options)
        return commandLine.exitCode();
    const QStringList files = parser.positionalArguments();
    const std::string in = files[0].toLocal8Bit().toStdString();
    const std::string out = files[1].toLocal8Bit().toStdString();

    const TGIFOptimizations passes =
        optimizationsOf(parser.isSet("trim"), parser.isSet("merge"), parser.isSet("cleanup"), parser.isSet("sort"));
    return optimizeFile(in, out, passes, *options);
}

} // namespace gifimg
