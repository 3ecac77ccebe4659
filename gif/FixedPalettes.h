#pragma once

#include "framework/graphics/Canvas.h"

#include <memory>

class TPalette;

// Target palettes fixed by rule. Each call returns a new palette owned by the caller.

// 216 entries: 36 r + 6 g + b holds (51 r, 51 g, 51 b) for r, g, b in 0 .. 5.
std::unique_ptr<TPalette> NetscapePalette();
// 256 greys, entry i = (i, i, i).
std::unique_ptr<TPalette> Gray256Palette();
// The four greys 0, 128, 192, 255.
std::unique_ptr<TPalette> WindowsGrayPalette();
// Black, then white.
std::unique_ptr<TPalette> BlackWhitePalette();
// The halftone palette for the screen, through a device context made for the call.
std::unique_ptr<TPalette> WindowsHalftonePalette();
// The halftone palette for a device context; a context of 0 (none could be had) raises
// EOutOfResources with the system's text for the last error.
std::unique_ptr<TPalette> WindowsHalftonePalette(TCanvasHandle context);
