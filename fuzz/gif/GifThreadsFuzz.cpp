// Decoding frames ahead on other threads never changes a load: the same frames, pixels,
// warnings, error and stream position as on one thread, whatever the bytes.
#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Outcome {
    TGIFImage image;
    std::vector<std::string> warnings;
    std::string error;
    int64_t position = 0;
};

void load(Outcome& outcome, const uint8_t* data, size_t size, int threads)
{
    outcome.image.SetMaxPixelBytes(int64_t(256) << 10);
    outcome.image.SetDecodeThreads(threads, 0);
    outcome.image.OnWarn = [&outcome](TObject*, int, const std::string& message) {
        outcome.warnings.push_back(message);
    };
    TReadOnlyMemoryStream stream(data, size);
    try {
        outcome.image.LoadFromStream(stream);
    } catch (const Exception& e) {
        outcome.error = e.Message();
    }
    outcome.position = stream.Position();
}

[[noreturn]] void differ(const char* what)
{
    std::fprintf(stderr, "decoding on threads changed the load: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Outcome one, many;
    load(one, data, size, 1);
    load(many, data, size, 2);
    if (one.error != many.error)
        differ("the error");
    if (one.warnings != many.warnings)
        differ("the warnings");
    if (one.position != many.position)
        differ("the position");
    TGIFImageList &a = one.image.Images(), &b = many.image.Images();
    if (a.Count() != b.Count())
        differ("the frame count");
    for (int i = 0; i < a.Count(); ++i) {
        const TGIFSubImage &x = a.Items(i), &y = b.Items(i);
        if (!(x.BoundsRect() == y.BoundsRect()) || x.DataSize() != y.DataSize() ||
            (x.DataSize() > 0 && std::memcmp(x.Data(), y.Data(), static_cast<size_t>(x.DataSize())) != 0))
            differ("a frame's pixels");
    }
    return 0;
}
