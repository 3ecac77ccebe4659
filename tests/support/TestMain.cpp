#include "framework/core/Thread.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    SetMainThread();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
