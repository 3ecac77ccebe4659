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

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "optimising broke the image: %s\n", what);
    std::abort();
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
        // Inputs of odd size also take the choices by encoded size that gifimg makes.
        const TGIFOptimizations bySize = size % 2 ? goMergeBySize | goLocalMapsBySize : 0;
        original.Optimize(AllOptimizations | bySize, crNone, dmNearest, 8);
        optimised = save(original);
    } catch (const EOutOfMemory&) {
        return 0;
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        fail("the optimised image does not save");
    }
    TGIFImage before, after;
    TAnimationTimeline expected, actual;
    try {
        load(before, plain);
        expected = AnimationTimeline(before);
    } catch (const Exception&) {
        return 0; // beyond the budget when composed
    }
    try {
        load(after, optimised);
        actual = AnimationTimeline(after);
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
