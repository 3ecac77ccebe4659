// Any bytes given to the icon reader end in an icon or an exception of ours, within a small
// pixel budget.
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Icon.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TReadOnlyMemoryStream stream(data, size);
    TIcon icon;
    icon.SetMaxPixelBytes(int64_t(256) << 10);
    try {
        icon.LoadFromStream(stream);
    } catch (const Exception&) {
        return 0;
    }
    if (!icon.IsEmpty() && icon.Width() <= 256 && icon.Height() <= 256) {
        TBitmap target(icon.Width(), icon.Height());
        target.Canvas().Draw(0, 0, icon);
    }
    return 0;
}
