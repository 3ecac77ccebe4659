#pragma once

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/DeviceContext.h"
#include "framework/graphics/PixelFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TPalette;

// The header of the bitmap as a DIB of the format's depth (1, 4, 8 or 24 bits; any other
// format raises "Unsupported PixelFormat"): a bitmap that is a DIB section lends its own
// header, any other gets a fresh one of its size. Planes 1, no compression, image size
// of 32-bit aligned rows. An empty bitmap raises "Bitmap image is not valid".
void FillDIBHeader(const TBitmap& bitmap, TBitmapInfoHeader& header, TPixelFormat format);

struct TDIBSizes {
    size_t headerSize = 0; // info header and colour table
    size_t imageSize = 0;
};
TDIBSizes DIBSizes(const TBitmap& bitmap, TPixelFormat format);

// The bitmap's own format: pfDevice for the screen format, otherwise by bit count and,
// for 16 and 32 bits, by the masks. An empty bitmap raises "Unsupported bitmap format".
TPixelFormat BitmapPixelFormat(const TBitmap& bitmap);

// A copy of the palette (a new object), or null for none.
std::unique_ptr<TPalette> DuplicatePalette(const TPalette* palette);

// Rewrites count 4-byte palette entries (red, green, blue, flags) in place as DIB
// colour-table entries (blue, green, red, 0).
void PaletteToColorTable(void* entries, size_t count);

// A bitmap's pixels as device-independent rows, top row 0 whatever the storage order.
class TDIB : public TObject {
    CARNELO_CLASS(TDIB, TObject)
public:
    TPixelFormat PixelFormat() const { return m_format; }
    virtual uint8_t* ScanLineAt(int row) = 0;

protected:
    explicit TDIB(TPixelFormat format) : m_format(format) {}

private:
    TPixelFormat m_format;
};

// Reads any bitmap row by row in a 1-, 4-, 8- or 24-bit format, keeping the last row read.
// Indexed formats take the bitmap's palette. The bitmap must outlive the reader and not
// change while it reads.
class TDIBReader : public TDIB {
    CARNELO_CLASS(TDIBReader, TDIB)
public:
    TDIBReader(const TBitmap& target, TPixelFormat format);

    const TBitmap& Target() const { return m_target; }
    const TBitmapInfoHeader& Header() const { return m_header; }
    // The row's bytes stay valid until the next call. A row outside the bitmap raises
    // EInvalidGraphicOperation "Scan line index out of range".
    uint8_t* ScanLineAt(int row) override;

private:
    const TBitmap& m_target;
    DeviceContext m_context;
    TBitmapInfoHeader m_header;
    std::vector<TRGBQuad> m_colorTable;
    std::vector<uint8_t> m_rowBuffer;
    int m_cachedRow = -1;
};

// Builds an 8- or 24-bit DIB row by row in memory and hands it to the target bitmap as one
// bitmap-file stream (Store). Rows are stored bottom-up. The 8-bit colour table holds the
// source palette's entries, then zeros up to 256 entries.
class TDIBWriter : public TDIB {
    CARNELO_CLASS(TDIBWriter, TDIB)
public:
    // Raises "Unsupported PixelFormat" for other formats and "Invalid image dimensions"
    // unless width and height are positive. Allocates nothing yet. The palette is not
    // owned and must live until Store.
    TDIBWriter(TBitmap& target, TPixelFormat format, int width, int height, const TPalette* sourcePalette);

    // Allocates the DIB on first use (EOutOfMemory "Failed to allocate memory for GIF
    // DIB" when it cannot); after Store raises "Image has no DIB". A row outside the
    // image raises EInvalidGraphicOperation "Scan line index out of range".
    uint8_t* ScanLineAt(int row) override;
    // Loads the DIB into the target bitmap and releases it; nothing when no row was
    // ever asked for.
    void Store();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The info header and colour table as they go to the bitmap (after the first row).
    const TBitmapInfoHeader& InfoHeader() const { return m_infoHeader; }
    const std::vector<TRGBQuad>& ColorTable() const { return m_colorTable; }
    size_t InfoSize() const { return m_infoSize; }
    size_t BitsSize() const { return m_bitsSize; }

private:
    void allocateDIB();

    TBitmap& m_target;
    const TPalette* m_sourcePalette;
    int m_width;
    int m_height;
    TBitmapInfoHeader m_infoHeader;
    std::vector<TRGBQuad> m_colorTable;
    size_t m_infoSize = 0;
    size_t m_bitsSize = 0;
    size_t m_stride = 0;
    // The whole bitmap file: file header, info header, colour table, rows.
    std::vector<uint8_t> m_file;
    uint8_t* m_bits = nullptr;
    bool m_stored = false;
};
