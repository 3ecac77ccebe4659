#include "framework/graphics/BitmapFile.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/BitmapImage.h"
#include "framework/graphics/PixelCodec.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr const char* kInvalidBitmap = "Image bitmap non valide";
constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kMaxInfoHeaderBytes = 4096;
constexpr int kMaxDimension = 1 << 20;
constexpr uint32_t BI_ALPHABITFIELDS = 6;

uint16_t u16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t u32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

[[noreturn]] void invalid(const char* why = kInvalidBitmap)
{
    throw EInvalidGraphic(why);
}

void need(size_t available, size_t wanted)
{
    if (available < wanted)
        throw EReadError(std::string(FrameworkText::ReadError));
}
} // namespace

namespace dib {

Info ParseInfo(const uint8_t* data, size_t size, bool icon)
{
    need(size, 4);
    const uint32_t headerSize = u32(data);
    if (headerSize != 12 && (headerSize < 40 || headerSize > kMaxInfoHeaderBytes))
        invalid();
    need(size, headerSize);
    Info info;
    int64_t height;
    if (headerSize == 12) {
        info.width = u16(data + 4);
        height = u16(data + 6);
        info.bitCount = u16(data + 10);
    } else {
        info.width = static_cast<int32_t>(u32(data + 4));
        height = static_cast<int32_t>(u32(data + 8));
        info.bitCount = u16(data + 14);
        info.compression = u32(data + 16);
    }
    if (height < 0) {
        info.topDown = true;
        height = -height;
    }
    if (icon)
        height /= 2;
    if (info.width <= 0 || height <= 0 || info.width > kMaxDimension || height > kMaxDimension)
        invalid();
    info.height = static_cast<int>(height);
    switch (info.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: invalid();
    }

    size_t used = headerSize;
    const bool bitFields = info.compression == BI_BITFIELDS || info.compression == BI_ALPHABITFIELDS;
    const bool runLength =
        (info.compression == BI_RLE8 && info.bitCount == 8) || (info.compression == BI_RLE4 && info.bitCount == 4);
    if (info.compression != BI_RGB && !bitFields && !(runLength && !info.topDown && !icon))
        invalid("Compression de bitmap non prise en charge");
    if (headerSize >= 40)
        info.sizeImage = u32(data + 20);
    if (bitFields && info.bitCount != 16 && info.bitCount != 32)
        invalid();
    if (info.bitCount == 16)
        info.masks = kBitFields555;
    else if (info.bitCount > 16)
        info.masks = kBitFields888;
    if (bitFields) {
        // Masks sit inside headers of 52 bytes or more, else right after the header.
        const uint8_t* masks = data + 40;
        if (headerSize < 52) {
            const size_t maskBytes = info.compression == BI_ALPHABITFIELDS ? 16 : 12;
            need(size, used + maskBytes);
            masks = data + used;
            used += maskBytes;
        }
        const TBitFields read{u32(masks), u32(masks + 4), u32(masks + 8)};
        if (read.red | read.green | read.blue)
            info.masks = read;
    }

    // Deeper formats may carry a colour table as a hint for palette displays; the pixel
    // offset of the file header steps over it.
    if (info.bitCount <= 8) {
        const size_t entryBytes = headerSize == 12 ? 3 : 4;
        size_t count = headerSize >= 40 ? u32(data + 32) : 0;
        if (count == 0 || count > (size_t(1) << info.bitCount))
            count = size_t(1) << info.bitCount;
        need(size, used + count * entryBytes);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = data + used + i * entryBytes;
            info.colors.push_back({e[2], e[1], e[0], 0});
        }
        used += count * entryBytes;
    }
    info.headerBytes = used;
    return info;
}

size_t ImageBytes(const Info& info)
{
    return RowBytes(info.width, info.bitCount, 32) * static_cast<size_t>(info.height);
}

void CheckBudget(size_t bytes, int64_t maxPixelBytes)
{
    if (maxPixelBytes < 0 || bytes > static_cast<uint64_t>(maxPixelBytes))
        throw EOutOfMemory();
}

std::vector<uint8_t> ExpandRunLength(const Info& info, const uint8_t* data, size_t size)
{
    const size_t stride = RowBytes(info.width, info.bitCount, 32);
    std::vector<uint8_t> rows(stride * static_cast<size_t>(info.height), 0);
    const bool four = info.bitCount == 4;
    int x = 0, y = 0; // y counts stored rows, bottom row first
    auto put = [&](uint8_t index) {
        if (x < info.width && y < info.height) {
            uint8_t& b = rows[static_cast<size_t>(y) * stride + static_cast<size_t>(four ? x / 2 : x)];
            if (!four)
                b = index;
            else if (x % 2 == 0)
                b = static_cast<uint8_t>((b & 0x0F) | (index << 4));
            else
                b = static_cast<uint8_t>((b & 0xF0) | (index & 0x0F));
        }
        ++x;
    };
    // Pairs: count > 0 repeats a value (two alternating nibbles at 4 bits); count 0 is an
    // escape: 0 end of row, 1 end of image, 2 move by (dx, dy), n >= 3 n literal
    // pixels padded to an even number of bytes.
    size_t i = 0;
    while (i + 1 < size && y < info.height) {
        const uint8_t count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < info.width; ++k)
                put(four ? ((k % 2) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 1 >= size)
                break;
            x += data[i];
            y += data[i + 1];
            i += 2;
        } else {
            const size_t bytes = four ? (value + 1u) / 2 : value;
            const size_t available = std::min(bytes, size - i);
            for (int k = 0; k < value; ++k) {
                const size_t at = four ? static_cast<size_t>(k / 2) : static_cast<size_t>(k);
                if (at >= available)
                    break;
                put(four ? ((k % 2) ? (data[i + at] & 0x0F) : (data[i + at] >> 4)) : data[i + at]);
            }
            i += bytes + (bytes & 1);
        }
    }
    return rows;
}

std::unique_ptr<TBitmap> Decode(const Info& info, const uint8_t* bits)
{
    auto bitmap = std::make_unique<TBitmap>();
    if (info.bitCount <= 8) {
        static const TPixelFormat indexed[] = {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit};
        bitmap->SetPixelFormat(indexed[info.bitCount == 1 ? 0 : info.bitCount == 4 ? 1 : 2]);
        bitmap->SetPalette(std::make_unique<TPalette>(info.colors));
    } else if (info.bitCount == 24) {
        bitmap->SetPixelFormat(TPixelFormat::pf24bit);
    } else {
        bitmap->SetBitFields(info.bitCount, info.masks);
    }
    bitmap->SetSize(info.width, info.height);
    const size_t stride = RowBytes(info.width, info.bitCount, 32);
    for (int y = 0; y < info.height; ++y) {
        const int stored = info.topDown ? y : info.height - 1 - y;
        std::memcpy(bitmap->ScanLine(y), bits + static_cast<size_t>(stored) * stride, stride);
    }
    // Padding bits beyond the last pixel, and bits outside the masks, are cleared so
    // that saving writes them as zero.
    PixelCodec codec(*bitmap);
    std::vector<uint32_t> row(static_cast<size_t>(info.width));
    for (int y = 0; y < info.height; ++y) {
        uint8_t* line = bitmap->ScanLine(y);
        codec.ReadRow(line, 0, info.width, row.data());
        std::memset(line, 0, stride);
        codec.WriteRow(line, 0, info.width, row.data());
    }
    return bitmap;
}

} // namespace dib

void TBitmap::LoadFromStream(TStream& stream)
{
    const int64_t start = stream.Position();
    const int64_t available = stream.Size() - start;
    if (available <= 0) {
        setImage(std::make_shared<Image>());
        Changed(this);
        return;
    }
    uint8_t fileHeader[kFileHeaderBytes];
    stream.ReadBuffer(fileHeader, sizeof fileHeader);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        invalid();
    const uint32_t pixelOffset = u32(fileHeader + 10);

    // The header's own size says how much to read; colour tables add at most 1 KB and
    // masks 16 bytes, so reading that much more is enough for every valid header.
    uint8_t sizeField[4];
    stream.ReadBuffer(sizeField, sizeof sizeField);
    const uint32_t headerSize = u32(sizeField);
    if (headerSize != 12 && (headerSize < 40 || headerSize > kMaxInfoHeaderBytes))
        invalid();
    const size_t headerRoom = headerSize + 16 + 256 * 4;
    std::vector<uint8_t> header(headerRoom);
    std::memcpy(header.data(), sizeField, 4);
    const size_t got = 4 + stream.Read(header.data() + 4, headerRoom - 4);
    const dib::Info info = dib::ParseInfo(header.data(), got, false);

    const int64_t headersEnd = start + static_cast<int64_t>(kFileHeaderBytes + info.headerBytes);
    int64_t pixels = start + pixelOffset;
    if (pixelOffset == 0 || pixels < headersEnd)
        pixels = headersEnd;
    const size_t remaining = static_cast<size_t>(std::max<int64_t>(0, stream.Size() - pixels));
    // Run-length data is as long as the header says, or runs to the end of the stream.
    const size_t bytes = info.RunLength() ? (info.sizeImage ? info.sizeImage : remaining) : dib::ImageBytes(info);
    need(remaining, bytes);
    // Runs may claim any size for a few bytes; an image far larger than its data is
    // refused rather than allocated.
    if (info.RunLength() && dib::ImageBytes(info) / 64 > bytes + (size_t(1) << 18))
        invalid();
    dib::CheckBudget(dib::ImageBytes(info), m_maxPixelBytes);
    stream.SetPosition(pixels);
    std::vector<uint8_t> bits(bytes);
    stream.ReadBuffer(bits.data(), bytes);
    if (info.RunLength())
        bits = dib::ExpandRunLength(info, bits.data(), bits.size());
    std::unique_ptr<TBitmap> loaded = dib::Decode(info, bits.data());
    setImage(loaded->m_image);
    Changed(this);
}

void TBitmap::SaveToStream(TStream& stream)
{
    const Image& image = *m_image;
    if (IsEmpty())
        return;
    const std::optional<TBitmapObject> object = QueryObject();
    TBitmapInfoHeader h = object->header;
    std::vector<TPaletteEntry> colors;
    if (image.bitsPerPixel <= 8) {
        colors = image.palette ? image.palette->Entries() : DefaultColorTable(image.bitsPerPixel);
        colors.resize(std::min(colors.size(), size_t(1) << image.bitsPerPixel));
        h.biClrUsed = static_cast<uint32_t>(colors.size());
    }
    const size_t maskBytes = h.biCompression == BI_BITFIELDS ? 12 : 0;
    const size_t offset = kFileHeaderBytes + 40 + maskBytes + colors.size() * 4;
    const size_t imageBytes = image.stride * static_cast<size_t>(image.height);

    std::vector<uint8_t> out;
    out.reserve(offset);
    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<uint32_t>(offset + imageBytes));
    put32(out, 0);
    put32(out, static_cast<uint32_t>(offset));
    put32(out, 40);
    put32(out, static_cast<uint32_t>(h.biWidth));
    put32(out, static_cast<uint32_t>(h.biHeight));
    put16(out, 1);
    put16(out, h.biBitCount);
    put32(out, h.biCompression);
    put32(out, h.biSizeImage);
    put32(out, 0);
    put32(out, 0);
    put32(out, h.biClrUsed);
    put32(out, 0);
    if (maskBytes) {
        put32(out, image.masks.red);
        put32(out, image.masks.green);
        put32(out, image.masks.blue);
    }
    for (const TPaletteEntry& e : colors) {
        out.push_back(e.peBlue);
        out.push_back(e.peGreen);
        out.push_back(e.peRed);
        out.push_back(0);
    }
    stream.WriteBuffer(out.data(), out.size());
    for (int y = image.height - 1; y >= 0; --y)
        stream.WriteBuffer(ScanLine(y), image.stride);
}
