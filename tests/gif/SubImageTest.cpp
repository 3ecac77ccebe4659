#include "tests/gif/GifTestUtil.h"

#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

struct DescriptorCase {
    const char* name;
    Bytes descriptor;
    int left, top, width, height;
    bool interlaced;
    int localColors;
    std::vector<std::string> warnings;
};

class ImageDescriptor : public testing::TestWithParam<DescriptorCase> {};

TEST_P(ImageDescriptor, ReadsFields)
{
    const DescriptorCase& c = GetParam();
    ByteBuilder gif = gifHeader(20, 10, 2);
    gif.raw(c.descriptor);
    for (int i = 0; i < c.localColors * 3; ++i)
        gif.u8(uint8_t(i));
    gif.raw(LzwCodes(2).add({4, 5}).imageData()).u8(0x3B);
    Loaded loaded = loadGif(gif);
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, c.warnings);
    ASSERT_EQ(loaded->Images().Count(), 1);
    TGIFSubImage& frame = loaded->Images().Items(0);
    EXPECT_EQ(frame.Left(), c.left);
    EXPECT_EQ(frame.Top(), c.top);
    EXPECT_EQ(frame.Width(), c.width);
    EXPECT_EQ(frame.Height(), c.height);
    EXPECT_EQ(frame.Interlaced(), c.interlaced);
    EXPECT_EQ(frame.ColorMap().Count(), c.localColors);
    EXPECT_EQ(frame.DataSize(), int64_t(c.width) * c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ImageDescriptor,
    testing::Values(DescriptorCase{"origin", {0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0x00}, 0, 0, 4, 2, false, 0, {}},
                    DescriptorCase{"interlaced", {0x2C, 1, 0, 2, 0, 4, 0, 2, 0, 0x40}, 1, 2, 4, 2, true, 0, {}},
                    DescriptorCase{"local_map", {0x2C, 0, 1, 0, 1, 3, 0, 1, 0, 0x81}, 256, 256, 3, 1, false, 4, {}},
                    DescriptorCase{"beyond_the_screen", {0x2C, 30, 0, 0, 0, 5, 0, 5, 0, 0}, 30, 0, 5, 5, false, 0, {}},
                    DescriptorCase{"zero_size",
                                   {0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                   0,
                                   0,
                                   20,
                                   10,
                                   false,
                                   0,
                                   {"Image exceeds Logical Screen size"}},
                    DescriptorCase{"zero_height",
                                   {0x2C, 0, 0, 0, 0, 3, 0, 0, 0, 0},
                                   0,
                                   0,
                                   20,
                                   10,
                                   false,
                                   0,
                                   {"Image exceeds Logical Screen size"}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(SubImage, WritesItsDescriptorFromItsOwnTable)
{
    // Read after a byte that is no ',', with a local map of 4 entries, interlaced and
    // the reserved bits set; written with ',' and a 4-entry table again.
    ByteBuilder gif = gifHeader(2, 1, 2);
    gif.raw({0x21, 0xFE, 0}).raw({'X', 0, 0, 0, 0, 2, 0, 1, 0, 0x40 | 0x18 | 0x20 | 0x81});
    gif.repeat(7, 12).raw(LzwCodes(2).add({4, 1, 2, 5}).imageData()).u8(0x3B);
    Loaded loaded = loadGif(gif);
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, std::vector<std::string>{"Invalid extension introducer"});
    ASSERT_EQ(loaded->Images().Count(), 1);
    TGIFSubImage& frame = loaded->Images().Items(0);
    EXPECT_EQ(frame.Separator(), 'X');
    frame.ColorMap().Delete(3);
    const Bytes saved = saveGif(*loaded.image);
    const Bytes expected{0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x80 | 0x40 | 0x18 | 1};
    const auto at = std::search(saved.begin(), saved.end(), expected.begin(), expected.end());
    ASSERT_NE(at, saved.end());
    Bytes table(9, 7);
    table.resize(12, 0);
    EXPECT_EQ(Bytes(at + 10, at + 22), table) << "3 entries padded to 4 with black";

    Loaded again = loadGif(saved);
    ASSERT_EQ(again.error, "");
    EXPECT_EQ(pixelsOf(*again.image, 0), (Bytes{1, 2}));
}

TEST(SubImage, WithoutLocalMapClearsItsMapBits)
{
    TGIFImage image;
    image.Header().ColorMap().Add(0);
    image.Header().ColorMap().Add(1);
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBoundsRect(0, 0, 1, 1);
    frame->SetInterlaced(true);
    image.Images().Add(std::move(frame));
    const Bytes saved = saveGif(image);
    EXPECT_EQ(saved[13 + 6 + 9], 0x40);
}

TEST(SubImage, BoundsBeyondTheScreenWidenIt)
{
    TGIFImage image;
    std::vector<std::string> warnings;
    image.OnWarn = [&](TObject*, int, const std::string& message) { warnings.push_back(message); };
    TGIFSubImage frame(&image);
    frame.SetBoundsRect(0, 0, 50, 5);
    EXPECT_TRUE(warnings.empty()) << "an empty screen takes the first frame's size";
    EXPECT_EQ(image.Width(), 50);

    frame.SetBoundsRect(10, 0, 100, 5);
    EXPECT_EQ(image.Width(), 110);
    EXPECT_EQ(image.Height(), 5);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Image width too small for contained frames",
                                                  "Image exceeds Logical Screen size"}));
    EXPECT_EQ(frame.DataSize(), 500) << "a new size reallocates the pixels";
    EXPECT_THROW(frame.SetLeft(65500), GIFException);
}

TEST(SubImage, PixelAccessChecksCoordinates)
{
    TGIFImage image;
    TGIFSubImage frame(&image);
    auto message = [](auto&& access) {
        try {
            access();
        } catch (const GIFException& e) {
            return e.Message();
        }
        return std::string();
    };
    EXPECT_EQ(message([&] { frame.Pixels(0, 0); }), "Invalid pixel coordinates");
    frame.SetBoundsRect(0, 0, 3, 2);
    frame.Scanline(1)[2] = 9;
    EXPECT_EQ(frame.Pixels(2, 1), 9);
    EXPECT_EQ(message([&] { frame.Pixels(3, 0); }), "Invalid pixel coordinates");
    EXPECT_EQ(message([&] { frame.Scanline(2); }), "Invalid pixel coordinates");
    frame.FreeData();
    EXPECT_EQ(frame.Pixels(2, 1), 0) << "pixels come back on demand";
}

TEST(SubImage, NeedsTheNewerVersionOnlyForExtensionsOrASortedMap)
{
    TGIFImage image;
    TGIFSubImage frame(&image);
    EXPECT_EQ(frame.RequiredVersion(), gvUnknown) << "it writes nothing";
    frame.SetBoundsRect(0, 0, 1, 1);
    EXPECT_EQ(frame.RequiredVersion(), gv87a);
    frame.Extensions().Add(std::make_unique<TGIFCommentExtension>(&frame));
    EXPECT_EQ(frame.RequiredVersion(), gv89a);
}

TEST(SubImage, PixelBudgetIsCheckedBeforeAllocating)
{
    TGIFImage image;
    image.SetMaxPixelBytes(1000);
    TGIFSubImage first(&image);
    first.SetBoundsRect(0, 0, 20, 20);
    TGIFSubImage second(&image);
    EXPECT_THROW(second.SetBoundsRect(0, 0, 30, 30), EOutOfMemory);
    EXPECT_EQ(second.DataSize(), 0);
    second.SetBoundsRect(0, 0, 20, 30);
    EXPECT_EQ(image.PixelBytes(), 1000);
    first.FreeData();
    EXPECT_EQ(image.PixelBytes(), 600);
}

} // namespace

namespace {

TEST(SubImage, InterlacedRowsWiderThanOneStripFindTheirPlaces)
{
    // Rows are moved into place a strip of 4096 columns at a time.
    TGIFImage image;
    for (int i = 0; i < 16; ++i)
        image.Header().ColorMap().Add(static_cast<TColor>(i * 0x111111));
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBoundsRect(0, 0, 4100, 17);
    frame->SetInterlaced(true);
    Bytes expected;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 4100; ++x)
            expected.push_back(static_cast<uint8_t>((x * 7 + y * 5 + x / 4096) % 16));
    std::copy(expected.begin(), expected.end(), frame->Data());
    image.Images().Add(std::move(frame));
    const Bytes saved = saveGif(image);
    Loaded again = loadGif(saved);
    ASSERT_EQ(again.error, "");
    EXPECT_EQ(pixelsOf(*again.image, 0), expected);
    EXPECT_EQ((*giflibDecode(saved))[0].pixels, expected);
}

TEST(SubImage, ReusedPixelMemoryShowsNoEarlierFrame)
{
    // Freed frames' pixels are handed to the next frame of their size.
    for (uint8_t packed : {uint8_t(0), uint8_t(0x40)}) {
        {
            TGIFImage image;
            TGIFSubImage frame(&image);
            frame.SetBoundsRect(0, 0, 64, 32);
            std::fill(frame.Data(), frame.Data() + frame.DataSize(), uint8_t(5));
        }
        Loaded loaded = loadGif(oneFrameGif(64, 32, 16, LzwCodes(4).add({16, 1, 17}).imageData(), packed));
        ASSERT_EQ(loaded.error, "");
        Bytes expected(64 * 32, 0);
        expected[0] = 1;
        EXPECT_EQ(pixelsOf(*loaded.image, 0), expected) << int(packed);
    }
}

} // namespace
