#pragma once

#include "framework/core/Object.h"
#include "framework/graphics/Color.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TGIFHeader;
class TGIFSubImage;
class TPalette;
class TStream;

// One colour table entry in the order of the file.
struct TGIFColor {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

// A framework colour and an entry convert through the colour's low three bytes.
inline TGIFColor GIFColorOf(TColor color)
{
    return {GetRValue(color), GetGValue(color), GetBValue(color)};
}
inline TColor ColorValueOf(const TGIFColor& entry)
{
    return RGB(entry.Red, entry.Green, entry.Blue);
}

// How often each entry is used: record i starts as (0, i).
struct THistogramRecord {
    int64_t Count = 0;
    int32_t Index = 0;
};
using TColorHistogram = std::array<THistogramRecord, 256>;
// Old index -> new index.
using TColorTranslation = std::array<uint8_t, 256>;

// A colour table of up to 256 entries.
class TGIFColorMap : public TPersistent {
    CARNELO_CLASS(TGIFColorMap, TPersistent)
public:
    static constexpr int MaxColors = 256;

    TGIFColorMap() = default;
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    // From another map: capacity, count, sorted flag and entries; anything else fails.
    void CopyFrom(const TPersistent* source) override;
    virtual void Warn(int severity, const std::string& message) = 0;
    // Adds one to record p for every pixel p that uses this map.
    virtual void GatherHistogram(TColorHistogram& histogram) = 0;
    // Rewrites through the table every index that refers to this map: pixels,
    // transparent indices, and what else the owner keeps (background, text colours).
    virtual void RemapPixels(const TColorTranslation& table) = 0;
    // Orders the entries by decreasing use and drops unused ones from the end; false
    // when there was nothing to sort.
    virtual bool SortByUse();
    // Tells the owner that the entries changed.
    virtual void ColorsChanged() = 0;

    // Frees the entries without telling the owner.
    void Clear();
    int Count() const { return m_count; }
    // Entries allocated: 0, 16 or a multiple of 32, at most 256.
    int Capacity() const { return static_cast<int>(m_entries.size()); }
    bool Sorted() const { return m_sorted; }
    // An index outside the map warns and reads entry 0; on an empty map it then raises
    // "Color table is empty".
    TColor Colors(int index);
    // When sorted the lowest (most used) index, otherwise the highest; -1 when absent.
    int IndexOf(TColor color) const;
    // Raises "Color table overflow" when the map is full.
    int Add(TColor color);
    int AddUnique(TColor color);
    // Raises "Invalid color index" outside 0 .. Count - 1.
    void Delete(int index);
    // Replaces the entries with the palette's first 256; a null palette leaves the map
    // empty and the owner untold.
    void ImportPalette(const TPalette* palette);
    // A palette of the entries (no-collapse flag on each), or null for an empty map.
    std::unique_ptr<TPalette> MakePalette() const;
    int BitsPerPixel() const;
    // The entries in use, unchecked access for readers of pixels.
    const TGIFColor* Entries() const { return m_entries.data(); }

    // Writes the entries padded with black to a power of two (at least 2); nothing when empty.
    void SaveToStream(TStream& stream) const;
    // Replaces the entries with count entries read from the stream. Leaves the owner
    // untold and the map unsorted whatever the file's sort flag says.
    void LoadFromStream(TStream& stream, int count);

protected:
    void setSorted(bool value) { m_sorted = value; }

private:
    void growFor(int count);

    std::vector<TGIFColor> m_entries;
    int m_count = 0;
    bool m_sorted = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
    CARNELO_CLASS(TGIFGlobalColorMap, TGIFColorMap)
public:
    // header: the owner, never owned here.
    explicit TGIFGlobalColorMap(TGIFHeader* header) : m_header(header) {}
    TGIFHeader* Header() const { return m_header; }

    void Warn(int severity, const std::string& message) override;
    void GatherHistogram(TColorHistogram& histogram) override;
    // Also the header's background index and the colour indices of every plain text
    // extension, which always refer to the global table.
    void RemapPixels(const TColorTranslation& table) override;
    // False without any frame to count.
    bool SortByUse() override;
    void ColorsChanged() override;

private:
    TGIFHeader* m_header;
};

class TGIFLocalColorMap : public TGIFColorMap {
    CARNELO_CLASS(TGIFLocalColorMap, TGIFColorMap)
public:
    // frame: the owner, never owned here.
    explicit TGIFLocalColorMap(TGIFSubImage* frame) : m_frame(frame) {}
    TGIFSubImage* SubImage() const { return m_frame; }

    void Warn(int severity, const std::string& message) override;
    void GatherHistogram(TColorHistogram& histogram) override;
    void RemapPixels(const TColorTranslation& table) override;
    void ColorsChanged() override;

private:
    TGIFSubImage* m_frame;
};
