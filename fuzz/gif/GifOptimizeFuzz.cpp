// Optimising must not change what an animation shows: load, save (the reference), then
// optimise, save and reload; both reloads compose the same frames for as long, with the
// same loop (a still image loses both). If the original saves, so does the optimised one.
#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "gif/ComposedFrames.h"
#include "gif/Extensions.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int64_t Budget = int64_t(1) << 20;

struct Run {
    std::vector<uint8_t> pixels;
    int delay = 0;
    bool operator==(const Run&) const = default;
};

struct Timeline {
    std::vector<Run> runs;
    int composed = 0;
    int loops = -1;
    bool operator==(const Timeline&) const = default;
};

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "optimising broke the image: %s\n", what);
    std::abort();
}

int lastDelay(const TGIFSubImage& frame)
{
    int delay = 0;
    for (int e = 0; e < frame.Extensions().Count(); ++e)
        if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&frame.Extensions().Items(e)))
            delay = control->Delay();
    return delay;
}

Timeline timelineOf(TGIFImage& image)
{
    Timeline timeline;
    timeline.composed = ComposeFrames(image, [&](int k, const TBitmap& screen) {
        Run run;
        run.delay = lastDelay(image.Images().Items(k));
        for (int y = 0; y < screen.Height(); ++y) {
            const uint8_t* row = screen.ScanLine(y);
            run.pixels.insert(run.pixels.end(), row, row + screen.RowStride());
        }
        if (!timeline.runs.empty() && timeline.runs.back().pixels == run.pixels)
            timeline.runs.back().delay += run.delay;
        else
            timeline.runs.push_back(std::move(run));
        return true;
    });
    for (int n = 0; n < image.Images().Count() && timeline.loops < 0; ++n)
        for (int e = 0; e < image.Images().Items(n).Extensions().Count(); ++e)
            if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&image.Images().Items(n).Extensions().Items(e))) {
                timeline.loops = loop->Loops();
                break;
            }
    return timeline;
}

std::vector<uint8_t> save(TGIFImage& image)
{
    TMemoryStream out;
    image.SaveToStream(out);
    return out.Bytes();
}

void load(TGIFImage& image, const std::vector<uint8_t>& bytes)
{
    image.SetMaxPixelBytes(Budget);
    TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
    image.LoadFromStream(stream);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const GIFLibrary library;
    TGIFImage original;
    std::vector<uint8_t> plain;
    try {
        load(original, std::vector<uint8_t>(data, data + size));
        plain = save(original);
    } catch (const Exception&) {
        return 0;
    }
    std::vector<uint8_t> optimised;
    try {
        original.Optimize(AllOptimizations, crNone, dmNearest, 8);
        optimised = save(original);
    } catch (const EOutOfMemory&) {
        return 0;
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        fail("the optimised image does not save");
    }
    TGIFImage before, after;
    Timeline expected, actual;
    try {
        load(before, plain);
        expected = timelineOf(before);
    } catch (const Exception&) {
        return 0; // beyond the budget when composed
    }
    try {
        load(after, optimised);
        actual = timelineOf(after);
    } catch (const EOutOfMemory&) {
        return 0;
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        fail("the optimised image does not load and compose");
    }
    if (expected.runs.size() != actual.runs.size())
        fail("a different number of pictures");
    // One picture, shown once or repeated, is a still image: its delays and loop count
    // change nothing a viewer shows, and may go.
    const bool still = expected.runs.size() <= 1;
    for (size_t k = 0; k < expected.runs.size(); ++k) {
        if (expected.runs[k].pixels != actual.runs[k].pixels)
            fail("a picture changed");
        if (!still && expected.runs[k].delay != actual.runs[k].delay)
            fail("a delay changed");
    }
    if (!still && expected.loops != actual.loops)
        fail("the loop count changed");
    return 0;
}
