#pragma once

#include "framework/core/Thread.h"
#include "framework/graphics/Color.h"
#include "framework/graphics/Graphic.h"
#include "gif/FrameDecoding.h"
#include "gif/GIFItem.h"
#include "gif/ReduceColors.h"
#include "gif/ThreadList.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class TBitmap;
class TGIFHeader;
class TGIFImageList;
class TGIFPainter;
class TGIFSubImage;
class TPalette;

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

// What Optimize does, a one-byte set (bit n = member n).
enum TGIFOptimization : uint8_t {
    goTrimTransparent = 1 << 0, // transparent borders cut off, fully transparent frames folded away
    goMergeFrames = 1 << 1,     // pixels equal to what the frame before left become transparent
    goCleanup = 1 << 2,         // needless transparency, disposal and extensions removed
    goSortColorMaps = 1 << 3,   // colour maps by decreasing use, unused entries dropped
    goReduceColors = 1 << 4,    // checked only: reducing is left to the import
    // Not among AllOptimizations: with goMergeFrames, a frame keeps of its merged pixels
    // only what makes it encode shorter (none, long runs or all), trimmed as if merged.
    goMergeBySize = 1 << 5,
    // Not among AllOptimizations: a frame on the global map that uses few of its colours
    // gets a local map of just those where map and pixels take fewer bytes.
    goLocalMapsBySize = 1 << 6,
};
using TGIFOptimizations = uint8_t;
inline constexpr TGIFOptimizations AllOptimizations =
    goTrimTransparent | goMergeFrames | goCleanup | goSortColorMaps | goReduceColors;

// Unit-wide defaults for new images.
inline constexpr TGIFDrawFlags DefaultDrawFlags =
    dfThreaded | dfTransparent | dfAnimate | dfLoop | dfDither | dfDitherOnPalette;
inline constexpr TCompressionMethod DefaultCompressionMethod = cmLZW;
inline constexpr int DefaultAnimationRate = 100;
inline constexpr TThreadPriority DefaultPainterPriority = TThreadPriority::tpNormal;
// The pixel bytes all frames of one image may hold together.
inline constexpr int64_t DefaultMaxPixelBytes = int64_t(512) << 20;

// Frame delays count hundredths of a second; a painter waits DelayMultiplier ms per unit,
// DefaultFrameDelay units for a frame without delay, at least MinimumFrameDelay, and at
// most MaximumFrameDelay when it runs without a thread of its own.
inline constexpr int DelayMultiplier = 12;
inline constexpr int DefaultFrameDelay = 10;
inline constexpr int MinimumFrameDelay = 3;
inline constexpr int MaximumFrameDelay = 1000;

// When set, every frame is rendered right after it is read.
extern bool RenderOnLoad;
// When set, storing an image (WriteStored) optimises it first with every optimisation.
extern bool OptimizeOnWrite;
// Whether the screen shows colours through a palette (8 bits per pixel or fewer), and so
// whether dfDitherOnPalette dithers. Read from the screen the first time they are asked
// for after the library starts (the application learns the screen's depth only then);
// tests set them.
bool PaletteDisplay();
void SetPaletteDisplay(bool value);
bool DitherOnPaletteDisplay();
void SetDitherOnPaletteDisplay(bool value);
// The clipboard format "GIF Image", registered when the library starts (0 before).
uint32_t GIFClipboardFormat();
// The palette drawing selects where a frame has none: the system's default palette.
const TPalette* StockPalette();

// The library's start-up and shut-down: registers TGIFImage with the picture registry
// (extension "GIF", "GIF Image") and the clipboard format, and takes the screen settings
// afresh; shut-down takes the registrations back. The program makes one before its
// application starts; tools and tests make one for their run.
void StartGIFLibrary();
void StopGIFLibrary();
class GIFLibrary {
public:
    GIFLibrary() { StartGIFLibrary(); }
    ~GIFLibrary() { StopGIFLibrary(); }
    GIFLibrary(const GIFLibrary&) = delete;
    GIFLibrary& operator=(const GIFLibrary&) = delete;
};

using TGIFWarningEvent = std::function<void(TObject* sender, int severity, const std::string& message)>;

// A GIF file in memory: the header with the logical screen and global colour map, and
// the frames in file order. As a graphic it draws frame 0, or plays an animation through
// a painter (TGIFPainter) on its own thread or inside Draw, as the draw flags say.
//
// An image belongs to the user-interface thread, as every graphic does: painters reach
// it only through synchronised calls.
class TGIFImage : public TGraphic {
    CARNELO_CLASS(TGIFImage, TGraphic)
public:
    TGIFImage();
    // Stops its painters (a painter that cannot be waited for is abandoned and touches
    // the image no more). Destroyed while its own Draw runs (from a handler of a painter
    // playing inside Draw), it ends that Draw without touching anything of it again.
    ~TGIFImage() override;
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    // Frame 0 alone, or an animation as the draw flags say. A nested Draw, an image
    // without frames or a logical screen without area draws nothing.
    void Draw(TCanvas& canvas, const TRect& rect) override;
    // Nothing for itself; none clears; another image's screen, frames and drawing
    // settings (built aside first, so a failure leaves this image as it was); any other
    // graphic becomes the one frame.
    void CopyFrom(const TPersistent* source) override;
    // Into a bitmap: the Bitmap property (frame 0 on the logical screen).
    void CopyInto(TPersistent& destination) const override;
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
    // SaveToStream, optimised first when OptimizeOnWrite is set.
    void WriteStored(TStream& stream) override;

    // Makes the file smaller without changing what an animation shows: stops every
    // painter and keeps new ones out until done, reports "Optimizing..." progress. A
    // failure leaves each frame whole. goReduceColors with crPalette and without
    // goCleanup raises "Invalid reduction method" before anything changes. The dither
    // method and bit depth are accepted for callers and not used.
    void Optimize(TGIFOptimizations options, TReductionMethod reductionMethod, TDitherMethod ditherMethod,
                  int reductionBitDepth);

    // The "GIF Image" format as a whole file, or a bitmap as one frame; any other format
    // raises "Unsupported clipboard format".
    void LoadClipboard(uint32_t format, const TClipboardData& data, const TPalette* palette) override;
    // The Bitmap property as a bitmap, and the file itself under GIFClipboardFormat.
    void SaveClipboard(uint32_t& format, TClipboardData& data, const TPalette*& palette) override;

    // Stops every painter, then removes frames, global colours and logical screen size.
    void Clear();
    // A frame of this image is appended; any other frame, or a graphic, is copied into a
    // new frame. Anything else raises "Object type not supported for operation".
    // Returns the frame's index.
    int Add(std::unique_ptr<TGIFSubImage> frame);
    int Add(const TPersistent* item);
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
    void SetMaxPixelBytes(int64_t value) override { m_maxPixelBytes = value; }
    int64_t PixelBytes() const { return m_pixelBytes; }
    // Threads a load from memory may decode frames on (1, the default: none but the
    // caller's), for files of at least minPixels pixels in two frames or more: starting
    // threads costs more than they save on less. The result, warnings and errors are the
    // same, in the same order.
    static constexpr int64_t DefaultThreadedDecodePixels = int64_t(1) << 20;
    int DecodeThreads() const { return m_decodeThreads; }
    void SetDecodeThreads(int value, int64_t minPixels = DefaultThreadedDecodePixels)
    {
        m_decodeThreads = std::max(1, value);
        m_threadedDecodePixels = minPixels;
    }
    // For a frame of count pixels being read, the stream on its minimum code size: the
    // outcome decoded ahead for its image data, or null.
    TPredecodedFrames::Frame* takePredecoded(TStream& stream, int64_t count);
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

    // Drawing. The image's palette: the Bitmap property's, the cached one, the cube when
    // dithering, frame 0's when there is no global map, else one made from the global map.
    // Raises "No global or local color table defined" when there is no colour table.
    const TPalette* QueryPalette();
    // QueryPalette, or none where there is no colour table at all.
    const TPalette* DrawingPalette();
    // Takes the palette (none drops the cached one); a Bitmap of other colours is dropped.
    void ChangePalette(std::unique_ptr<TPalette> palette);
    // Frame 0 on the logical screen, made once and kept until the frames, the size or the
    // palette change; the buffer an animation paints into when one plays. Null without
    // frames. Raises EOutOfMemory before allocating beyond the pixel budget.
    TBitmap* Bitmap();
    TBitmap& PaintBuffer();
    // Stops the painter started by Draw (without waiting) and frees Bitmap.
    void DropBitmap();
    // A painter for the image on canvas (none for an empty image or rectangle; one frame
    // never animates), listed and given the image's handlers, with reference set to it.
    // A threaded painter comes back not yet running; one without thread plays at once and
    // is gone when this returns (its failure is raised here), and none comes back.
    TGIFPainter* StartPainting(TGIFPainter*& reference, TCanvas& canvas, TGIFDrawFlags flags, const TRect& rect);
    // Stops the painter Draw started and waits for its end; all painters, likewise. A
    // wait that cannot complete (not on the user-interface thread, the program ending, or
    // from inside that painter's own synchronised call) abandons the painter instead.
    void StopPainting();
    void StopAllPainting();
    // Abandons every threaded painter: it is told to stop, leaves the list, loses its
    // image and ends on its own.
    void KillPainterThreads();
    bool UsesDithering() const;
    TGIFPainter* Painter() const { return m_painter; }
    // The painters of this image, for painters ending and for tests.
    TThreadList<TGIFPainter>& Painters() { return sharedState().painters; }
    // Raises EOutOfMemory when a bitmap of width x height at bitsPerPixel would exceed the
    // pixel budget; every bitmap the size of the screen or of a painter's area asks first.
    void CheckBitmapBudget(int64_t width, int64_t height, int bitsPerPixel = 32) const;
    // A palette replaced the palette of a rendered bitmap; nothing clears it.
    bool PaletteChanged() const { return m_paletteChanged; }
    void SetPaletteChanged() { m_paletteChanged = true; }
    // The image's change notification, raised by its frames too.
    using TGraphic::Changed;

    TThreadPriority PainterPriority() const { return m_painterPriority; }
    void SetPainterPriority(TThreadPriority value) { m_painterPriority = value; }
    // Restore-to-background colour; clNone: the background colour of the global map, or
    // clWindow without one.
    TColor FillColor() const { return m_fillColor; }
    void SetFillColor(TColor value) { m_fillColor = value; }

    TGIFWarningEvent OnWarn;
    TProgressEvent OnProgressStep;
    // Copied into every painter when it is made; the sender is the painter.
    TNotifyEvent OnPaintStart;
    TNotifyEvent OnFramePaint;
    TNotifyEvent OnFramePainted;
    TNotifyEvent OnPaintLoop;
    TNotifyEvent OnPaintEnd;

private:
    // What Draw, and a painter running inside it, still use should the image go meanwhile.
    struct Shared {
        TThreadList<TGIFPainter> painters;
        bool alive = true;
        bool drawing = false;
    };
    // Made on the first need: most images never paint, and an image without it has no
    // painter to stop. Once made it stays, so a painter's thread may read the pointer.
    Shared& sharedState();
    const TPalette* queryPalette(bool orNone);
    void drawBufferTo(TCanvas& canvas, const TRect& rect, TBitmap& bitmap);
    std::shared_ptr<TBitmap> newScreenBitmap();
    void abandonPainter(TGIFPainter* painter);
    void copyImage(TGIFImage& source);
    void takeContent(TGIFImage& other);

    // Raises when the size does not fit in 16 bits or a frame would end beyond it.
    void checkScreenSize(int value, int (*frameEnd)(const TGIFSubImage&), std::string_view tooSmall) const;

    // Screen and frames in one allocation; moved between images as a whole.
    struct Content;
    std::unique_ptr<Content> m_content;
    TGIFHeader* m_header;
    TGIFImageList* m_images;
    TCompressionMethod m_compressionMethod = DefaultCompressionMethod;
    TGIFDrawFlags m_drawFlags = DefaultDrawFlags;
    int m_animationRate = DefaultAnimationRate;
    TReductionMethod m_reductionMethod = DefaultReductionMethod;
    int m_reductionBitDepth = DefaultReductionBitDepth;
    TDitherMethod m_ditherMethod = DefaultDitherMethod;
    int64_t m_maxPixelBytes = DefaultMaxPixelBytes;
    int m_decodeThreads = 1;
    int64_t m_threadedDecodePixels = DefaultThreadedDecodePixels;
    TPredecodedFrames* m_predecoded = nullptr;
    int64_t m_predecodedBase = 0;
    // Frames without a table of their own encode at the image's depth; asking for it
    // walks every frame, so a save asks once.
    int m_savingBitsPerPixel = -1;
    int64_t m_pixelBytes = 0;

    std::shared_ptr<Shared> m_shared;
    bool m_paletteGuard = false;
    std::unique_ptr<TPalette> m_cachedPalette;
    std::shared_ptr<TBitmap> m_bitmap;
    TGIFPainter* m_painter = nullptr;
    TThreadPriority m_painterPriority = DefaultPainterPriority;
    TColor m_fillColor = clNone;
    bool m_paletteChanged = false;
};
