// Any bytes as stored picture data (a length-prefixed class name, then the graphic's own
// data), with every graphic class of the program registered: the picture either takes a
// graphic or keeps what it had, and failures are exceptions. A small pixel budget keeps each
// input quick.
#include "framework/core/Stream.h"
#include "framework/graphics/Picture.h"
#include "gif/GIFImage.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const GIFLibrary gifLibrary;
    TPicture picture;
    picture.SetMaxPixelBytes(int64_t(256) << 10);
    TReadOnlyMemoryStream stream(data, size);
    try {
        picture.ReadStored(stream);
    } catch (const Exception&) {}
    (void)picture.Width();
    (void)picture.Height();
    return 0;
}
