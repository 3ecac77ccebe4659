#pragma once

#include "framework/graphics/Palette.h"
#include "framework/graphics/PixelFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TBitmap;

// Reading and writing the device-independent bitmap layout shared by bitmap files and
// icons: an info header, bit masks or a colour table, then rows padded to 32 bits.
namespace dib {

struct Info {
    int width = 0;
    int height = 0;       // rows of the image (always positive)
    bool topDown = false; // rows stored top row first
    int bitCount = 0;
    uint32_t compression = 0;
    TBitFields masks;
    std::vector<TPaletteEntry> colors;
    size_t headerBytes = 0; // info header, masks and colour table together
    uint32_t sizeImage = 0; // bytes of run-length data as the header states them (0: unknown)
    bool RunLength() const { return compression == 1 || compression == 2; }
};

// Parses the info header at data and what follows it (masks, colour table), with size
// bytes available. For an icon image the stored height counts the mask rows too and is
// halved. Raises EInvalidGraphic for a malformed or unsupported header and EReadError
// for one that is cut short.
Info ParseInfo(const uint8_t* data, size_t size, bool icon);

// Bytes of the pixel rows the header describes, once uncompressed.
size_t ImageBytes(const Info& info);

// Raises EOutOfMemory when bytes of pixels exceed the reader's budget.
void CheckBudget(size_t bytes, int64_t maxPixelBytes);

// Expands run-length encoded data (8 or 4 bits) into uncompressed rows, stored as the
// header says (bottom-up). Pixels the data skips keep index 0; data that runs past the
// image is ignored.
std::vector<uint8_t> ExpandRunLength(const Info& info, const uint8_t* data, size_t size);

// A bitmap holding the rows (which must be ImageBytes long), in the header's format.
std::unique_ptr<TBitmap> Decode(const Info& info, const uint8_t* bits);

} // namespace dib
