#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class TBitmap;
class TGIFImage;

// The frames of an animation as a viewer shows them, defined once for the library's
// tools, benchmarks and tests.
//
// A bitmap of the logical screen (32 bits per pixel, the device format) is filled with
// the painter's background colour (PainterBackgroundColor), then one pass of the
// animation is painted onto it without waiting and without a thread: a painter with
// {dfTransparent, dfAnimate, dfDirect} at AnimationRate -1, so transparency, each
// frame's disposal and clipping to the screen apply as when the image plays. Composed
// frame k is that bitmap right after the k-th painted frame (counting from 0); a frame
// without image ends the pass.
//
// onFrame(k, screen) receives each composed frame as it is made; the bitmap is reused
// for the next one, so a caller that keeps frames copies them. Returning false ends the
// pass early. Returns the number of frames composed.
//
// Memory: the screen bitmap, the painter's buffers (two or three more of the screen's
// size, only when some frame restores to background or to previous) and each frame's
// rendered bitmap and mask, which stay cached in the image. Every screen-sized bitmap is
// checked against the image's pixel budget first and raises EOutOfMemory before it is
// made; a failure of rendering passes on. The image's settings are left as they were.
// The image must not be drawn elsewhere meanwhile (it belongs to the calling thread).
int ComposeFrames(TGIFImage& image, const std::function<bool(int frame, const TBitmap& screen)>& onFrame);

// What an animation shows and for how long: its composed frames, each with the delay of
// its frame's last control block (the one the painter reads), runs of equal pictures
// merged with their delays added; then the loop count of the first loop extension and
// the run where the painter's passes start there (-1 without loop extension, -2 when
// that frame is never composed). Two images that compare equal look the same on every
// viewer that plays them as the painter does; composed, the number of frames painted,
// is not compared (frames that repeat the picture before them may come and go).
struct TAnimationTimeline {
    struct Run {
        std::vector<uint32_t> pixels; // the screen, row by row, in the device format
        int delay = 0;
        friend bool operator==(const Run&, const Run&) = default;
    };
    int width = 0;
    int height = 0;
    std::vector<Run> runs;
    int loops = -1;
    int loopRun = -1;
    int composed = 0;
    friend bool operator==(const TAnimationTimeline& a, const TAnimationTimeline& b)
    {
        return a.width == b.width && a.height == b.height && a.runs == b.runs && a.loops == b.loops &&
               a.loopRun == b.loopRun;
    }
};

// Composes the image as ComposeFrames does, with its memory and failures.
TAnimationTimeline AnimationTimeline(TGIFImage& image);
