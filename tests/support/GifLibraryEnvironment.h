#pragma once

#include "gif/GIFImage.h"

#include <gtest/gtest.h>

// Test programs run with the GIF library started, as the program does. A test file
// includes this in one translation unit of its program.
class GifLibraryEnvironment : public testing::Environment {
public:
    void SetUp() override { StartGIFLibrary(); }
    void TearDown() override { StopGIFLibrary(); }
};

inline testing::Environment* const gifLibraryEnvironment = testing::AddGlobalTestEnvironment(new GifLibraryEnvironment);
