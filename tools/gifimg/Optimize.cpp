#include "tools/gifimg/Commands.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <cstdio>

namespace gifimg {

namespace {

int framesWithImage(TGIFImage& image)
{
    int count = 0;
    for (int i = 0; i < image.Images().Count(); ++i)
        count += image.Images().Items(i).Empty() ? 0 : 1;
    return count;
}

} // namespace

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

    TGIFOptimizations passes = 0;
    if (parser.isSet("trim"))
        passes |= goTrimTransparent;
    if (parser.isSet("merge"))
        passes |= goMergeFrames;
    if (parser.isSet("cleanup"))
        passes |= goCleanup;
    if (parser.isSet("sort"))
        passes |= goSortColorMaps;
    if (passes == 0)
        passes = AllOptimizations;
    // Merged pixels only where they shorten the frame: never more bytes than a full merge.
    passes |= goMergeBySize | goLocalMapsBySize;

    std::string input;
    try {
        input = readInput(in);
    } catch (...) {
        return failed(in);
    }
    LoadedImage loaded = loadImageFrom(in, input, *options);
    if (!loaded.error.empty())
        return ExitFailedInput;
    TGIFImage& image = *loaded.image;
    const int framesBefore = framesWithImage(image);
    std::string output;
    try {
        image.Optimize(passes, crNone, dmNearest, 8);
        TMemoryStream stream;
        image.SaveToStream(stream);
        output.assign(stream.Bytes().begin(), stream.Bytes().end());
    } catch (...) {
        return failed(in);
    }
    const bool smaller = output.size() < input.size();
    try {
        writeOutput(out, smaller ? output : input);
    } catch (...) {
        return failed(out);
    }
    FILE* report = out == "-" ? stderr : stdout;
    if (smaller)
        std::fprintf(report, "%s: %d frames, %zu bytes -> %d frames, %zu bytes\n", in.c_str(), framesBefore,
                     input.size(), framesWithImage(image), output.size());
    else
        std::fprintf(report, "%s: %d frames, %zu bytes: not smaller when optimised (%zu bytes), written unchanged\n",
                     in.c_str(), framesBefore, input.size(), output.size());
    return ExitOk;
}

} // namespace gifimg
