#pragma once

#include "framework/core/Exception.h"

#include <string_view>

// The library's one exception class; it carries one of the fixed texts below.
CARNELO_EXCEPTION(GIFException, EInvalidGraphic);

[[noreturn]] void RaiseGIFError(std::string_view message);

// Every message and warning of the library, word for word.
namespace GIFText {
inline constexpr std::string_view PrematureEnd = "Premature end of data";
inline constexpr std::string_view InvalidSignature = "Invalid GIF signature";
inline constexpr std::string_view UnsupportedVersion = "Unsupported GIF version";
inline constexpr std::string_view ColorTableOverflow = "Color table overflow";
inline constexpr std::string_view InvalidColorIndex = "Invalid color index";
inline constexpr std::string_view ColorTableEmpty = "Color table is empty";
inline constexpr std::string_view ClearCodeTooLarge = "ClearCode too large";
inline constexpr std::string_view CodeTooLarge = "Code too large";
inline constexpr std::string_view CircularTable = "Circular decoder table entry";
inline constexpr std::string_view StartIndexTooLarge = "StartIndex too large";
inline constexpr std::string_view BitBufferUnderrun = "Decoder bit buffer under-run";
inline constexpr std::string_view WidthTooSmall = "Image width too small for contained frames";
inline constexpr std::string_view HeightTooSmall = "Image height too small for contained frames";
inline constexpr std::string_view ExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr std::string_view InvalidPixelCoordinates = "Invalid pixel coordinates";
inline constexpr std::string_view ImageEmpty = "Image is empty";
inline constexpr std::string_view InvalidIntroducer = "Invalid extension introducer";
inline constexpr std::string_view UnknownExtension = "Unknown extension type";
inline constexpr std::string_view ExtensionLabelMismatch =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr std::string_view AppExtensionBlockSize = "Unsupported Application Extension block size";
inline constexpr std::string_view InvalidData = "Invalid GIF data";
inline constexpr std::string_view UnknownBlockType = "Unknown GIF block type";
inline constexpr std::string_view InvalidTrailer = "Invalid Image trailer";
inline constexpr std::string_view ColorNotInTable = "Color not in color table";
inline constexpr std::string_view InvalidStreamOperation = "Invalid stream operation";
inline constexpr std::string_view NoColorTable = "No global or local color table defined";
inline constexpr std::string_view UnsupportedObject = "Object type not supported for operation";
// Sizes beyond what the 16-bit fields of a file can hold.
inline constexpr std::string_view FrameBoundsOutOfRange = "Frame bounds out of range";
inline constexpr std::string_view ImageSizeOutOfRange = "Image size out of range";
inline constexpr std::string_view UnsupportedClipboardFormat = "Unsupported clipboard format";
inline constexpr std::string_view ClipboardFailed = "Failed to store GIF on clipboard";

inline constexpr std::string_view Loading = "Loading...";
inline constexpr std::string_view Saving = "Saving...";
inline constexpr std::string_view Rendering = "Rendering...";
inline constexpr std::string_view Copying = "Copying...";
inline constexpr std::string_view Converting = "Converting...";
inline constexpr std::string_view Optimizing = "Optimizing...";

// Colour reduction and the DIB toolkit.
inline constexpr std::string_view BitmapNotValid = "Bitmap image is not valid";
inline constexpr std::string_view UnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr std::string_view UnsupportedBitmapFormat = "Unsupported bitmap format";
inline constexpr std::string_view InvalidImageDimensions = "Invalid image dimensions";
inline constexpr std::string_view ImageHasNoDIB = "Image has no DIB";
inline constexpr std::string_view ScanLineOutOfRange = "Scan line index out of range";
inline constexpr std::string_view DIBOutOfMemory = "Failed to allocate memory for GIF DIB";

inline constexpr std::string_view InvalidReductionMethod = "Invalid color reduction method";
// Optimize cannot reduce to a caller's palette: it has none to pass on.
inline constexpr std::string_view InvalidOptimizeReduction = "Invalid reduction method";
inline constexpr std::string_view InvalidDitherMethod = "Invalid dithering method";
inline constexpr std::string_view NoReductionPalette = "No palette given for color reduction";
inline constexpr std::string_view ReductionBitDepth = "Reduction bit depth must be 1 to 8";
inline constexpr std::string_view QuantizerColorBits = "Color bits must be 0 to 8";
inline constexpr std::string_view QuantizerColorCount = "Optimized palette size must be 1 to 256";
} // namespace GIFText
