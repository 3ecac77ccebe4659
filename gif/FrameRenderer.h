#pragma once

#include "framework/graphics/Palette.h"
#include "gif/ColorMap.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class TBitmap;

// Everything that rendering one frame reads. Taken from the frame, so that the work can
// run away from it (on a painter thread) as well as on it.
struct FrameRenderSource {
    int width = 0;
    int height = 0;
    // width bytes per row, top row first; valid while the source is used.
    const uint8_t* pixels = nullptr;
    // The active colour map; entries at and beyond colorCount are black.
    std::array<TGIFColor, 256> colors{};
    int colorCount = 0;
    // The colour table the bitmap gets: the frame's colours, or the cube when dithering.
    std::vector<TPaletteEntry> palette;
    bool dithering = false;
    // Build the mask in the same pass, from the pixels equal to transparentIndex.
    bool masking = false;
    uint8_t transparentIndex = 0;
};

// A report made while rendering: running progress, or the one warning a rendering gives.
struct FrameRenderEvent {
    enum class Kind { Progress, Warning };
    Kind kind = Kind::Progress;
    uint8_t percent = 0;
    std::string_view message;
};
using FrameRenderReport = std::function<void(const FrameRenderEvent&)>;

struct RenderedFrame {
    // An 8-bit bitmap whose colour table is the source's palette; null when stopped.
    std::unique_ptr<TBitmap> bitmap;
    // One bit per pixel, 1 where the pixel is transparent; only when one is.
    std::unique_ptr<TBitmap> mask;
};

// Renders the pixels unchanged into an 8-bit bitmap, or dithers their colours onto the
// 216-colour cube (Floyd-Steinberg, serpentine rows). Progress is reported at rows 0, 32,
// 64, ...; an index beyond the colour map renders black and gives one warning per
// rendering, an empty map the warning that there is none. stopped is asked at the same
// rows: when it holds, the work ends and the result has no bitmap. Failures of memory
// and of the DIB toolkit pass on.
RenderedFrame RenderFrame(const FrameRenderSource& source, const FrameRenderReport& report,
                          const std::function<bool()>& stopped = {});

// The mask format: rows top first, each padded to 16 bits, leftmost pixel in the most
// significant bit.
size_t MaskRowBytes(int width);

class TGIFSubImage;

// A rendering taken away from its frame: made on the user-interface thread with a copy
// of what it reads, run on any thread, installed back on the user-interface thread
// (TGIFSubImage::InstallRender) only when the frame has not changed meanwhile.
class FrameRenderJob {
public:
    FrameRenderJob(FrameRenderSource source, std::vector<uint8_t> pixels, const TGIFSubImage* frame, uint64_t revision);

    // Any thread. Keeps a failure to itself: the frame will render again when drawn.
    void Run(const std::function<bool()>& stopped);

    const FrameRenderSource& Source() const { return m_source; }
    const TGIFSubImage* Frame() const { return m_frame; }
    uint64_t Revision() const { return m_revision; }
    bool Finished() const { return m_result.bitmap != nullptr; }
    RenderedFrame& Result() { return m_result; }
    // The reports the rendering made, in order, for the frame to pass on at installation.
    const std::vector<FrameRenderEvent>& Events() const { return m_events; }

private:
    FrameRenderSource m_source;
    std::vector<uint8_t> m_pixels;
    const TGIFSubImage* m_frame;
    uint64_t m_revision;
    RenderedFrame m_result;
    std::vector<FrameRenderEvent> m_events;
};
