#pragma once

#include "framework/graphics/Color.h"
#include "gif/GIFImage.h"

#include <cstdint>
#include <memory>
#include <vector>

class TBitmap;

// A frame described by value; the builder makes the blocks.
struct FramePlan {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> pixels; // width x height indices; empty leaves the frame zeroed
    int transparent = -1;        // the transparent index, or none
    int disposal = -1;           // -1 and no transparency and no delay: no graphic control block
    int delay = 0;
    std::vector<TColor> local; // a local colour map when not empty
};

struct ImagePlan {
    int width = 0, height = 0;
    std::vector<TColor> global;
    std::vector<FramePlan> frames;
    int loops = -1;     // a loop extension on frame 0 when not negative
    int background = 0; // the header's background colour index
};

std::unique_ptr<TGIFImage> buildImage(const ImagePlan& plan);

// A frame of one colour index.
FramePlan solidFrame(int left, int top, int width, int height, uint8_t index);

// The colour of a pixel of a 32-bit or 8-bit bitmap, as 0x00BBGGRR.
TColor pixelAt(const TBitmap& bitmap, int x, int y);
