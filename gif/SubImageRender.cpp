// Frame rendering: the bitmap and mask caches, the frame's palette, and drawing a frame
// into a rectangle of a canvas.
#include "gif/SubImage.h"

#include "framework/core/Stream.h"
#include "framework/core/System.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Palette.h"
#include "gif/Extensions.h"
#include "gif/FixedPalettes.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<uint64_t> g_revisions{0};

// The tiles of a frame repeated over rect at the image's size, those that can reach the
// canvas's clip only: a huge rectangle on a small canvas costs no more than the canvas.
template <typename F>
void forEachTile(const TRect& rect, int left, int top, int width, int height, int stepX, int stepY, const TRect& clip,
                 F&& f)
{
    const auto first = [](int start, int size, int step, int clipStart) {
        if (clipStart <= start + size)
            return start;
        return start + (clipStart - start - size) / step * step;
    };
    const int rightLimit = std::min(rect.right, clip.right);
    const int bottomLimit = std::min(rect.bottom, clip.bottom);
    for (int x = first(rect.left + left, width, stepX, clip.left); x < rightLimit; x += stepX)
        for (int y = first(rect.top + top, height, stepY, clip.top); y < bottomLimit; y += stepY)
            f(Rect(x, y, x + width, y + height));
}

} // namespace

uint64_t TGIFSubImage::nextRevision()
{
    return ++g_revisions;
}

bool TGIFSubImage::usesDithering() const
{
    return m_image && m_image->UsesDithering();
}

void TGIFSubImage::changed()
{
    if (m_image)
        m_image->Changed(this);
}

void TGIFSubImage::renderProgress(TProgressStage stage, uint8_t percent)
{
    if (!m_image)
        return;
    const bool redraw = stage == TProgressStage::psEnding && m_image->PaletteChanged();
    m_image->Progress(this, stage, percent, redraw, TRect{}, std::string(GIFText::Rendering));
}

void TGIFSubImage::renderEvent(const FrameRenderEvent& event)
{
    if (event.kind == FrameRenderEvent::Kind::Warning)
        Warn(1, std::string(event.message));
    else
        renderProgress(TProgressStage::psRunning, event.percent);
}

FrameRenderSource TGIFSubImage::renderSource()
{
    FrameRenderSource source;
    source.width = m_width;
    source.height = m_height;
    source.pixels = m_data.get();
    TGIFColorMap& map = EffectiveColorMap();
    source.colorCount = map.Count();
    std::copy_n(map.Entries(), map.Count(), source.colors.begin());
    source.dithering = usesDithering();
    if (source.dithering) {
        source.palette = FramePalette()->Entries();
    } else {
        // The frame's own colours, whatever palette the image's bitmap holds.
        source.palette.resize(static_cast<size_t>(map.Count()));
        for (int i = 0; i < map.Count(); ++i) {
            const TGIFColor& c = source.colors[static_cast<size_t>(i)];
            source.palette[static_cast<size_t>(i)] = {c.Red, c.Green, c.Blue, pcNoCollapse};
        }
    }
    source.masking = m_maskDue && m_transparent;
    if (source.masking && m_graphicControl)
        source.transparentIndex = m_graphicControl->TransparentColorIndex();
    return source;
}

void TGIFSubImage::installRendered(RenderedFrame rendered, bool masking)
{
    m_bitmap = std::move(rendered.bitmap);
    if (masking)
        m_mask = std::move(rendered.mask);
    m_maskDue = false;
}

void TGIFSubImage::renderEnded(bool succeeded)
{
    renderProgress(TProgressStage::psEnding, succeeded ? 100 : 0);
    // A failure tells nobody that something changed: a frame that cannot render must not
    // make its host paint again, and fail again, for ever.
    if (succeeded && m_image && m_image->PaletteChanged())
        changed();
}

TBitmap* TGIFSubImage::RenderedBitmap()
{
    if (m_bitmap || Empty())
        return m_bitmap.get();
    renderProgress(TProgressStage::psStarting, 0);
    try {
        const FrameRenderSource source = renderSource();
        installRendered(RenderFrame(source, [this](const FrameRenderEvent& event) { renderEvent(event); }),
                        source.masking);
    } catch (...) {
        renderEnded(false);
        throw;
    }
    renderEnded(true);
    return m_bitmap.get();
}

std::shared_ptr<FrameRenderJob> TGIFSubImage::PrepareRender()
{
    if (m_bitmap || Empty())
        return nullptr;
    FrameRenderSource source = renderSource();
    std::vector<uint8_t> pixels(m_data.get(), m_data.get() + m_dataSize);
    return std::make_shared<FrameRenderJob>(std::move(source), std::move(pixels), this, m_revision);
}

bool TGIFSubImage::InstallRender(FrameRenderJob& job)
{
    if (job.Frame() != this || job.Revision() != m_revision || m_bitmap || !job.Finished())
        return false;
    // What the job read must still be what rendering now would read.
    const FrameRenderSource now = renderSource();
    const FrameRenderSource& then = job.Source();
    if (now.width != then.width || now.height != then.height || now.dithering != then.dithering ||
        now.masking != then.masking || now.transparentIndex != then.transparentIndex ||
        now.colorCount != then.colorCount || now.palette != then.palette ||
        !std::equal(now.colors.begin(), now.colors.begin() + now.colorCount, then.colors.begin()) ||
        std::memcmp(now.pixels, then.pixels, static_cast<size_t>(m_dataSize)) != 0)
        return false;
    renderProgress(TProgressStage::psStarting, 0);
    try {
        for (const FrameRenderEvent& event : job.Events())
            renderEvent(event);
    } catch (...) {
        renderEnded(false);
        throw;
    }
    installRendered(std::move(job.Result()), then.masking);
    renderEnded(true);
    return true;
}

const TPalette* TGIFSubImage::FramePalette()
{
    if (m_bitmap && m_bitmap->Palette())
        return m_bitmap->Palette();
    if (m_cachedPalette)
        return m_cachedPalette.get();
    if (usesDithering()) {
        m_cachedPalette = NetscapePalette();
        return m_cachedPalette.get();
    }
    if (m_colorMap.Count() == 0) {
        if (!m_image)
            RaiseGIFError(GIFText::NoColorTable);
        return m_image->QueryPalette();
    }
    m_cachedPalette = m_colorMap.MakePalette();
    return m_cachedPalette.get();
}

const TPalette* TGIFSubImage::DrawingPalette()
{
    if (m_colorMap.Count() == 0 && !(m_bitmap && m_bitmap->Palette()) && !m_cachedPalette && !usesDithering())
        return m_image ? m_image->DrawingPalette() : nullptr;
    return FramePalette();
}

void TGIFSubImage::SetFramePalette(std::unique_ptr<TPalette> palette)
{
    const bool bitmapDiffers = m_bitmap && m_bitmap->Palette() != palette.get();
    if (palette.get() == m_cachedPalette.get() && !bitmapDiffers)
        return;
    m_cachedPalette = std::move(palette);
    m_revision = nextRevision();
    if (bitmapDiffers) {
        DiscardBitmap();
        if (m_image) {
            m_image->SetPaletteChanged();
            changed();
        }
    }
}

void TGIFSubImage::ColorsChanged()
{
    SetFramePalette(nullptr);
}

bool TGIFSubImage::MaskAvailable()
{
    if (m_maskDue && m_transparent) {
        DiscardBitmap();
        RenderedBitmap();
    }
    return m_mask != nullptr;
}

void TGIFSubImage::DiscardBitmap()
{
    m_bitmap.reset();
    m_revision = nextRevision();
}

void TGIFSubImage::DiscardMask()
{
    m_mask.reset();
    m_maskDue = true;
    m_revision = nextRevision();
}

TRect TGIFSubImage::ScaledBounds(const TRect& rect) const
{
    const int screenWidth = m_image ? m_image->Width() : m_left + m_width;
    const int screenHeight = m_image ? m_image->Height() : m_top + m_height;
    if (screenWidth <= 0 || screenHeight <= 0)
        return Rect(rect.left, rect.top, rect.left, rect.top);
    const int w = rect.Width(), h = rect.Height();
    return Rect(rect.left + MulDiv(m_left, w, screenWidth), rect.top + MulDiv(m_top, h, screenHeight),
                rect.left + MulDiv(m_left + m_width, w, screenWidth),
                rect.top + MulDiv(m_top + m_height, h, screenHeight));
}

void TGIFSubImage::DrawFrame(TCanvas& canvas, const TRect& rect, bool tile, bool transparent)
{
    if (Empty())
        return;
    const int screenWidth = m_image ? m_image->Width() : m_left + m_width;
    const int screenHeight = m_image ? m_image->Height() : m_top + m_height;
    if (screenWidth <= 0 || screenHeight <= 0)
        return;
    auto forEachTarget = [&](auto&& draw) {
        if (tile)
            forEachTile(rect, m_left, m_top, m_width, m_height, screenWidth, screenHeight, canvas.ClipRect(), draw);
        else
            draw(ScaledBounds(rect));
    };
    if (transparent && m_transparent && MaskAvailable()) {
        TBitmap& bitmap = *RenderedBitmap();
        TCanvas mask(*m_mask);
        forEachTarget([&](const TRect& target) {
            MaskedStretchBlt(canvas, target, bitmap.Canvas(), Rect(0, 0, m_width, m_height), mask);
        });
        return;
    }
    TBitmap* bitmap = RenderedBitmap();
    if (!bitmap)
        return;
    forEachTarget([&](const TRect& target) { canvas.StretchDraw(target, *bitmap); });
}

void TGIFSubImage::CopyInto(TPersistent& destination) const
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(&destination)) {
        bitmap->CopyFrom(const_cast<TGIFSubImage*>(this)->RenderedBitmap());
        return;
    }
    TGIFItem::CopyInto(destination);
}

void TGIFSubImage::CopyFrom(const TPersistent* source)
{
    if (source == this)
        return;
    if (!source) {
        Clear();
        return;
    }
    const auto* other = dynamic_cast<const TGIFSubImage*>(source);
    if (!other) {
        importGraphic(source);
        return;
    }
    Clear();
    // Extensions travel through their own stream format, so every kind copies itself;
    // a frame without image keeps them too.
    if (other->m_extensions.Count() > 0) {
        TMemoryStream stream;
        // Saving changes nothing, but items save through a non-const call.
        const_cast<TGIFExtensionList&>(other->m_extensions).SaveToStream(stream);
        stream.SetPosition(0);
        m_extensions.LoadFromStream(stream, *this);
    }
    if (other->Empty())
        return;
    m_separator = other->m_separator;
    SetBoundsRect(other->m_left, other->m_top, other->m_width, other->m_height);
    m_packedFields = other->m_packedFields;
    m_transparent = other->m_transparent;
    NeedData();
    std::memcpy(m_data.get(), other->m_data.get(), static_cast<size_t>(m_dataSize));
    m_colorMap.CopyFrom(&other->m_colorMap);
    if (other->m_bitmap) {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->CopyFrom(other->m_bitmap.get());
        m_bitmap = std::move(bitmap);
    }
}

void MaskedStretchBlt(TCanvas& destination, const TRect& destinationRect, TCanvas& source, const TRect& sourceRect,
                      TCanvas& mask)
{
    const TBitmap& maskBitmap = *mask.Surface();
    if (destinationRect.Width() == sourceRect.Width() && destinationRect.Height() == sourceRect.Height()) {
        // Destination kept under 1 bits (transparent), source copied under 0 bits.
        destination.MaskBlt(destinationRect.left, destinationRect.top, destinationRect.Width(),
                            destinationRect.Height(), source, sourceRect.left, sourceRect.top, maskBitmap,
                            sourceRect.left, sourceRect.top, MakeRop4(cmDstCopy, cmSrcCopy));
        return;
    }
    // Stretched: the source with transparent pixels made black is OR-ed onto a
    // destination whose opaque pixels the mask has made black.
    const int width = sourceRect.Width(), height = sourceRect.Height();
    TBitmap colour(width, height);
    const std::vector<uint8_t> zeros(MaskRowBytes(width) * static_cast<size_t>(height), 0);
    std::unique_ptr<TBitmap> inverted = TBitmap::CreateMonochrome(width, height, zeros.data());
    inverted->Canvas().BitBlt(0, 0, width, height, &mask, sourceRect.left, sourceRect.top, cmNotSrcCopy);
    TCanvas& colourCanvas = colour.Canvas();
    const TPalette* sourcePalette = source.Surface() ? source.Surface()->Palette() : nullptr;
    PaletteSelection selected(colourCanvas, sourcePalette ? sourcePalette : StockPalette(), true);
    colourCanvas.RealizePalette();
    colourCanvas.BitBlt(0, 0, width, height, &inverted->Canvas(), 0, 0, cmSrcCopy);
    colourCanvas.BitBlt(0, 0, width, height, &source, sourceRect.left, sourceRect.top, cmSrcAnd);
    CanvasStateGuard state(destination);
    destination.SetTextColor(clBlack);
    destination.SetBackgroundColor(clWhite);
    destination.StretchBlt(destinationRect, &mask, sourceRect, cmSrcAnd);
    destination.StretchBlt(destinationRect, &colourCanvas, Rect(0, 0, width, height), cmSrcPaint);
}
