// TGIFImage as a graphic on screen: drawing, the painters that play an animation, the
// image's bitmaps and its palette.
#include "gif/GIFImage.h"

#include "framework/core/ApplicationHooks.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Palette.h"
#include "gif/FixedPalettes.h"
#include "gif/GIFException.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/Painter.h"
#include "gif/SubImage.h"

namespace {

// How long one round of a user-interface wait for a painter may block before it looks
// again; the painter's synchronised calls run within it.
constexpr uint32_t kWaitSliceMs = 10;

// Clears a flag on every way out, while what holds it may already be gone.
class DrawingScope {
public:
    explicit DrawingScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~DrawingScope() { m_flag = false; }
    DrawingScope(const DrawingScope&) = delete;
    DrawingScope& operator=(const DrawingScope&) = delete;

private:
    bool& m_flag;
};

// A wait for a threaded painter can end only on the user-interface thread, while the
// program goes on, and not from inside that painter's own synchronised call.
bool waitCannotEnd(const TGIFPainter& painter)
{
    return !IsMainThread() || ApplicationTerminated() || painter.InSynchronizedCall();
}

} // namespace

bool TGIFImage::UsesDithering() const
{
    if (!(m_drawFlags & dfDither))
        return false;
    return !(m_drawFlags & dfDitherOnPalette) || DitherOnPaletteDisplay();
}

void TGIFImage::CheckBitmapBudget(int64_t width, int64_t height, int bitsPerPixel) const
{
    if (width < 0 || height < 0)
        throw EOutOfMemory();
    const uint64_t stride = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel) + 31) / 32 * 4;
    if (height > 0 && stride > static_cast<uint64_t>(m_maxPixelBytes) / static_cast<uint64_t>(height))
        throw EOutOfMemory();
}

TGIFImage::Shared& TGIFImage::sharedState()
{
    if (!m_shared)
        m_shared = std::make_shared<Shared>();
    return *m_shared;
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect)
{
    // A handler of a painter playing inside this Draw may destroy the image: from then on
    // only what this holds is touched.
    sharedState();
    const std::shared_ptr<Shared> shared = m_shared;
    if (shared->drawing || IsEmpty() || Width() <= 0 || Height() <= 0)
        return;
    DrawingScope drawing(shared->drawing);

    if (m_images->Count() == 1 || !(m_drawFlags & dfAnimate)) {
        m_images->Items(0).DrawFrame(canvas, rect, (m_drawFlags & dfTile) != 0, (m_drawFlags & dfTransparent) != 0);
        return;
    }
    if (m_bitmap && !(m_drawFlags & dfDirect)) {
        drawBufferTo(canvas, rect, *m_bitmap);
        return;
    }
    auto locked = shared->painters.Lock();
    if (m_painter && m_painter->TargetCanvas() == &canvas && m_painter->TargetRect() == rect)
        return;
    StopPainting();
    if (!shared->alive)
        return;
    TCanvas* target = &canvas;
    TRect targetRect = rect;
    if (!(m_drawFlags & dfDirect)) {
        TBitmap& buffer = PaintBuffer();
        targetRect = ::Rect(0, 0, buffer.Width(), buffer.Height());
        buffer.Canvas().CopyRect(targetRect, canvas, rect);
        target = &buffer.Canvas();
    }
    TGIFPainter* painter = StartPainting(m_painter, *target, m_drawFlags, targetRect);
    if (!shared->alive || !painter)
        return;
    painter->Start();
    if (m_drawFlags & dfDirect)
        return;
    // The first frame is awaited, so the buffer shows something when it is copied.
    while (m_painter && !m_painter->Terminated() && !m_painter->Painted()) {
        if (!IsMainThread() || ApplicationTerminated())
            return;
        CheckSynchronize(kWaitSliceMs);
        if (!shared->alive)
            return;
    }
    if (TBitmap* bitmap = Bitmap())
        drawBufferTo(canvas, rect, *bitmap);
}

void TGIFImage::drawBufferTo(TCanvas& canvas, const TRect& rect, TBitmap& bitmap)
{
    if (!(m_drawFlags & dfTile)) {
        canvas.StretchDraw(rect, bitmap);
        return;
    }
    const int width = Width(), height = Height();
    if (width <= 0 || height <= 0)
        return;
    const TRect clip = canvas.ClipRect();
    for (int x = rect.left; x < rect.right && x < clip.right; x += width)
        for (int y = rect.top; y < rect.bottom && y < clip.bottom; y += height)
            if (x + width > clip.left && y + height > clip.top)
                canvas.StretchDraw(::Rect(x, y, x + width, y + height), bitmap);
}

TGIFPainter* TGIFImage::StartPainting(TGIFPainter*& reference, TCanvas& canvas, TGIFDrawFlags flags, const TRect& rect)
{
    if (IsEmpty() || rect.IsEmpty() || Width() <= 0 || Height() <= 0) {
        reference = nullptr;
        return nullptr;
    }
    if (m_images->Count() == 1)
        flags &= static_cast<TGIFDrawFlags>(~(dfThreaded | dfAnimate));
    auto painter = std::make_unique<TGIFPainter>(reference, flags, rect, canvas, *this);
    if (m_bitmap && &canvas == &m_bitmap->Canvas())
        painter->HoldTarget(m_bitmap);
    sharedState().painters.Add(painter.get());
    painter->OnPaintStart = OnPaintStart;
    painter->OnFramePaint = OnFramePaint;
    painter->OnFramePainted = OnFramePainted;
    painter->OnPaintLoop = OnPaintLoop;
    painter->OnPaintEnd = OnPaintEnd;
    if (flags & dfThreaded) {
        painter->SetPriority(m_painterPriority);
        return painter.release(); // frees itself when its body ends
    }
    const std::shared_ptr<Shared> shared = m_shared;
    painter->Play();
    std::exception_ptr failure = painter->TakeFailure();
    painter.reset();
    if (shared->alive)
        reference = nullptr;
    if (failure)
        std::rethrow_exception(failure);
    return nullptr;
}

void TGIFImage::StopPainting()
{
    if (!m_shared) {
        DropBitmap();
        return;
    }
    const std::shared_ptr<Shared> shared = m_shared;
    for (;;) {
        {
            auto locked = shared->painters.Lock();
            TGIFPainter* painter = m_painter;
            if (!painter)
                break;
            painter->Stop();
            if (!painter->Threaded())
                break;
            // A wait that could never end lets the painter go instead.
            if (waitCannotEnd(*painter)) {
                abandonPainter(painter);
                break;
            }
        }
        CheckSynchronize(kWaitSliceMs);
        if (!shared->alive)
            return;
    }
    DropBitmap();
}

void TGIFImage::StopAllPainting()
{
    if (!m_shared) {
        DropBitmap();
        return;
    }
    const std::shared_ptr<Shared> shared = m_shared;
    for (;;) {
        bool waiting = false;
        {
            auto locked = shared->painters.Lock();
            for (int i = locked->Count() - 1; i >= 0; --i) {
                TGIFPainter* painter = locked.List()[i];
                painter->Stop();
                if (!painter->Threaded())
                    continue;
                if (waitCannotEnd(*painter))
                    abandonPainter(painter);
                else
                    waiting = true;
            }
        }
        if (!waiting)
            break;
        CheckSynchronize(kWaitSliceMs);
        if (!shared->alive)
            return;
    }
    DropBitmap();
}

void TGIFImage::KillPainterThreads()
{
    if (!m_shared)
        return;
    auto locked = m_shared->painters.Lock();
    for (int i = locked->Count() - 1; i >= 0; --i)
        if (TGIFPainter* painter = locked.List()[i]; painter->Threaded())
            abandonPainter(painter);
}

void TGIFImage::abandonPainter(TGIFPainter* painter)
{
    m_shared->painters.Remove(painter);
    if (m_painter == painter)
        m_painter = nullptr;
    painter->Abandon();
}

void TGIFImage::DropBitmap()
{
    if (m_painter)
        m_painter->Stop();
    if (m_bitmap) {
        // A painter may still hold the buffer; it must no longer reach this image.
        m_bitmap->OnChange = nullptr;
        m_bitmap.reset();
    }
}

std::shared_ptr<TBitmap> TGIFImage::newScreenBitmap()
{
    CheckBitmapBudget(Width(), Height());
    auto bitmap = std::make_shared<TBitmap>();
    if (const TPalette* palette = DrawingPalette())
        bitmap->AssignPalette(palette);
    bitmap->SetSize(Width(), Height());
    return bitmap;
}

TBitmap* TGIFImage::Bitmap()
{
    if (IsEmpty())
        return nullptr;
    if (m_bitmap)
        return m_bitmap.get();
    std::shared_ptr<TBitmap> bitmap;
    TGIFSubImage& first = m_images->Items(0);
    if (first.Width() == Width() && first.Height() == Height()) {
        CheckBitmapBudget(Width(), Height());
        bitmap = std::make_shared<TBitmap>();
        bitmap->CopyFrom(first.RenderedBitmap());
    } else {
        bitmap = newScreenBitmap();
        first.DrawFrame(bitmap->Canvas(), ::Rect(0, 0, Width(), Height()), false, false);
    }
    bitmap->OnChange = [this](TObject*) { Changed(this); };
    m_bitmap = std::move(bitmap);
    return m_bitmap.get();
}

TBitmap& TGIFImage::PaintBuffer()
{
    if (!m_bitmap) {
        std::shared_ptr<TBitmap> bitmap = newScreenBitmap();
        // Every frame painted into it makes the host paint again.
        bitmap->OnChange = [this](TObject*) { Changed(this); };
        m_bitmap = std::move(bitmap);
    }
    return *m_bitmap;
}

const TPalette* TGIFImage::QueryPalette()
{
    return queryPalette(false);
}

const TPalette* TGIFImage::DrawingPalette()
{
    return queryPalette(true);
}

// orNone: where no colour table exists at all, none instead of the error. That case is
// the only one where frame 0 asks the image again.
const TPalette* TGIFImage::queryPalette(bool orNone)
{
    if (m_paletteGuard) {
        if (orNone)
            return nullptr;
        RaiseGIFError(GIFText::NoColorTable);
    }
    m_paletteGuard = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_paletteGuard};
    if (m_bitmap && m_bitmap->Palette())
        return m_bitmap->Palette();
    if (m_cachedPalette)
        return m_cachedPalette.get();
    if (UsesDithering()) {
        m_cachedPalette = NetscapePalette();
        return m_cachedPalette.get();
    }
    if (m_header->ColorMap().Count() == 0) {
        if (m_images->Count() == 0)
            return nullptr;
        TGIFSubImage& first = m_images->Items(0);
        return orNone ? first.DrawingPalette() : first.FramePalette();
    }
    m_cachedPalette = m_header->ColorMap().MakePalette();
    return m_cachedPalette.get();
}

void TGIFImage::ChangePalette(std::unique_ptr<TPalette> palette)
{
    if (palette.get() == m_cachedPalette.get())
        return;
    m_cachedPalette = std::move(palette);
    if (m_bitmap && m_bitmap->Palette() != m_cachedPalette.get()) {
        DropBitmap();
        m_paletteChanged = true;
        Changed(this);
    }
}
