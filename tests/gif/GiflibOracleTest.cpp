// Every sample file that giflib reads decodes to giflib's indices, and survives a save
// and a second load with the same pixels and blocks.
#include "tests/gif/GifTestUtil.h"

#include "gif/Extensions.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Reader {
    const std::vector<uint8_t>* bytes;
    size_t position = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int count)
{
    auto* reader = static_cast<Reader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), reader->bytes->size() - reader->position);
    std::memcpy(out, reader->bytes->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

struct GiflibFrame {
    int left, top, width, height;
    std::vector<uint8_t> pixels;
};

// Null when giflib refuses the file.
std::unique_ptr<std::vector<GiflibFrame>> giflibDecode(const std::vector<uint8_t>& bytes)
{
    Reader reader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readFromMemory, &error);
    if (!gif)
        return nullptr;
    std::unique_ptr<std::vector<GiflibFrame>> frames;
    if (DGifSlurp(gif) == GIF_OK) {
        frames = std::make_unique<std::vector<GiflibFrame>>();
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            const GifImageDesc& d = image.ImageDesc;
            const auto* bits = image.RasterBits;
            frames->push_back({d.Left, d.Top, d.Width, d.Height,
                               std::vector<uint8_t>(bits, bits + size_t(d.Width) * size_t(d.Height))});
        }
    }
    DGifCloseFile(gif, &error);
    return frames;
}

std::vector<int> framesWithImage(TGIFImage& image)
{
    std::vector<int> indices;
    for (int i = 0; i < image.Images().Count(); ++i)
        if (!image.Images().Items(i).Empty())
            indices.push_back(i);
    return indices;
}

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

INSTANTIATE_TEST_SUITE_P(WellFormed, SampleFile,
                         testing::ValuesIn([] {
                             auto files = dataFiles("");
                             auto more = dataFiles("artificial-gif");
                             files.insert(files.end(), more.begin(), more.end());
                             return files;
                         }()),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
