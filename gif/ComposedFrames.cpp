#include "gif/ComposedFrames.h"

#include "framework/core/Types.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "gif/Extensions.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/SubImage.h"

#include <cstring>

int ComposeFrames(TGIFImage& image, const std::function<bool(int frame, const TBitmap& screen)>& onFrame)
{
    if (image.IsEmpty() || image.Width() <= 0 || image.Height() <= 0)
        return 0;
    image.CheckBitmapBudget(image.Width(), image.Height());
    TBitmap screen(image.Width(), image.Height());
    TCanvas& canvas = screen.Canvas();
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(PainterBackgroundColor(image));
    const TRect whole = Rect(0, 0, image.Width(), image.Height());
    canvas.FillRect(whole);

    // The painter takes its rate from the image when it is made.
    struct RateScope {
        TGIFImage& image;
        int rate = image.AnimationRate();
        ~RateScope() { image.SetAnimationRate(rate); }
    } rate{image};
    image.SetAnimationRate(-1);
    TGIFPainter painter(dfTransparent | dfAnimate | dfDirect, whole, canvas, image);
    image.SetAnimationRate(rate.rate);

    int composed = 0;
    painter.OnFramePainted = [&](TObject*) {
        if (onFrame && !onFrame(composed, screen))
            painter.Stop();
        ++composed;
    };
    painter.Play();
    if (std::exception_ptr failure = painter.TakeFailure())
        std::rethrow_exception(failure);
    return composed;
}

TAnimationTimeline AnimationTimeline(TGIFImage& image)
{
    TAnimationTimeline timeline;
    timeline.width = image.Width();
    timeline.height = image.Height();
    std::vector<int> runOfFrame;
    const TGIFImageList& frames = image.Images();
    timeline.composed = ComposeFrames(image, [&](int k, const TBitmap& screen) {
        TAnimationTimeline::Run run;
        const TGIFExtensionList& extensions = frames.Items(k).Extensions();
        for (int e = 0; e < extensions.Count(); ++e)
            if (auto* control = dynamic_cast<const TGIFGraphicControlExtension*>(&extensions.Items(e)))
                run.delay = control->Delay();
        run.pixels.reserve(size_t(screen.Width()) * size_t(screen.Height()));
        for (int y = 0; y < screen.Height(); ++y) {
            const uint8_t* row = screen.ScanLine(y);
            for (int x = 0; x < screen.Width(); ++x) {
                uint32_t pixel;
                std::memcpy(&pixel, row + size_t(x) * 4, 4);
                run.pixels.push_back(pixel);
            }
        }
        if (!timeline.runs.empty() && timeline.runs.back().pixels == run.pixels)
            timeline.runs.back().delay += run.delay;
        else
            timeline.runs.push_back(std::move(run));
        runOfFrame.push_back(static_cast<int>(timeline.runs.size()) - 1);
        return true;
    });
    for (int n = 0; n < frames.Count() && timeline.loops < 0; ++n) {
        const TGIFExtensionList& extensions = frames.Items(n).Extensions();
        for (int e = 0; e < extensions.Count(); ++e)
            if (auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(&extensions.Items(e))) {
                timeline.loops = loop->Loops();
                timeline.loopRun = n < static_cast<int>(runOfFrame.size()) ? runOfFrame[size_t(n)] : -2;
                break;
            }
    }
    return timeline;
}
