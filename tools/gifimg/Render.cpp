#include "tools/gifimg/Commands.h"

#include "framework/core/Exception.h"
#include "framework/graphics/Bitmap.h"
#include "gif/ComposedFrames.h"
#include "gif/GIFImage.h"

#include <QBuffer>
#include <QDir>
#include <QImage>

#include <cstdio>
#include <fstream>
#include <new>

namespace gifimg {

namespace {

std::string rgbPng(const TBitmap& screen)
{
    // The screen is 32 bits per pixel in the device format, which is Qt's RGB32.
    const QImage view(screen.ScanLine(0), screen.Width(), screen.Height(), static_cast<qsizetype>(screen.RowStride()),
                      QImage::Format_RGB32);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!view.convertToFormat(QImage::Format_RGB888).save(&buffer, "PNG"))
        throw EWriteError("PNG encoding failed");
    return bytes.toStdString();
}

// A frame of a whole pass: replaced by a rename, as an atomic write would, but not flushed
// to the disk one by one; hundreds of frames would otherwise spend most of their time
// waiting for it. The frames can always be made again.
void writeFrame(const std::string& file, const std::string& bytes)
{
    const std::string temporary = file + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            throw EWriteError(file + ": " + std::string(FrameworkText::WriteError));
        }
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw EWriteError(file + ": " + std::string(FrameworkText::WriteError));
    }
}

std::string frameFile(const QString& folder, int frame)
{
    return QDir(folder).filePath(QString("frame-%1.png").arg(frame, 3, 10, QChar('0'))).toLocal8Bit().toStdString();
}

} // namespace

int runRender(const QStringList& arguments)
{
    CommandLine commandLine("render",
                            "Writes composed frames as RGB PNGs: the logical screen as a viewer shows it right after "
                            "each painted frame, with transparency, disposal and clipping applied. Without --all, one "
                            "frame goes to OUT.png; with --all, every frame of one pass goes to "
                            "OUTDIR/frame-NNN.png.");
    commandLine.parser().addOption({"frame", "The composed frame to write, counting from 0 (default 0).", "N"});
    commandLine.parser().addOption({"all", "Write every composed frame into OUTDIR (made when missing)."});
    commandLine.parser().addPositionalArgument("FILE", "GIF file to read; '-' reads standard input.");
    commandLine.parser().addPositionalArgument("OUT", "OUT.png ('-' writes standard output), or OUTDIR with --all.");
    const std::optional<CommonOptions> options = commandLine.parse(arguments, 2, 2);
    if (!options)
        return commandLine.exitCode();
    const bool all = commandLine.parser().isSet("all");
    int wanted = 0;
    if (commandLine.parser().isSet("frame")) {
        if (all)
            return commandLine.usageError("--frame and --all exclude each other");
        bool ok = false;
        wanted = commandLine.parser().value("frame").toInt(&ok);
        if (!ok || wanted < 0)
            return commandLine.usageError("--frame needs a frame number, 0 or more");
    }
    const QStringList files = commandLine.parser().positionalArguments();
    const std::string name = files[0].toLocal8Bit().toStdString();
    const QString out = files[1];

    LoadedImage loaded = loadImage(name, *options);
    if (!loaded.error.empty())
        return ExitFailedInput;
    if (all && !QDir().mkpath(out)) {
        printError(out.toLocal8Bit().toStdString(), "cannot make the folder");
        return ExitFailedInput;
    }
    TGIFImage& image = *loaded.image;
    image.OnWarn = [&](TObject*, int, const std::string& message) { printWarning(name, message, *options); };
    try {
        bool written = false;
        const int composed = ComposeFrames(image, [&](int frame, const TBitmap& screen) {
            if (all) {
                writeFrame(frameFile(out, frame), rgbPng(screen));
                return true;
            }
            if (frame < wanted)
                return true;
            writeOutput(out.toLocal8Bit().toStdString(), rgbPng(screen));
            written = true;
            return false;
        });
        if (all && composed == 0) {
            printError(name, "the animation paints no frame");
            return ExitFailedInput;
        }
        if (!all && !written) {
            printError(name, "frame " + std::to_string(wanted) + " is past the last painted frame (" +
                                 std::to_string(composed) + (composed == 1 ? " frame" : " frames") + " painted)");
            return ExitFailedInput;
        }
    } catch (...) {
        return failed(name);
    }
    return ExitOk;
}

} // namespace gifimg
