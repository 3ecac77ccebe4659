#pragma once

#include <cstddef>
#include <cstdint>

// Pictures compiled into the program as stored picture data: a length byte and the
// graphic's class name, then the picture file.
extern const uint8_t BackgroundPicture[];
extern const size_t BackgroundPictureSize;
extern const uint8_t AboutIconPicture[];
extern const size_t AboutIconPictureSize;
