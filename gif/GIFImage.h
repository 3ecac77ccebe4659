#pragma once

#include "framework/graphics/Graphic.h"
#include "gif/GIFItem.h"
#include "gif/ReduceColors.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TGIFHeader;
class TGIFImageList;
class TGIFSubImage;

// The frame encoder used when saving.
enum TCompressionMethod : uint8_t { cmLZW = 0, cmRLE = 1 };

// Drawing flags, a 16-bit set (bit n = member n).
enum TGIFDrawOption : uint16_t {
    dfThreaded = 1 << 0,
    dfTransparent = 1 << 1,
    dfAnimate = 1 << 2,
    dfLoop = 1 << 3,
    dfLoopForever = 1 << 4,
    dfCheckCanvas = 1 << 5,
    dfDirect = 1 << 6,
    dfEraseOnLoop = 1 << 7,
    dfTile = 1 << 8,
    dfDither = 1 << 9,
    dfDitherOnPalette = 1 << 10,
};
using TGIFDrawFlags = uint16_t;

// Unit-wide defaults for new images.
inline constexpr TGIFDrawFlags DefaultDrawFlags =
    dfThreaded | dfTransparent | dfAnimate | dfLoop | dfDither | dfDitherOnPalette;
inline constexpr TCompressionMethod DefaultCompressionMethod = cmLZW;
inline constexpr int DefaultAnimationRate = 100;
// The pixel bytes all frames of one image may hold together.
inline constexpr int64_t DefaultMaxPixelBytes = int64_t(512) << 20;
// When set, every frame is rendered right after it is read.
extern bool RenderOnLoad;

using TGIFWarningEvent = std::function<void(TObject* sender, int severity, const std::string& message)>;

// A GIF file in memory: the header with the logical screen and global colour map, and
// the frames in file order.
class TGIFImage : public TGraphic {
    CARNELO_CLASS(TGIFImage, TGraphic)
public:
    TGIFImage();
    ~TGIFImage() override;
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    // Rendering is not part of this library yet: an image with frames raises
    // EInvalidGraphicOperation; an empty one draws nothing.
    void Draw(TCanvas& canvas, const TRect& rect) override;
    // Only the very same object.
    bool Equals(TGraphic& other) override { return &other == this; }
    bool IsEmpty() const override;
    int QueryHeight() const override;
    int QueryWidth() const override;
    // Raise "Image width/height too small for contained frames" when a frame would
    // stand outside the new logical screen.
    void ChangeHeight(int value) override;
    void ChangeWidth(int value) override;
    // Reads the whole file into memory first, then loads it.
    void LoadFile(const std::string& fileName) override;
    // Replaces the content with the GIF at the stream's position. On failure the stream
    // returns to where the load began and the image keeps what was complete.
    void LoadFromStream(TStream& stream) override;
    // Writes the GIF at the stream's position; an image without frames raises
    // "Unsupported GIF version" before writing anything.
    void SaveToStream(TStream& stream) override;

    // Removes frames, global colours and logical screen size.
    void Clear();
    TGIFHeader& Header() { return *m_header; }
    const TGIFHeader& Header() const { return *m_header; }
    TGIFImageList& Images() { return *m_images; }
    const TGIFImageList& Images() const { return *m_images; }

    // The highest version any frame needs, stopping at the first that needs 89a; none
    // without frames.
    TGIFVersion RequiredVersion() const;
    // The largest of the global map's and every written local map's resolution (bits -
    // 1); frames without image write no map and do not count.
    int ColorResolution() const;
    // The largest of the global map's and every written local map's bits per pixel.
    // While the image saves itself, the value taken when the header was written.
    int BitsPerPixel() const;

    TCompressionMethod CompressionMethod() const { return m_compressionMethod; }
    void SetCompressionMethod(TCompressionMethod value) { m_compressionMethod = value; }
    TGIFDrawFlags DrawFlags() const { return m_drawFlags; }
    void SetDrawFlags(TGIFDrawFlags value) { m_drawFlags = value; }
    int AnimationRate() const { return m_animationRate; }
    void SetAnimationRate(int value) { m_animationRate = value; }
    // How a bitmap becomes a frame: the colour reduction, its bit depth and its ditherer.
    TReductionMethod ReductionMethod() const { return m_reductionMethod; }
    void SetReductionMethod(TReductionMethod value) { m_reductionMethod = value; }
    int ReductionBitDepth() const { return m_reductionBitDepth; }
    void SetReductionBitDepth(int value) { m_reductionBitDepth = value; }
    TDitherMethod DitherMethod() const { return m_ditherMethod; }
    void SetDitherMethod(TDitherMethod value) { m_ditherMethod = value; }

    // The pixel bytes all frames may hold together. Every frame allocation is checked
    // against it first and fails with EOutOfMemory beyond it.
    int64_t MaxPixelBytes() const { return m_maxPixelBytes; }
    void SetMaxPixelBytes(int64_t value) { m_maxPixelBytes = value; }
    int64_t PixelBytes() const { return m_pixelBytes; }
    // Frames account for their pixels here: ReservePixelBytes raises EOutOfMemory when
    // the budget would be exceeded and then reserves nothing.
    void ReservePixelBytes(int64_t count);
    void ReleasePixelBytes(int64_t count) { m_pixelBytes -= count; }

    // Passes the warning to OnWarn when one is set. What the handler throws fails the
    // operation that warned.
    void Warn(TObject* sender, int severity, const std::string& message);
    // Calls OnProgressStep, then the graphic's own progress handler.
    void Progress(TObject* sender, TProgressStage stage, uint8_t percent, bool redrawNow, const TRect& rect,
                  const std::string& message) override;

    TGIFWarningEvent OnWarn;
    TProgressEvent OnProgressStep;

private:
    // Raises when the size does not fit in 16 bits or a frame would end beyond it.
    void checkScreenSize(int value, int (*frameEnd)(const TGIFSubImage&), std::string_view tooSmall) const;

    std::unique_ptr<TGIFHeader> m_header;
    std::unique_ptr<TGIFImageList> m_images;
    TCompressionMethod m_compressionMethod = DefaultCompressionMethod;
    TGIFDrawFlags m_drawFlags = DefaultDrawFlags;
    int m_animationRate = DefaultAnimationRate;
    TReductionMethod m_reductionMethod = DefaultReductionMethod;
    int m_reductionBitDepth = DefaultReductionBitDepth;
    TDitherMethod m_ditherMethod = DefaultDitherMethod;
    int64_t m_maxPixelBytes = DefaultMaxPixelBytes;
    // Frames without a table of their own encode at the image's depth; asking for it
    // walks every frame, so a save asks once.
    int m_savingBitsPerPixel = -1;
    int64_t m_pixelBytes = 0;
};
