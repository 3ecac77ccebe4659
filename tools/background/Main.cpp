// carnelo-background: draws the main window's background picture and writes it as GIF.
#include "tools/background/Background.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs("Usage: carnelo-background OUT.gif\n"
                   "Draws the main window's 479 x 284 background and writes it as a GIF87a file.\n"
                   "The same program always writes the same bytes.\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    // Text needs a GUI application, not a display.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    try {
        TMemoryStream gif(background::gifBytes());
        gif.SaveToFile(argv[1]);
        std::printf("%s: %lld bytes\n", argv[1], static_cast<long long>(gif.Size()));
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: error: %s\n", argv[1], e.Message().c_str());
        return 1;
    }
    return 0;
}
