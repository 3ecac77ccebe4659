#pragma once

#include "framework/core/Types.h"
#include "framework/graphics/DrawStyles.h"

// Side of the caption on which the picture stands.
enum class TExplorerButtonLayout { blBitmapTop, blBitmapBottom, blBitmapLeft, blBitmapRight };

// What placing a button's picture and caption depends on. Text sizes are those the
// caption measured at the button's width less 4 (zero when no caption is shown).
struct ExplorerButtonMetrics {
    int width = 0;
    int height = 0;
    bool captionShown = false;
    int textWidth = 0;
    int textHeight = 0;
    // Zero for an empty bitmap.
    int bitmapWidth = 0;
    int bitmapHeight = 0;
    // A drop-down menu is set and its mark is wanted.
    bool popupMark = false;
    TExplorerButtonLayout layout = TExplorerButtonLayout::blBitmapTop;
    TAlignment alignment = TAlignment::taCenter;
    bool wordWrap = false;
};

// Where Paint puts things, in the button's client coordinates, before the pressed or
// lowered look moves the caption by one pixel.
struct ExplorerButtonPlacement {
    TPoint bitmap;    // top-left of the picture
    TRect text;       // the caption's rectangle; right may be at or left of left
    TPoint popupMark; // the mark's apex row is y + 2, its top row y - 1 (flat look)
};

ExplorerButtonPlacement placeExplorerButton(const ExplorerButtonMetrics& metrics);
