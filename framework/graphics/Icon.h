#pragma once

#include "framework/graphics/Graphic.h"

#include <cstdint>
#include <memory>
#include <vector>

class TBitmap;

// An icon read from an .ico file: a colour image and a monochrome mask (1 where the
// background shows through), taken from the file's image nearest to 32 x 32, with the
// most colours among equals. It keeps the file's bytes, which it saves unchanged.
class TIcon : public TGraphic {
    CARNELO_CLASS(TIcon, TGraphic)
public:
    TIcon();
    ~TIcon() override;

    // Device-format colour image; black where the mask is 1. Empty for an empty icon.
    const TBitmap& ImageBitmap() const { return *m_image; }
    // Monochrome mask of the same size.
    const TBitmap& MaskBitmap() const { return *m_mask; }

    void CopyFrom(const TPersistent* source) override;
    // Draws through the mask (the background stays where the mask is 1), stretched
    // into the rectangle.
    void Draw(TCanvas& canvas, const TRect& rect) override;
    bool IsEmpty() const override;
    int QueryWidth() const override;
    int QueryHeight() const override;
    // Raises EInvalidGraphicOperation: an icon keeps its size.
    void ChangeWidth(int value) override;
    void ChangeHeight(int value) override;
    // Reads 1, 4, 8, 24 and 32 bits per pixel images with their AND masks (a 32-bit
    // image's alpha also masks). Raises EInvalidGraphic for a damaged file and leaves the
    // icon unchanged then.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    // Reading raises EOutOfMemory ("Mémoire insuffisante") for an image whose pixels
    // would take more than this many bytes, before allocating them.
    static constexpr int64_t DefaultMaxPixelBytes = int64_t(512) << 20;
    int64_t MaxPixelBytes() const { return m_maxPixelBytes; }
    void SetMaxPixelBytes(int64_t value) override { m_maxPixelBytes = value; }

private:
    std::vector<uint8_t> m_data;
    std::unique_ptr<TBitmap> m_image;
    std::unique_ptr<TBitmap> m_mask;
    int64_t m_maxPixelBytes = DefaultMaxPixelBytes;
};
