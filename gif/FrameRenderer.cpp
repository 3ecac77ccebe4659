#include "gif/FrameRenderer.h"

#include "framework/core/System.h"
#include "framework/graphics/Bitmap.h"
#include "gif/ColorLookup.h"
#include "gif/DIB.h"
#include "gif/Dither.h"
#include "gif/GIFException.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kReportRows = 32;

class Renderer {
public:
    Renderer(const FrameRenderSource& source, const FrameRenderReport& report, const std::function<bool()>& stopped)
        : m_source(source), m_report(report), m_stopped(stopped), m_maskStride(MaskRowBytes(source.width))
    {
        if (source.masking)
            m_mask.assign(m_maskStride * static_cast<size_t>(source.height), 0);
        if (source.colorCount == 0)
            warn(GIFText::NoColorTable);
    }

    RenderedFrame run()
    {
        RenderedFrame result;
        result.bitmap = std::make_unique<TBitmap>();
        std::unique_ptr<TPalette> palette;
        if (!m_source.palette.empty())
            palette = std::make_unique<TPalette>(m_source.palette);
        TDIBWriter writer(*result.bitmap, TPixelFormat::pf8bit, m_source.width, m_source.height, palette.get());
        const bool completed = m_source.dithering ? dithered(writer) : direct(writer);
        if (!completed)
            return {};
        writer.Store();
        if (m_anyTransparent)
            result.mask = TBitmap::CreateMonochrome(m_source.width, m_source.height, m_mask.data());
        return result;
    }

private:
    // Reports progress at rows 0, 32, 64, ...; false when the rendering is to stop.
    bool rowStarts(int y)
    {
        if (y % kReportRows != 0)
            return true;
        if (m_stopped && m_stopped())
            return false;
        if (m_report)
            m_report({FrameRenderEvent::Kind::Progress, static_cast<uint8_t>(MulDiv(y, 100, m_source.height)), {}});
        return true;
    }

    void warn(std::string_view message)
    {
        if (m_warned)
            return;
        m_warned = true;
        if (m_report)
            m_report({FrameRenderEvent::Kind::Warning, 0, message});
    }

    void markTransparent(uint8_t* maskRow, int x)
    {
        maskRow[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        m_anyTransparent = true;
    }

    bool direct(TDIBWriter& writer)
    {
        const int width = m_source.width;
        const bool checkIndices = m_source.colorCount < 256;
        for (int y = 0; y < m_source.height; ++y) {
            if (!rowStarts(y))
                return false;
            const uint8_t* pixels = m_source.pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
            std::memcpy(writer.ScanLineAt(y), pixels, static_cast<size_t>(width));
            // Beyond the map the bitmap's colour table is zero, so such pixels show black
            // already; they are only told once.
            if (checkIndices && !m_warned && *std::max_element(pixels, pixels + width) >= m_source.colorCount)
                warn(GIFText::InvalidColorIndex);
            if (m_source.masking) {
                uint8_t* maskRow = m_mask.data() + static_cast<size_t>(y) * m_maskStride;
                for (int x = 0; x < width; ++x)
                    if (pixels[x] == m_source.transparentIndex)
                        markTransparent(maskRow, x);
            }
        }
        return true;
    }

    bool dithered(TDIBWriter& writer)
    {
        const int width = m_source.width;
        TNetscapeColorLookup lookup;
        TFloydSteinbergDitherer ditherer(width, lookup);
        uint8_t r, g, b;
        // Transparent pixels keep the cube's colour nearest to the transparent colour: the
        // mask hides it, and drawing without transparency shows that colour.
        uint8_t fill = 0;
        if (m_source.masking) {
            const TGIFColor& c = m_source.colors[m_source.transparentIndex];
            fill = lookup.MatchColor(c.Red, c.Green, c.Blue, r, g, b);
        }
        for (int y = 0; y < m_source.height; ++y) {
            if (!rowStarts(y))
                return false;
            const uint8_t* pixels = m_source.pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
            uint8_t* row = writer.ScanLineAt(y);
            uint8_t* maskRow = m_source.masking ? m_mask.data() + static_cast<size_t>(y) * m_maskStride : nullptr;
            if (maskRow)
                std::memset(row, fill, static_cast<size_t>(width));
            // The ditherer walks the rows in serpentine order; the source follows its column.
            for (int n = 0; n < width; ++n) {
                const int x = ditherer.Column();
                const uint8_t index = pixels[x];
                if (maskRow && index == m_source.transparentIndex) {
                    markTransparent(maskRow, x);
                    ditherer.SkipColumn();
                    continue;
                }
                if (index >= m_source.colorCount)
                    warn(GIFText::InvalidColorIndex);
                const TGIFColor& c = m_source.colors[index];
                row[x] = ditherer.MapPixel(c.Red, c.Green, c.Blue, r, g, b);
            }
            ditherer.EndRow();
        }
        return true;
    }

    const FrameRenderSource& m_source;
    const FrameRenderReport& m_report;
    const std::function<bool()>& m_stopped;
    size_t m_maskStride;
    std::vector<uint8_t> m_mask;
    bool m_anyTransparent = false;
    bool m_warned = false;
};

} // namespace

size_t MaskRowBytes(int width)
{
    return RowBytes(width, 1, 16);
}

RenderedFrame RenderFrame(const FrameRenderSource& source, const FrameRenderReport& report,
                          const std::function<bool()>& stopped)
{
    return Renderer(source, report, stopped).run();
}

FrameRenderJob::FrameRenderJob(FrameRenderSource source, std::vector<uint8_t> pixels, const TGIFSubImage* frame,
                               uint64_t revision)
    : m_source(std::move(source)), m_pixels(std::move(pixels)), m_frame(frame), m_revision(revision)
{
    m_source.pixels = m_pixels.data();
}

void FrameRenderJob::Run(const std::function<bool()>& stopped)
{
    m_events.clear();
    try {
        m_result = RenderFrame(
            m_source, [this](const FrameRenderEvent& event) { m_events.push_back(event); }, stopped);
    } catch (...) {
        m_result = {};
    }
}
