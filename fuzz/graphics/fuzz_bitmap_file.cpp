// Any bytes given to the bitmap-file reader end in a bitmap or an exception of ours, within
// a small pixel budget so that each input takes little time and memory.
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TReadOnlyMemoryStream stream(data, size);
    TBitmap bitmap;
    bitmap.SetMaxPixelBytes(int64_t(256) << 10);
    try {
        bitmap.LoadFromStream(stream);
    } catch (const Exception&) {
        return 0;
    }
    // What loaded must be usable: read back, converted and saved again.
    if (!bitmap.IsEmpty()) {
        TCanvas reader(bitmap);
        reader.Pixel(bitmap.Width() - 1, bitmap.Height() - 1);
        TMemoryStream out;
        bitmap.SaveToStream(out);
    }
    return 0;
}
