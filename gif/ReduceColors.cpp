#include "gif/ReduceColors.h"

#include "framework/core/Parallel.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"
#include "gif/ColorLookup.h"
#include "gif/DIB.h"
#include "gif/FixedPalettes.h"
#include "gif/GIFException.h"
#include "gif/Quantizer.h"
#include "gif/RefinedQuantizer.h"

#include <algorithm>
#include <vector>

namespace {

std::unique_ptr<TPalette> targetPalette(const TBitmap& bitmap, TDIBReader& reader, TReductionMethod method,
                                        const TPalette* palette, int reductionBitDepth)
{
    switch (method) {
    case crSystem20: return DefaultPalette().Clone();
    case crHalftone256: return WindowsHalftonePalette();
    case crGray4: return WindowsGrayPalette();
    case crBlackWhite: return BlackWhitePalette();
    case crGray256: return Gray256Palette();
    case crNetscape216: return NetscapePalette();
    case crQuantize: return CreateOptimizedPalette(reader, 1 << reductionBitDepth, 8, false);
    case crQuantizeSystem: return CreateOptimizedPaletteFromBitmap(bitmap, 256, 8, true);
    case crPalette: return DuplicatePalette(palette);
    case crNone:
    case crQuantizeRefined: break;
    }
    RaiseGIFError(GIFText::InvalidReductionMethod);
}

std::unique_ptr<TColorLookup> lookupFor(TReductionMethod method, const TPalette* palette)
{
    switch (method) {
    case crBlackWhite: return std::make_unique<TMonochromeLookup>(palette);
    case crGray256: return std::make_unique<TGrayScaleLookup>(palette);
    case crNetscape216: return std::make_unique<TNetscapeColorLookup>(palette);
    case crQuantizeRefined: return std::make_unique<NearestColorLookup>(palette);
    default: return std::make_unique<TFastColorLookup>(palette);
    }
}

PixelRows readRows(TDIBReader& reader, int width, int height, std::vector<uint8_t>& pixels)
{
    const size_t stride = 3 * static_cast<size_t>(width);
    pixels.resize(stride * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        std::copy_n(reader.ScanLineAt(y), stride, pixels.data() + stride * static_cast<size_t>(y));
    return {pixels.data(), static_cast<ptrdiff_t>(stride), width, height};
}

void checkArguments(TReductionMethod method, TDitherMethod dither, const TPalette* palette, int reductionBitDepth)
{
    if (method > crQuantizeRefined)
        RaiseGIFError(GIFText::InvalidReductionMethod);
    if (method == crNone)
        return;
    if (dither > dmSerpentine)
        RaiseGIFError(GIFText::InvalidDitherMethod);
    if (method == crPalette && !palette)
        RaiseGIFError(GIFText::NoReductionPalette);
    if ((method == crQuantize || method == crQuantizeRefined) && (reductionBitDepth < 1 || reductionBitDepth > 8))
        RaiseGIFError(GIFText::ReductionBitDepth);
}

} // namespace

std::unique_ptr<TBitmap> ReduceColors(const TBitmap& bitmap, TReductionMethod reductionMethod,
                                      TDitherMethod ditherMethod, const TPalette* palette, int reductionBitDepth)
{
    checkArguments(reductionMethod, ditherMethod, palette, reductionBitDepth);
    auto result = std::make_unique<TBitmap>();
    if (reductionMethod == crNone) {
        result->CopyFrom(&bitmap);
        return result;
    }
    const int width = bitmap.Width(), height = bitmap.Height();
    if (width <= 0 || height <= 0)
        return result;

    TDIBReader reader(bitmap, TPixelFormat::pf24bit);
    // The refined palette needs every pixel at once (on several threads for large
    // images), so its rows are read once into memory and mapped from there.
    std::vector<uint8_t> pixels;
    PixelRows rows;
    std::unique_ptr<TPalette> target;
    if (reductionMethod == crQuantizeRefined) {
        rows = readRows(reader, width, height, pixels);
        const int threads = rows.Pixels() >= ParallelReductionPixels ? WorkerThreads() : 1;
        target = CreateRefinedPalette(rows, 1 << reductionBitDepth, threads);
    } else {
        target = targetPalette(bitmap, reader, reductionMethod, palette, reductionBitDepth);
    }
    const std::unique_ptr<TColorLookup> lookup = lookupFor(reductionMethod, target.get());
    if (lookup->Colors() == 0)
        return result;
    const std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(ditherMethod, width, *lookup);
    TDIBWriter writer(*result, TPixelFormat::pf8bit, width, height, target.get());

    for (int y = 0; y < height; ++y) {
        const uint8_t* source = rows.top ? rows.Row(y) : reader.ScanLineAt(y);
        uint8_t* out = writer.ScanLineAt(y);
        for (int x = engine->Column(); x >= 0 && x < width; x = engine->Column()) {
            const uint8_t* pixel = source + 3 * static_cast<size_t>(x);
            uint8_t r, g, b;
            out[x] = engine->MapPixel(pixel[2], pixel[1], pixel[0], r, g, b);
        }
        engine->EndRow();
    }
    writer.Store();
    return result;
}
