#pragma once

#include "framework/core/Types.h"
#include "framework/graphics/Graphic.h"
#include "gif/ColorMap.h"
#include "gif/Extensions.h"
#include "gif/FrameRenderer.h"
#include "gif/GIFItem.h"

#include <cstdint>
#include <memory>

class FrameRenderJob;
class TBitmap;
class TCanvas;
class TGIFGraphicControlExtension;
class TPalette;

// Frame pixels come from and go back to one cache of blocks (see SubImage.cpp); a
// reader that fills pixels ahead of their frame takes them from it too. Take gives null
// when memory ran out.
uint8_t* TakePixelBlock(int64_t size);
void GivePixelBlock(uint8_t* block, int64_t size) noexcept;

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
    // From another frame: descriptor, pixels, local map, extensions and a rendered bitmap
    // when it has one. From a bitmap, icon, metafile or picture: its pixels become the
    // frame's, through the image's colour reduction where the bitmap has no palette of
    // at most 256 colours; what an icon or metafile leaves unpainted becomes transparent.
    // A failed import leaves the frame as it was. Other sources raise EConvertError.
    void CopyFrom(const TPersistent* source) override;
    // Shrinks a transparent frame to the smallest rectangle holding every pixel that is
    // not transparent; a frame of transparent pixels alone is cleared.
    void TrimTransparentBorders();
    // Makes transparent the pixels that show the colour previous leaves on the screen
    // there, choosing a transparent index when the frame has none.
    void MergeWithPrevious(TGIFSubImage* previous);
    // Into a bitmap: the rendered frame (nothing for an empty frame).
    void CopyInto(TPersistent& destination) const override;

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
    TGIFExtensionList& Extensions() { return m_extensions; }
    const TGIFExtensionList& Extensions() const { return m_extensions; }

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

    // Rendering. Bitmap and Mask are caches, built on first demand and dropped when what
    // they show changes; while MaskDue there is no Mask.

    // The rendered frame, rendering it first (with "Rendering..." progress through the
    // image); null for an empty frame. A failed rendering leaves no bitmap, MaskDue as it
    // was, and raises.
    TBitmap* RenderedBitmap();
    TBitmap* Bitmap() const { return m_bitmap.get(); }
    // One bit per pixel, 1 where the pixel is transparent; only when one is.
    const TBitmap* Mask() const { return m_mask.get(); }
    bool MaskDue() const { return m_maskDue; }
    const TPalette* CachedPalette() const { return m_cachedPalette.get(); }
    // The rendered bitmap's palette, the cached one, the cube when the image dithers, the
    // image's palette for a frame without local map, else one made from the local map.
    // Raises "No global or local color table defined" when there is no colour table.
    const TPalette* FramePalette();
    // FramePalette, or none where there is no colour table at all.
    const TPalette* DrawingPalette();
    // Takes the palette (none drops the cached one); a rendered bitmap of other colours
    // is dropped and the image told that a palette changed.
    void SetFramePalette(std::unique_ptr<TPalette> palette);
    // Whether the frame has a mask, rendering again first when one is due.
    bool MaskAvailable();
    void DiscardBitmap();
    void DiscardMask();
    // The frame's place when the logical screen is stretched into rect (rounded to the
    // nearest pixel); an empty rectangle when the screen has no area.
    TRect ScaledBounds(const TRect& rect) const;
    // Stretched into its place in rect, or repeated at its own size over rect (tile),
    // through its mask when transparent is asked for and the frame is transparent.
    void DrawFrame(TCanvas& canvas, const TRect& rect, bool tile, bool transparent);
    // Changes whenever a cache is dropped; a rendering made meanwhile is stale.
    uint64_t Revision() const { return m_revision; }

    // A rendering to run on another thread, with copies of what it reads; null when the
    // frame is empty or rendered already.
    std::shared_ptr<FrameRenderJob> PrepareRender();
    // Takes the job's bitmap and mask unless the frame changed since the job was made or
    // has a bitmap, and passes the job's reports on as a rendering here would have. True
    // when installed.
    bool InstallRender(FrameRenderJob& job);
    // The local map's entries changed.
    void ColorsChanged();

private:
    friend class TGIFImage;
    friend class TGIFImageList;
    static uint64_t nextRevision();
    void packDescriptor();
    // Pixels for the current size with undefined values, for a reader that sets them all;
    // block (of that size, from TakePixelBlock), when given, becomes them once the budget
    // takes it.
    void allocateUnfilled(uint8_t* block = nullptr);
    // LoadFromStream for a frame just made, which has nothing to clear.
    void loadFresh(TStream& stream);
    void readImageData(TStream& stream);
    FrameRenderSource renderSource();
    bool usesDithering() const;
    void renderProgress(TProgressStage stage, uint8_t percent);
    void renderEvent(const FrameRenderEvent& event);
    void installRendered(RenderedFrame rendered, bool masking);
    void renderEnded(bool succeeded);
    void changed();
    void importGraphic(const TPersistent* source);
    void importBitmap(const TBitmap& bitmap, const TBitmap* mask);
    void applyMask(const TBitmap& mask);
    void importProgress(TProgressStage stage, uint8_t percent);

    std::unique_ptr<uint8_t[]> m_data;
    int64_t m_dataSize = 0;
    TGIFLocalColorMap m_colorMap;
    uint8_t m_separator = 0x2C;
    uint16_t m_left = 0;
    uint16_t m_top = 0;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    uint8_t m_packedFields = 0;
    TGIFExtensionList m_extensions;
    bool m_transparent = false;
    TGIFGraphicControlExtension* m_graphicControl = nullptr;
    std::unique_ptr<TBitmap> m_bitmap;
    std::unique_ptr<TBitmap> m_mask;
    bool m_maskDue = true;
    std::unique_ptr<TPalette> m_cachedPalette;
    uint64_t m_revision;
};

// Copies source onto destination where the mask (a canvas on a monochrome bitmap aligned
// with the source, 1 bits transparent) is 0 and keeps the destination where it is 1:
// one masked transfer when the sizes are equal, a stretch through an AND and an OR
// otherwise.
void MaskedStretchBlt(TCanvas& destination, const TRect& destinationRect, TCanvas& source, const TRect& sourceRect,
                      TCanvas& mask);
