#pragma once

#include "gif/LzwDecoder.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

class TStream;

// What decoding one frame's image data came to, short of the errors it calls for.
struct FrameDecoding {
    int64_t reached = 0; // indices written
    LzwStop stop = LzwStop::Filled;
    LzwStop extra = LzwStop::Filled; // the step after the last pixel
    std::exception_ptr failure;      // what the decoding raised, the warning sink's included

    // Whether the outcome calls for an error; RaiseAny raises it, checking in the order a
    // reader meets them.
    bool Raises() const;
    void RaiseAny() const;
};

// Decodes the sub-blocks at the stream's position (the minimum code size byte read
// already) into count indices at out, as a frame is read, filling outcome as it goes:
// the last step may still warn and the sink throw, after reached is known. Unless the
// outcome raises, the stream is left on the byte after the data.
void DecodeFrameData(TStream& stream, int minCodeSize, uint8_t* out, int64_t count, LzwDecoder::WarningSink sink,
                     FrameDecoding& outcome);

// The frames' pixel blocks are given back to their cache, by size.
struct PixelBlockGiveBack {
    int64_t size = 0;
    void operator()(uint8_t* block) const noexcept;
};

// The frames of a file in memory, decoded ahead on several threads. A reader that meets
// image data at one of these offsets, with the same code size and pixel count, takes the
// outcome instead of decoding: it was reached from the same bytes by the same steps.
// Where the quick walk over the blocks went astray on a damaged file, no offset matches
// and the reader decodes as always, so the walk needs no care beyond staying in bounds.
class TPredecodedFrames {
public:
    struct Frame {
        int64_t offset = 0; // of the byte after the minimum code size, from the start
        int minCodeSize = 0;
        int64_t count = 0;
        // The frame's pixels to be, given back to the frames' cache unless taken.
        std::unique_ptr<uint8_t[], PixelBlockGiveBack> pixels;
        FrameDecoding outcome;
        std::vector<LzwWarning> warnings;
        int64_t end = 0; // where the data ended, from the start, when nothing was raised
        bool usable = false;
    };

    // Decodes up to budget pixel bytes of the frames found in bytes (a file from its
    // start), on up to threads threads; nothing for fewer than two frames or fewer than
    // minPixels pixels.
    TPredecodedFrames(const uint8_t* bytes, size_t size, int threads, int64_t minPixels, int64_t budget);

    // The outcome for the image data at offset from the start, or null. Each frame is
    // taken once.
    Frame* Take(int64_t offset, int minCodeSize, int64_t count);

private:
    std::vector<Frame> m_frames;
    size_t m_next = 0;
};
