#pragma once

#include <string_view>

// The messages of colour reduction and the DIB toolkit, word for word.
namespace GIFText {
inline constexpr std::string_view BitmapNotValid = "Bitmap image is not valid";
inline constexpr std::string_view UnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr std::string_view UnsupportedBitmapFormat = "Unsupported bitmap format";
inline constexpr std::string_view InvalidImageDimensions = "Invalid image dimensions";
inline constexpr std::string_view ImageHasNoDIB = "Image has no DIB";
inline constexpr std::string_view ScanLineOutOfRange = "Scan line index out of range";
inline constexpr std::string_view DIBOutOfMemory = "Failed to allocate memory for GIF DIB";

inline constexpr std::string_view InvalidReductionMethod = "Invalid color reduction method";
inline constexpr std::string_view InvalidDitherMethod = "Invalid dithering method";
inline constexpr std::string_view NoReductionPalette = "No palette given for color reduction";
inline constexpr std::string_view ReductionBitDepth = "Reduction bit depth must be 1 to 8";
inline constexpr std::string_view QuantizerColorBits = "Color bits must be 0 to 8";
inline constexpr std::string_view QuantizerColorCount = "Optimized palette size must be 1 to 256";
} // namespace GIFText
