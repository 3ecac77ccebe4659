#include "tests/gif/GifTestUtil.h"

#include "gif/Extensions.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes onePixel = LzwCodes(2).add({4, 1, 5}).imageData();

// A 1 x 1 GIF whose frame is preceded by the given extension bytes.
Bytes withExtension(const Bytes& extension)
{
    return ByteBuilder(gifHeader(1, 1, 2))
        .raw(extension)
        .raw(imageDescriptor(0, 0, 1, 1).bytes())
        .raw(onePixel)
        .u8(0x3B);
}

struct ExtensionCase {
    const char* name;
    Bytes read;
    Bytes written;
    std::string_view className;
};

class ExtensionLayout : public testing::TestWithParam<ExtensionCase> {};

TEST_P(ExtensionLayout, IsReadAsItsKindAndWrittenBack)
{
    const ExtensionCase& c = GetParam();
    for (bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace ? "bytes in place" : "stream calls");
        Loaded loaded = loadGif(withExtension(c.read), inPlace);
        ASSERT_EQ(loaded.error, "");
        EXPECT_TRUE(loaded.warnings.empty());
        ASSERT_EQ(loaded->Images().Count(), 1);
        TGIFSubImage& frame = loaded->Images().Items(0);
        ASSERT_EQ(frame.Extensions().Count(), 1);
        EXPECT_EQ(frame.Extensions().Items(0).ClassName(), c.className);
        EXPECT_EQ(saveGif(*loaded.image), withExtension(c.written));
    }
}

Bytes block(std::initializer_list<uint8_t> head, std::string_view text, std::initializer_list<uint8_t> tail)
{
    return ByteBuilder(head).text(text).raw(tail);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ExtensionLayout,
    testing::Values(
        ExtensionCase{"loop", block({0x21, 0xFF, 11}, "NETSCAPE2.0", {3, 1, 0, 0, 0}),
                      block({0x21, 0xFF, 11}, "NETSCAPE2.0", {3, 1, 0, 0, 0}), "TGIFAppExtNSLoop"},
        ExtensionCase{"loop_and_buffer", block({0x21, 0xFF, 11}, "NETSCAPE2.0", {5, 2, 1, 2, 3, 4, 3, 1, 5, 0, 0}),
                      block({0x21, 0xFF, 11}, "NETSCAPE2.0", {3, 1, 5, 0, 5, 2, 1, 2, 3, 4, 0}), "TGIFAppExtNSLoop"},
        ExtensionCase{"animexts", block({0x21, 0xFF, 11}, "ANIMEXTS1.0", {3, 1, 2, 0, 0}),
                      block({0x21, 0xFF, 11}, "ANIMEXTS1.0", {3, 1, 2, 0, 0}), "TGIFAppExtNSLoop"},
        ExtensionCase{"unknown_application", block({0x21, 0xFF, 11}, "XMP DataXMP", {3, 'a', 'b', 'c', 1, 0, 0}),
                      block({0x21, 0xFF, 11}, "XMP DataXMP", {3, 'a', 'b', 'c', 1, 0, 0}), "TGIFUnknownAppExtension"},
        ExtensionCase{"block_size_10", block({0x21, 0xFF, 10}, "ABCDEFGHIJ", {1, 'z', 0}),
                      block({0x21, 0xFF, 11}, "ABCDEFGHIJ", {0, 1, 'z', 0}), "TGIFUnknownAppExtension"},
        ExtensionCase{"block_size_13", block({0x21, 0xFF, 13}, "ABCDEFGHIJKLM", {1, 'z', 0}),
                      block({0x21, 0xFF, 11}, "ABCDEFGHIJK", {1, 'z', 0}), "TGIFUnknownAppExtension"},
        ExtensionCase{"block_size_12_looping", block({0x21, 0xFF, 12}, "NETSCAPE2.0!", {3, 1, 4, 0, 0}),
                      block({0x21, 0xFF, 11}, "NETSCAPE2.0", {3, 1, 4, 0, 0}), "TGIFAppExtNSLoop"},
        // The kind is asked again after the identifier: a first sub-block of 11 bytes
        // names it in turn.
        ExtensionCase{
            "unknown_application_naming_loop",
            ByteBuilder().raw(block({0x21, 0xFF, 11}, "XMP DataXMP", {11})).text("NETSCAPE2.0").raw({3, 1, 2, 0, 0}),
            block({0x21, 0xFF, 11}, "XMP DataXMP", {3, 1, 2, 0, 0}), "TGIFAppExtNSLoop"},
        ExtensionCase{"comment", block({0x21, 0xFE, 3}, "abc", {2, 'd', 'e', 0}),
                      block({0x21, 0xFE, 3}, "abc", {2, 'd', 'e', 0}), "TGIFCommentExtension"},
        ExtensionCase{
            "comment_cut_at_zero", {0x21, 0xFE, 3, 'a', 0, 'c', 0}, {0x21, 0xFE, 1, 'a', 0}, "TGIFCommentExtension"},
        ExtensionCase{"graphic_control",
                      {0x21, 0xF9, 4, 0x05, 10, 0, 1, 0},
                      {0x21, 0xF9, 4, 0x05, 10, 0, 1, 0},
                      "TGIFGraphicControlExtension"},
        ExtensionCase{"graphic_control_block_size_5",
                      {0x21, 0xF9, 5, 0x08, 1, 2, 3, 7},
                      {0x21, 0xF9, 5, 0x08, 1, 2, 3, 7},
                      "TGIFGraphicControlExtension"},
        ExtensionCase{"plain_text", block({0x21, 0x01, 12, 1, 0, 2, 0, 8, 0, 4, 0, 8, 4, 1, 0, 3}, "abc", {0}),
                      block({0x21, 0x01, 12, 1, 0, 2, 0, 8, 0, 4, 0, 8, 4, 1, 0, 3}, "abc", {0}), "TGIFTextExtension"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct FailureCase {
    const char* name;
    Bytes extension;
    std::string error;
};

class ExtensionFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ExtensionFailure, FailsTheLoad)
{
    for (bool inPlace : {true, false}) {
        Loaded loaded = loadGif(withExtension(GetParam().extension), inPlace);
        EXPECT_EQ(loaded.error, GetParam().error);
        EXPECT_EQ(loaded.position, 0);
        EXPECT_EQ(loaded->Images().Count(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ExtensionFailure,
    testing::Values(FailureCase{"unknown_label", {0x21, 0x02, 0}, "Unknown extension type"},
                    FailureCase{"application_block_size_5", block({0x21, 0xFF, 5}, "ABCDE", {0}),
                                "Unsupported Application Extension block size"},
                    FailureCase{"loop_sub_block_too_short", block({0x21, 0xFF, 11}, "NETSCAPE2.0", {2, 1, 0, 0}),
                                "Invalid GIF data"},
                    FailureCase{"buffer_sub_block_too_short", block({0x21, 0xFF, 11}, "NETSCAPE2.0", {3, 2, 0, 0, 0}),
                                "Invalid GIF data"},
                    FailureCase{"comment_cut_short", {0x21, 0xFE, 200, 'a'}, "Premature end of data"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(CommentExtension, LongStringsBecomeSeveralSubBlocks)
{
    TGIFCommentExtension comment(nullptr);
    comment.Text().Add(std::string(300, 'x'));
    comment.Text().Add("");
    TMemoryStream stream;
    comment.SaveToStream(stream);
    const Bytes& bytes = stream.Bytes();
    ASSERT_EQ(bytes.size(), 2u + 1 + 255 + 1 + 45 + 1);
    EXPECT_EQ(bytes[2], 255);
    EXPECT_EQ(bytes[2 + 256], 45);
    EXPECT_EQ(bytes.back(), 0);

    stream.SetPosition(0);
    TGIFCommentExtension read(nullptr);
    read.LoadFromStream(stream);
    EXPECT_EQ(read.Text().ToVector(), (std::vector<std::string>{std::string(255, 'x'), std::string(45, 'x')}));

    TGIFCommentExtension empty(nullptr);
    TMemoryStream emptyStream;
    empty.SaveToStream(emptyStream);
    EXPECT_EQ(emptyStream.Bytes(), (Bytes{0x21, 0xFE, 0}));
}

TEST(GraphicControlExtension, FirstOfSeveralIsTheFramesOwn)
{
    const Bytes first{0x21, 0xF9, 4, 0x01, 5, 0, 2, 0};
    const Bytes second{0x21, 0xF9, 4, 0x00, 9, 0, 0, 0};
    Loaded loaded = loadGif(withExtension(ByteBuilder().raw(first).raw(second)));
    ASSERT_EQ(loaded.error, "");
    TGIFSubImage& frame = loaded->Images().Items(0);
    ASSERT_EQ(frame.Extensions().Count(), 2);
    EXPECT_EQ(frame.GraphicControlExtension(), &frame.Extensions().Items(0));
    EXPECT_TRUE(frame.Transparent());
    EXPECT_EQ(saveGif(*loaded.image), withExtension(ByteBuilder().raw(first).raw(second)));

    // Freeing it clears the frame's reference and transparency.
    frame.Extensions().Delete(0);
    EXPECT_EQ(frame.GraphicControlExtension(), nullptr);
    EXPECT_FALSE(frame.Transparent());
}

TEST(GraphicControlExtension, SettersKeepTheOtherBits)
{
    TGIFImage image;
    TGIFSubImage frame(&image);
    TGIFGraphicControlExtension control(&frame);
    control.SetUserInput(true);
    control.SetDisposal(9);
    EXPECT_EQ(control.Disposal(), 1);
    EXPECT_TRUE(control.UserInput());
    control.SetTransparent(true);
    EXPECT_TRUE(frame.Transparent());
    EXPECT_EQ(control.PackedFields(), 0x07);

    std::vector<std::string> warnings;
    image.OnWarn = [&](TObject*, int, const std::string& message) { warnings.push_back(message); };
    control.SetTransparentColorIndex(200);
    EXPECT_EQ(control.TransparentColorIndex(), 200) << "no colour map to check against";
    frame.ColorMap().Add(0x000000);
    frame.ColorMap().Add(0xFFFFFF);
    control.SetTransparentColorIndex(2);
    EXPECT_EQ(control.TransparentColorIndex(), 0);
    EXPECT_EQ(warnings, std::vector<std::string>{"Invalid color index"});
}

TEST(GraphicControlExtension, CutShortWarnsAndKeepsWhatCame)
{
    Bytes gif = gifHeader(1, 1, 2);
    gif.insert(gif.end(), {0x21, 0xF9, 4, 0x01, 5});
    Loaded loaded = loadGif(gif);
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, std::vector<std::string>{"Premature end of data"});
    ASSERT_EQ(loaded->Images().Count(), 1);
    TGIFSubImage& frame = loaded->Images().Items(0);
    EXPECT_TRUE(frame.Empty());
    EXPECT_FALSE(frame.Transparent()) << "the transparent bit of a cut block is not applied";
}

TEST(ExtensionList, ZeroByteAfterAnExtensionEndsTheFrame)
{
    const Bytes comment{0x21, 0xFE, 1, 'c', 0};
    Bytes gif = gifHeader(1, 1, 2);
    gif.insert(gif.end(), comment.begin(), comment.end());
    gif.push_back(0);
    ByteBuilder rest;
    rest.raw(imageDescriptor(0, 0, 1, 1).bytes()).raw(onePixel).u8(0x3B);
    gif.insert(gif.end(), rest.bytes().begin(), rest.bytes().end());

    Loaded loaded = loadGif(gif);
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, std::vector<std::string>{"Invalid extension introducer"});
    ASSERT_EQ(loaded->Images().Count(), 2);
    EXPECT_TRUE(loaded->Images().Items(0).Empty());
    EXPECT_EQ(loaded->Images().Items(0).Extensions().Count(), 1);
    EXPECT_EQ(loaded->Images().Items(1).Extensions().Count(), 0);
    EXPECT_EQ(saveGif(*loaded.image), withExtension(comment));
}

} // namespace
