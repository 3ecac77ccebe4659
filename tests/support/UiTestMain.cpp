// Test programs of the user interface: one application object on the offscreen platform
// for the whole run.
#include "framework/ui/Application.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    TApplication application;
    application.Initialize(argc, argv);
    application.SetTitle("Carnelo tests");
    return RUN_ALL_TESTS();
}
