#include "tools/gifimg/Commands.h"
#include "tools/gifimg/QtImages.h"

#include "framework/core/Exception.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/ReduceColors.h"
#include "gif/SubImage.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace gifimg {

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const char* const MethodNames[] = {"none",     "system20", "halftone",        "gray4",   "bw",     "gray256",
                                   "netscape", "quantize", "quantize-system", "palette", "refined"};
const char* const DitherNames[] = {"nearest", "floyd-steinberg", "stucki", "sierra",
                                   "jajuni",  "steve-arche",     "burkes", "serpentine"};
static_assert(std::size(MethodNames) == crQuantizeRefined + 1 && std::size(DitherNames) == dmSerpentine + 1);

template <size_t N>
int indexOfName(const char* const (&names)[N], const QString& name)
{
    for (size_t i = 0; i < N; ++i)
        if (name == names[i])
            return static_cast<int>(i);
    return -1;
}

template <size_t N>
QString joinedNames(const char* const (&names)[N])
{
    QStringList list;
    for (const char* name : names)
        list << name;
    return list.join(", ");
}

} // namespace

int reductionMethodOf(const QString& name)
{
    return indexOfName(MethodNames, name);
}

int ditherMethodOf(const QString& name)
{
    return indexOfName(DitherNames, name);
}

QString reductionMethodNames()
{
    return joinedNames(MethodNames);
}

QString ditherMethodNames()
{
    return joinedNames(DitherNames);
}

QImage readImage(const QString& name, QString& error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QImageReader reader;
    if (name == "-") {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            error = in.errorString();
            return {};
        }
        bytes = in.readAll();
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
    } else {
        reader.setFileName(name);
    }
    QImage image = reader.read();
    if (image.isNull())
        error = reader.errorString();
    return image;
}

std::unique_ptr<TPalette> readPalette(const QString& file, const CommonOptions& options, std::string& error)
{
    const std::string name = file.toLocal8Bit().toStdString();
    QFile probe(file);
    if (probe.open(QIODevice::ReadOnly) && probe.peek(3) == "GIF") {
        probe.close();
        LoadedImage loaded = loadImage(name, options);
        if (!loaded.error.empty()) {
            error = loaded.error;
            return nullptr;
        }
        if (auto palette = loaded.image->Header().ColorMap().MakePalette())
            return palette;
        TGIFImageList& frames = loaded.image->Images();
        for (int i = 0; i < frames.Count(); ++i)
            if (auto palette = frames.Items(i).ColorMap().MakePalette())
                return palette;
        error = "the GIF has no colour table";
        return nullptr;
    }
    QString readError;
    const QImage image = readImage(file, readError);
    if (image.isNull()) {
        error = readError.toLocal8Bit().toStdString();
        return nullptr;
    }
    if (image.format() != QImage::Format_Indexed8 && image.format() != QImage::Format_Mono &&
        image.format() != QImage::Format_MonoLSB) {
        error = "not a palette image";
        return nullptr;
    }
    return paletteOfTable(image.colorTable());
}

int runReduce(const QStringList& arguments)
{
    CommandLine commandLine("reduce", "Reduces any image Qt can read to at most 256 colours and writes it as a "
                                      "palette PNG (with --method none, as an unchanged copy in the source's "
                                      "format). Alpha is dropped before reduction. The time taken goes to "
                                      "standard error.");
    QCommandLineParser& parser = commandLine.parser();
    parser.addOption({"method",
                      "Target palette: " + reductionMethodNames() +
                          " (default netscape; refined "
                          "gives photos the least error).",
                      "METHOD"});
    parser.addOption({"palette", "Palette of a GIF or palette PNG, for --method palette (implies it).", "FILE"});
    parser.addOption({"dither",
                      "Ditherer: " + ditherMethodNames() +
                          " (default nearest; "
                          "serpentine keeps edges clean).",
                      "DITHER"});
    parser.addOption({"bits", "Colours of --method quantize or refined as bits, 1 to 8 (default 8).", "N"});
    parser.addOption({"psnr", "Print the peak signal-to-noise ratio against the input (red, green, blue)."});
    parser.addPositionalArgument("IN", "Image to read; '-' reads standard input.");
    parser.addPositionalArgument("OUT", "PNG file to write; '-' writes standard output.");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 2, 2);
    if (!options)
        return commandLine.exitCode();

    const bool paletteGiven = parser.isSet("palette");
    TReductionMethod method = paletteGiven ? crPalette : DefaultReductionMethod;
    if (parser.isSet("method")) {
        const int index = reductionMethodOf(parser.value("method"));
        if (index < 0)
            return commandLine.usageError("unknown method '" + parser.value("method") + "'");
        method = TReductionMethod(index);
    }
    if ((method == crPalette) != paletteGiven)
        return commandLine.usageError("--palette FILE goes with --method palette");
    TDitherMethod dither = DefaultDitherMethod;
    if (parser.isSet("dither")) {
        const int index = ditherMethodOf(parser.value("dither"));
        if (index < 0)
            return commandLine.usageError("unknown ditherer '" + parser.value("dither") + "'");
        dither = TDitherMethod(index);
    }
    int bits = DefaultReductionBitDepth;
    if (parser.isSet("bits")) {
        bool ok = false;
        bits = parser.value("bits").toInt(&ok);
        if (!ok || bits < 1 || bits > 8)
            return commandLine.usageError("--bits needs a number from 1 to 8");
    }
    const QStringList files = parser.positionalArguments();
    const std::string in = files[0].toLocal8Bit().toStdString();
    const std::string out = files[1].toLocal8Bit().toStdString();

    const auto start = Clock::now();
    std::unique_ptr<TPalette> palette;
    if (paletteGiven) {
        const QString file = parser.value("palette");
        std::string error;
        palette = readPalette(file, *options, error);
        if (!palette) {
            printError(file.toLocal8Bit().toStdString(), error);
            return ExitFailedInput;
        }
    }
    QString readError;
    const QImage image = readImage(files[0], readError);
    if (image.isNull()) {
        printError(in, readError.toLocal8Bit().toStdString());
        return ExitFailedInput;
    }
    if (image.hasAlphaChannel())
        printWarning(in, "alpha channel dropped before reduction", *options);

    double reduceMilliseconds = 0;
    QImage result;
    try {
        const std::unique_ptr<TBitmap> source = toBitmap(image);
        const auto reduceStart = Clock::now();
        const std::unique_ptr<TBitmap> reduced = ReduceColors(*source, method, dither, palette.get(), bits);
        reduceMilliseconds = millisecondsSince(reduceStart);
        result = toImage(*reduced);
        // An unchanged copy keeps the source's format, but not its alpha.
        if (method == crNone && !image.hasAlphaChannel())
            result = result.convertToFormat(image.format(), image.colorTable());
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!result.save(&buffer, "PNG"))
            throw EWriteError("PNG encoding failed");
        writeOutput(out, bytes.toStdString());
    } catch (...) {
        return failed(in);
    }
    if (parser.isSet("psnr"))
        std::fprintf(out == "-" ? stderr : stdout, "%s: PSNR %.3f dB\n", in.c_str(), psnr(image, result));
    std::fprintf(stderr, "%s: reduced in %.1f ms, %.1f ms in all\n", in.c_str(), reduceMilliseconds,
                 millisecondsSince(start));
    return ExitOk;
}

} // namespace gifimg
