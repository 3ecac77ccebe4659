#pragma once

#include "gif/ComposedFrames.h"

#include <string>

class TGIFImage;

using Timeline = TAnimationTimeline;

inline Timeline timelineOf(TGIFImage& image)
{
    return AnimationTimeline(image);
}
// Where two timelines first differ, for failure messages; empty when equal.
std::string timelineDifference(const Timeline& expected, const Timeline& actual);
