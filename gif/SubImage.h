#pragma once

#include "framework/core/Types.h"
#include "gif/ColorMap.h"
#include "gif/GIFItem.h"

#include <cstdint>
#include <memory>

class TGIFExtensionList;
class TGIFGraphicControlExtension;

// One frame: the extensions before it, its image descriptor, local colour table and
// pixels (one colour index per byte, row by row, top row first). A frame without
// image holds only extensions (those after the last image of a file).
//
// Descriptor: separator (0x2C), left, top, width, height (u16, little-endian), then
// packed [local map:1 interlaced:1 sorted:1 reserved:2 map size:3].
class TGIFSubImage : public TGIFItem {
    CARNELO_CLASS(TGIFSubImage, TGIFItem)
public:
    explicit TGIFSubImage(TGIFImage* image);
    ~TGIFSubImage() override;

    // 89a when the local map is sorted or any extension precedes the frame; none for a
    // frame that writes nothing (no pixels, no extensions).
    TGIFVersion RequiredVersion() const override;
    // Extensions, then (unless the frame has no image) descriptor, local map and LZW data.
    void SaveToStream(TStream& stream) override;
    void LoadFromStream(TStream& stream) override;

    // Frees extensions, local map and pixels; the frame becomes 0 x 0.
    void Clear();
    // True when there are no pixels or the frame has no area.
    bool Empty() const;
    // New pixels for the current size, all set to fill. Raises EOutOfMemory "Mémoire
    // insuffisante" before allocating when the image's pixel budget would be exceeded,
    // or when the allocation fails.
    void AllocateData(uint8_t fill = 0);
    void FreeData();
    // Allocates when there are no pixels yet; raises "Image is empty" for a 0-size frame.
    void NeedData();

    uint8_t Separator() const { return m_separator; }
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Each setter keeps the other three bounds. A new size reallocates the pixels; a
    // frame beyond a non-empty logical screen widens it with warnings. Values beyond
    // 65535 raise "Frame bounds out of range".
    void SetLeft(int value) { SetBoundsRect(value, m_top, m_width, m_height); }
    void SetTop(int value) { SetBoundsRect(m_left, value, m_width, m_height); }
    void SetWidth(int value) { SetBoundsRect(m_left, m_top, value, m_height); }
    void SetHeight(int value) { SetBoundsRect(m_left, m_top, m_width, value); }
    void SetBoundsRect(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(m_left, m_top, m_width, m_height); }
    uint8_t PackedFields() const { return m_packedFields; }
    bool Interlaced() const { return (m_packedFields & 0x40) != 0; }
    void SetInterlaced(bool value);

    TGIFLocalColorMap& ColorMap() { return m_colorMap; }
    const TGIFLocalColorMap& ColorMap() const { return m_colorMap; }
    // The local map when it has entries, else the global one when that has, else the
    // (empty) local map.
    TGIFColorMap& EffectiveColorMap();
    TGIFExtensionList& Extensions() { return *m_extensions; }
    const TGIFExtensionList& Extensions() const { return *m_extensions; }

    // The frame's graphic control extension asks for a transparent colour.
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool value) { m_transparent = value; }
    // The first graphic control extension made for this frame; an item of Extensions.
    TGIFGraphicControlExtension* GraphicControlExtension() const { return m_graphicControl; }
    void SetGraphicControlExtension(TGIFGraphicControlExtension* extension) { m_graphicControl = extension; }

    int BitsPerPixel() const { return m_colorMap.BitsPerPixel(); }
    int ColorResolution() const { return m_colorMap.BitsPerPixel() - 1; }

    // Row y, Width bytes; raises "Invalid pixel coordinates" outside the frame.
    uint8_t* Scanline(int y);
    uint8_t Pixels(int x, int y);
    // Width x Height bytes, or null when there are no pixels.
    uint8_t* Data() { return m_data.get(); }
    const uint8_t* Data() const { return m_data.get(); }
    int64_t DataSize() const { return m_dataSize; }

private:
    void packDescriptor();

    std::unique_ptr<uint8_t[]> m_data;
    int64_t m_dataSize = 0;
    TGIFLocalColorMap m_colorMap;
    uint8_t m_separator = 0x2C;
    uint16_t m_left = 0;
    uint16_t m_top = 0;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    uint8_t m_packedFields = 0;
    std::unique_ptr<TGIFExtensionList> m_extensions;
    bool m_transparent = false;
    TGIFGraphicControlExtension* m_graphicControl = nullptr;
};
