#include "tests/gif/Timeline.h"

#include "framework/graphics/Bitmap.h"
#include "gif/ComposedFrames.h"
#include "gif/Extensions.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "tests/gif/ImageBuilder.h"

namespace {

// The painter reads the last control block of a frame.
int delayOf(const TGIFSubImage& frame)
{
    int delay = 0;
    for (int e = 0; e < frame.Extensions().Count(); ++e)
        if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&frame.Extensions().Items(e)))
            delay = control->Delay();
    return delay;
}

} // namespace

Timeline timelineOf(TGIFImage& image)
{
    Timeline timeline;
    timeline.width = image.Width();
    timeline.height = image.Height();
    std::vector<int> runOfFrame;
    ComposeFrames(image, [&](int k, const TBitmap& screen) {
        Timeline::Frame frame;
        frame.delay = delayOf(image.Images().Items(k));
        for (int y = 0; y < screen.Height(); ++y)
            for (int x = 0; x < screen.Width(); ++x)
                frame.pixels.push_back(pixelAt(screen, x, y));
        if (!timeline.frames.empty() && timeline.frames.back().pixels == frame.pixels)
            timeline.frames.back().delay += frame.delay;
        else
            timeline.frames.push_back(std::move(frame));
        runOfFrame.push_back(static_cast<int>(timeline.frames.size()) - 1);
        return true;
    });
    for (int n = 0; n < image.Images().Count() && timeline.loops < 0; ++n) {
        const TGIFExtensionList& extensions = image.Images().Items(n).Extensions();
        for (int e = 0; e < extensions.Count(); ++e)
            if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&extensions.Items(e))) {
                timeline.loops = loop->Loops();
                timeline.loopRun = n < static_cast<int>(runOfFrame.size()) ? runOfFrame[size_t(n)] : -2;
                break;
            }
    }
    return timeline;
}

std::string timelineDifference(const Timeline& expected, const Timeline& actual)
{
    if (expected == actual)
        return {};
    if (expected.width != actual.width || expected.height != actual.height)
        return "screen size";
    if (expected.frames.size() != actual.frames.size())
        return "frames " + std::to_string(expected.frames.size()) + " vs " + std::to_string(actual.frames.size());
    for (size_t k = 0; k < expected.frames.size(); ++k) {
        if (expected.frames[k].delay != actual.frames[k].delay)
            return "delay of run " + std::to_string(k);
        if (expected.frames[k].pixels != actual.frames[k].pixels)
            return "pixels of run " + std::to_string(k);
    }
    return "loop " + std::to_string(expected.loops) + "@" + std::to_string(expected.loopRun) + " vs " +
           std::to_string(actual.loops) + "@" + std::to_string(actual.loopRun);
}
