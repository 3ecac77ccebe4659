#include "gif/ColorMap.h"

#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"
#include "gif/Extensions.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/StreamHelpers.h"
#include "gif/SubImage.h"

#include <cstring>

namespace {

// Records low..high by count, largest first. Equal counts may be swapped, and whether
// they are decides whether an order "changed", so this is kept as it stands.
void quickSort(TColorHistogram& records, int low, int high)
{
    int i;
    do {
        i = low;
        int j = high;
        const int64_t pivot = records[static_cast<size_t>((low + high) / 2)].Count;
        do {
            while (records[static_cast<size_t>(i)].Count > pivot)
                ++i;
            while (records[static_cast<size_t>(j)].Count < pivot)
                --j;
            if (i <= j) {
                std::swap(records[static_cast<size_t>(i)], records[static_cast<size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (low < j)
            quickSort(records, low, j);
        low = i;
    } while (i < high);
}

void countPixels(const TGIFSubImage& frame, TColorHistogram& histogram)
{
    const uint8_t* pixel = frame.Data();
    if (!pixel)
        return;
    // Counted in a plain array first: one increment per pixel, no 16-byte records.
    std::array<int64_t, 256> counts{};
    for (int64_t n = frame.DataSize(); n > 0; --n)
        ++counts[*pixel++];
    for (size_t i = 0; i < counts.size(); ++i)
        histogram[i].Count += counts[i];
}

void remapFrame(TGIFSubImage& frame, const TColorTranslation& table)
{
    if (uint8_t* pixel = frame.Data())
        for (int64_t n = frame.DataSize(); n > 0; --n, ++pixel)
            *pixel = table[*pixel];
    if (frame.Transparent())
        if (auto* control = frame.GraphicControlExtension())
            control->StoreTransparentColorIndex(table[control->TransparentColorIndex()]);
}

// Every frame of the header's image, if it has one.
template <typename F>
void forEachFrame(TGIFHeader* header, F&& f)
{
    TGIFImage* image = header ? header->Image() : nullptr;
    if (!image)
        return;
    for (int i = 0; i < image->Images().Count(); ++i)
        f(image->Images().Items(i));
}

} // namespace

void TGIFColorMap::CopyFrom(const TPersistent* source)
{
    const auto* other = dynamic_cast<const TGIFColorMap*>(source);
    if (!other) {
        TPersistent::CopyFrom(source);
        return;
    }
    if (other == this)
        return;
    std::vector<TGIFColor> entries(other->m_entries.size());
    std::copy_n(other->m_entries.begin(), other->m_count, entries.begin());
    m_entries = std::move(entries);
    m_count = other->m_count;
    m_sorted = other->m_sorted;
    ColorsChanged();
}

void TGIFColorMap::Clear()
{
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_count = 0;
    m_sorted = false;
}

void TGIFColorMap::growFor(int count)
{
    if (count < Capacity())
        return;
    int capacity = count <= 16 ? 16 : (count + 31) / 32 * 32;
    capacity = std::min(capacity, MaxColors);
    m_entries.resize(static_cast<size_t>(capacity));
}

TColor TGIFColorMap::Colors(int index)
{
    if (index < 0 || index >= m_count) {
        Warn(1, std::string(GIFText::InvalidColorIndex));
        if (m_count == 0)
            RaiseGIFError(GIFText::ColorTableEmpty);
        index = 0;
    }
    return ColorValueOf(m_entries[static_cast<size_t>(index)]);
}

int TGIFColorMap::IndexOf(TColor color) const
{
    const TGIFColor wanted = GIFColorOf(color);
    if (m_sorted) {
        for (int i = 0; i < m_count; ++i)
            if (m_entries[static_cast<size_t>(i)] == wanted)
                return i;
    } else {
        for (int i = m_count - 1; i >= 0; --i)
            if (m_entries[static_cast<size_t>(i)] == wanted)
                return i;
    }
    return -1;
}

int TGIFColorMap::Add(TColor color)
{
    if (m_count >= MaxColors)
        RaiseGIFError(GIFText::ColorTableOverflow);
    growFor(m_count + 1);
    m_entries[static_cast<size_t>(m_count)] = GIFColorOf(color);
    ++m_count;
    m_sorted = false;
    ColorsChanged();
    return m_count - 1;
}

int TGIFColorMap::AddUnique(TColor color)
{
    const int index = IndexOf(color);
    return index >= 0 ? index : Add(color);
}

void TGIFColorMap::Delete(int index)
{
    if (index < 0 || index >= m_count)
        RaiseGIFError(GIFText::InvalidColorIndex);
    --m_count;
    std::copy(m_entries.begin() + index + 1, m_entries.begin() + m_count + 1, m_entries.begin() + index);
    m_sorted = false;
    ColorsChanged();
}

void TGIFColorMap::ImportPalette(const TPalette* palette)
{
    Clear();
    if (!palette || palette->Count() == 0)
        return;
    const int count = std::min(palette->Count(), MaxColors);
    growFor(count);
    for (int i = 0; i < count; ++i) {
        const TPaletteEntry& entry = palette->Entry(i);
        m_entries[static_cast<size_t>(i)] = {entry.peRed, entry.peGreen, entry.peBlue};
    }
    m_count = count;
    ColorsChanged();
}

std::unique_ptr<TPalette> TGIFColorMap::MakePalette() const
{
    if (m_count == 0)
        return nullptr;
    std::vector<TPaletteEntry> entries(static_cast<size_t>(m_count));
    for (int i = 0; i < m_count; ++i) {
        const TGIFColor& color = m_entries[static_cast<size_t>(i)];
        entries[static_cast<size_t>(i)] = {color.Red, color.Green, color.Blue, pcNoCollapse};
    }
    return std::make_unique<TPalette>(std::move(entries));
}

int TGIFColorMap::BitsPerPixel() const
{
    return BitsForColorCount(m_count);
}

bool TGIFColorMap::SortByUse()
{
    if (m_count <= 1)
        return false;
    m_sorted = true;
    TColorHistogram records;
    for (int i = 0; i < 256; ++i)
        records[static_cast<size_t>(i)] = {0, i};
    GatherHistogram(records);
    quickSort(records, 0, m_count - 1);

    bool inOrder = true;
    for (int k = 0; k < m_count && inOrder; ++k)
        inOrder = records[static_cast<size_t>(k)].Index == k;
    if (inOrder)
        return true;

    // Indices at or beyond Count have no entry to move; they keep their value.
    TColorTranslation table;
    for (int i = 0; i < 256; ++i)
        table[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    for (int k = 0; k < m_count; ++k)
        table[static_cast<size_t>(records[static_cast<size_t>(k)].Index)] = static_cast<uint8_t>(k);
    RemapPixels(table);

    const std::vector<TGIFColor> old = m_entries;
    for (int k = 0; k < m_count; ++k)
        m_entries[table[static_cast<size_t>(k)]] = old[static_cast<size_t>(k)];
    for (int k = 0; k < m_count; ++k) {
        if (records[static_cast<size_t>(k)].Count == 0) {
            m_count = k;
            break;
        }
    }
    ColorsChanged();
    return true;
}

void TGIFColorMap::SaveToStream(TStream& stream) const
{
    if (m_count == 0)
        return;
    const int total = 1 << BitsPerPixel();
    std::vector<uint8_t> bytes(static_cast<size_t>(total) * 3, 0);
    std::memcpy(bytes.data(), m_entries.data(), static_cast<size_t>(m_count) * 3);
    WriteBytes(stream, bytes.data(), bytes.size());
}

void TGIFColorMap::LoadFromStream(TStream& stream, int count)
{
    Clear();
    growFor(count);
    ReadExact(stream, m_entries.data(), static_cast<size_t>(count) * 3);
    m_count = count;
}

void TGIFGlobalColorMap::Warn(int severity, const std::string& message)
{
    if (TGIFImage* image = m_header ? m_header->Image() : nullptr)
        image->Warn(this, severity, message);
}

void TGIFGlobalColorMap::GatherHistogram(TColorHistogram& histogram)
{
    // The background colour fills under the first frame and restored areas: it counts as
    // used even where no pixel shows it.
    if (m_header && m_header->BackgroundColorIndex() < Count())
        ++histogram[m_header->BackgroundColorIndex()].Count;
    forEachFrame(m_header, [&](TGIFSubImage& frame) {
        if (&frame.EffectiveColorMap() == this)
            countPixels(frame, histogram);
    });
}

void TGIFGlobalColorMap::RemapPixels(const TColorTranslation& table)
{
    if (m_header)
        m_header->SetBackgroundColorIndex(table[m_header->BackgroundColorIndex()]);
    forEachFrame(m_header, [&](TGIFSubImage& frame) {
        if (&frame.EffectiveColorMap() == this)
            remapFrame(frame, table);
        TGIFExtensionList& extensions = frame.Extensions();
        for (int e = 0; e < extensions.Count(); ++e) {
            if (auto* text = dynamic_cast<TGIFTextExtension*>(&extensions.Items(e))) {
                text->SetForegroundColorIndex(table[text->ForegroundColorIndex()]);
                text->SetBackgroundColorIndex(table[text->BackgroundColorIndex()]);
            }
        }
    });
}

bool TGIFGlobalColorMap::SortByUse()
{
    TGIFImage* image = m_header ? m_header->Image() : nullptr;
    if (!image || image->Images().Count() == 0)
        return false;
    return TGIFColorMap::SortByUse();
}

void TGIFGlobalColorMap::ColorsChanged()
{
    TGIFImage* image = m_header ? m_header->Image() : nullptr;
    if (!image)
        return;
    image->ChangePalette(nullptr);
    // Frames without a map of their own were rendered in these colours.
    forEachFrame(m_header, [&](TGIFSubImage& frame) {
        if (frame.ColorMap().Count() == 0 && frame.Bitmap())
            frame.DiscardBitmap();
    });
}

void TGIFLocalColorMap::Warn(int severity, const std::string& message)
{
    if (TGIFImage* image = m_frame ? m_frame->Image() : nullptr)
        image->Warn(this, severity, message);
}

void TGIFLocalColorMap::GatherHistogram(TColorHistogram& histogram)
{
    if (m_frame)
        countPixels(*m_frame, histogram);
}

void TGIFLocalColorMap::RemapPixels(const TColorTranslation& table)
{
    if (m_frame)
        remapFrame(*m_frame, table);
}

void TGIFLocalColorMap::ColorsChanged()
{
    if (m_frame)
        m_frame->ColorsChanged();
}
