#include "tests/gif/GifTestUtil.h"

#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

// The sanitizer runtimes tell an installed hook of every allocation; a plain build has none.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*)) __attribute__((weak));

namespace {

using Bytes = std::vector<uint8_t>;

std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largest{0};

void noteAllocation(const volatile void*, size_t size)
{
    if (!g_watching)
        return;
    size_t largest = g_largest;
    while (size > largest && !g_largest.compare_exchange_weak(largest, size)) {}
}

void noteFree(const volatile void*) {}

// The largest single allocation body makes; nothing when no sanitizer runtime can tell.
std::optional<size_t> largestAllocation(const std::function<void()>& body)
{
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks &&
                               __sanitizer_install_malloc_and_free_hooks(noteAllocation, noteFree) != 0;
    g_largest = 0;
    g_watching = hooked;
    body();
    g_watching = false;
    if (!hooked)
        return std::nullopt;
    return g_largest.load();
}

const Bytes onePixel = LzwCodes(2).add({4, 1, 5}).imageData();

ByteBuilder frame(const Bytes& before = {})
{
    return ByteBuilder().raw(before).raw(imageDescriptor(0, 0, 1, 1).bytes()).raw(onePixel);
}

TEST(GIFImage, LoadsAPlainPictureAndSavesItAsVersion87a)
{
    // Shaped like the main window's background: one frame, 256 global colours, 87a.
    LzwCodes codes(8);
    codes.add(256);
    for (int i = 0; i < 479 * 284; ++i) {
        if (i % 1000 == 0)
            codes.add(256);
        codes.add((i * 31) % 256);
    }
    codes.add(257);
    ByteBuilder gif = gifHeader(479, 284, 256, "GIF87a");
    gif.raw(imageDescriptor(0, 0, 479, 284).bytes()).raw(codes.imageData()).u8(0x3B);
    Loaded loaded = loadGif(gif);
    ASSERT_EQ(loaded.error, "");
    EXPECT_TRUE(loaded.warnings.empty());
    EXPECT_EQ(loaded.position, static_cast<int64_t>(gif.size()));
    ASSERT_EQ(loaded->Images().Count(), 1);
    EXPECT_EQ(loaded->Header().ColorMap().Count(), 256);
    EXPECT_EQ(loaded->Images().Items(0).ColorMap().Count(), 0);
    EXPECT_EQ(loaded->Images().Items(0).Extensions().Count(), 0);
    EXPECT_EQ(loaded->Width(), 479);
    EXPECT_EQ(loaded->Height(), 284);

    const Bytes saved = saveGif(*loaded.image);
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF87a");
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 13 + 768),
              Bytes(gif.bytes().begin(), gif.bytes().begin() + 13 + 768));
    Loaded again = loadGif(saved);
    EXPECT_EQ(pixelsOf(*again.image, 0), pixelsOf(*loaded.image, 0));

    loaded->Images().Items(0).Extensions().Add(
        std::make_unique<TGIFGraphicControlExtension>(&loaded->Images().Items(0)));
    const Bytes withControl = saveGif(*loaded.image);
    EXPECT_EQ(std::string(withControl.begin(), withControl.begin() + 6), "GIF89a");
}

TEST(GIFImage, KeepsExtensionsAfterTheLastImageInPlace)
{
    const Bytes comment{0x21, 0xFE, 2, 'h', 'i', 0};
    const Bytes gif = ByteBuilder(gifHeader(1, 1, 2)).raw(frame().bytes()).raw(comment).u8(0x3B);
    Loaded loaded = loadGif(gif);
    ASSERT_EQ(loaded.error, "");
    ASSERT_EQ(loaded->Images().Count(), 2);
    EXPECT_TRUE(loaded->Images().Items(1).Empty());
    EXPECT_EQ(saveGif(*loaded.image), gif);
}

struct ToleranceCase {
    const char* name;
    Bytes gif;
    std::vector<std::string> warnings;
    int frames;
};

class DamagedStream : public testing::TestWithParam<ToleranceCase> {};

TEST_P(DamagedStream, LoadsWhatItCan)
{
    Loaded loaded = loadGif(GetParam().gif);
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, GetParam().warnings);
    EXPECT_EQ(loaded->Images().Count(), GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DamagedStream,
    testing::Values(ToleranceCase{"zero_bytes_between_frames",
                                  ByteBuilder(gifHeader(1, 1, 2)).raw(frame()).repeat(0, 5).raw(frame()).u8(0x3B),
                                  {},
                                  2},
                    ToleranceCase{"unknown_block_type",
                                  ByteBuilder(gifHeader(1, 1, 2)).raw(frame()).u8('x').raw(frame()).u8(0x3B),
                                  {"Unknown GIF block type", "Invalid Image trailer"},
                                  1},
                    ToleranceCase{"no_trailer", ByteBuilder(gifHeader(1, 1, 2)).raw(frame()), {}, 1},
                    ToleranceCase{"other_trailer",
                                  ByteBuilder(gifHeader(1, 1, 2)).raw(frame()).u8(0x21 + 1),
                                  {"Unknown GIF block type", "Invalid Image trailer"},
                                  1},
                    ToleranceCase{
                        "ends_inside_data",
                        ByteBuilder(gifHeader(1, 1, 2)).raw(imageDescriptor(0, 0, 1, 1).bytes()).raw({2, 200, 1}),
                        {"Premature end of data"},
                        1},
                    ToleranceCase{"no_frames", ByteBuilder(gifHeader(1, 1, 2)).u8(0x3B), {}, 0}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(GIFImage, FailedLoadReturnsTheStreamAndKeepsCompleteFrames)
{
    const Bytes gif = ByteBuilder(gifHeader(1, 1, 2)).raw(frame()).raw({0x21, 0x02, 0}).raw(frame()).u8(0x3B);
    Bytes prefixed{9, 9, 9};
    prefixed.insert(prefixed.end(), gif.begin(), gif.end());
    TGIFImage image;
    TReadOnlyMemoryStream stream(prefixed.data(), prefixed.size());
    stream.SetPosition(3);
    try {
        image.LoadFromStream(stream);
        FAIL() << "no exception";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message(), "Unknown extension type");
    }
    EXPECT_EQ(stream.Position(), 3);
    EXPECT_EQ(image.Images().Count(), 1);
}

TEST(GIFImage, ReportsProgressWhileLoadingAndSaving)
{
    const Bytes gif = ByteBuilder(gifHeader(1, 1, 2)).raw(frame()).raw(frame()).u8(0x3B);
    TGIFImage image;
    std::vector<std::string> reports;
    image.OnProgressStep = [&](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw, const TRect&,
                               const std::string& message) {
        reports.push_back(std::string(sender == &image ? "image" : "list") + " " + std::to_string(int(stage)) + " " +
                          std::to_string(percent) + (redraw ? " redraw " : " ") + message);
    };
    TReadOnlyMemoryStream stream(gif.data(), gif.size());
    image.LoadFromStream(stream);
    // Frames end at bytes 34 and 49 of 50.
    EXPECT_EQ(reports, (std::vector<std::string>{"image 0 0 Loading...", "list 1 68 Loading...", "list 1 98 Loading...",
                                                 "image 2 100 redraw Loading..."}));
    reports.clear();
    saveGif(image);
    EXPECT_EQ(reports, (std::vector<std::string>{"image 0 0 Saving...", "list 1 50 Saving...", "list 1 100 Saving...",
                                                 "image 2 100 redraw Saving..."}));
}

TEST(GIFImage, HandlerThatThrowsFailsTheLoad)
{
    const Bytes gif = ByteBuilder(gifHeader(1, 1, 2)).raw(frame()).u8('x');
    TGIFImage image;
    image.OnWarn = [](TObject*, int, const std::string& message) { throw Exception("refused: " + message); };
    TReadOnlyMemoryStream stream(gif.data(), gif.size());
    try {
        image.LoadFromStream(stream);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "refused: Unknown GIF block type");
    }
    EXPECT_EQ(stream.Position(), 0);

    TGIFImage second;
    int ending = -1;
    second.OnProgressStep = [&](TObject* sender, TProgressStage stage, uint8_t percent, bool, const TRect&,
                                const std::string&) {
        if (stage == TProgressStage::psRunning)
            throw Exception("stop");
        if (sender == &second && stage == TProgressStage::psEnding)
            ending = percent;
    };
    stream.SetPosition(0);
    EXPECT_THROW(second.LoadFromStream(stream), Exception);
    EXPECT_EQ(second.Images().Count(), 0) << "the frame whose report failed is freed";
    EXPECT_EQ(ending, 0);
}

TEST(GIFImage, HugeDeclaredFrameFailsFastWithoutMemory)
{
    // 35 bytes: header, a 65535 x 65535 descriptor, a little data, trailer.
    ByteBuilder gif = gifHeader(65535, 65535, 2);
    gif.raw(imageDescriptor(0, 0, 65535, 65535).bytes()).raw({2, 2, 0x4C, 0x01, 0, 0x3B});
    ASSERT_EQ(gif.size(), 35u);
    Loaded loaded;
    const std::optional<size_t> largest = largestAllocation([&] { loaded = loadGif(gif); });
    EXPECT_EQ(loaded.error, "Mémoire insuffisante");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    ASSERT_TRUE(largest) << "the sanitizer runtime reports allocations";
#endif
    if (largest) {
        EXPECT_LT(*largest, size_t{16} << 20) << "the frame's 4 GB are refused before any is taken";
    }

    // A smaller budget: the frames that fit stay, the load fails on the next.
    const Bytes frames = ByteBuilder(gifHeader(4, 4, 2))
                             .raw(imageDescriptor(0, 0, 4, 4).bytes())
                             .raw(onePixel)
                             .raw(imageDescriptor(0, 0, 4, 4).bytes())
                             .raw(onePixel)
                             .u8(0x3B);
    TGIFImage image;
    image.SetMaxPixelBytes(20);
    TReadOnlyMemoryStream stream(frames.data(), frames.size());
    EXPECT_THROW(image.LoadFromStream(stream), EOutOfMemory);
    EXPECT_EQ(image.Images().Count(), 1);
    EXPECT_EQ(image.PixelBytes(), 16);
}

TEST(GIFImage, FailedSaveLeavesTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("old.gif");
    WriteText(path, "old content");
    TGIFImage empty;
    EXPECT_THROW(empty.SaveFile(path), GIFException);
    EXPECT_EQ(ReadText(path), "old content");

    Loaded loaded = loadGif(ByteBuilder(gifHeader(1, 1, 2)).raw(frame()).u8(0x3B));
    loaded->SaveFile(path);
    TGIFImage fromFile;
    fromFile.LoadFile(path);
    EXPECT_EQ(pixelsOf(fromFile, 0), Bytes{1});
}

TEST(GIFImage, LogicalScreenCannotShrinkBelowAFrame)
{
    Loaded loaded =
        loadGif(ByteBuilder(gifHeader(5, 5, 2)).raw(imageDescriptor(1, 2, 3, 3).bytes()).raw(onePixel).u8(0x3B));
    ASSERT_EQ(loaded.error, "");
    loaded->SetHeight(5);
    EXPECT_EQ(loaded->Height(), 5);
    try {
        loaded->SetHeight(4);
        FAIL() << "no exception";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message(), "Image height too small for contained frames");
    }
    EXPECT_THROW(loaded->SetWidth(3), GIFException);
    loaded->SetWidth(4);
    EXPECT_EQ(loaded->Width(), 4);
}

TEST(GIFImage, EveryTruncationOfARealFileLoadsOrFailsCleanly)
{
    for (const char* name :
         {"animated-red-blue.gif", "hippopotamus.interlaced.gif", "artificial-gif/metadata-full.gif"}) {
        const Bytes full = readDataFile(name);
        const int frames = loadGif(full)->Images().Count();
        for (size_t size = 0; size < full.size(); ++size) {
            Loaded loaded = loadGif(Bytes(full.begin(), full.begin() + long(size)));
            EXPECT_LE(loaded->Images().Count(), frames) << name << " cut at " << size;
            if (!loaded.error.empty()) {
                EXPECT_EQ(loaded.position, 0) << name << " cut at " << size;
            }
        }
    }
}

// Freed items and small pixel blocks are kept per thread for the next load there: an
// image made on one thread and freed on another, and threads that end holding freed
// blocks, leave every image whole.
TEST(GIFImage, ImagesFreedOnAnotherThreadStayWhole)
{
    const Bytes full = readDataFile("artificial-gif/multiple-loop-counts.gif");
    const Bytes expected = saveGif(*loadGif(full).image);
    std::unique_ptr<TGIFImage> fromWorker;
    std::thread([&] {
        fromWorker = std::move(loadGif(full).image);
        loadGif(full); // freed here: the worker ends holding its blocks
    }).join();
    Loaded onMain = loadGif(full);
    std::thread([&] { onMain.image.reset(); }).join();
    EXPECT_EQ(saveGif(*fromWorker), expected);
    fromWorker.reset();
    EXPECT_EQ(saveGif(*loadGif(full).image), expected);
}

} // namespace
