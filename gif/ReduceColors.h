#pragma once

#include "gif/Dither.h"

#include <cstdint>
#include <memory>

class TBitmap;
class TPalette;

// How a bitmap becomes an 8-bit palette bitmap (one byte).
enum TReductionMethod : uint8_t {
    crNone = 0,           // an unchanged copy
    crSystem20 = 1,       // the stock default palette of 20 colours
    crHalftone256 = 2,    // the halftone palette
    crGray4 = 3,          // greys 0, 128, 192, 255
    crBlackWhite = 4,
    crGray256 = 5,
    crNetscape216 = 6,    // the 6 x 6 x 6 cube
    crQuantize = 7,       // an octree palette of 2^ReductionBitDepth colours
    crQuantizeSystem = 8, // the 20 system colours around an octree palette of 236
    crPalette = 9,        // the caller's palette
};
inline constexpr TReductionMethod DefaultReductionMethod = crNetscape216;
inline constexpr int DefaultReductionBitDepth = 8;

// A new 8-bit bitmap of the bitmap's size whose palette is the method's target palette
// (its colour table padded with black to 256 entries), every pixel mapped by the
// dithering method; for crNone a copy in the bitmap's own format. An empty bitmap gives
// an empty result.
//
// palette is used only by crPalette (copied; null raises "No palette given for color
// reduction"), reductionBitDepth only by crQuantize (outside 1 .. 8 raises "Reduction
// bit depth must be 1 to 8"). Codes beyond crPalette or dmBurkes raise GIFException.
std::unique_ptr<TBitmap> ReduceColors(const TBitmap& bitmap, TReductionMethod reductionMethod,
                                      TDitherMethod ditherMethod, const TPalette* palette = nullptr,
                                      int reductionBitDepth = DefaultReductionBitDepth);
