// Any bytes given to the GIF reader end in an image or an exception of ours, within a
// small pixel budget, and what loaded can be written again.
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TGIFImage image;
    image.SetMaxPixelBytes(int64_t(64) << 10);
    int warnings = 0;
    image.OnWarn = [&warnings](TObject*, int, const std::string&) { ++warnings; };
    TReadOnlyMemoryStream stream(data, size);
    try {
        image.LoadFromStream(stream);
    } catch (const Exception&) {}
    try {
        TMemoryStream out;
        image.SaveToStream(out);
    } catch (const Exception&) {}
    return 0;
}
