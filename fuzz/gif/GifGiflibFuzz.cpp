// Any bytes giflib reads whole (DGifSlurp) give the same frames' indices from our load.
// Bytes that are no GIF file are first made one, as a frame's LZW data. Skipped, as
// deliberate differences: bytes our load refuses (we raise where giflib reads on, e.g.
// past a pixel budget); frames of zero width or height, which we read at the logical
// screen's size; LZW data with a code beyond the next free one or a reset followed by a
// non-index, which we read as the previous string plus its first byte where giflib
// makes up a byte of its own; control, plain text and application blocks whose size
// byte is not the standard one (or a control block without terminator); extensions with
// no data sub-block, after which giflib reads one block too many; and files our load warns
// about or finds other frames in, where the two readers part ways over the blocks rather
// than the decoding.
#include "framework/core/Stream.h"
#include "gif/GIFImage.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

int readMemory(GifFileType* gif, GifByteType* out, int count)
{
    auto* reader = static_cast<Reader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), reader->size - reader->position);
    std::memcpy(out, reader->data + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

constexpr int64_t PixelBudget = int64_t(4) << 20;

// Whether one frame's LZW data (sub-blocks joined) holds a code that the two readers
// take differently, scanned at the widths a decoder reads them.
bool oddCodes(int minCodeSize, const std::vector<uint8_t>& data)
{
    if (minCodeSize < 2 || minCodeSize > 8)
        return true;
    const int clear = 1 << minCodeSize;
    int width = minCodeSize + 1;
    int next = clear + 2;
    bool afterClear = true;
    uint64_t bits = 0;
    int count = 0;
    size_t pos = 0;
    for (;;) {
        while (count < width && pos < data.size()) {
            bits |= uint64_t(data[pos++]) << count;
            count += 8;
        }
        if (count < width)
            return false;
        const int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        count -= width;
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            afterClear = true;
            continue;
        }
        if (code == clear + 1)
            return false;
        if (afterClear) {
            if (code > clear + 1)
                return true;
            afterClear = false;
            continue;
        }
        if (code > next)
            return true;
        if (next < 4096 && ++next == (1 << width) && width < 12)
            ++width;
    }
}

// Walks the blocks of a file as giflib reads them and calls frame(descriptor, min code
// size, LZW data) for each image, and extension(its bytes from the label on, bytes left)
// for each extension, until one returns true; true when one did.
template <typename Frame, typename Extension>
bool anyBlock(const uint8_t* data, size_t size, Frame frame, Extension extension)
{
    size_t pos = 13;
    if (size < pos)
        return false;
    if (data[10] & 0x80)
        pos += 3u << ((data[10] & 7) + 1);
    auto subBlocks = [&](std::vector<uint8_t>* into) {
        while (pos < size && data[pos] != 0) {
            const size_t n = data[pos++];
            if (into)
                into->insert(into->end(), data + pos, data + std::min(size, pos + n));
            pos += n;
        }
        ++pos;
    };
    while (pos < size) {
        const uint8_t kind = data[pos++];
        if (kind == 0x21) {
            if (extension(data + pos, size - pos))
                return true;
            ++pos;
            subBlocks(nullptr);
        } else if (kind == 0x2C) {
            if (pos + 10 > size)
                return false;
            const uint8_t* descriptor = data + pos;
            const uint8_t packed = data[pos + 8];
            pos += 9;
            if (packed & 0x80)
                pos += 3u << ((packed & 7) + 1);
            if (pos >= size)
                return false;
            const int minCodeSize = data[pos++];
            std::vector<uint8_t> lzw;
            subBlocks(&lzw);
            if (frame(descriptor, minCodeSize, lzw))
                return true;
        } else {
            return false;
        }
    }
    return false;
}

template <typename Frame>
bool anyFrame(const uint8_t* data, size_t size, Frame frame)
{
    return anyBlock(data, size, frame, [](const uint8_t*, size_t) { return false; });
}

bool anyOddCodes(const uint8_t* data, size_t size)
{
    return anyFrame(data, size, [](const uint8_t*, int minCodeSize, const std::vector<uint8_t>& lzw) {
        return oddCodes(minCodeSize, lzw);
    });
}

// We read the fixed part of a graphic control, plain text or application block at its
// standard size, whatever its size byte says, and go on after it (a control block
// after its terminator byte); giflib follows the size bytes. With another size, or a
// control block without its terminator, the two read other blocks.
bool anyOddFixedBlock(const uint8_t* data, size_t size)
{
    return anyBlock(
        data, size, [](const uint8_t*, int, const std::vector<uint8_t>&) { return false; },
        [](const uint8_t* block, size_t left) {
            switch (block[0]) {
            case 0xF9: return left < 7 || block[1] != 4 || block[6] != 0;
            case 0x01: return left < 2 || block[1] != 12;
            case 0xFF: return left < 2 || block[1] != 11;
            default: return false;
            }
        });
}

// giflib allocates whatever a descriptor asks for, before reading a pixel: such files are
// left out before it sees them.
bool declaresTooManyPixels(const uint8_t* data, size_t size)
{
    int64_t pixels = 0;
    return anyFrame(data, size, [&pixels](const uint8_t* d, int, const std::vector<uint8_t>&) {
        pixels += int64_t(d[4] | d[5] << 8) * (d[6] | d[7] << 8);
        return pixels > PixelBudget;
    });
}

// An extension whose first sub-block is already its terminator: giflib's whole-file read
// then takes the next byte as one more sub-block's size and reads the file out of step
// (it can meet any descriptor there, so this is checked before giflib reads).
bool anyEmptyExtension(const uint8_t* data, size_t size)
{
    return anyBlock(
        data, size, [](const uint8_t*, int, const std::vector<uint8_t>&) { return false; },
        [](const uint8_t* block, size_t left) { return left >= 2 && block[1] == 0; });
}

// The whole comparison on one file's bytes.
void compare(const uint8_t* data, size_t size)
{
    if (declaresTooManyPixels(data, size) || anyEmptyExtension(data, size))
        return;
    Reader reader{data, size};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readMemory, &error);
    if (!gif)
        return;
    const bool accepted = DGifSlurp(gif) == GIF_OK;
    int64_t pixels = 0;
    bool zeroSized = false;
    for (int i = 0; accepted && i < gif->ImageCount; ++i) {
        const GifImageDesc& d = gif->SavedImages[i].ImageDesc;
        pixels += int64_t(d.Width) * d.Height;
        zeroSized = zeroSized || d.Width == 0 || d.Height == 0;
    }
    if (!accepted || zeroSized || pixels > PixelBudget || anyOddCodes(data, size) || anyOddFixedBlock(data, size)) {
        DGifCloseFile(gif, &error);
        return;
    }

    TGIFImage image;
    image.SetMaxPixelBytes(PixelBudget);
    int warnings = 0;
    image.OnWarn = [&warnings](TObject*, int, const std::string&) { ++warnings; };
    TReadOnlyMemoryStream stream(data, size);
    bool loaded = true;
    try {
        image.LoadFromStream(stream);
    } catch (const Exception&) {
        loaded = false;
    }
    std::vector<TGIFSubImage*> frames;
    for (int i = 0; loaded && i < image.Images().Count(); ++i)
        if (!image.Images().Items(i).Empty())
            frames.push_back(&image.Images().Items(i));
    // A warning marks where our reader is lenient in its own way (stray blocks, frames
    // beyond the screen): the two may then have read other bytes as the frames.
    if (loaded && warnings == 0 && static_cast<int>(frames.size()) == gif->ImageCount) {
        int frame = 0;
        for (TGIFSubImage* frameOfOurs : frames) {
            TGIFSubImage& ours = *frameOfOurs;
            const SavedImage& theirs = gif->SavedImages[frame++];
            const GifImageDesc& d = theirs.ImageDesc;
            if (ours.Left() != d.Left || ours.Top() != d.Top || ours.Width() != d.Width || ours.Height() != d.Height)
                std::abort();
            if (std::memcmp(ours.Data(), theirs.RasterBits, size_t(d.Width) * size_t(d.Height)) != 0)
                std::abort();
        }
    }
    DGifCloseFile(gif, &error);
}

// Bytes that are no GIF file become one frame's LZW data: [width, height, flags, min
// code size, data...], so that both readers meet the same blocks and differ, if at
// all, in decoding.
std::vector<uint8_t> wrap(const uint8_t* data, size_t size)
{
    const int width = 1 + data[0] % 64;
    const int height = 1 + data[1] % 64;
    const bool interlaced = data[2] & 1;
    const int minCodeSize = 2 + data[3] % 7;
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', uint8_t(width), 0, uint8_t(height), 0, 0xF7, 0, 0};
    for (int i = 0; i < 256; ++i)
        gif.insert(gif.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), 0, uint8_t(height), 0, uint8_t(interlaced ? 0x40 : 0),
                           uint8_t(minCodeSize)});
    for (size_t pos = 4; pos < size; pos += 255) {
        const size_t n = std::min<size_t>(255, size - pos);
        gif.push_back(uint8_t(n));
        gif.insert(gif.end(), data + pos, data + pos + n);
    }
    gif.insert(gif.end(), {0, 0x3B});
    return gif;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size >= 4 && std::memcmp(data, "GIF8", 4) == 0) {
        compare(data, size);
    } else if (size >= 4) {
        const std::vector<uint8_t> gif = wrap(data, size);
        compare(gif.data(), gif.size());
    }
    return 0;
}
