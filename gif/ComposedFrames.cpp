#include "gif/ComposedFrames.h"

#include "framework/core/Types.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "gif/GIFImage.h"
#include "gif/Painter.h"

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
