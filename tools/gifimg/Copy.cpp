#include "tools/gifimg/Commands.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"

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

    LoadedImage loaded = loadImage(in, *options);
    if (!loaded.error.empty())
        return ExitFailedInput;
    try {
        loaded.image->SetCompressionMethod(commandLine.parser().isSet("rle") ? cmRLE : cmLZW);
        TMemoryStream stream;
        loaded.image->SaveToStream(stream);
        writeOutput(out, std::string(stream.Bytes().begin(), stream.Bytes().end()));
    } catch (...) {
        return failed(out);
    }
    return ExitOk;
}

} // namespace gifimg
