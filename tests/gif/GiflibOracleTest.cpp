// Every sample file that giflib reads decodes to giflib's indices, and survives a save
// and a second load with the same pixels and blocks.
#include "tests/gif/GifTestUtil.h"

#include "gif/Extensions.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <gtest/gtest.h>

namespace {

class SampleFile : public testing::TestWithParam<std::string> {};

TEST_P(SampleFile, DecodesToGiflibsIndices)
{
    const std::vector<uint8_t> bytes = readDataFile(GetParam());
    const auto expected = giflibDecode(bytes);
    ASSERT_TRUE(expected) << "giflib refuses the sample";
    Loaded loaded = loadGif(bytes);
    ASSERT_EQ(loaded.error, "");
    const std::vector<int> frames = framesWithImage(*loaded.image);
    ASSERT_EQ(frames.size(), expected->size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const TGIFSubImage& frame = loaded->Images().Items(frames[i]);
        const GiflibFrame& want = (*expected)[i];
        EXPECT_EQ(frame.Left(), want.left);
        EXPECT_EQ(frame.Top(), want.top);
        ASSERT_EQ(frame.Width(), want.width);
        ASSERT_EQ(frame.Height(), want.height);
        EXPECT_TRUE(pixelsOf(*loaded.image, frames[i]) == want.pixels) << "frame " << i;
    }
}

// Everything a save must keep, as text: logical screen, global table, and per frame its
// bounds, interlace flag, local table, extensions as written and pixels.
std::string blocksOf(TGIFImage& image)
{
    std::string out;
    auto table = [&](const TGIFColorMap& map) {
        out.append(reinterpret_cast<const char*>(map.Entries()), size_t(map.Count()) * 3);
        out += '|';
    };
    const TGIFHeader& header = image.Header();
    out += std::to_string(header.Width()) + "x" + std::to_string(header.Height()) + " bg " +
           std::to_string(header.BackgroundColorIndex()) + " aspect " + std::to_string(header.AspectRatio()) + "|";
    table(header.ColorMap());
    for (int i = 0; i < image.Images().Count(); ++i) {
        TGIFSubImage& frame = image.Images().Items(i);
        out += "frame " + std::to_string(frame.Left()) + "," + std::to_string(frame.Top()) + " " +
               std::to_string(frame.Width()) + "x" + std::to_string(frame.Height()) +
               (frame.Interlaced() ? " i|" : "|");
        table(frame.ColorMap());
        for (int e = 0; e < frame.Extensions().Count(); ++e) {
            TMemoryStream bytes;
            frame.Extensions().Items(e).SaveToStream(bytes);
            out.append(bytes.Bytes().begin(), bytes.Bytes().end());
            out += '|';
        }
        const std::vector<uint8_t> pixels = pixelsOf(image, i);
        out.append(pixels.begin(), pixels.end());
        out += '|';
    }
    return out;
}

TEST_P(SampleFile, SurvivesSaveAndLoadWithItsBlocks)
{
    Loaded first = loadGif(readDataFile(GetParam()));
    ASSERT_EQ(first.error, "");
    for (TCompressionMethod method : {cmLZW, cmRLE}) {
        first->SetCompressionMethod(method);
        const std::vector<uint8_t> saved = saveGif(*first.image);
        Loaded second = loadGif(saved);
        ASSERT_EQ(second.error, "");
        EXPECT_TRUE(second.warnings.empty());
        EXPECT_TRUE(blocksOf(*first.image) == blocksOf(*second.image)) << (method == cmLZW ? "LZW" : "RLE");

        // giflib reads what we wrote, with the same indices.
        const auto theirs = giflibDecode(saved);
        ASSERT_TRUE(theirs);
        const std::vector<int> frames = framesWithImage(*first.image);
        ASSERT_EQ(frames.size(), theirs->size());
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_TRUE(pixelsOf(*first.image, frames[i]) == (*theirs)[i].pixels) << "frame " << i;
    }
}

// Memory streams hand their bytes to the readers directly; any other stream is read
// through calls, and must give the same load.
void expectSameLoadThroughCalls(const std::vector<uint8_t>& bytes)
{
    Loaded direct = loadGif(bytes);
    Loaded called = loadGif(bytes, false);
    EXPECT_EQ(direct.error, called.error);
    EXPECT_EQ(direct.warnings, called.warnings);
    EXPECT_EQ(direct.position, called.position);
    EXPECT_TRUE(blocksOf(*direct.image) == blocksOf(*called.image));
}

TEST_P(SampleFile, LoadsTheSameThroughStreamCalls)
{
    expectSameLoadThroughCalls(readDataFile(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(WellFormed, SampleFile, testing::ValuesIn([] {
                             auto files = dataFiles("");
                             auto more = dataFiles("artificial-gif");
                             files.insert(files.end(), more.begin(), more.end());
                             return files;
                         }()),
                         [](const auto& testInfo) {
                             std::string name = testInfo.param;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

struct MalformedCase {
    const char* file;
    std::vector<std::string> warnings;
    int frames;
    std::vector<uint8_t> firstPixels;
};

class MalformedFile : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedFile, LoadsWithTheExpectedWarnings)
{
    const std::vector<uint8_t> bytes = readDataFile(std::string("malformed/") + GetParam().file);
    ASSERT_FALSE(giflibDecode(bytes)) << "giflib accepts the sample";
    Loaded loaded = loadGif(bytes);
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.warnings, GetParam().warnings);
    ASSERT_EQ(loaded->Images().Count(), GetParam().frames);
    if (GetParam().frames > 0) {
        const std::vector<uint8_t> pixels = pixelsOf(*loaded.image, 0);
        ASSERT_GE(pixels.size(), GetParam().firstPixels.size());
        EXPECT_TRUE(std::equal(GetParam().firstPixels.begin(), GetParam().firstPixels.end(), pixels.begin()));
    }
}

TEST_P(MalformedFile, LoadsTheSameThroughStreamCalls)
{
    expectSameLoadThroughCalls(readDataFile(std::string("malformed/") + GetParam().file));
}

INSTANTIATE_TEST_SUITE_P(
    Samples, MalformedFile,
    testing::Values(MalformedCase{"hippopotamus.interlaced.truncated.gif", {"Premature end of data"}, 1, {}},
                    MalformedCase{"no-frames.gif", {}, 0, {}},
                    // An end code right after the reset: no pixel at all.
                    MalformedCase{"pixel-data-none.gif", {}, 1, {0, 0, 0, 0}},
                    MalformedCase{"pixel-data-not-enough.gif", {}, 1, {0, 0, 0, 0}},
                    MalformedCase{"zero-width-frame.gif", {"Image exceeds Logical Screen size"}, 1, {}}),
    [](const auto& testInfo) {
        std::string name = testInfo.param.file;
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

} // namespace
