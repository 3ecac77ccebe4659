#include "framework/graphics/Canvas.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/PixelCodec.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace {
// Live device-context handles. Built on first use, so canvases made during start-up
// find it ready.
struct HandleRegistry {
    std::mutex mutex;
    std::unordered_set<TCanvasHandle> live;
    TCanvasHandle next = 0x10000;
};

HandleRegistry& handles()
{
    static HandleRegistry registry;
    return registry;
}

constexpr uint8_t kDstCopy = RopIndex(cmDstCopy);
constexpr uint8_t kSrcCopy = RopIndex(cmSrcCopy);

// How source pixels become destination raw values.
enum class SourceMode { Raw, MonoToColor, ColorToMono, Convert };

struct SourceConversion {
    SourceMode mode = SourceMode::Raw;
    uint32_t zero = 0;       // MonoToColor: what a 0 bit becomes
    uint32_t one = 0;        // MonoToColor: what a 1 bit becomes
    uint32_t background = 0; // ColorToMono: the source's raw background colour
};

// Columns (or rows) of the destination whose nearest source pixel lies inside the source.
struct Span {
    int first = 0;
    int last = 0; // exclusive
};

int sourceIndex(int destination, int destinationStart, int destinationSize, int sourceStart, int sourceSize)
{
    const int64_t offset = destination - destinationStart;
    if (destinationSize == sourceSize)
        return static_cast<int>(sourceStart + offset);
    return static_cast<int>(sourceStart + (2 * offset + 1) * sourceSize / (2 * static_cast<int64_t>(destinationSize)));
}

Span validSpan(int clipFirst, int clipLast, int destinationStart, int destinationSize, int sourceStart, int sourceSize,
               int sourceLimit)
{
    Span span{clipFirst, clipLast};
    while (span.first < span.last) {
        const int s = sourceIndex(span.first, destinationStart, destinationSize, sourceStart, sourceSize);
        if (s >= 0 && s < sourceLimit)
            break;
        ++span.first;
    }
    while (span.last > span.first) {
        const int s = sourceIndex(span.last - 1, destinationStart, destinationSize, sourceStart, sourceSize);
        if (s >= 0 && s < sourceLimit)
            break;
        --span.last;
    }
    return span;
}
// Mask bits as words of all ones (bit 1) or zeros; whole mask bytes go through a table.
void expandMask(const PixelCodec& codec, const uint8_t* row, int width, int x, size_t count, uint32_t* out)
{
    static const auto table = [] {
        std::vector<std::array<uint32_t, 8>> t(256);
        for (int byte = 0; byte < 256; ++byte)
            for (int bit = 0; bit < 8; ++bit)
                t[static_cast<size_t>(byte)][static_cast<size_t>(bit)] = (byte & (0x80 >> bit)) ? ~0u : 0u;
        return t;
    }();
    size_t i = 0;
    if (row && codec.BitsPerPixel() == 1 && x >= 0 && x + static_cast<int64_t>(count) <= width) {
        for (; i < count && ((x + static_cast<int>(i)) & 7); ++i)
            out[i] = codec.Read(row, x + static_cast<int>(i)) ? ~0u : 0u;
        for (; i + 8 <= count; i += 8)
            std::memcpy(out + i, table[row[(x + static_cast<int>(i)) >> 3]].data(), sizeof(uint32_t) * 8);
    }
    for (; i < count; ++i) {
        const int mx = x + static_cast<int>(i);
        out[i] = row && mx >= 0 && mx < width && codec.Read(row, mx) ? ~0u : 0u;
    }
}

// d keeps its value under mask words of ones and takes other's under zeros. A source row
// read in place may carry bits outside keep.
void keepUnderMask(const uint32_t* __restrict m, const uint32_t* __restrict other, uint32_t* __restrict d, size_t count,
                   uint32_t keep)
{
    for (size_t i = 0; i < count; ++i)
        d[i] = (m[i] & d[i]) | (~m[i] & other[i] & keep);
}

// d = f under mask words of ones, b under zeros; f or b may be d itself.
void selectByMask(const uint32_t* m, const uint32_t* f, const uint32_t* b, uint32_t* d, size_t count, uint32_t keep)
{
    if (f == d) {
        keepUnderMask(m, b, d, count, keep);
    } else if (b == d) {
        for (size_t i = 0; i < count; ++i)
            d[i] = (m[i] & f[i] & keep) | (~m[i] & d[i]);
    } else {
        for (size_t i = 0; i < count; ++i)
            d[i] = ((m[i] & f[i]) | (~m[i] & b[i])) & keep;
    }
}
} // namespace

bool IsValidCanvasHandle(TCanvasHandle handle)
{
    HandleRegistry& registry = handles();
    std::scoped_lock lock(registry.mutex);
    return handle != 0 && registry.live.count(handle) != 0;
}

TCanvas::TCanvas() = default;

TCanvas::TCanvas(TBitmap& surface) : m_surface(&surface) {}

TCanvas::~TCanvas()
{
    FreeHandle();
}

void TCanvas::SetSurface(TBitmap* surface)
{
    m_surface = surface;
}

TCanvasHandle TCanvas::Handle()
{
    if (m_handle == 0) {
        HandleRegistry& registry = handles();
        std::scoped_lock lock(registry.mutex);
        m_handle = registry.next++;
        registry.live.insert(m_handle);
    }
    return m_handle;
}

void TCanvas::FreeHandle()
{
    if (m_handle == 0)
        return;
    HandleRegistry& registry = handles();
    std::scoped_lock lock(registry.mutex);
    registry.live.erase(m_handle);
    m_handle = 0;
}

TBitmap& TCanvas::surface() const
{
    if (!m_surface)
        throw EInvalidOperation("Le canevas ne permet pas de dessiner");
    return *m_surface;
}

void TCanvas::changed()
{
    if (OnChange)
        OnChange(this);
}

TRect TCanvas::ClipRect() const
{
    TRect whole{0, 0, 0, 0};
    if (m_surface)
        whole = Rect(-m_state.origin.x, -m_state.origin.y, m_surface->Width() - m_state.origin.x,
                     m_surface->Height() - m_state.origin.y);
    return m_state.hasClip ? m_state.clip.Intersect(whole) : whole;
}

void TCanvas::SetClipRect(const TRect& rect)
{
    m_state.clip = rect;
    m_state.hasClip = true;
}

void TCanvas::ClearClipRect()
{
    m_state.hasClip = false;
}

TRect TCanvas::clipped(const TRect& logical) const
{
    TRect r = logical.Offset(m_state.origin.x, m_state.origin.y);
    if (m_state.hasClip)
        r = r.Intersect(m_state.clip.Offset(m_state.origin.x, m_state.origin.y));
    return r.Intersect(Rect(0, 0, m_surface ? m_surface->Width() : 0, m_surface ? m_surface->Height() : 0));
}

const TPalette* TCanvas::SelectPalette(const TPalette* palette, bool forceBackground)
{
    const TPalette* previous = m_state.palette;
    m_state.palette = palette;
    m_state.paletteBackground = forceBackground;
    return previous;
}

int TCanvas::RealizePalette()
{
    ++m_realizeCount;
    m_realizedPalette = m_state.palette;
    m_realizedBackground = m_state.paletteBackground;
    return m_state.palette ? m_state.palette->Count() : 0;
}

void TCanvas::blit(const TRect& destination, const TBitmap* source, TColor sourceBackground, const TRect& sourceRect,
                   uint8_t foreground, uint8_t background, const TBitmap* mask, TPoint maskOrigin)
{
    TBitmap& target = surface();
    const bool usesSource = RopUsesSource(foreground) || (mask && RopUsesSource(background));
    const bool usesPattern = RopUsesPattern(foreground) || (mask && RopUsesPattern(background));
    if (!usesSource)
        source = nullptr;
    if (source && (sourceRect.IsEmpty() || source->IsEmpty()))
        return;
    const TRect dest = destination.Offset(m_state.origin.x, m_state.origin.y);
    if (dest.IsEmpty())
        return;
    const TRect area = clipped(destination);
    if (area.IsEmpty())
        return;

    Span columns{area.left, area.right}, rows{area.top, area.bottom};
    if (source) {
        columns = validSpan(area.left, area.right, dest.left, dest.Width(), sourceRect.left, sourceRect.Width(),
                            source->Width());
        rows = validSpan(area.top, area.bottom, dest.top, dest.Height(), sourceRect.top, sourceRect.Height(),
                         source->Height());
    }
    const int count = columns.last - columns.first;
    if (count <= 0 || rows.last <= rows.first)
        return;

    // Copying within one image reads from a snapshot, so overlapping areas come out as if
    // the whole source had been read first.
    std::unique_ptr<TBitmap> snapshot;
    if (source && source->m_image == target.m_image) {
        snapshot = std::make_unique<TBitmap>();
        snapshot->CopyFrom(source);
        source = snapshot.get();
    }

    PixelCodec dst(target);
    const uint32_t keep = dst.Keep();
    const uint32_t textRaw = dst.Monochrome() ? 0u : dst.FromRGB(ColorToRGB(m_state.textColor));
    const uint32_t backgroundRaw = dst.Monochrome() ? 1u : dst.FromRGB(ColorToRGB(m_state.backgroundColor));

    std::unique_ptr<PixelCodec> src;
    SourceConversion conversion;
    std::vector<int> sourceColumns;
    bool directSource = false;
    if (source) {
        src = std::make_unique<PixelCodec>(*source);
        if (src->Monochrome() && !dst.Monochrome())
            conversion = {SourceMode::MonoToColor, textRaw, backgroundRaw, 0};
        else if (!src->Monochrome() && dst.Monochrome())
            conversion = {SourceMode::ColorToMono, 0, 0, src->FromRGB(ColorToRGB(sourceBackground))};
        else if (src->Monochrome() || src->SameRaw(dst))
            conversion.mode = SourceMode::Raw;
        else
            conversion.mode = SourceMode::Convert;
        sourceColumns.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            sourceColumns[static_cast<size_t>(i)] =
                sourceIndex(columns.first + i, dest.left, dest.Width(), sourceRect.left, sourceRect.Width());
        directSource = conversion.mode == SourceMode::Raw && src->BitsPerPixel() == 32 && dst.BitsPerPixel() == 32 &&
                       sourceRect.Width() == dest.Width();
    }

    // Pattern rows, one per pattern row, aligned so element i is surface column first + i.
    std::vector<std::vector<uint32_t>> patternRows;
    if (usesPattern) {
        const TBrushPattern* pattern =
            m_state.brush.Style() == TBrushStyle::bsPattern ? m_state.brush.Pattern() : nullptr;
        if (pattern) {
            patternRows.resize(static_cast<size_t>(pattern->height));
            for (int py = 0; py < pattern->height; ++py) {
                std::vector<uint32_t> cells(static_cast<size_t>(pattern->width));
                for (int px = 0; px < pattern->width; ++px) {
                    const uint32_t v = pattern->pixels[static_cast<size_t>(py * pattern->width + px)];
                    if (pattern->monochrome)
                        cells[static_cast<size_t>(px)] = dst.Monochrome() ? v : (v ? backgroundRaw : textRaw);
                    else
                        cells[static_cast<size_t>(px)] = dst.FromRGB(v);
                }
                auto& row = patternRows[static_cast<size_t>(py)];
                row.resize(static_cast<size_t>(count));
                for (int i = 0; i < count; ++i)
                    row[static_cast<size_t>(i)] = cells[static_cast<size_t>((columns.first + i) % pattern->width)];
            }
        } else {
            patternRows.assign(
                1, std::vector<uint32_t>(static_cast<size_t>(count), dst.FromRGB(ColorToRGB(m_state.brush.Color()))));
        }
    }

    std::unique_ptr<PixelCodec> maskCodec;
    if (mask)
        maskCodec = std::make_unique<PixelCodec>(*mask);

    const size_t n = static_cast<size_t>(count);
    std::vector<uint32_t> sourceBuffer(source && !directSource ? n : 0);
    std::vector<uint32_t> destinationBuffer(dst.BitsPerPixel() == 32 ? 0 : n);
    std::vector<uint32_t> maskBuffer(mask ? n : 0), foregroundBuffer(mask ? n : 0), backgroundBuffer(mask ? n : 0);

    for (int y = rows.first; y < rows.last; ++y) {
        uint8_t* destinationRow = target.ScanLine(y);
        const uint32_t* s = nullptr;
        if (source) {
            const int sy = sourceIndex(y, dest.top, dest.Height(), sourceRect.top, sourceRect.Height());
            const uint8_t* sourceRow = source->ScanLine(sy);
            if (directSource) {
                s = reinterpret_cast<const uint32_t*>(sourceRow) + sourceColumns[0];
            } else {
                for (size_t i = 0; i < n; ++i) {
                    const uint32_t raw = src->Read(sourceRow, sourceColumns[i]);
                    switch (conversion.mode) {
                    case SourceMode::Raw: sourceBuffer[i] = raw; break;
                    case SourceMode::MonoToColor: sourceBuffer[i] = raw ? conversion.one : conversion.zero; break;
                    case SourceMode::ColorToMono: sourceBuffer[i] = raw == conversion.background ? 1u : 0u; break;
                    case SourceMode::Convert: sourceBuffer[i] = dst.FromRGB(src->ToRGB(raw)); break;
                    }
                }
                s = sourceBuffer.data();
            }
        }
        const uint32_t* p = usesPattern ? patternRows[static_cast<size_t>(y) % patternRows.size()].data() : nullptr;
        uint32_t* d;
        if (destinationBuffer.empty()) {
            d = reinterpret_cast<uint32_t*>(destinationRow) + columns.first;
        } else {
            dst.ReadRow(destinationRow, columns.first, count, destinationBuffer.data());
            d = destinationBuffer.data();
        }
        if (mask) {
            const int my = maskOrigin.y + (y - dest.top);
            expandMask(*maskCodec, my >= 0 && my < mask->Height() ? mask->ScanLine(my) : nullptr, mask->Width(),
                       maskOrigin.x + (columns.first - dest.left), n, maskBuffer.data());
            // An operation whose result is one operand needs no row of its own.
            const auto rowFor = [&](uint8_t code, std::vector<uint32_t>& buffer) -> const uint32_t* {
                if (code == kDstCopy)
                    return d;
                if (code == kSrcCopy && s)
                    return s;
                RopRow(code, p, s, d, buffer.data(), n, keep);
                return buffer.data();
            };
            const uint32_t* f = rowFor(foreground, foregroundBuffer);
            const uint32_t* b = rowFor(background, backgroundBuffer);
            selectByMask(maskBuffer.data(), f, b, d, n, keep);
        } else {
            RopRow(foreground, p, s, d, d, n, keep);
        }
        if (!destinationBuffer.empty())
            dst.WriteRow(destinationRow, columns.first, count, destinationBuffer.data());
    }
    changed();
}

void TCanvas::BitBlt(int x, int y, int width, int height, TCanvas* source, int sourceX, int sourceY, TCopyMode rop)
{
    const uint8_t code = RopIndex(rop);
    if (source && RopUsesSource(code)) {
        TBitmap& from = source->surface();
        blit(Bounds(x, y, width, height), &from, source->m_state.backgroundColor,
             Bounds(sourceX + source->m_state.origin.x, sourceY + source->m_state.origin.y, width, height), code, code,
             nullptr, {});
    } else {
        blit(Bounds(x, y, width, height), nullptr, clWhite, {}, code, code, nullptr, {});
    }
}

void TCanvas::StretchBlt(const TRect& destination, TCanvas* source, const TRect& sourceRect, TCopyMode rop)
{
    const uint8_t code = RopIndex(rop);
    if (source && RopUsesSource(code))
        blit(destination, &source->surface(), source->m_state.backgroundColor,
             sourceRect.Offset(source->m_state.origin.x, source->m_state.origin.y), code, code, nullptr, {});
    else
        blit(destination, nullptr, clWhite, {}, code, code, nullptr, {});
}

void TCanvas::StretchBlt(const TRect& destination, const TBitmap& source, const TRect& sourceRect, TCopyMode rop)
{
    const uint8_t code = RopIndex(rop);
    blit(destination, &source, clWhite, sourceRect, code, code, nullptr, {});
}

void TCanvas::PatBlt(const TRect& rect, TCopyMode rop)
{
    const uint8_t code = RopIndex(rop);
    blit(rect, nullptr, clWhite, {}, code, code, nullptr, {});
}

void TCanvas::MaskBlt(int x, int y, int width, int height, TCanvas& source, int sourceX, int sourceY,
                      const TBitmap& mask, int maskX, int maskY, uint32_t rop4)
{
    blit(Bounds(x, y, width, height), &source.surface(), source.m_state.backgroundColor,
         Bounds(sourceX + source.m_state.origin.x, sourceY + source.m_state.origin.y, width, height),
         Rop4Foreground(rop4), Rop4Background(rop4), &mask, {maskX, maskY});
}

void TCanvas::CopyRect(const TRect& destination, TCanvas& source, const TRect& sourceRect)
{
    StretchBlt(destination, &source, sourceRect, m_state.copyMode);
}

void TCanvas::FillRect(const TRect& rect)
{
    if (m_state.brush.Style() != TBrushStyle::bsClear)
        PatBlt(rect, cmPatCopy);
}

void TCanvas::FrameRect(const TRect& rect)
{
    if (rect.IsEmpty() || m_state.brush.Style() == TBrushStyle::bsClear)
        return;
    PatBlt(Rect(rect.left, rect.top, rect.right, rect.top + 1), cmPatCopy);
    PatBlt(Rect(rect.left, rect.bottom - 1, rect.right, rect.bottom), cmPatCopy);
    PatBlt(Rect(rect.left, rect.top + 1, rect.left + 1, rect.bottom - 1), cmPatCopy);
    PatBlt(Rect(rect.right - 1, rect.top + 1, rect.right, rect.bottom - 1), cmPatCopy);
}

void TCanvas::Rectangle(const TRect& rect)
{
    if (m_state.pen.Style() == TPenStyle::psClear) {
        FillRect(Rect(rect.left, rect.top, rect.right - 1, rect.bottom - 1));
        return;
    }
    FillRect(Rect(rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1));
    MoveTo(rect.left, rect.top);
    LineTo(rect.right - 1, rect.top);
    LineTo(rect.right - 1, rect.bottom - 1);
    LineTo(rect.left, rect.bottom - 1);
    LineTo(rect.left, rect.top);
}

void TCanvas::MoveTo(int x, int y)
{
    m_penPos = {x, y};
}

void TCanvas::LineTo(int x, int y)
{
    const TPoint from = m_penPos;
    m_penPos = {x, y};
    if (m_state.pen.Style() == TPenStyle::psClear)
        return;
    TBitmap& target = surface();
    const TRect area = clipped(ClipRect());
    PixelCodec codec(target);
    const uint32_t raw = codec.FromRGB(ColorToRGB(m_state.pen.Color()));
    // Bresenham from the start point; the end point itself is not drawn.
    int x0 = from.x, y0 = from.y;
    const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
    int error = dx + dy;
    while (x0 != x || y0 != y) {
        const TPoint p{x0 + m_state.origin.x, y0 + m_state.origin.y};
        if (area.Contains(p))
            codec.Write(target.ScanLine(p.y), p.x, raw);
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y0 += sy;
        }
    }
    changed();
}

TColor TCanvas::Pixel(int x, int y) const
{
    const TBitmap& target = surface();
    const TPoint p{x + m_state.origin.x, y + m_state.origin.y};
    if (!clipped(ClipRect()).Contains(p))
        return clNone;
    PixelCodec codec(target);
    return codec.ToRGB(codec.Read(target.ScanLine(p.y), p.x));
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    TBitmap& target = surface();
    const TPoint p{x + m_state.origin.x, y + m_state.origin.y};
    if (!clipped(ClipRect()).Contains(p))
        return;
    PixelCodec codec(target);
    codec.Write(target.ScanLine(p.y), p.x, codec.FromRGB(ColorToRGB(color)));
    changed();
}

void TCanvas::fillSurfaceRect(const TRect& surfaceRect, TColor color)
{
    TBitmap& target = surface();
    PixelCodec codec(target);
    const uint32_t raw = codec.FromRGB(ColorToRGB(color));
    for (int y = surfaceRect.top; y < surfaceRect.bottom; ++y) {
        uint8_t* row = target.ScanLine(y);
        for (int x = surfaceRect.left; x < surfaceRect.right; ++x)
            codec.Write(row, x, raw);
    }
}

void TCanvas::Draw(int x, int y, TGraphic& graphic)
{
    if (!graphic.IsEmpty())
        graphic.Draw(*this, Bounds(x, y, graphic.Width(), graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic)
{
    if (!graphic.IsEmpty())
        graphic.Draw(*this, rect);
}
