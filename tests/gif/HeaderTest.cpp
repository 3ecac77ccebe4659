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

struct SignatureCase {
    const char* name;
    Bytes bytes;
    std::string error;
    int offset;
};

class HeaderSignature : public testing::TestWithParam<SignatureCase> {};

TEST_P(HeaderSignature, IsFoundAtTheStartOrFourBytesLater)
{
    const SignatureCase& c = GetParam();
    TGIFImage image;
    TReadOnlyMemoryStream stream(c.bytes.data(), c.bytes.size());
    std::string error;
    try {
        image.Header().LoadFromStream(stream);
    } catch (const Exception& e) {
        error = e.Message();
    }
    EXPECT_EQ(error, c.error);
    if (c.error.empty()) {
        EXPECT_EQ(image.Header().SignatureOffset(), c.offset);
        EXPECT_EQ(image.Header().Width(), 0x0102);
        EXPECT_EQ(image.Header().Height(), 3);
        EXPECT_EQ(image.Header().BackgroundColorIndex(), 1);
        EXPECT_EQ(image.Header().AspectRatio(), 49);
        EXPECT_EQ(stream.Position(), static_cast<int64_t>(c.bytes.size()));
    }
}

Bytes header(std::string_view signature, Bytes prefix = {})
{
    return ByteBuilder().raw(prefix).text(signature).raw({2, 1, 3, 0, 0x00, 1, 49});
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HeaderSignature,
    testing::Values(SignatureCase{"plain", header("GIF89a"), "", 0},
                    SignatureCase{"lower_case", header("gif87a"), "", 0},
                    SignatureCase{"any_version", header("GIFxyz"), "", 0},
                    SignatureCase{"length_word_before", header("GIF89a", {0x99, 0, 0, 0}), "", 4},
                    SignatureCase{"three_bytes_before", header("GIF89a", {1, 2, 3}), "Invalid GIF signature", 0},
                    SignatureCase{"zero_inside",
                                  header(std::string_view("GI\0"
                                                          "89a",
                                                          6)),
                                  "Invalid GIF signature", 0},
                    SignatureCase{"short", {'G', 'I', 'F', '8'}, "Premature end of data", 0},
                    SignatureCase{"descriptor_cut", {'G', 'I', 'F', '8', '9', 'a', 1, 0}, "Premature end of data", 0}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Header, ReadsTheGlobalTableAndForgetsItsSortFlag)
{
    Bytes gif = gifHeader(1, 1, 4);
    gif[10] |= 0x08;
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0});
    const Bytes data = LzwCodes(2).add({4, 3, 5}).imageData();
    gif.insert(gif.end(), data.begin(), data.end());
    gif.push_back(0x3B);
    Loaded loaded = loadGif(gif);
    ASSERT_EQ(loaded.error, "");
    EXPECT_EQ(loaded->Header().ColorMap().Count(), 4);
    EXPECT_FALSE(loaded->Header().ColorMap().Sorted());
    EXPECT_EQ(saveGif(*loaded.image)[10] & 0x08, 0);
}

struct PackingCase {
    const char* name;
    int globalColors;
    int localColors;
    uint8_t packed;
    size_t globalEntriesWritten;
};

class HeaderPacking : public testing::TestWithParam<PackingCase> {};

TEST_P(HeaderPacking, FollowsTheColourTables)
{
    const PackingCase& c = GetParam();
    TGIFImage image;
    for (int i = 0; i < c.globalColors; ++i)
        image.Header().ColorMap().Add(uint32_t(i));
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBoundsRect(0, 0, 1, 1);
    for (int i = 0; i < c.localColors; ++i)
        frame->ColorMap().Add(uint32_t(i));
    image.Images().Add(std::move(frame));
    const Bytes bytes = saveGif(image);
    EXPECT_EQ(bytes[10], c.packed);
    const size_t descriptorAt = 13 + c.globalEntriesWritten * 3;
    ASSERT_GT(bytes.size(), descriptorAt);
    EXPECT_EQ(bytes[descriptorAt], 0x2C);
}

TEST(Header, FramesWithoutImageDoNotCountForThePackedByte)
{
    TGIFImage image;
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBoundsRect(0, 0, 1, 1);
    frame->ColorMap().Add(0);
    image.Images().Add(std::move(frame));
    auto empty = std::make_unique<TGIFSubImage>(&image);
    for (int i = 0; i < 256; ++i)
        empty->ColorMap().Add(uint32_t(i));
    empty->Extensions().Add(std::make_unique<TGIFCommentExtension>(empty.get()));
    image.Images().Add(std::move(empty));
    EXPECT_EQ(saveGif(image)[10], 0x00);
}

INSTANTIATE_TEST_SUITE_P(Layouts, HeaderPacking,
                         testing::Values(PackingCase{"three_global", 3, 0, 0x80 | 0x10 | 1, 4},
                                         PackingCase{"one_global", 1, 0, 0x80 | 0x00 | 0, 2},
                                         PackingCase{"two_global_256_local", 2, 256, 0x80 | 0x70 | 0, 2},
                                         PackingCase{"local_only", 0, 16, 0x30 | 3, 0}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(Header, ImageWithoutFramesCannotBeSaved)
{
    // An empty frame writes nothing, so it counts as none.
    TGIFImage image;
    image.Header().ColorMap().Add(0);
    image.Images().Add(std::make_unique<TGIFSubImage>(&image));
    TMemoryStream stream;
    try {
        image.SaveToStream(stream);
        FAIL() << "no exception";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message(), "Unsupported GIF version");
    }
    EXPECT_EQ(stream.Size(), 0);
}

TEST(Header, VersionComesFromTheFramesAlone)
{
    TGIFImage image;
    image.Header().SetAspectRatio(49);
    EXPECT_EQ(image.Header().RequiredVersion(), gv89a);
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBoundsRect(0, 0, 1, 1);
    frame->ColorMap().Add(0);
    image.Images().Add(std::move(frame));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(saveGif(image).data()), 6), "GIF87a");
}

} // namespace
