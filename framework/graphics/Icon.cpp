#include "framework/graphics/Icon.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
constexpr const char* kInvalidIcon = "Image icône non valide";

uint16_t u16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t u32(const uint8_t* p)
{
    return static_cast<uint32_t>(u16(p)) | (static_cast<uint32_t>(u16(p + 2)) << 16);
}

struct Entry {
    size_t offset = 0;
    size_t size = 0;
    int width = 0;
    int height = 0;
    int bitCount = 0;
};

// Directory: reserved 0, type 1 (icon) or 2 (cursor), count; then per image 16 bytes:
// width, height (0 for 256), colours, reserved, planes, bit count, size, offset.
std::vector<Entry> readDirectory(const std::vector<uint8_t>& data)
{
    if (data.size() < 6 || u16(data.data()) != 0 || (u16(data.data() + 2) != 1 && u16(data.data() + 2) != 2))
        throw EInvalidGraphic(kInvalidIcon);
    const size_t count = u16(data.data() + 4);
    if (count == 0 || data.size() < 6 + 16 * count)
        throw EInvalidGraphic(kInvalidIcon);
    std::vector<Entry> entries;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = data.data() + 6 + 16 * i;
        Entry entry;
        entry.width = e[0] ? e[0] : 256;
        entry.height = e[1] ? e[1] : 256;
        entry.bitCount = u16(e + 6);
        entry.size = u32(e + 8);
        entry.offset = u32(e + 12);
        if (entry.offset < data.size() && entry.size <= data.size() - entry.offset)
            entries.push_back(entry);
    }
    return entries;
}

bool isPng(const std::vector<uint8_t>& data, const Entry& entry)
{
    return entry.size >= 4 && std::memcmp(data.data() + entry.offset, "\x89PNG", 4) == 0;
}

struct Decoded {
    std::unique_ptr<TBitmap> image;
    std::unique_ptr<TBitmap> mask;
};

Decoded decodeImage(const std::vector<uint8_t>& data, const Entry& entry, int64_t maxPixelBytes)
{
    const uint8_t* base = data.data() + entry.offset;
    const dib::Info info = dib::ParseInfo(base, entry.size, true);
    // The colour image ends up in the device format, the largest of the pieces.
    dib::CheckBudget(RowBytes(info.width, 32, 32) * static_cast<size_t>(info.height), maxPixelBytes);
    const size_t colourBytes = dib::ImageBytes(info);
    const size_t maskStride = RowBytes(info.width, 1, 32);
    if (entry.size - info.headerBytes < colourBytes)
        throw EInvalidGraphic(kInvalidIcon);
    Decoded result;
    result.image = dib::Decode(info, base + info.headerBytes);

    std::vector<uint8_t> maskRows(RowBytes(info.width, 1, 16) * static_cast<size_t>(info.height), 0);
    const size_t maskAt = info.headerBytes + colourBytes;
    // Some 32-bit icons leave the AND mask out and rely on alpha alone.
    const bool hasMask = entry.size - maskAt >= maskStride * static_cast<size_t>(info.height);
    const size_t rowBytes16 = RowBytes(info.width, 1, 16);
    if (hasMask)
        for (int y = 0; y < info.height; ++y) {
            const int stored = info.topDown ? y : info.height - 1 - y;
            std::memcpy(maskRows.data() + static_cast<size_t>(y) * rowBytes16,
                        base + maskAt + static_cast<size_t>(stored) * maskStride, rowBytes16);
        }
    result.mask = TBitmap::CreateMonochrome(info.width, info.height, maskRows.data());

    // Alpha, where a 32-bit image has any, masks as well: below half is transparent.
    std::vector<uint8_t> alphaValues;
    if (info.bitCount == 32) {
        const size_t stride = RowBytes(info.width, 32, 32);
        for (int y = 0; y < info.height; ++y) {
            const int stored = info.topDown ? y : info.height - 1 - y;
            const uint8_t* row = base + info.headerBytes + static_cast<size_t>(stored) * stride;
            for (int x = 0; x < info.width; ++x)
                alphaValues.push_back(row[4 * x + 3]);
        }
    }
    const bool alpha = std::any_of(alphaValues.begin(), alphaValues.end(), [](uint8_t a) { return a != 0; });
    result.image->SetPixelFormat(TPixelFormat::pfDevice);

    TCanvas& mask = result.mask->Canvas();
    TCanvas& colour = result.image->Canvas();
    for (int y = 0; y < info.height; ++y)
        for (int x = 0; x < info.width; ++x) {
            bool transparent = mask.Pixel(x, y) == clWhite;
            if (alpha && alphaValues[static_cast<size_t>(y * info.width + x)] < 128) {
                transparent = true;
                mask.SetPixel(x, y, clWhite);
            }
            if (transparent && alpha)
                colour.SetPixel(x, y, clBlack);
        }
    return result;
}
} // namespace

TIcon::TIcon() : m_image(std::make_unique<TBitmap>()), m_mask(std::make_unique<TBitmap>()) {}

TIcon::~TIcon() = default;

void TIcon::CopyFrom(const TPersistent* source)
{
    if (source == this)
        return;
    if (!source) {
        m_data.clear();
        m_image = std::make_unique<TBitmap>();
        m_mask = std::make_unique<TBitmap>();
        Changed(this);
        return;
    }
    if (const auto* icon = dynamic_cast<const TIcon*>(source)) {
        m_data = icon->m_data;
        m_image->CopyFrom(icon->m_image.get());
        m_mask->CopyFrom(icon->m_mask.get());
        Changed(this);
        return;
    }
    TGraphic::CopyFrom(source);
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect)
{
    if (IsEmpty())
        return;
    CanvasStateGuard state(canvas);
    canvas.SetTextColor(clBlack);
    canvas.SetBackgroundColor(clWhite);
    const TRect source = Rect(0, 0, Width(), Height());
    canvas.StretchBlt(rect, *m_mask, source, cmSrcAnd);
    canvas.StretchBlt(rect, *m_image, source, cmSrcInvert);
}

bool TIcon::IsEmpty() const
{
    return m_image->IsEmpty();
}

int TIcon::QueryWidth() const
{
    return m_image->Width();
}

int TIcon::QueryHeight() const
{
    return m_image->Height();
}

void TIcon::ChangeWidth(int)
{
    throw EInvalidGraphicOperation("Impossible de modifier la taille d'une icône");
}

void TIcon::ChangeHeight(int)
{
    throw EInvalidGraphicOperation("Impossible de modifier la taille d'une icône");
}

void TIcon::LoadFromStream(TStream& stream)
{
    const int64_t start = stream.Position();
    const int64_t available = stream.Size() - start;
    uint8_t header[6];
    stream.ReadBuffer(header, sizeof header);
    const size_t count = u16(header + 4);
    std::vector<uint8_t> data(6 + 16 * count);
    std::memcpy(data.data(), header, 6);
    stream.ReadBuffer(data.data() + 6, 16 * count);
    // The file ends where its last image ends.
    size_t end = data.size();
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = data.data() + 6 + 16 * i;
        end = std::max<size_t>(end, static_cast<size_t>(u32(e + 12)) + u32(e + 8));
    }
    if (static_cast<int64_t>(end) > available)
        throw EInvalidGraphic(kInvalidIcon);
    const size_t directory = data.size();
    data.resize(end);
    stream.ReadBuffer(data.data() + directory, end - directory);

    std::vector<Entry> entries = readDirectory(data);
    std::erase_if(entries, [&](const Entry& e) { return isPng(data, e); });
    if (entries.empty())
        throw EInvalidGraphic(kInvalidIcon);
    const auto distance = [](const Entry& e) { return std::abs(e.width - 32) + std::abs(e.height - 32); };
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        return distance(a) != distance(b) ? distance(a) < distance(b) : a.bitCount > b.bitCount;
    });
    Decoded decoded = decodeImage(data, entries.front(), m_maxPixelBytes);
    m_data = std::move(data);
    m_image = std::move(decoded.image);
    m_mask = std::move(decoded.mask);
    Changed(this);
}

void TIcon::SaveToStream(TStream& stream)
{
    stream.WriteBuffer(m_data.data(), m_data.size());
}
