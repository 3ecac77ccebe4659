#include "framework/graphics/Bitmap.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/graphics/BitmapImage.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Clipboard.h"
#include "framework/graphics/PixelCodec.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kMaxDimension = 1 << 20;
constexpr uint64_t kMaxImageBytes = uint64_t(1) << 30;

TPixelFormat formatOf(int bitsPerPixel, TBitFields masks)
{
    switch (bitsPerPixel) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16:
        if (masks == kBitFields555)
            return TPixelFormat::pf15bit;
        return masks == kBitFields565 ? TPixelFormat::pf16bit : TPixelFormat::pfCustom;
    case 24: return TPixelFormat::pf24bit;
    default: return masks == kBitFields888 ? TPixelFormat::pf32bit : TPixelFormat::pfCustom;
    }
}

TBitFields masksOf(TPixelFormat format)
{
    switch (format) {
    case TPixelFormat::pf15bit: return kBitFields555;
    case TPixelFormat::pf16bit: return kBitFields565;
    default: return kBitFields888;
    }
}

std::shared_ptr<TBitmap::Image> makeImage(int width, int height, int bitsPerPixel, TBitFields masks,
                                          TPixelFormat format, std::unique_ptr<TPalette> palette)
{
    if (width < 0 || height < 0)
        throw EInvalidGraphicOperation("Taille de bitmap non valide");
    if (width > kMaxDimension || height > kMaxDimension)
        throw EOutOfMemory();
    auto image = std::make_shared<TBitmap::Image>();
    image->format = format;
    image->width = width;
    image->height = height;
    image->bitsPerPixel = bitsPerPixel;
    image->masks = masks;
    image->palette = std::move(palette);
    image->stride = RowBytes(width, bitsPerPixel, 32);
    const uint64_t bytes = static_cast<uint64_t>(image->stride) * static_cast<uint64_t>(height);
    if (bytes > kMaxImageBytes)
        throw EOutOfMemory();
    try {
        image->bits.assign(static_cast<size_t>(bytes), 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    return image;
}

PixelCodec codecOf(const TBitmap::Image& image)
{
    const bool monochrome = image.bitsPerPixel == 1 && !image.palette;
    return PixelCodec(image.bitsPerPixel, image.masks, image.palette ? &image.palette->Entries() : nullptr, monochrome);
}

void fillWhite(TBitmap::Image& image, int fromX, int fromY)
{
    PixelCodec codec = codecOf(image);
    const uint32_t white = codec.FromRGB(clWhite);
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = image.bits.data() + static_cast<size_t>(y) * image.stride;
        for (int x = y >= fromY ? 0 : fromX; x < image.width; ++x)
            codec.Write(row, x, white);
    }
}

// Copies pixels from one image into another of the same size, converting formats.
void convertPixels(const TBitmap::Image& from, TBitmap::Image& to)
{
    PixelCodec source = codecOf(from), target = codecOf(to);
    const bool raw = source.SameRaw(target);
    std::vector<uint32_t> row(static_cast<size_t>(from.width));
    for (int y = 0; y < from.height; ++y) {
        source.ReadRow(from.bits.data() + static_cast<size_t>(y) * from.stride, 0, from.width, row.data());
        if (!raw)
            for (auto& v : row)
                v = target.FromRGB(source.ToRGB(v));
        target.WriteRow(to.bits.data() + static_cast<size_t>(y) * to.stride, 0, from.width, row.data());
    }
}
} // namespace

TBitmap::TBitmap() : m_image(std::make_shared<Image>()) {}

TBitmap::TBitmap(int width, int height, TPixelFormat format) : TBitmap()
{
    if (format != TPixelFormat::pfDevice)
        SetPixelFormat(format);
    SetSize(width, height);
}

TBitmap::~TBitmap() = default;

void TBitmap::setImage(std::shared_ptr<Image> image)
{
    m_image = std::move(image);
    m_dormant = false;
}

void TBitmap::canvasChanged()
{
    m_dormant = false;
    Changed(this);
}

void TBitmap::SetSize(int width, int height)
{
    const Image& old = *m_image;
    if (width == old.width && height == old.height)
        return;
    auto image =
        makeImage(width, height, old.bitsPerPixel, old.masks, old.format, old.palette ? old.palette->Clone() : nullptr);
    const int keepWidth = std::min(width, old.width), keepHeight = std::min(height, old.height);
    const size_t keepBytes = RowBytes(keepWidth, old.bitsPerPixel, 8);
    fillWhite(*image, keepWidth, keepHeight);
    for (int y = 0; y < keepHeight; ++y) {
        uint8_t* to = image->bits.data() + static_cast<size_t>(y) * image->stride;
        const uint8_t* from = old.bits.data() + static_cast<size_t>(y) * old.stride;
        // Whole bytes first; a partly kept last byte of a narrow format goes pixel by pixel.
        const size_t whole = static_cast<size_t>(keepWidth) * static_cast<size_t>(old.bitsPerPixel) / 8;
        std::memcpy(to, from, whole);
        if (whole < keepBytes) {
            PixelCodec codec = codecOf(old);
            const int firstPixel = static_cast<int>(whole * 8 / static_cast<size_t>(old.bitsPerPixel));
            for (int x = firstPixel; x < keepWidth; ++x)
                codec.Write(to, x, codec.Read(from, x));
        }
    }
    // A wrapped image is shared: the new size shows in every bitmap that wraps it.
    *m_image = std::move(*image);
    m_dormant = false;
    Changed(this);
}

TPixelFormat TBitmap::PixelFormat() const
{
    return m_image->format;
}

int TBitmap::BitsPerPixel() const
{
    return m_image->bitsPerPixel;
}

TBitFields TBitmap::BitFields() const
{
    return m_image->masks;
}

void TBitmap::convertTo(int bitsPerPixel, TBitFields masks, TPixelFormat format, std::unique_ptr<TPalette> palette,
                        bool monochrome)
{
    const Image& old = *m_image;
    if (monochrome)
        palette.reset();
    // An indexed format keeps a palette that fits its depth, or takes its default one.
    if (bitsPerPixel <= 8 && palette && palette->Count() > (1 << bitsPerPixel))
        palette.reset();
    if (bitsPerPixel <= 8 && !palette)
        palette = std::make_unique<TPalette>(DefaultColorTable(bitsPerPixel));
    auto image = makeImage(old.width, old.height, bitsPerPixel, masks, format, std::move(palette));
    convertPixels(old, *image);
    *m_image = std::move(*image);
    Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    const Image& old = *m_image;
    if (format == old.format && !(format == TPixelFormat::pf1bit && !old.palette))
        return;
    if (format == TPixelFormat::pfCustom)
        throw EInvalidGraphicOperation("Format de pixel personnalisé sans masques");
    const bool sameStorage = (format == TPixelFormat::pfDevice && old.format == TPixelFormat::pf32bit) ||
                             (format == TPixelFormat::pf32bit && old.format == TPixelFormat::pfDevice);
    if (sameStorage) {
        m_image->format = format;
        Changed(this);
        return;
    }
    const int bits = BitsPerPixelOf(format);
    convertTo(bits, masksOf(format), format, old.palette ? old.palette->Clone() : nullptr, false);
}

void TBitmap::SetBitFields(int bitsPerPixel, TBitFields masks)
{
    if (bitsPerPixel != 16 && bitsPerPixel != 32)
        throw EInvalidGraphicOperation("Masques de couleur non valides");
    const Image& old = *m_image;
    convertTo(bitsPerPixel, masks, formatOf(bitsPerPixel, masks), old.palette ? old.palette->Clone() : nullptr, false);
}

bool TBitmap::Monochrome() const
{
    return m_image->bitsPerPixel == 1 && !m_image->palette;
}

void TBitmap::SetMonochrome(bool value)
{
    if (value == Monochrome())
        return;
    if (!value) {
        convertTo(32, kBitFields888, TPixelFormat::pfDevice, nullptr, false);
        return;
    }
    Mask(m_canvas ? m_canvas->Brush().Color() : clWhite);
}

void TBitmap::Mask(TColor transparentColor)
{
    const Image& old = *m_image;
    auto image = makeImage(old.width, old.height, 1, kBitFields888, TPixelFormat::pf1bit, nullptr);
    PixelCodec source = codecOf(old);
    const TColor white = ColorToRGB(transparentColor) & 0x00FFFFFF;
    PixelCodec target = codecOf(*image);
    for (int y = 0; y < old.height; ++y) {
        const uint8_t* from = old.bits.data() + static_cast<size_t>(y) * old.stride;
        uint8_t* to = image->bits.data() + static_cast<size_t>(y) * image->stride;
        for (int x = 0; x < old.width; ++x)
            target.Write(to, x, source.ToRGB(source.Read(from, x)) == white ? 1u : 0u);
    }
    *m_image = std::move(*image);
    Changed(this);
}

const TPalette* TBitmap::Palette() const
{
    return m_image->palette.get();
}

void TBitmap::SetPalette(std::unique_ptr<TPalette> palette)
{
    m_image->palette = std::move(palette);
    Changed(this);
}

void TBitmap::AssignPalette(const TPalette* palette)
{
    SetPalette(palette ? palette->Clone() : nullptr);
}

std::unique_ptr<TPalette> TBitmap::ReleasePalette()
{
    return std::move(m_image->palette);
}

TCanvas& TBitmap::Canvas()
{
    if (!m_canvas) {
        m_canvas = std::make_unique<TCanvas>(*this);
        m_canvas->OnChange = [this](TObject*) { canvasChanged(); };
    }
    m_dormant = false;
    return *m_canvas;
}

uint8_t* TBitmap::ScanLine(int row)
{
    if (row < 0 || row >= m_image->height)
        throw EInvalidGraphicOperation("Index de ligne hors limites");
    return m_image->bits.data() + static_cast<size_t>(row) * m_image->stride;
}

const uint8_t* TBitmap::ScanLine(int row) const
{
    if (row < 0 || row >= m_image->height)
        throw EInvalidGraphicOperation("Index de ligne hors limites");
    return m_image->bits.data() + static_cast<size_t>(row) * m_image->stride;
}

size_t TBitmap::RowStride() const
{
    return m_image->stride;
}

bool TBitmap::HandleAllocated() const
{
    return m_image->width > 0 && m_image->height > 0;
}

void TBitmap::Dormant()
{
    if (m_canvas)
        m_canvas->FreeHandle();
    m_dormant = true;
}

void TBitmap::Wrap(TBitmap& other)
{
    if (&other == this)
        return;
    setImage(other.m_image);
    Changed(this);
}

void TBitmap::ReleaseHandle()
{
    setImage(std::make_shared<Image>());
}

std::optional<TBitmapObject> TBitmap::QueryObject() const
{
    const Image& image = *m_image;
    if (!HandleAllocated())
        return std::nullopt;
    TBitmapObject object;
    object.width = image.width;
    object.height = image.height;
    object.bitsPerPixel = image.bitsPerPixel;
    object.dibSection = image.format != TPixelFormat::pfDevice && !Monochrome();
    object.masks = image.bitsPerPixel > 8 ? image.masks : TBitFields{};
    TBitmapInfoHeader& h = object.header;
    h.biWidth = image.width;
    h.biHeight = image.height;
    h.biBitCount = static_cast<uint16_t>(image.bitsPerPixel);
    const bool plainRgb = image.bitsPerPixel <= 8 || image.bitsPerPixel == 24 ||
                          (image.bitsPerPixel == 16 && image.masks == kBitFields555) ||
                          (image.bitsPerPixel == 32 && image.masks == kBitFields888);
    h.biCompression = plainRgb ? BI_RGB : BI_BITFIELDS;
    h.biSizeImage = static_cast<uint32_t>(image.stride * static_cast<size_t>(image.height));
    h.biClrUsed = image.bitsPerPixel <= 8 && image.palette ? static_cast<uint32_t>(image.palette->Count()) : 0;
    return object;
}

std::vector<TRGBQuad> TBitmap::DIBColorTable(int bitsPerPixel, const TPalette* selectedPalette) const
{
    if (bitsPerPixel > 8)
        return {};
    const std::vector<TPaletteEntry>* entries;
    if (m_image->bitsPerPixel == bitsPerPixel && !Monochrome())
        entries = m_image->palette ? &m_image->palette->Entries() : &DefaultColorTable(bitsPerPixel);
    else if (selectedPalette && !(bitsPerPixel == 1 && Monochrome()))
        entries = &selectedPalette->Entries();
    else
        entries = &DefaultColorTable(bitsPerPixel);
    const size_t count = std::min(entries->size(), size_t(1) << bitsPerPixel);
    std::vector<TRGBQuad> table(count);
    for (size_t i = 0; i < count; ++i)
        table[i] = {(*entries)[i].peBlue, (*entries)[i].peGreen, (*entries)[i].peRed, 0};
    return table;
}

void TBitmap::ReadDIBRows(int firstRow, int count, int bitsPerPixel, const std::vector<TRGBQuad>& colorTable,
                          uint8_t* out) const
{
    const Image& image = *m_image;
    if (firstRow < 0 || count < 0 || firstRow > image.height - count)
        throw EInvalidGraphicOperation("Index de ligne hors limites");
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 &&
        bitsPerPixel != 32)
        throw EInvalidGraphicOperation("Format de pixel non pris en charge");
    std::vector<TPaletteEntry> entries;
    for (const TRGBQuad& q : colorTable)
        entries.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
    if (bitsPerPixel <= 8 && entries.empty())
        entries = DefaultColorTable(bitsPerPixel);
    PixelCodec source = codecOf(image);
    PixelCodec target(bitsPerPixel, bitsPerPixel == 16 ? kBitFields555 : kBitFields888, &entries, false);
    const bool raw = image.bitsPerPixel == bitsPerPixel && source.SameRaw(target);
    const size_t stride = RowBytes(image.width, bitsPerPixel, 32);
    std::vector<uint32_t> row(static_cast<size_t>(image.width));
    for (int y = 0; y < count; ++y) {
        source.ReadRow(ScanLine(firstRow + y), 0, image.width, row.data());
        if (!raw)
            for (auto& v : row)
                v = target.FromRGB(source.ToRGB(v));
        uint8_t* to = out + static_cast<size_t>(y) * stride;
        std::memset(to, 0, stride);
        target.WriteRow(to, 0, image.width, row.data());
    }
}

std::unique_ptr<TBitmap> TBitmap::CreateMonochrome(int width, int height, const uint8_t* rows)
{
    auto bitmap = std::make_unique<TBitmap>();
    auto image = makeImage(width, height, 1, kBitFields888, TPixelFormat::pf1bit, nullptr);
    const size_t sourceStride = RowBytes(width, 1, 16);
    for (int y = 0; y < height; ++y)
        std::memcpy(image->bits.data() + static_cast<size_t>(y) * image->stride,
                    rows + static_cast<size_t>(y) * sourceStride, sourceStride);
    bitmap->setImage(std::move(image));
    return bitmap;
}

void TBitmap::CopyFrom(const TPersistent* source)
{
    if (source == this)
        return;
    if (!source) {
        setImage(std::make_shared<Image>());
        Changed(this);
        return;
    }
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
        const Image& from = *bitmap->m_image;
        auto image = std::make_shared<Image>();
        image->format = from.format;
        image->width = from.width;
        image->height = from.height;
        image->bitsPerPixel = from.bitsPerPixel;
        image->masks = from.masks;
        image->stride = from.stride;
        image->bits = from.bits;
        image->palette = from.palette ? from.palette->Clone() : nullptr;
        setImage(std::move(image));
        SetTransparent(bitmap->Transparent());
        Changed(this);
        return;
    }
    if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) {
        // A graphic that knows how to become a bitmap does so; any other is drawn onto a
        // white device bitmap of its size.
        try {
            graphic->CopyInto(*this);
            return;
        } catch (const EConvertError&) {}
        auto& other = const_cast<TGraphic&>(*graphic);
        setImage(std::make_shared<Image>());
        SetSize(other.Width(), other.Height());
        Canvas().Brush().SetColor(clWhite);
        Canvas().FillRect(Rect(0, 0, other.Width(), other.Height()));
        Canvas().StretchDraw(Rect(0, 0, other.Width(), other.Height()), other);
        return;
    }
    TGraphic::CopyFrom(source);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect)
{
    if (IsEmpty())
        return;
    PaletteSelection selection(canvas, Palette(), true);
    if (Palette())
        canvas.RealizePalette();
    canvas.StretchBlt(rect, *this, Rect(0, 0, Width(), Height()), canvas.CopyMode());
}

bool TBitmap::IsEmpty() const
{
    return m_image->width == 0 || m_image->height == 0;
}

int TBitmap::QueryWidth() const
{
    return m_image->width;
}

int TBitmap::QueryHeight() const
{
    return m_image->height;
}

void TBitmap::ChangeWidth(int value)
{
    SetSize(value, m_image->height);
}

void TBitmap::ChangeHeight(int value)
{
    SetSize(m_image->width, value);
}

void TBitmap::LoadClipboard(uint32_t format, const TClipboardData& data, const TPalette* palette)
{
    if (format != CF_BITMAP)
        TGraphic::LoadClipboard(format, data, palette);
    std::optional<TClipboardData> fromClipboard;
    const TClipboardData* block = &data;
    if (data.Bytes.empty()) {
        fromClipboard = Clipboard().Data(CF_BITMAP);
        if (!fromClipboard)
            throw EInvalidGraphic("Le presse-papiers ne contient pas de bitmap");
        block = &*fromClipboard;
    }
    TReadOnlyMemoryStream stream(block->Bytes.data(), block->Bytes.size());
    LoadFromStream(stream);
    if (palette && !Palette())
        AssignPalette(palette);
}

void TBitmap::SaveClipboard(uint32_t& format, TClipboardData& data, const TPalette*& palette)
{
    TMemoryStream stream;
    SaveToStream(stream);
    format = CF_BITMAP;
    data.Bytes = stream.TakeBytes();
    palette = Palette();
}
