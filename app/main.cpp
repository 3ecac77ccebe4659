#include "app/CommandLine.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "framework/ui/Application.h"
#include "gif/GIFImage.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Answered before the toolkit starts, so they work without a display.
    const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
    case CommandLineAction::Help: std::fputs(helpText(StoreFolder() + "Data.sys").c_str(), stdout); return 0;
    case CommandLineAction::Version: std::fputs(versionText().c_str(), stdout); return 0;
    case CommandLineAction::Usage:
        std::fprintf(stderr, "carnelo: unknown argument '%s'\n%s", line.badArgument.c_str(), usageText().c_str());
        return 2;
    case CommandLineAction::Run: break;
    }
    // The library registers its graphic before the application and its forms exist.
    GIFLibrary gifLibrary;
    TApplication application;
    application.Initialize(argc, argv);
    application.SetTitle("Carnelo");
    application.CreateForm<TForm1>();
    application.CreateForm<TForm2>();
    application.Run();
    return 0;
}
