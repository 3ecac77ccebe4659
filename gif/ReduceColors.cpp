#include "gif/ReduceColors.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"
#include "gif/ColorLookup.h"
#include "gif/DIB.h"
#include "gif/FixedPalettes.h"
#include "gif/GIFException.h"
#include "gif/Quantizer.h"

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
    case crNone: break;
    }
    RaiseGIFError(GIFText::InvalidReductionMethod);
}

std::unique_ptr<TColorLookup> lookupFor(TReductionMethod method, const TPalette* palette)
{
    switch (method) {
    case crBlackWhite: return std::make_unique<TMonochromeLookup>(palette);
    case crGray256: return std::make_unique<TGrayScaleLookup>(palette);
    case crNetscape216: return std::make_unique<TNetscapeColorLookup>(palette);
    default: return std::make_unique<TFastColorLookup>(palette);
    }
}

void checkArguments(TReductionMethod method, TDitherMethod dither, const TPalette* palette, int reductionBitDepth)
{
    if (method > crPalette)
        RaiseGIFError(GIFText::InvalidReductionMethod);
    if (method == crNone)
        return;
    if (dither > dmBurkes)
        RaiseGIFError(GIFText::InvalidDitherMethod);
    if (method == crPalette && !palette)
        RaiseGIFError(GIFText::NoReductionPalette);
    if (method == crQuantize && (reductionBitDepth < 1 || reductionBitDepth > 8))
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
    const std::unique_ptr<TPalette> target =
        targetPalette(bitmap, reader, reductionMethod, palette, reductionBitDepth);
    const std::unique_ptr<TColorLookup> lookup = lookupFor(reductionMethod, target.get());
    if (lookup->Colors() == 0)
        return result;
    const std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(ditherMethod, width, *lookup);
    TDIBWriter writer(*result, TPixelFormat::pf8bit, width, height, target.get());

    for (int y = 0; y < height; ++y) {
        const uint8_t* source = reader.ScanLineAt(y);
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
