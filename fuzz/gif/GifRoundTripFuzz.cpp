// What loads and saves must read back as it was: load, save to A, load A, save to B;
// A and B are the same bytes, and every frame with an image keeps its pixels.
#include "framework/core/Stream.h"
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

std::vector<const TGIFSubImage*> framesWithImage(const TGIFImage& image)
{
    std::vector<const TGIFSubImage*> frames;
    for (int i = 0; i < image.Images().Count(); ++i)
        if (!image.Images().Items(i).Empty())
            frames.push_back(&image.Images().Items(i));
    return frames;
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "round trip broken: %s\n", what);
    std::abort();
}

std::vector<uint8_t> save(TGIFImage& image)
{
    TMemoryStream out;
    image.SaveToStream(out);
    return out.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr int64_t Budget = int64_t(64) << 10;
    TGIFImage first;
    first.SetMaxPixelBytes(Budget);
    std::vector<uint8_t> a;
    try {
        TReadOnlyMemoryStream stream(data, size);
        first.LoadFromStream(stream);
        // Images without frames, or with pixels beyond their colour table, cannot be saved.
        a = save(first);
    } catch (const Exception&) {
        return 0;
    }

    TGIFImage second;
    second.SetMaxPixelBytes(Budget);
    std::vector<uint8_t> b;
    try {
        TReadOnlyMemoryStream stream(a.data(), a.size());
        second.LoadFromStream(stream);
        b = save(second);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message().c_str());
        fail("our own output does not load and save");
    }
    if (a != b)
        fail("the second save differs from the first");

    const auto before = framesWithImage(first);
    const auto after = framesWithImage(second);
    if (before.size() != after.size())
        fail("frames with an image were lost or gained");
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i]->DataSize() != after[i]->DataSize() ||
            std::memcmp(before[i]->Data(), after[i]->Data(), size_t(before[i]->DataSize())) != 0)
            fail("pixels changed");
    return 0;
}
