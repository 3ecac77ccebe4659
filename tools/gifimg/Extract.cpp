#include "tools/gifimg/Commands.h"

#include "framework/core/Exception.h"
#include "gif/ColorMap.h"
#include "gif/Extensions.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <QBuffer>
#include <QDir>
#include <QImage>

#include <cstring>

namespace gifimg {

namespace {

// The frame in its active colours: the transparent index fully transparent, indices
// beyond the map black, and without any map the indices as grey levels.
QImage toImage(TGIFSubImage& frame, bool& greyLevels)
{
    QImage image(frame.Width(), frame.Height(), QImage::Format_Indexed8);
    const TGIFColorMap& map = frame.EffectiveColorMap();
    greyLevels = map.Count() == 0;
    QVector<QRgb> table(256, qRgb(0, 0, 0));
    for (int i = 0; i < 256; ++i) {
        if (greyLevels) {
            table[i] = qRgb(i, i, i);
        } else if (i < map.Count()) {
            const TGIFColor& entry = map.Entries()[i];
            table[i] = qRgb(entry.Red, entry.Green, entry.Blue);
        }
    }
    const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    if (frame.Transparent() && control) {
        const int index = control->TransparentColorIndex();
        table[index] = table[index] & 0x00FFFFFF;
    }
    image.setColorTable(table);
    for (int y = 0; y < frame.Height(); ++y)
        std::memcpy(image.scanLine(y), frame.Scanline(y), static_cast<size_t>(frame.Width()));
    return image;
}

std::string pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw EWriteError("PNG encoding failed");
    return bytes.toStdString();
}

} // namespace

int runExtract(const QStringList& arguments)
{
    CommandLine commandLine("extract", "Writes each frame that has an image, numbered from 0 in file order, as "
                                       "OUTDIR/frame-NNN.png (its colours, transparency as alpha) or "
                                       "frame-NNN.raw (width x height colour indices, top row first).");
    commandLine.parser().addOption({"raw", "Write raw colour indices."});
    commandLine.parser().addOption({"png", "Write PNG images (the default)."});
    commandLine.parser().addPositionalArgument("FILE", "GIF file to read; '-' reads standard input.");
    commandLine.parser().addPositionalArgument("OUTDIR", "Folder for the frames; made when missing.");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 2, 2);
    if (!options)
        return commandLine.exitCode();
    const bool raw = commandLine.parser().isSet("raw");
    if (raw && commandLine.parser().isSet("png"))
        return commandLine.usageError("--raw and --png exclude each other");
    const QStringList files = commandLine.parser().positionalArguments();
    const std::string name = files[0].toLocal8Bit().toStdString();
    const QString folder = files[1];

    LoadedImage loaded = loadImage(name, *options);
    if (!loaded.error.empty())
        return ExitFailedInput;
    if (!QDir().mkpath(folder)) {
        printError(folder.toLocal8Bit().toStdString(), "cannot make the folder");
        return ExitFailedInput;
    }
    TGIFImageList& frames = loaded.image->Images();
    int number = 0;
    try {
        for (int i = 0; i < frames.Count(); ++i) {
            TGIFSubImage& frame = frames.Items(i);
            if (frame.Empty())
                continue;
            const QString base = QDir(folder).filePath(QString("frame-%1").arg(number, 3, 10, QChar('0')));
            std::string bytes;
            if (raw) {
                bytes.assign(reinterpret_cast<const char*>(frame.Data()), static_cast<size_t>(frame.DataSize()));
            } else {
                bool greyLevels = false;
                bytes = pngBytes(toImage(frame, greyLevels));
                if (greyLevels)
                    printWarning(name,
                                 "frame " + std::to_string(number) + " has no colour table; written as grey levels",
                                 *options);
            }
            writeOutput((base + (raw ? ".raw" : ".png")).toLocal8Bit().toStdString(), bytes);
            ++number;
        }
    } catch (...) {
        return failed(name);
    }
    return ExitOk;
}

} // namespace gifimg
