// Frames decoded ahead on several threads load exactly as one thread loads them: pixels,
// bounds, warnings in order, the error, and where the stream is left; also when the file
// is cut short or damaged, and when a warning handler throws.
#include "tests/gif/GifTestUtil.h"

#include "framework/core/Exception.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int Threads = 3;

void expectSameFrames(TGIFImage& one, TGIFImage& many)
{
    ASSERT_EQ(many.Images().Count(), one.Images().Count());
    for (int i = 0; i < one.Images().Count(); ++i) {
        TGIFSubImage &a = one.Images().Items(i), &b = many.Images().Items(i);
        ASSERT_EQ(b.BoundsRect(), a.BoundsRect()) << "frame " << i;
        ASSERT_EQ(b.Empty(), a.Empty()) << "frame " << i;
        if (!a.Empty()) {
            ASSERT_EQ(pixelsOf(many, i), pixelsOf(one, i)) << "frame " << i;
        }
    }
}

void expectSameLoad(const std::vector<uint8_t>& bytes)
{
    const Loaded one = loadGif(bytes), many = loadGif(bytes, true, Threads);
    EXPECT_EQ(many.error, one.error);
    EXPECT_EQ(many.warnings, one.warnings);
    EXPECT_EQ(many.position, one.position);
    expectSameFrames(*one.image, *many.image);
}

// The file cut short at 12 places and with one byte changed at 12 others, evenly spread
// over the frames' data.
std::vector<std::vector<uint8_t>> damaged(const std::vector<uint8_t>& bytes)
{
    std::vector<std::vector<uint8_t>> variants;
    for (size_t k = 1; k <= 12; ++k) {
        const size_t at = 13 + (bytes.size() - 13) * k / 13;
        variants.emplace_back(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        variants.push_back(bytes);
        variants.back()[at] ^= static_cast<uint8_t>(0x5A + k);
    }
    return variants;
}

std::vector<std::string> samples()
{
    std::vector<std::string> files;
    for (const char* folder : {"", "artificial-gif", "malformed"})
        for (const std::string& file : dataFiles(folder))
            files.push_back(file);
    return files;
}

TEST(ThreadedDecode, SamplesAndTheirDamageLoadAsOnOneThread)
{
    for (const std::string& file : samples()) {
        SCOPED_TRACE(file);
        const auto bytes = readDataFile(file);
        expectSameLoad(bytes);
        // The large photographs add time, not cases.
        if (bytes.size() < 200'000)
            for (const auto& variant : damaged(bytes))
                expectSameLoad(variant);
    }
}

// The handler throws at its n-th call: the load fails there with the handler's error on
// any number of threads, after the same warnings, leaving the same frames.
TEST(ThreadedDecode, AHandlerThatThrowsStopsTheLoadAtTheSameWarning)
{
    struct Stop {};
    auto load = [](const std::vector<uint8_t>& bytes, int threads, int throwAt) {
        Loaded result;
        result.image->SetDecodeThreads(threads, 0);
        result.image->OnWarn = [&result, throwAt](TObject*, int, const std::string& message) {
            result.warnings.push_back(message);
            if (static_cast<int>(result.warnings.size()) == throwAt)
                throw Stop{};
        };
        TReadOnlyMemoryStream stream(bytes.data(), bytes.size());
        try {
            result.image->LoadFromStream(stream);
        } catch (const Stop&) {
            result.error = "stopped";
        } catch (const Exception& e) {
            result.error = e.Message();
        }
        result.image->OnWarn = nullptr;
        return result;
    };
    int cases = 0;
    for (const char* file :
         {"muybridge.gif", "gifplayer-muybridge.gif", "malformed/hippopotamus.interlaced.truncated.gif"})
        for (const auto& variant : damaged(readDataFile(file))) {
            const size_t warnings = load(variant, 1, 0).warnings.size();
            for (int n = 1; n <= static_cast<int>(std::min<size_t>(warnings, 3)); ++n) {
                SCOPED_TRACE(std::string(file) + ", throwing at warning " + std::to_string(n));
                const Loaded one = load(variant, 1, n), many = load(variant, Threads, n);
                EXPECT_EQ(many.error, one.error);
                EXPECT_EQ(many.warnings, one.warnings);
                expectSameFrames(*one.image, *many.image);
                ++cases;
            }
        }
    EXPECT_GT(cases, 10); // damage that warns, so that handlers are asked
}

} // namespace
