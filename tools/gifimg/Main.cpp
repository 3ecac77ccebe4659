// gifimg: the GIF library from the command line.
#include "gif/GIFImage.h"
#include "tools/gifimg/Commands.h"
#include "tools/gifimg/Usage.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const GIFLibrary gifLibrary;
    if (argc < 2) {
        std::fputs(gifimg::Usage, stderr);
        return gifimg::ExitUsage;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(gifimg::Usage, stdout);
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
    std::fprintf(stderr, "gifimg: unknown command '%s'\n\n%s", argv[1], gifimg::Usage);
    return gifimg::ExitUsage;
}
