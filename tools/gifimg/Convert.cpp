#include "tools/gifimg/Commands.h"
#include "tools/gifimg/QtImages.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/Palette.h"
#include "gif/Extensions.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace gifimg {

namespace {

struct Input {
    std::string name;
    std::unique_ptr<TGraphic> graphic;
    QImage picture; // as Qt reads it, for --psnr
};

bool endsWith(const std::string& name, const char* suffix)
{
    return QString::fromLocal8Bit(name.c_str()).endsWith(suffix, Qt::CaseInsensitive);
}

// Bitmap files keep their palettes and icons their masks through the framework's own
// readers; anything else comes through Qt.
Input readInputImage(const std::string& name, const CommonOptions& options)
{
    Input input;
    input.name = name;
    const std::string bytes = readInput(name);
    if (bytes.compare(0, 3, "GIF") == 0)
        throw EInvalidGraphic("a GIF input: use copy or optimize");
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    if (endsWith(name, ".bmp")) {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->LoadFromStream(stream);
        input.graphic = std::move(bitmap);
    } else if (endsWith(name, ".ico")) {
        auto icon = std::make_unique<TIcon>();
        icon->LoadFromStream(stream);
        input.graphic = std::move(icon);
    }
    input.picture = QImage::fromData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!input.graphic) {
        if (input.picture.isNull())
            throw EInvalidGraphic("not an image Qt can read");
        if (input.picture.hasAlphaChannel())
            printWarning(name, "alpha channel dropped before reduction", options);
        input.graphic = toBitmap(input.picture);
    }
    return input;
}

// A folder stands for its readable images, in byte order of name.
std::vector<std::string> expandInputs(const QStringList& arguments)
{
    std::vector<std::string> names;
    for (const QString& argument : arguments) {
        const std::string name = argument.toLocal8Bit().toStdString();
        std::error_code error;
        if (name == "-" || !std::filesystem::is_directory(name, error)) {
            names.push_back(name);
            continue;
        }
        std::vector<std::string> entries;
        for (const auto& entry : std::filesystem::directory_iterator(name, error))
            if (entry.is_regular_file(error) &&
                !QImageReader::imageFormat(QString::fromLocal8Bit(entry.path().c_str())).isEmpty())
                entries.push_back(entry.path().string());
        std::sort(entries.begin(), entries.end());
        names.insert(names.end(), entries.begin(), entries.end());
    }
    return names;
}

int numberOption(QCommandLineParser& parser, const char* name, int fallback, int low, int high, bool& ok)
{
    if (!parser.isSet(name))
        return fallback;
    const int value = parser.value(name).toInt(&ok);
    ok = ok && value >= low && value <= high;
    return value;
}

} // namespace

int runConvert(const QStringList& arguments)
{
    CommandLine commandLine("convert", "Makes a GIF of images Qt can read (.bmp and .ico through the library's own "
                                       "readers, keeping palettes and icon masks). Several inputs, or a folder, "
                                       "become an animation. Nothing is written unless every input converts.");
    QCommandLineParser& parser = commandLine.parser();
    parser.addOption({"method", "Target palette: " + reductionMethodNames() + " (default refined).", "METHOD"});
    parser.addOption({"dither", "Ditherer: " + ditherMethodNames() + " (default serpentine).", "DITHER"});
    parser.addOption({"bits", "Colours of --method quantize or refined as bits, 1 to 8 (default 8).", "N"});
    parser.addOption({"palette",
                      "Reduce every input to the palette of this GIF or palette PNG; all frames "
                      "share it.",
                      "FILE"});
    parser.addOption({"delay", "Delay of each frame of an animation in hundredths of a second (default 10).", "N"});
    parser.addOption({"loop", "Times an animation plays again, 0 for ever (default 0).", "N"});
    parser.addOption({"rle", "Write run-length codes instead of LZW (larger, faster)."});
    parser.addOption({"optimize", "Optimise the result with every pass of gifimg optimize."});
    parser.addOption({"psnr", "Print each frame's peak signal-to-noise ratio against its input."});
    parser.addPositionalArgument("IN", "Images or folders of images; '-' reads standard input.", "IN...");
    parser.addPositionalArgument("OUT", "GIF file to write; '-' writes standard output.");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 2, -1);
    if (!options)
        return commandLine.exitCode();

    TReductionMethod method = QualityReductionMethod;
    TDitherMethod dither = QualityDitherMethod;
    if (parser.isSet("method")) {
        const int index = reductionMethodOf(parser.value("method"));
        if (index < 0 || index == crPalette)
            return commandLine.usageError("unknown method '" + parser.value("method") + "'");
        method = TReductionMethod(index);
    }
    if (parser.isSet("dither")) {
        const int index = ditherMethodOf(parser.value("dither"));
        if (index < 0)
            return commandLine.usageError("unknown ditherer '" + parser.value("dither") + "'");
        dither = TDitherMethod(index);
    }
    bool ok = true;
    const int bits = numberOption(parser, "bits", DefaultReductionBitDepth, 1, 8, ok);
    if (!ok)
        return commandLine.usageError("--bits needs a number from 1 to 8");
    const int delay = numberOption(parser, "delay", 10, 0, 65535, ok);
    if (!ok)
        return commandLine.usageError("--delay needs a number from 0 to 65535");
    const int loops = numberOption(parser, "loop", 0, 0, 65535, ok);
    if (!ok)
        return commandLine.usageError("--loop needs a number from 0 to 65535");

    QStringList positional = parser.positionalArguments();
    const std::string out = positional.takeLast().toLocal8Bit().toStdString();
    const std::vector<std::string> names = expandInputs(positional);
    if (names.empty())
        return commandLine.usageError("no images to convert");

    std::unique_ptr<TPalette> palette;
    if (parser.isSet("palette")) {
        std::string error;
        palette = readPalette(parser.value("palette"), *options, error);
        if (!palette) {
            printError(parser.value("palette").toLocal8Bit().toStdString(), error);
            return ExitFailedInput;
        }
    }

    TGIFImage image;
    image.SetMaxPixelBytes(options->maxPixels);
    image.SetReductionMethod(method);
    image.SetDitherMethod(dither);
    image.SetReductionBitDepth(bits);
    image.SetCompressionMethod(parser.isSet("rle") ? cmRLE : cmLZW);
    std::vector<Input> inputs;
    for (const std::string& name : names) {
        try {
            inputs.push_back(readInputImage(name, *options));
            const TGraphic& graphic = *inputs.back().graphic;
            image.Header().SetWidth(static_cast<uint16_t>(std::max(image.Width(), std::min(graphic.Width(), 0xFFFF))));
            image.Header().SetHeight(
                static_cast<uint16_t>(std::max(image.Height(), std::min(graphic.Height(), 0xFFFF))));
        } catch (...) {
            return failed(name);
        }
    }

    const bool animation = inputs.size() > 1;
    try {
        for (Input& input : inputs) {
            try {
                std::unique_ptr<TBitmap> reduced;
                const TPersistent* source = input.graphic.get();
                if (palette) {
                    const auto* bitmap = dynamic_cast<const TBitmap*>(source);
                    const TBitmap& colours = bitmap ? *bitmap : static_cast<const TIcon&>(*source).ImageBitmap();
                    reduced = ReduceColors(colours, crPalette, dither, palette.get(), bits);
                    source = reduced.get();
                }
                const int index = image.Add(source);
                TGIFSubImage& frame = image.Images().Items(index);
                if (animation) {
                    TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
                    if (!control) {
                        frame.Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(&frame));
                        control = frame.GraphicControlExtension();
                    }
                    control->SetDelay(static_cast<uint16_t>(delay));
                }
                if (parser.isSet("psnr") && !input.picture.isNull())
                    std::fprintf(out == "-" ? stderr : stdout, "%s: frame %d: PSNR %.3f dB\n", input.name.c_str(),
                                 index, psnr(input.picture, toImage(*frame.RenderedBitmap())));
            } catch (...) {
                return failed(input.name);
            }
        }
        if (animation) {
            TGIFSubImage& first = image.Images().Items(0);
            auto loop = std::make_unique<TGIFAppExtNSLoop>(&first);
            loop->SetIdentifier(AppIdentifier("NETSCAPE2.0"));
            loop->SetLoops(static_cast<uint16_t>(loops));
            first.Extensions().Add(std::move(loop));
        }
        if (palette) {
            // One palette for all frames: the global map, and no local ones.
            image.Header().ColorMap().CopyFrom(&image.Images().Items(0).ColorMap());
            for (int i = 0; i < image.Images().Count(); ++i) {
                TGIFSubImage& frame = image.Images().Items(i);
                frame.ColorMap().Clear();
                frame.ColorsChanged();
            }
        }
        // Reduced palettes come padded to 256 entries; unused ones cost bits per pixel.
        const TGIFOptimizations passes =
            parser.isSet("optimize") ? AllOptimizations : TGIFOptimizations(goSortColorMaps);
        image.Optimize(passes, crNone, dmNearest, 8);
        TMemoryStream stream;
        image.SaveToStream(stream);
        writeOutput(out, std::string(stream.Bytes().begin(), stream.Bytes().end()));
    } catch (...) {
        return failed(out);
    }
    return ExitOk;
}

} // namespace gifimg
