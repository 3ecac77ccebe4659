#include "tests/gif/ImageBuilder.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "gif/Extensions.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <algorithm>

std::unique_ptr<TGIFImage> buildImage(const ImagePlan& plan)
{
    auto image = std::make_unique<TGIFImage>();
    for (TColor c : plan.global)
        image->Header().ColorMap().Add(c);
    image->Header().SetBackgroundColorIndex(static_cast<uint8_t>(plan.background));
    image->SetWidth(plan.width);
    image->SetHeight(plan.height);
    for (size_t i = 0; i < plan.frames.size(); ++i) {
        const FramePlan& f = plan.frames[i];
        auto frame = std::make_unique<TGIFSubImage>(image.get());
        for (TColor c : f.local)
            frame->ColorMap().Add(c);
        if (i == 0 && plan.loops >= 0) {
            auto loop = std::make_unique<TGIFAppExtNSLoop>(frame.get());
            loop->SetIdentifier(AppIdentifier("NETSCAPE2.0"));
            loop->SetLoops(static_cast<uint16_t>(plan.loops));
            frame->Extensions().Add(std::move(loop));
        }
        if (f.transparent >= 0 || f.disposal >= 0 || f.delay > 0) {
            auto control = std::make_unique<TGIFGraphicControlExtension>(frame.get());
            control->SetDisposal(std::max(f.disposal, 0));
            control->SetDelay(static_cast<uint16_t>(f.delay));
            if (f.transparent >= 0) {
                control->StoreTransparentColorIndex(static_cast<uint8_t>(f.transparent));
                control->SetTransparent(true);
            }
            frame->Extensions().Add(std::move(control));
        }
        if (f.width > 0 && f.height > 0) {
            frame->SetBoundsRect(f.left, f.top, f.width, f.height);
            if (!f.pixels.empty())
                std::copy(f.pixels.begin(), f.pixels.end(), frame->Data());
        }
        image->Images().Add(std::move(frame));
    }
    // Frames may stand past the screen, as files may have them.
    image->Header().SetWidth(static_cast<uint16_t>(plan.width));
    image->Header().SetHeight(static_cast<uint16_t>(plan.height));
    return image;
}

FramePlan solidFrame(int left, int top, int width, int height, uint8_t index)
{
    FramePlan f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), index);
    return f;
}

TColor pixelAt(const TBitmap& bitmap, int x, int y)
{
    const uint8_t* row = bitmap.ScanLine(y);
    if (bitmap.BitsPerPixel() == 8) {
        const TPaletteEntry& e = bitmap.Palette()->Entry(row[x]);
        return RGB(e.peRed, e.peGreen, e.peBlue);
    }
    const uint8_t* p = row + 4 * x;
    return RGB(p[2], p[1], p[0]);
}
