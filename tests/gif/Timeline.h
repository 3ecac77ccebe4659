#pragma once

#include "framework/graphics/Color.h"

#include <string>
#include <vector>

class TGIFImage;

// What an animation shows and for how long: the composed frames, each with its stored
// delay, runs of equal pictures merged with their delays added; then the loop count and
// the run where the painter's passes start (-1 without loop extension).
struct Timeline {
    struct Frame {
        std::vector<TColor> pixels;
        int delay = 0;
        friend bool operator==(const Frame&, const Frame&) = default;
    };
    int width = 0, height = 0;
    std::vector<Frame> frames;
    int loops = -1;
    int loopRun = -1;
    friend bool operator==(const Timeline&, const Timeline&) = default;
};

Timeline timelineOf(TGIFImage& image);
// Where two timelines first differ, for failure messages; empty when equal.
std::string timelineDifference(const Timeline& expected, const Timeline& actual);
