// Frames from other graphics (bitmaps, icons, metafiles, pictures), and the two frame
// edits the optimiser is built from: trimming transparent borders and merging with the
// frame before.

#include "gif/SubImage.h"

#include "framework/core/Exception.h"
#include "framework/core/System.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "framework/graphics/Palette.h"
#include "framework/graphics/Picture.h"
#include "framework/graphics/Rop.h"
#include "gif/DIB.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/ReduceColors.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr int ProgressRows = 32;

// Pixels and colours gathered aside, so that a failure leaves the frame untouched.
struct Imported {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    std::vector<TPaletteEntry> colors;
};

// Distinct 24-bit colours in order of first appearance. The last eight colours seen are
// tried first: runs and small patterns of a few colours are the common case.
class ColorIndexer {
public:
    explicit ColorIndexer(std::vector<TPaletteEntry>& colors) : m_colors(colors) { m_keys.fill(Empty); }

    uint8_t indexOf(uint32_t key)
    {
        for (int n = 0, slot = m_current; n < CacheSize; ++n, slot = (slot + CacheSize - 1) % CacheSize) {
            if (m_cache[static_cast<size_t>(slot)].key == Empty)
                break;
            if (m_cache[static_cast<size_t>(slot)].key == key) {
                m_current = slot;
                return m_cache[static_cast<size_t>(slot)].index;
            }
        }
        const uint8_t index = lookup(key);
        m_current = (m_current + 1) % CacheSize;
        m_cache[static_cast<size_t>(m_current)] = {key, index};
        return index;
    }

private:
    static constexpr uint32_t Empty = 0xFFFFFFFF;
    static constexpr int CacheSize = 8;
    static constexpr size_t TableSize = 1024; // open addressing, never more than a quarter full

    uint8_t lookup(uint32_t key)
    {
        size_t h = (key * 2654435761u) >> 22;
        while (m_keys[h] != Empty) {
            if (m_keys[h] == key)
                return m_indices[h];
            h = (h + 1) % TableSize;
        }
        if (m_colors.size() >= 256)
            RaiseGIFError(GIFText::ColorTableOverflow);
        const auto index = static_cast<uint8_t>(m_colors.size());
        // Keys hold blue, green, red from low to high byte, as the rows do.
        m_colors.push_back(
            {static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key), 0});
        m_keys[h] = key;
        m_indices[h] = index;
        return index;
    }

    struct Slot {
        uint32_t key = Empty;
        uint8_t index = 0;
    };
    std::vector<TPaletteEntry>& m_colors;
    std::array<Slot, CacheSize> m_cache{};
    int m_current = 0;
    std::array<uint32_t, TableSize> m_keys{};
    std::array<uint8_t, TableSize> m_indices{};
};

bool isIndexed(TPixelFormat format)
{
    return format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit;
}

// The layout a bitmap's pixels are read in: its own when it has a palette of indices,
// else 24 bits.
TPixelFormat readLayout(const TBitmap& bitmap)
{
    const TPixelFormat format = bitmap.Palette() ? BitmapPixelFormat(bitmap) : TPixelFormat::pfDevice;
    return isIndexed(format) ? format : TPixelFormat::pf24bit;
}

TGIFGraphicControlExtension* lastControl(const TGIFSubImage& frame)
{
    const TGIFExtensionList& extensions = frame.Extensions();
    for (int i = extensions.Count() - 1; i >= 0; --i)
        if (auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extensions.Items(i)))
            return control;
    return nullptr;
}

// The graphic in a bitmap of its size: one way, and the other should the first raise.
void drawInto(TBitmap& bitmap, TGraphic& graphic, bool drawFirst)
{
    auto draw = [&] {
        bitmap.SetSize(graphic.Width(), graphic.Height());
        bitmap.Canvas().Draw(0, 0, graphic);
    };
    auto copy = [&] { bitmap.CopyFrom(&graphic); };
    try {
        drawFirst ? draw() : copy();
    } catch (const Exception&) {
        drawFirst ? copy() : draw();
    }
}

// Where the metafile paints nothing: non-black where a white and a black background
// differ after drawing.
std::unique_ptr<TBitmap> unpaintedArea(TMetafile& metafile)
{
    const int width = metafile.Width(), height = metafile.Height();
    auto white = std::make_unique<TBitmap>(width, height);
    TBitmap black(width, height);
    white->Canvas().Brush().SetColor(clWhite);
    white->Canvas().FillRect(Rect(0, 0, width, height));
    black.Canvas().Brush().SetColor(clBlack);
    black.Canvas().FillRect(Rect(0, 0, width, height));
    white->Canvas().Draw(0, 0, metafile);
    black.Canvas().Draw(0, 0, metafile);
    white->Canvas().BitBlt(0, 0, width, height, &black.Canvas(), 0, 0, cmSrcInvert);
    return white;
}

} // namespace

void TGIFSubImage::importProgress(TProgressStage stage, uint8_t percent)
{
    if (m_image)
        m_image->Progress(this, stage, percent, false, TRect{}, std::string(GIFText::Converting));
}

void TGIFSubImage::importGraphic(const TPersistent* source)
{
    if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
        if (picture->Graphic())
            CopyFrom(picture->Graphic());
        else
            Clear();
        return;
    }
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
        importBitmap(*bitmap, nullptr);
        return;
    }
    const auto* constGraphic = dynamic_cast<const TGraphic*>(source);
    if (!constGraphic) {
        TGIFItem::CopyFrom(source);
        return;
    }
    auto& graphic = const_cast<TGraphic&>(*constGraphic);
    if (graphic.IsEmpty()) {
        Clear();
        return;
    }
    auto* icon = dynamic_cast<TIcon*>(&graphic);
    auto* metafile = dynamic_cast<TMetafile*>(&graphic);
    TBitmap temporary;
    drawInto(temporary, graphic, icon || metafile);
    std::unique_ptr<TBitmap> unpainted;
    if (metafile)
        unpainted = unpaintedArea(*metafile);
    importBitmap(temporary, icon ? &icon->MaskBitmap() : unpainted.get());
}

void TGIFSubImage::importBitmap(const TBitmap& source, const TBitmap* mask)
{
    if (source.IsEmpty()) {
        Clear();
        return;
    }
    const int width = source.Width(), height = source.Height();
    if (width > 0xFFFF || height > 0xFFFF || m_left + width > 0xFFFF || m_top + height > 0xFFFF)
        RaiseGIFError(GIFText::FrameBoundsOutOfRange);
    // Checked before anything changes: the old pixels go only once the new ones are made.
    const int64_t size = int64_t(width) * height;
    const int64_t held = m_data ? m_dataSize : 0;
    if (m_image ? size - held > m_image->MaxPixelBytes() - m_image->PixelBytes() : size > DefaultMaxPixelBytes)
        throw EOutOfMemory();

    std::unique_ptr<TBitmap> reduced;
    const TBitmap* bitmap = &source;
    if (!(source.Palette() && isIndexed(BitmapPixelFormat(source)))) {
        const TReductionMethod method = m_image ? m_image->ReductionMethod() : DefaultReductionMethod;
        const TDitherMethod dither = m_image ? m_image->DitherMethod() : DefaultDitherMethod;
        const int depth = m_image ? m_image->ReductionBitDepth() : DefaultReductionBitDepth;
        reduced = ReduceColors(source, method, dither, nullptr, depth);
        if (!reduced || reduced->IsEmpty())
            RaiseGIFError(GIFText::BitmapNotValid);
        bitmap = reduced.get();
    }

    Imported result;
    importProgress(TProgressStage::psStarting, 0);
    try {
        const TPixelFormat layout = readLayout(*bitmap);
        TDIBReader reader(*bitmap, layout);
        result.width = width;
        result.height = height;
        result.pixels.resize(static_cast<size_t>(size));
        int colorCount = 256;
        if (layout != TPixelFormat::pf24bit) {
            const TPalette& palette = *bitmap->Palette();
            colorCount = std::min(palette.Count(), 256);
            result.colors.resize(static_cast<size_t>(colorCount));
            if (colorCount > 0)
                palette.GetEntries(0, colorCount, result.colors.data());
        }
        ColorIndexer indexer(result.colors);
        uint8_t highest = 0;
        for (int y = 0; y < height; ++y) {
            if (y % ProgressRows == 0)
                importProgress(TProgressStage::psRunning, static_cast<uint8_t>(MulDiv(y, 100, height)));
            const uint8_t* row = reader.ScanLineAt(y);
            uint8_t* to = result.pixels.data() + static_cast<size_t>(y) * width;
            switch (layout) {
            case TPixelFormat::pf1bit:
                for (int x = 0; x < width; ++x)
                    to[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
                break;
            case TPixelFormat::pf4bit:
                for (int x = 0; x < width; ++x)
                    to[x] = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
                break;
            case TPixelFormat::pf8bit: std::memcpy(to, row, static_cast<size_t>(width)); break;
            default:
                for (int x = 0; x < width; ++x, row += 3)
                    to[x] = indexer.indexOf(uint32_t(row[0]) | uint32_t(row[1]) << 8 | uint32_t(row[2]) << 16);
                break;
            }
            if (layout != TPixelFormat::pf24bit)
                highest = std::max(highest, *std::max_element(to, to + width));
        }
        // Such a frame could be neither drawn nor written.
        if (layout != TPixelFormat::pf24bit && highest >= colorCount)
            RaiseGIFError(GIFText::ColorNotInTable);
    } catch (...) {
        importProgress(TProgressStage::psEnding, 0);
        throw;
    }

    Clear();
    SetBoundsRect(m_left, m_top, width, height);
    NeedData();
    std::memcpy(m_data.get(), result.pixels.data(), result.pixels.size());
    TPalette palette(std::move(result.colors));
    m_colorMap.ImportPalette(&palette);
    if (mask)
        applyMask(*mask);
    // Rendering builds the bitmap from the pixels: the source's may show other colours.
    DiscardBitmap();
    DiscardMask();
    importProgress(TProgressStage::psEnding, 100);
}

void TGIFSubImage::applyMask(const TBitmap& mask)
{
    m_colorMap.SortByUse();
    if (m_colorMap.Count() == 0 || m_colorMap.Count() == TGIFColorMap::MaxColors || mask.IsEmpty())
        return;
    const int t = m_colorMap.Add(clBlack);
    TDIBReader reader(mask, TPixelFormat::pf24bit);
    const int width = std::min<int>(m_width, mask.Width()), height = std::min<int>(m_height, mask.Height());
    bool changed = false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = reader.ScanLineAt(y);
        uint8_t* to = m_data.get() + int64_t(y) * m_width;
        for (int x = 0; x < width; ++x, row += 3) {
            if (row[0] | row[1] | row[2]) {
                to[x] = static_cast<uint8_t>(t);
                changed = true;
            }
        }
    }
    if (!changed) {
        m_colorMap.Delete(t);
        return;
    }
    auto control = std::make_unique<TGIFGraphicControlExtension>(this);
    control->SetTransparent(true);
    control->StoreTransparentColorIndex(static_cast<uint8_t>(t));
    m_extensions.Add(std::move(control));
}

void TGIFSubImage::TrimTransparentBorders()
{
    if (Empty() || !m_transparent || !m_graphicControl)
        return;
    const uint8_t t = m_graphicControl->TransparentColorIndex();
    const uint8_t* data = m_data.get();
    const int width = m_width, height = m_height;
    auto opaqueColumn = [&](int x) {
        for (int y = 0; y < height; ++y)
            if (data[int64_t(y) * width + x] != t)
                return true;
        return false;
    };
    int x0 = 0;
    while (x0 < width && !opaqueColumn(x0))
        ++x0;
    if (x0 == width) {
        Clear();
        return;
    }
    int x1 = width - 1;
    while (x1 > x0 && !opaqueColumn(x1))
        --x1;
    auto opaqueRow = [&](int y) {
        const uint8_t* row = data + int64_t(y) * width;
        return std::any_of(row + x0, row + x1 + 1, [t](uint8_t p) { return p != t; });
    };
    int y0 = 0;
    while (!opaqueRow(y0))
        ++y0;
    int y1 = height - 1;
    while (y1 > y0 && !opaqueRow(y1))
        --y1;
    const int keptWidth = x1 - x0 + 1, keptHeight = y1 - y0 + 1;
    if (keptWidth == width && keptHeight == height)
        return;
    std::vector<uint8_t> kept(static_cast<size_t>(keptWidth) * keptHeight);
    for (int y = 0; y < keptHeight; ++y)
        std::memcpy(kept.data() + static_cast<size_t>(y) * keptWidth, data + int64_t(y0 + y) * width + x0,
                    static_cast<size_t>(keptWidth));
    // The new bounds bring zeroed pixels of the kept size, counted in the budget.
    SetBoundsRect(m_left + x0, m_top + y0, keptWidth, keptHeight);
    NeedData();
    std::memcpy(m_data.get(), kept.data(), kept.size());
    DiscardBitmap();
    DiscardMask();
}

void TGIFSubImage::MergeWithPrevious(TGIFSubImage* previous)
{
    if (!previous || previous == this || Empty() || previous->Empty())
        return;
    if (const TGIFGraphicControlExtension* control = lastControl(*previous))
        if (control->Disposal() == 2 || control->Disposal() == 3)
            return;
    const TRect mine = BoundsRect(), theirs = previous->BoundsRect();
    const int left = std::max(mine.left, theirs.left), right = std::min(mine.right, theirs.right);
    const int top = std::max(mine.top, theirs.top), bottom = std::min(mine.bottom, theirs.bottom);
    if (left >= right || top >= bottom)
        return;

    TGIFColorMap& map = EffectiveColorMap();
    TGIFColorMap& previousMap = previous->EffectiveColorMap();
    int t = -1;
    const bool wasTransparent = m_transparent && m_graphicControl;
    if (wasTransparent) {
        t = m_graphicControl->TransparentColorIndex();
        // Pixels set to an index beyond the map could not be written.
        if (t >= map.Count())
            return;
    } else {
        const int globalCount = m_image ? m_image->Header().ColorMap().Count() : 0;
        // A background index beyond the global map would name the added entry instead.
        const bool backgroundBeyond = m_image && m_image->Header().BackgroundColorIndex() >= globalCount;
        const bool room = m_colorMap.Count() > 0
                              ? m_colorMap.Count() < TGIFColorMap::MaxColors
                              : globalCount >= 1 && globalCount < TGIFColorMap::MaxColors && !backgroundBeyond;
        if (!room)
            return;
        // Pixels holding the index the added entry would take show black now; made the
        // transparent entry, they would vanish.
        const int added = m_colorMap.Count() > 0 ? m_colorMap.Count() : globalCount;
        if (std::memchr(m_data.get(), added, static_cast<size_t>(m_dataSize)))
            return;
    }
    const bool previousTransparent = previous->m_transparent && previous->m_graphicControl;
    const int p = previousTransparent ? previous->m_graphicControl->TransparentColorIndex() : -1;

    auto chooseIndex = [&]() -> int {
        if (m_colorMap.Count() > 0)
            return m_colorMap.Add(clBlack);
        TGIFColorMap& global = m_image->Header().ColorMap();
        std::array<bool, 256> used{};
        for (int64_t n = 0; n < m_dataSize; ++n)
            used[m_data[static_cast<size_t>(n)]] = true;
        TGIFImageList& frames = m_image->Images();
        for (int i = 0; i < frames.Count(); ++i) {
            TGIFSubImage& other = frames.Items(i);
            if (&other == this || !other.m_transparent || !other.m_graphicControl || other.m_colorMap.Count() > 0)
                continue;
            const int index = other.m_graphicControl->TransparentColorIndex();
            // Borrowed only where it hides nothing of this frame.
            if (index < global.Count() && !used[static_cast<size_t>(index)])
                return index;
        }
        return global.Add(clBlack);
    };

    const bool sameMap = &map == &previousMap;
    const int count = map.Count(), previousCount = previousMap.Count();
    const TGIFColor* colors = map.Entries();
    const TGIFColor* previousColors = previousMap.Entries();
    bool changed = false;
    for (int y = top; y < bottom; ++y) {
        uint8_t* row = m_data.get() + int64_t(y - m_top) * m_width - m_left;
        const uint8_t* previousRow =
            previous->m_data.get() + int64_t(y - previous->m_top) * previous->m_width - previous->m_left;
        for (int x = left; x < right; ++x) {
            const int a = row[x], b = previousRow[x];
            if ((t >= 0 && a == t) || b == p)
                continue;
            // Indices beyond a map draw black whatever they were meant to be.
            if (a >= count || b >= previousCount)
                continue;
            if (sameMap ? a != b : !(colors[a] == previousColors[b]))
                continue;
            if (t < 0) {
                t = chooseIndex();
                // The map may have moved as it grew.
                colors = map.Entries();
                if (sameMap)
                    previousColors = colors;
            }
            row[x] = static_cast<uint8_t>(t);
            changed = true;
        }
    }
    if (!wasTransparent && t >= 0) {
        if (!m_graphicControl)
            m_extensions.Add(std::make_unique<TGIFGraphicControlExtension>(this));
        m_graphicControl->SetTransparent(true);
        m_graphicControl->StoreTransparentColorIndex(static_cast<uint8_t>(t));
    }
    if (changed || t >= 0) {
        DiscardBitmap();
        DiscardMask();
    }
}
