#include "tests/gif/GifTestUtil.h"

#include "gif/ImageList.h"
#include "gif/SubImage.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/GifLibraryEnvironment.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

Loaded loadGif(const std::vector<uint8_t>& bytes, bool inPlace, int threads)
{
    Loaded result;
    result.image->SetDecodeThreads(threads, 0);
    result.image->OnWarn = [&warnings = result.warnings](TObject*, int, const std::string& message) {
        warnings.push_back(message);
    };
    TReadOnlyMemoryStream view(bytes.data(), bytes.size());
    TMemoryStream copy(bytes);
    TStream& stream = inPlace ? static_cast<TStream&>(view) : copy;
    try {
        result.image->LoadFromStream(stream);
    } catch (const Exception& e) {
        result.error = e.Message();
    }
    result.position = stream.Position();
    result.image->OnWarn = nullptr;
    return result;
}

std::vector<uint8_t> saveGif(TGIFImage& image)
{
    TMemoryStream stream;
    image.SaveToStream(stream);
    return stream.Bytes();
}

std::string dataPath(const std::string& relativePath)
{
    return std::string(CARNELO_TEST_DATA) + "/gif/" + relativePath;
}

std::vector<uint8_t> readDataFile(const std::string& relativePath)
{
    std::ifstream in(dataPath(relativePath), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> dataFiles(const std::string& folder)
{
    namespace fs = std::filesystem;
    const fs::path root = dataPath("");
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(root / folder))
        if (entry.path().extension() == ".gif")
            files.push_back(fs::relative(entry.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> pixelsOf(TGIFImage& image, int frame)
{
    const TGIFSubImage& f = image.Images().Items(frame);
    if (!f.Data())
        return {};
    return {f.Data(), f.Data() + f.DataSize()};
}

LzwCodes::LzwCodes(int minCodeSize)
    : m_minCodeSize(minCodeSize), m_width(minCodeSize + 1), m_nextCode((1 << minCodeSize) + 2)
{}

LzwCodes& LzwCodes::add(std::initializer_list<int> codes)
{
    for (int code : codes)
        add(code);
    return *this;
}

LzwCodes& LzwCodes::add(int code)
{
    m_codes.emplace_back(code, m_width);
    if (code == clearCode()) {
        m_width = m_minCodeSize + 1;
        m_nextCode = clearCode() + 2;
        m_first = true;
    } else if (code != endCode()) {
        if (m_first)
            m_first = false;
        else if (m_nextCode < 4096 && ++m_nextCode >= (1 << m_width) && m_width < 12)
            ++m_width;
    }
    return *this;
}

std::vector<uint8_t> LzwCodes::imageData(size_t chunk) const
{
    CodePacker packer;
    for (auto [code, width] : m_codes)
        packer.put(code, width);
    ByteBuilder b;
    b.u8(static_cast<uint8_t>(m_minCodeSize)).subBlocks(packer.bytes(), chunk);
    return b.bytes();
}

std::vector<int> readCodes(const std::vector<uint8_t>& imageData)
{
    const int minCodeSize = imageData.at(0);
    std::vector<uint8_t> data;
    for (size_t i = 1; i < imageData.size() && imageData[i] != 0; i += imageData[i] + 1u)
        data.insert(data.end(), imageData.begin() + long(i) + 1, imageData.begin() + long(i) + 1 + imageData[i]);
    const int clear = 1 << minCodeSize;
    int width = minCodeSize + 1;
    int next = clear + 2;
    bool first = true;
    std::vector<int> codes;
    for (size_t bit = 0; bit + size_t(width) <= data.size() * 8;) {
        int code = 0;
        for (int k = 0; k < width; ++k, ++bit)
            code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
        codes.push_back(code);
        if (code == clear + 1)
            break;
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            first = true;
        } else if (first) {
            first = false;
        } else if (next < 4096 && ++next >= (1 << width) && width < 12) {
            ++width;
        }
    }
    return codes;
}

std::vector<int> subBlockSizes(const std::vector<uint8_t>& imageData)
{
    std::vector<int> sizes;
    for (size_t i = 1; i < imageData.size() && imageData[i] != 0; i += imageData[i] + 1u)
        sizes.push_back(imageData[i]);
    return sizes;
}

std::vector<uint8_t> oneFrameGif(int width, int height, int colors, const std::vector<uint8_t>& imageData,
                                 uint8_t packed)
{
    ByteBuilder b = gifHeader(static_cast<uint16_t>(width), static_cast<uint16_t>(height), colors);
    b.raw(imageDescriptor(0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height), packed).bytes());
    b.raw(imageData).u8(0x3B);
    return b.bytes();
}

namespace {

struct GiflibReader {
    const std::vector<uint8_t>* bytes;
    size_t position = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int count)
{
    auto* reader = static_cast<GiflibReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), reader->bytes->size() - reader->position);
    std::memcpy(out, reader->bytes->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

} // namespace

void GiflibCloser::operator()(GifFileType* gif) const
{
    int error = 0;
    DGifCloseFile(gif, &error);
}

std::unique_ptr<GifFileType, GiflibCloser> giflibRead(const std::vector<uint8_t>& bytes)
{
    GiflibReader reader{&bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GiflibCloser> gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif || DGifSlurp(gif.get()) != GIF_OK)
        return nullptr;
    return gif;
}

std::unique_ptr<std::vector<GiflibFrame>> giflibDecode(const std::vector<uint8_t>& bytes)
{
    auto gif = giflibRead(bytes);
    if (!gif)
        return nullptr;
    auto frames = std::make_unique<std::vector<GiflibFrame>>();
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& d = image.ImageDesc;
        const auto* bits = image.RasterBits;
        frames->push_back(
            {d.Left, d.Top, d.Width, d.Height, std::vector<uint8_t>(bits, bits + size_t(d.Width) * size_t(d.Height))});
    }
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
