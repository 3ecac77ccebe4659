#include "controls/ExplorerButtonLayout.h"

#include <algorithm>

namespace {

// Two items side by side with a gap: the row is aligned as a whole, the second item follows
// the first.
void placeInRow(TAlignment alignment, int width, int gap, int firstWidth, int secondWidth, int& first, int& second)
{
    switch (alignment) {
    case TAlignment::taLeftJustify:
        first = 3;
        second = first + firstWidth + gap;
        break;
    case TAlignment::taRightJustify:
        second = width - secondWidth - 3;
        first = second - firstWidth - gap;
        break;
    case TAlignment::taCenter:
        first = (width - (firstWidth + secondWidth + gap)) / 2;
        second = first + firstWidth + gap;
        break;
    }
}

} // namespace

ExplorerButtonPlacement placeExplorerButton(const ExplorerButtonMetrics& m)
{
    const int W = m.width, H = m.height;
    const int g = m.captionShown ? 2 : 0;
    int tw = m.captionShown ? std::min(m.textWidth, W - 4) : 0;
    const int th = m.captionShown ? m.textHeight : 0;
    const bool hasBitmap = m.bitmapWidth > 0 && m.bitmapHeight > 0;
    // The mark takes 10 pixels beside the picture, or beside the caption without one.
    const int bw = m.bitmapWidth + (m.popupMark ? 10 : 0);
    const int bh = m.bitmapHeight;
    int bx = 0, by = 0, tx = 0, ty = 0;

    if (!hasBitmap) {
        const int block = m.popupMark ? tw + 10 : tw;
        if (m.popupMark)
            tw = std::min(tw, W - 14);
        ty = (H - th) / 2;
        switch (m.alignment) {
        case TAlignment::taLeftJustify: tx = 3; break;
        case TAlignment::taRightJustify: tx = W - block - 3; break;
        case TAlignment::taCenter: tx = (W - block) / 2; break;
        }
    } else {
        const bool beside =
            m.layout == TExplorerButtonLayout::blBitmapLeft || m.layout == TExplorerButtonLayout::blBitmapRight;
        if (beside && W - 4 < bw + tw + g)
            tw = W - 4 - g - bw;
        switch (m.layout) {
        case TExplorerButtonLayout::blBitmapTop:
            by = (H - (bh + th + g)) / 2;
            ty = by + bh + g;
            break;
        case TExplorerButtonLayout::blBitmapBottom:
            ty = (H - (bh + th + g)) / 2;
            by = ty + th + g;
            break;
        case TExplorerButtonLayout::blBitmapLeft:
        case TExplorerButtonLayout::blBitmapRight:
            by = (H - bh) / 2;
            ty = (H - th) / 2;
            break;
        }
        switch (m.layout) {
        case TExplorerButtonLayout::blBitmapTop:
        case TExplorerButtonLayout::blBitmapBottom:
            switch (m.alignment) {
            case TAlignment::taLeftJustify:
                bx = 3;
                tx = 3;
                break;
            case TAlignment::taRightJustify:
                bx = W - bw - 3;
                tx = W - tw - 3;
                break;
            case TAlignment::taCenter:
                bx = (W - bw) / 2;
                tx = (W - tw) / 2;
                break;
            }
            break;
        case TExplorerButtonLayout::blBitmapLeft: placeInRow(m.alignment, W, g, bw, tw, bx, tx); break;
        case TExplorerButtonLayout::blBitmapRight: placeInRow(m.alignment, W, g, tw, bw, tx, bx); break;
        }
    }

    if (m.wordWrap && tx + tw > W - 5)
        tw = W - tx - 5;

    ExplorerButtonPlacement placement;
    placement.bitmap = {bx, by};
    placement.text = Rect(tx, ty, tx + tw, ty + th);
    placement.popupMark = hasBitmap ? TPoint{bx + m.bitmapWidth + 3, by + bh / 2} : TPoint{tx + tw + 3, ty + th / 2};
    return placement;
}
