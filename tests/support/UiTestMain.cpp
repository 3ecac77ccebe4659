// Test programs of the user interface: one application object on the offscreen platform
// for the whole run.
#include "framework/ui/Application.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const char* update = std::getenv("CARNELO_UPDATE_GOLDEN");
    const char* ci = std::getenv("CI");
    if (update && std::string(update) == "1" && ci && *ci) {
        std::fprintf(stderr, "CARNELO_UPDATE_GOLDEN=1 is refused under CI: reviewed pictures are redrawn by hand\n");
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    TApplication application;
    application.Initialize(argc, argv);
    application.SetTitle("Carnelo tests");
    return RUN_ALL_TESTS();
}
