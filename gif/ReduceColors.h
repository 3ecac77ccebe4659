#pragma once

#include "gif/Dither.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class TBitmap;
class TPalette;

// How a bitmap becomes an 8-bit palette bitmap (one byte).
enum TReductionMethod : uint8_t {
    crNone = 0,        // an unchanged copy
    crSystem20 = 1,    // the stock default palette of 20 colours
    crHalftone256 = 2, // the halftone palette
    crGray4 = 3,       // greys 0, 128, 192, 255
    crBlackWhite = 4,
    crGray256 = 5,
    crNetscape216 = 6,    // the 6 x 6 x 6 cube
    crQuantize = 7,       // an octree palette of 2^ReductionBitDepth colours
    crQuantizeSystem = 8, // the 20 system colours around an octree palette of 236
    crPalette = 9,        // the caller's palette
    // 2^ReductionBitDepth colours chosen by a median cut, then refined until they serve
    // the pixels with the least squared error; pixels map to the exact nearest colour.
    crQuantizeRefined = 10,
};
inline constexpr TReductionMethod DefaultReductionMethod = crNetscape216;
inline constexpr int DefaultReductionBitDepth = 8;
// What gives the best pictures of photos and screen recordings: the default of commands
// that convert images for people.
inline constexpr TReductionMethod QualityReductionMethod = crQuantizeRefined;
inline constexpr TDitherMethod QualityDitherMethod = dmSerpentine;
// Images of this many pixels or more are reduced on several threads, with the same result.
inline constexpr size_t ParallelReductionPixels = 500'000;

// A new 8-bit bitmap of the bitmap's size whose palette is the method's target palette
// (its colour table padded with black to 256 entries), every pixel mapped by the
// dithering method; for crNone a copy in the bitmap's own format. An empty bitmap gives
// an empty result.
//
// palette is used only by crPalette (copied; null raises "No palette given for color
// reduction"), reductionBitDepth only by crQuantize and crQuantizeRefined (outside 1 .. 8
// raises "Reduction bit depth must be 1 to 8"). Codes beyond crQuantizeRefined or
// dmSerpentine raise GIFException.
std::unique_ptr<TBitmap> ReduceColors(const TBitmap& bitmap, TReductionMethod reductionMethod,
                                      TDitherMethod ditherMethod, const TPalette* palette = nullptr,
                                      int reductionBitDepth = DefaultReductionBitDepth);
