#pragma once

// The main window's background picture, drawn from nothing with the raster core and
// written with the GIF library, so the committed file can be made again byte for byte.

#include <cstdint>
#include <memory>
#include <vector>

class TBitmap;
class TGIFImage;

namespace background {

inline constexpr int Width = 479;
inline constexpr int Height = 284;

// The picture in true colour (32-bit), at most 256 distinct colours. Its text needs a
// running QGuiApplication and the Liberation fonts; another face would draw another
// picture, so a missing one raises instead.
std::unique_ptr<TBitmap> drawPicture();

// One frame with the picture's own colours as a 256-entry global colour map, most used
// first; no extensions, so it saves as GIF87a. Raises when the picture has more than
// 256 colours.
std::unique_ptr<TGIFImage> imageOf(const TBitmap& picture);

// The bytes of resources/background.gif.
std::vector<uint8_t> gifBytes();

} // namespace background
