#pragma once

#include "framework/graphics/Color.h"
#include "framework/graphics/Graphic.h"
#include "framework/graphics/Palette.h"
#include "framework/graphics/PixelFormat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class TCanvas;

// The 40-byte header of a device-independent bitmap, as the bitmap-file stream stores it.
struct TBitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0; // positive: rows stored bottom-up
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t BI_RLE8 = 1;
inline constexpr uint32_t BI_RLE4 = 2;
inline constexpr uint32_t BI_BITFIELDS = 3;

// A colour-table entry of a device-independent bitmap: blue, green, red, 0.
struct TRGBQuad {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
    friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

// What the object query of a bitmap tells: a device bitmap (pfDevice, or a monochrome
// bitmap) is no DIB section, every other format is one and carries its header, with
// BI_BITFIELDS and masks for 16-bit formats other than 5-5-5 and for custom formats.
struct TBitmapObject {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int planes = 1;
    bool dibSection = false;
    TBitmapInfoHeader header;
    TBitFields masks;
};

// A bitmap that owns its pixels in a declared format, a palette where it has one, and
// a canvas. Rows are stored top row first, each padded to 32 bits, in the byte layout of
// device-independent bitmap rows (ScanLine). New pixels are white.
// One thread at a time may use a bitmap and its canvas; any thread may.
class TBitmap : public TGraphic {
    CARNELO_CLASS(TBitmap, TGraphic)
public:
    TBitmap();
    TBitmap(int width, int height, TPixelFormat format = TPixelFormat::pfDevice);
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    // Keeps the pixels of the overlapping area; new pixels are white. Raises EOutOfMemory
    // for sizes whose rows would not fit in memory, EInvalidGraphicOperation for a
    // negative size.
    void SetSize(int width, int height);

    TPixelFormat PixelFormat() const;
    // Converts the pixels. An indexed format keeps the bitmap's palette, or gets the
    // default one of its depth (black and white, 16 colours, halftone).
    void SetPixelFormat(TPixelFormat format);
    // A 16- or 32-bit format with these masks (pf15bit, pf16bit, pf32bit when they are the
    // standard ones, pfCustom otherwise). Converts the pixels.
    void SetBitFields(int bitsPerPixel, TBitFields masks);
    int BitsPerPixel() const;
    TBitFields BitFields() const;

    // One bit per pixel without colour table; copies between such a bitmap and a colour
    // surface follow the canvases' text and background colours.
    bool Monochrome() const;
    // True converts by the canvas brush colour: pixels of that colour become white (1),
    // all others black (0). False turns a monochrome bitmap into a device bitmap.
    void SetMonochrome(bool value);
    // Converts to monochrome with transparentColor as the colour that becomes white.
    void Mask(TColor transparentColor);

    const TPalette* Palette() const;
    // Takes the palette (null removes it). An indexed bitmap's indices keep their values
    // and now mean the new entries; other formats keep their pixels.
    void SetPalette(std::unique_ptr<TPalette> palette);
    // Sets a copy of the palette (null removes it).
    void AssignPalette(const TPalette* palette);
    // Hands the palette over to the caller; the bitmap has none afterwards.
    std::unique_ptr<TPalette> ReleasePalette();

    // The bitmap's own canvas, created on first use; its drawing raises OnChange.
    TCanvas& Canvas();

    // Rows in the stored byte layout, top row 0; raises EInvalidGraphicOperation
    // "Index de ligne hors limites" for a row outside the bitmap.
    uint8_t* ScanLine(int row);
    const uint8_t* ScanLine(int row) const;
    size_t RowStride() const;

    // Whether the bitmap has an image at all (an empty bitmap has none).
    bool HandleAllocated() const;
    // Releases the drawing resources (the canvas's device context), keeping the pixels.
    void Dormant();
    bool IsDormant() const { return m_dormant; }

    // Shares the other bitmap's image: drawing on either shows in both. ReleaseHandle
    // lets go of it again without freeing it; the bitmap is then empty.
    void Wrap(TBitmap& other);
    void ReleaseHandle();

    // The object query of the DIB toolkit; nothing for an empty bitmap.
    std::optional<TBitmapObject> QueryObject() const;
    // The colour table that reading DIB rows of this depth uses: the bitmap's own table
    // when it is indexed with that depth, else the selected palette's entries, else the
    // default table of the depth. Empty above 8 bits.
    std::vector<TRGBQuad> DIBColorTable(int bitsPerPixel, const TPalette* selectedPalette) const;
    // Writes rows firstRow .. firstRow + count - 1 (top row 0) as DIB rows of bitsPerPixel
    // (1, 4, 8, 16 as 5-5-5, 24 or 32), each RowBytes(width, bitsPerPixel, 32) long,
    // one after the other in that order. To 8 bits or fewer each pixel takes the nearest
    // entry of colorTable (lowest index among equals); an indexed bitmap whose own table
    // equals colorTable keeps its indices. Raises EInvalidGraphicOperation for rows
    // outside the bitmap or another depth.
    void ReadDIBRows(int firstRow, int count, int bitsPerPixel, const std::vector<TRGBQuad>& colorTable,
                     uint8_t* out) const;

    // A monochrome bitmap from the caller's rows: top row first, each padded to 16 bits,
    // leftmost pixel in the most significant bit, 1 for white.
    static std::unique_ptr<TBitmap> CreateMonochrome(int width, int height, const uint8_t* rows);

    // TGraphic
    void CopyFrom(const TPersistent* source) override;
    // Selects the palette into the canvas as a background palette, realises it, and
    // stretch-copies the pixels with the canvas's copy mode.
    void Draw(TCanvas& canvas, const TRect& rect) override;
    bool IsEmpty() const override;
    int QueryWidth() const override;
    int QueryHeight() const override;
    void ChangeWidth(int value) override;
    void ChangeHeight(int value) override;
    // The bitmap-file stream: 14-byte file header, info header, colour table or masks,
    // rows. Reading takes 12-byte and 40-byte-or-larger info headers, 1/4/8/16/24/32 bits,
    // bit-field masks, rows either way up; it raises EInvalidGraphic for anything else
    // and EReadError for missing bytes, and leaves the bitmap unchanged then.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    // Reading raises EOutOfMemory ("Mémoire insuffisante") for rows beyond this many
    // bytes, before allocating them.
    static constexpr int64_t DefaultMaxPixelBytes = int64_t(512) << 20;
    int64_t MaxPixelBytes() const { return m_maxPixelBytes; }
    void SetMaxPixelBytes(int64_t value) override { m_maxPixelBytes = value; }
    // Standard bitmap format (2): the data is a bitmap-file stream; empty data takes the
    // clipboard's own.
    void LoadClipboard(uint32_t format, const TClipboardData& data, const TPalette* palette) override;
    void SaveClipboard(uint32_t& format, TClipboardData& data, const TPalette*& palette) override;

    struct Image;

private:
    friend class TCanvas;
    void setImage(std::shared_ptr<Image> image);
    void convertTo(int bitsPerPixel, TBitFields masks, TPixelFormat format, std::unique_ptr<TPalette> palette,
                   bool monochrome);
    void canvasChanged();

    std::shared_ptr<Image> m_image;
    std::unique_ptr<TCanvas> m_canvas;
    bool m_dormant = false;
    int64_t m_maxPixelBytes = DefaultMaxPixelBytes;
};
