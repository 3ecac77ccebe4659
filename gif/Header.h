#pragma once

#include "gif/ColorMap.h"
#include "gif/GIFItem.h"

#include <array>
#include <cstdint>
#include <string>

// Signature, version and logical screen descriptor; owns the global colour table.
//
// Layout: "GIF", 3 version bytes, then width, height (u16, little-endian), packed
// [global map:1 colour resolution:3 sorted:1 map size:3], background index, aspect
// ratio byte, then 2 << size entries of red, green, blue when the map is present.
class TGIFHeader : public TGIFItem {
    CARNELO_CLASS(TGIFHeader, TGIFItem)
public:
    explicit TGIFHeader(TGIFImage* image);

    // From a header: the map and the five descriptor fields; from a colour map: an
    // empty header with that map.
    void CopyFrom(const TPersistent* source) override;
    // 89a when the global map is sorted or the aspect ratio is set. The writer does not
    // use it: a file's version comes from its frames.
    TGIFVersion RequiredVersion() const override;
    // Raises "Unsupported GIF version" before writing anything when the image has no frame.
    void SaveToStream(TStream& stream) override;
    // Accepts the signature where reading starts or 4 bytes later, in any letter case.
    void LoadFromStream(TStream& stream) override;

    // Empties the map and zeroes the descriptor.
    void Clear();
    // Recomputes the packed byte from the colour tables of the image.
    void UpdatePackedFields();

    uint16_t Width() const { return m_width; }
    uint16_t Height() const { return m_height; }
    void SetWidth(uint16_t value) { m_width = value; }
    void SetHeight(uint16_t value) { m_height = value; }
    uint8_t PackedFields() const { return m_packedFields; }
    uint8_t BackgroundColorIndex() const { return m_backgroundColorIndex; }
    void SetBackgroundColorIndex(uint8_t value) { m_backgroundColorIndex = value; }
    uint8_t AspectRatio() const { return m_aspectRatio; }
    void SetAspectRatio(uint8_t value) { m_aspectRatio = value; }
    TGIFGlobalColorMap& ColorMap() { return m_colorMap; }
    const TGIFGlobalColorMap& ColorMap() const { return m_colorMap; }
    TColor BackgroundColor() { return m_colorMap.Colors(m_backgroundColorIndex); }
    int BitsPerPixel() const { return m_colorMap.BitsPerPixel(); }
    int ColorResolution() const { return m_colorMap.BitsPerPixel() - 1; }

    // The six signature and version bytes as last read, and where they stood: 0, or 4
    // when the stream began with four other bytes. Empty before any load.
    const std::string& Signature() const { return m_signature; }
    int SignatureOffset() const { return m_signatureOffset; }

private:
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    uint8_t m_packedFields = 0;
    uint8_t m_backgroundColorIndex = 0;
    uint8_t m_aspectRatio = 0;
    TGIFGlobalColorMap m_colorMap;
    std::string m_signature;
    int m_signatureOffset = 0;
};
