#pragma once

#include "framework/graphics/Bitmap.h"

// The pixels behind a bitmap; shared by bitmaps that wrap one another.
struct TBitmap::Image {
    TPixelFormat format = TPixelFormat::pfDevice;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32;
    TBitFields masks = kBitFields888;
    size_t stride = 0;
    std::vector<uint8_t> bits;
    std::unique_ptr<TPalette> palette;
};
