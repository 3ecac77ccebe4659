// gifimg: the GIF library from the command line.
#include "gif/GIFImage.h"
#include "tools/gifimg/Commands.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* Usage =
    "Usage: gifimg COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE...           blocks, frames, extensions and warnings of each file\n"
    "  extract FILE OUTDIR [--raw|--png]  each frame with an image as frame-NNN.png or .raw\n"
    "  copy IN OUT [--rle]             load and save again (LZW, or RLE codes)\n"
    "  reduce IN OUT.png [--method M] [--dither D] [--bits N] [--palette FILE] [--psnr]\n"
    "                                  any image Qt reads to a palette PNG of at most 256 colours\n"
    "  render FILE OUT.png [--frame N] | render FILE --all OUTDIR\n"
    "                                  composed frames, as a viewer shows them, as RGB PNGs\n"
    "  play FILE [--rate N] [--stop-after N]  the animation in a window\n"
    "  convert IN... OUT.gif [--method M] [--dither D] [--bits N] [--palette FILE] [--delay N]\n"
    "          [--loop N] [--rle] [--optimize] [--psnr]\n"
    "                                  images (or a folder of them) to a GIF; several make an animation\n"
    "  optimize IN OUT [--trim] [--merge] [--cleanup] [--sort]\n"
    "                                  the same animation in fewer bytes; never larger than IN\n"
    "\n"
    "Every command takes -q (no warning lines), --max-pixels N and --help.\n"
    "FILE, IN and OUT may be '-' for standard input or output.\n"
    "Exit codes: 0 ok, 1 an input failed, 2 usage error.\n";

} // namespace

int main(int argc, char** argv)
{
    const GIFLibrary gifLibrary;
    if (argc < 2) {
        std::fputs(Usage, stderr);
        return gifimg::ExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(Usage, stdout);
        return gifimg::ExitOk;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs("gifimg " CARNELO_VERSION "\n", stdout);
        return gifimg::ExitOk;
    }
    QStringList arguments;
    for (int i = 2; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString command = QString::fromLocal8Bit(argv[1]);
    if (command == "info")
        return gifimg::runInfo(arguments);
    if (command == "extract")
        return gifimg::runExtract(arguments);
    if (command == "copy")
        return gifimg::runCopy(arguments);
    if (command == "reduce")
        return gifimg::runReduce(arguments);
    if (command == "render")
        return gifimg::runRender(arguments);
    if (command == "play")
        return gifimg::runPlay(arguments);
    if (command == "convert")
        return gifimg::runConvert(arguments);
    if (command == "optimize")
        return gifimg::runOptimize(arguments);
    std::fprintf(stderr, "gifimg: unknown command '%s'\n\n%s", argv[1], Usage);
    return gifimg::ExitUsage;
}
