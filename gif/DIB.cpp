#include "gif/DIB.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Palette.h"
#include "gif/GIFException.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The largest DIB the writer builds; the bitmap that receives it holds no more.
constexpr uint64_t kMaxDIBBytes = uint64_t(1) << 30;
constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
static_assert(sizeof(TPaletteEntry) == 4 && sizeof(TRGBQuad) == 4);

int bitsOfFormat(TPixelFormat format)
{
    switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf24bit: return 24;
    default: RaiseGIFError(GIFText::UnsupportedPixelFormat);
    }
}

size_t imageBytes(int width, int height, int bits)
{
    return RowBytes(width, bits, 32) * static_cast<size_t>(std::abs(height));
}

[[noreturn]] void scanLineOutOfRange()
{
    throw EInvalidGraphicOperation(std::string(GIFText::ScanLineOutOfRange));
}

void put16(uint8_t*& p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p += 2;
}

void put32(uint8_t*& p, uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p, v >> 16);
}

} // namespace

void FillDIBHeader(const TBitmap& bitmap, TBitmapInfoHeader& header, TPixelFormat format)
{
    const std::optional<TBitmapObject> object = bitmap.QueryObject();
    if (!object)
        RaiseGIFError(GIFText::BitmapNotValid);
    if (object->dibSection && object->header.biSize >= kInfoHeaderBytes) {
        header = object->header;
    } else {
        header = TBitmapInfoHeader{};
        header.biWidth = object->width;
        header.biHeight = object->height;
    }
    header.biSize = kInfoHeaderBytes;
    const int bits = bitsOfFormat(format);
    header.biBitCount = static_cast<uint16_t>(bits);
    header.biPlanes = 1;
    header.biCompression = BI_RGB;
    // Bitmaps hold at most 1 GB, but a deeper format of a large one-bit bitmap can exceed
    // what the 32-bit field holds; readers size their buffers from DIBSizes instead.
    const uint64_t size = imageBytes(header.biWidth, header.biHeight, bits);
    header.biSizeImage = size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

TDIBSizes DIBSizes(const TBitmap& bitmap, TPixelFormat format)
{
    TBitmapInfoHeader header;
    FillDIBHeader(bitmap, header, format);
    TDIBSizes sizes;
    sizes.headerSize = kInfoHeaderBytes + (header.biBitCount <= 8 ? 4 * (size_t(1) << header.biBitCount) : 0);
    sizes.imageSize = imageBytes(header.biWidth, header.biHeight, header.biBitCount);
    return sizes;
}

TPixelFormat BitmapPixelFormat(const TBitmap& bitmap)
{
    if (!bitmap.HandleAllocated())
        RaiseGIFError(GIFText::UnsupportedBitmapFormat);
    const std::optional<TBitmapObject> object = bitmap.QueryObject();
    if (!object)
        RaiseGIFError(GIFText::BitmapNotValid);
    // A device bitmap is in the screen's format, whatever depth that has.
    if (!object->dibSection && bitmap.PixelFormat() == TPixelFormat::pfDevice)
        return TPixelFormat::pfDevice;
    const int bits = object->dibSection ? object->header.biBitCount : object->bitsPerPixel * object->planes;
    const bool plain = !object->dibSection || object->header.biCompression == BI_RGB;
    switch (bits) {
    case 0: return TPixelFormat::pfDevice;
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16:
        if (plain)
            return TPixelFormat::pf15bit;
        if (object->header.biCompression == BI_BITFIELDS && object->masks.green == 0x07E0)
            return TPixelFormat::pf16bit;
        return TPixelFormat::pfCustom;
    case 24: return TPixelFormat::pf24bit;
    case 32: return plain ? TPixelFormat::pf32bit : TPixelFormat::pfCustom;
    default: RaiseGIFError(GIFText::UnsupportedBitmapFormat);
    }
}

std::unique_ptr<TPalette> DuplicatePalette(const TPalette* palette)
{
    return palette ? palette->Clone() : nullptr;
}

void PaletteToColorTable(void* entries, size_t count)
{
    auto* p = static_cast<uint8_t*>(entries);
    for (size_t i = 0; i < count; ++i, p += 4) {
        std::swap(p[0], p[2]);
        p[3] = 0;
    }
}

TDIBReader::TDIBReader(const TBitmap& target, TPixelFormat format) : TDIB(format), m_target(target)
{
    m_context.Canvas().SelectPalette(target.Palette(), false);
    FillDIBHeader(target, m_header, format);
    if (m_header.biBitCount <= 8)
        m_colorTable = target.DIBColorTable(m_header.biBitCount, m_context.Canvas().SelectedPalette());
    // One row: the image size over the rows, which an empty bitmap never reaches here.
    m_rowBuffer.resize(RowBytes(m_header.biWidth, m_header.biBitCount, 32));
}

uint8_t* TDIBReader::ScanLineAt(int row)
{
    if (row < 0 || row >= m_target.Height())
        scanLineOutOfRange();
    if (row != m_cachedRow) {
        // The row buffer was sized for the width the bitmap had when the reader was made.
        if (m_target.Width() != m_header.biWidth)
            RaiseGIFError(GIFText::BitmapNotValid);
        m_cachedRow = -1;
        m_target.ReadDIBRows(row, 1, m_header.biBitCount, m_colorTable, m_rowBuffer.data());
        m_cachedRow = row;
    }
    return m_rowBuffer.data();
}

TDIBWriter::TDIBWriter(TBitmap& target, TPixelFormat format, int width, int height, const TPalette* sourcePalette)
    : TDIB(format), m_target(target), m_sourcePalette(sourcePalette), m_width(width), m_height(height)
{
    if (format != TPixelFormat::pf8bit && format != TPixelFormat::pf24bit)
        RaiseGIFError(GIFText::UnsupportedPixelFormat);
    if (width <= 0 || height <= 0)
        RaiseGIFError(GIFText::InvalidImageDimensions);
}

void TDIBWriter::allocateDIB()
{
    const int bits = PixelFormat() == TPixelFormat::pf8bit ? 8 : 24;
    m_infoSize = kInfoHeaderBytes + (bits == 8 ? 256 * 4 : 0);
    m_stride = RowBytes(m_width, bits, 32);
    const uint64_t bitsSize = static_cast<uint64_t>(m_stride) * static_cast<uint64_t>(m_height);
    if (bitsSize > kMaxDIBBytes)
        throw EOutOfMemory(std::string(GIFText::DIBOutOfMemory));
    m_bitsSize = static_cast<size_t>(bitsSize);

    m_infoHeader = TBitmapInfoHeader{};
    m_infoHeader.biWidth = m_width;
    m_infoHeader.biHeight = m_height;
    m_infoHeader.biBitCount = static_cast<uint16_t>(bits);
    m_colorTable.clear();
    if (bits == 8) {
        const int n = m_sourcePalette ? std::min(m_sourcePalette->Count(), 256) : 0;
        std::vector<TPaletteEntry> entries(256);
        if (n > 0)
            m_sourcePalette->GetEntries(0, n, entries.data());
        PaletteToColorTable(entries.data(), static_cast<size_t>(n));
        m_colorTable.assign(256, TRGBQuad{});
        std::memcpy(static_cast<void*>(m_colorTable.data()), entries.data(), static_cast<size_t>(n) * sizeof(TRGBQuad));
        m_infoHeader.biClrUsed = 256;
        m_infoHeader.biClrImportant = static_cast<uint32_t>(n);
    }

    try {
        m_file.assign(kFileHeaderBytes + m_infoSize + m_bitsSize, 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(std::string(GIFText::DIBOutOfMemory));
    }
    // File header: "BM", file size, two reserved words, offset of the rows.
    uint8_t* p = m_file.data();
    put16(p, 0x4D42);
    put32(p, static_cast<uint32_t>(m_file.size()));
    put32(p, 0);
    put32(p, static_cast<uint32_t>(kFileHeaderBytes + m_infoSize));
    put32(p, m_infoHeader.biSize);
    put32(p, static_cast<uint32_t>(m_infoHeader.biWidth));
    put32(p, static_cast<uint32_t>(m_infoHeader.biHeight));
    put16(p, m_infoHeader.biPlanes);
    put16(p, m_infoHeader.biBitCount);
    put32(p, m_infoHeader.biCompression);
    put32(p, m_infoHeader.biSizeImage);
    put32(p, static_cast<uint32_t>(m_infoHeader.biXPelsPerMeter));
    put32(p, static_cast<uint32_t>(m_infoHeader.biYPelsPerMeter));
    put32(p, m_infoHeader.biClrUsed);
    put32(p, m_infoHeader.biClrImportant);
    if (!m_colorTable.empty())
        std::memcpy(p, m_colorTable.data(), m_colorTable.size() * sizeof(TRGBQuad));
    m_bits = m_file.data() + kFileHeaderBytes + m_infoSize;
}

uint8_t* TDIBWriter::ScanLineAt(int row)
{
    if (m_stored)
        RaiseGIFError(GIFText::ImageHasNoDIB);
    if (!m_bits)
        allocateDIB();
    if (row < 0 || row >= m_height)
        scanLineOutOfRange();
    // Rows are stored bottom-up: the top row is the last one in memory.
    return m_bits + static_cast<size_t>(m_height - row - 1) * m_stride;
}

void TDIBWriter::Store()
{
    if (m_bits) {
        TReadOnlyMemoryStream stream(m_file.data(), m_file.size());
        m_target.LoadFromStream(stream);
    }
    m_file = {};
    m_bits = nullptr;
    m_stored = true;
}
