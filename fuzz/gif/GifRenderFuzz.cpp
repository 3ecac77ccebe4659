// Any bytes that load under a small pixel budget render frame by frame and compose one
// pass of the animation without a crash, a hang or an allocation past the budget; the
// only failures are exceptions of ours.
#include "framework/core/Stream.h"
#include "gif/ComposedFrames.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const GIFLibrary library;
    TGIFImage image;
    image.SetMaxPixelBytes(int64_t(1) << 20);
    image.OnWarn = [](TObject*, int, const std::string&) {};
    TReadOnlyMemoryStream stream(data, size);
    try {
        image.LoadFromStream(stream);
    } catch (const Exception&) {
        return 0;
    }
    // The last byte chooses the drawing options, so dithering and the undithered path
    // both get their turn.
    image.SetDrawFlags(size > 0 && (data[size - 1] & 1) ? DefaultDrawFlags : TGIFDrawFlags(0));
    for (int i = 0; i < image.Images().Count(); ++i) {
        try {
            image.Images().Items(i).RenderedBitmap();
        } catch (const Exception&) {}
    }
    try {
        ComposeFrames(image, [](int, const TBitmap&) { return true; });
    } catch (const Exception&) {}
    return 0;
}
