#pragma once

#include "framework/core/Object.h"
#include "framework/core/Types.h"
#include "framework/graphics/Color.h"
#include "framework/graphics/GraphicsObjects.h"
#include "framework/graphics/Rop.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TBitmap;
class TGraphic;
class TPalette;
namespace textlayout {
struct Layout;
}

enum class TBackgroundMode { bmTransparent, bmOpaque };

// Text layout flags for DrawText.
enum TTextFormat : uint32_t {
    tfLeft = 0x0000,
    tfCenter = 0x0001,
    tfRight = 0x0002,
    tfTop = 0x0000,
    tfVerticalCenter = 0x0004,
    tfBottom = 0x0008,
    tfWordBreak = 0x0010,
    tfSingleLine = 0x0020,
    tfNoClip = 0x0100,
    tfCalcRect = 0x0400, // measure only: set the rectangle's right and bottom, draw nothing
    tfNoPrefix = 0x0800, // "&" is an ordinary character
    tfEndEllipsis = 0x8000,
};

// A device-context handle: a number that stays valid while the canvas keeps its
// drawing resources (until the canvas is freed or its bitmap made dormant).
using TCanvasHandle = uintptr_t;
bool IsValidCanvasHandle(TCanvasHandle handle);

// The drawing state a canvas saves and restores.
struct TCanvasState {
    TPen pen;
    TBrush brush;
    TFont font;
    TCopyMode copyMode = cmSrcCopy;
    TColor textColor = clBlack;
    TColor backgroundColor = clWhite;
    TBackgroundMode backgroundMode = TBackgroundMode::bmOpaque;
    TPoint origin;
    TRect clip;
    bool hasClip = false;
    const TPalette* palette = nullptr;
    bool paletteBackground = false;
};

// Draws on a bitmap (its surface). Coordinates are logical: the surface point of logical
// (0, 0) is Origin(), and drawing is clipped to ClipRect() and to the surface.
//
// Colours: the pen draws lines, the brush fills (solid, or a pattern anchored to the
// surface's own (0, 0)), the font's colour draws text. TextColor and BackgroundColor
// govern copies between colour and monochrome surfaces: colour to monochrome, source
// pixels equal to the source canvas's background colour become 1 and all others 0;
// monochrome to colour, 0 bits take the destination canvas's text colour and 1 bits its
// background colour (monochrome pattern brushes likewise). Text gets an opaque background
// in the brush colour when the background mode is opaque and the brush is not hollow.
//
// Raster operations are evaluated from the code's truth table over the raw pixel values
// of the destination's format (indices for indexed formats), after the source and pattern
// are converted into that format.
class TCanvas : public TPersistent {
    CARNELO_CLASS(TCanvas, TPersistent)
public:
    TCanvas();
    explicit TCanvas(TBitmap& surface);
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TBitmap* Surface() const { return m_surface; }
    // The canvas does not own the surface; the caller keeps it alive while it is set.
    void SetSurface(TBitmap* surface);

    TPen& Pen() { return m_state.pen; }
    TBrush& Brush() { return m_state.brush; }
    TFont& Font() { return m_state.font; }
    const TPen& Pen() const { return m_state.pen; }
    const TBrush& Brush() const { return m_state.brush; }
    const TFont& Font() const { return m_state.font; }

    TCopyMode CopyMode() const { return m_state.copyMode; }
    void SetCopyMode(TCopyMode mode) { m_state.copyMode = mode; }
    TColor TextColor() const { return m_state.textColor; }
    void SetTextColor(TColor color) { m_state.textColor = color; }
    TColor BackgroundColor() const { return m_state.backgroundColor; }
    void SetBackgroundColor(TColor color) { m_state.backgroundColor = color; }
    TBackgroundMode BackgroundMode() const { return m_state.backgroundMode; }
    void SetBackgroundMode(TBackgroundMode mode) { m_state.backgroundMode = mode; }

    TPoint Origin() const { return m_state.origin; }
    void SetOrigin(TPoint origin) { m_state.origin = origin; }
    // In logical coordinates; the whole surface when no clip is set.
    TRect ClipRect() const;
    void SetClipRect(const TRect& rect);
    void ClearClipRect();
    bool HasClipRect() const { return m_state.hasClip; }

    // Pen, brush, font, copy mode, colours, background mode, origin, clip and palette.
    TCanvasState SaveState() const { return m_state; }
    void RestoreState(const TCanvasState& state) { m_state = state; }

    TCanvasHandle Handle();
    bool HandleAllocated() const { return m_handle != 0; }
    // Expires when the canvas is destroyed, for drawing that may outlive it.
    std::weak_ptr<const void> AliveToken() const { return m_alive; }
    // Gives up the device-context handle; the next Handle() gets a new one.
    void FreeHandle();

    // Filled with the brush (nothing for a hollow brush).
    void FillRect(const TRect& rect);
    // A one-pixel border inside the rectangle, in the brush.
    void FrameRect(const TRect& rect);
    // Outline in the pen (right and bottom edges at right - 1 and bottom - 1), inside
    // filled with the brush.
    void Rectangle(const TRect& rect);
    void MoveTo(int x, int y);
    // From the pen position to (x, y), (x, y) itself excluded; the pen moves there.
    void LineTo(int x, int y);
    TPoint PenPos() const { return m_penPos; }
    // clNone for a point outside the surface or the clip.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Copies with the canvas's copy mode; stretches when the sizes differ.
    void CopyRect(const TRect& destination, TCanvas& source, const TRect& sourceRect);
    // Any ternary raster operation; the source is not read by codes that do not use it.
    void BitBlt(int x, int y, int width, int height, TCanvas* source, int sourceX, int sourceY, TCopyMode rop);
    // Nearest-pixel stretch of sourceRect onto destination.
    void StretchBlt(const TRect& destination, TCanvas* source, const TRect& sourceRect, TCopyMode rop);
    // The same with a bitmap as the source, whose background colour counts as white.
    void StretchBlt(const TRect& destination, const TBitmap& source, const TRect& sourceRect, TCopyMode rop);
    // A pattern-and-destination operation over the rectangle.
    void PatBlt(const TRect& rect, TCopyMode rop);
    // Where the mask bit is 1 the foreground operation of rop4 applies, where it is 0 the
    // background one (see MakeRop4). The mask is a one-bit bitmap read at
    // (maskX, maskY) onwards; points outside it count as 0.
    void MaskBlt(int x, int y, int width, int height, TCanvas& source, int sourceX, int sourceY, const TBitmap& mask,
                 int maskX, int maskY, uint32_t rop4);

    // Calls the graphic's Draw.
    void Draw(int x, int y, TGraphic& graphic);
    void StretchDraw(const TRect& rect, TGraphic& graphic);

    // Palettes change no pixel on these surfaces; the canvas records them.
    // Returns the palette selected before.
    const TPalette* SelectPalette(const TPalette* palette, bool forceBackground);
    // Returns the number of entries realised (0 without a palette).
    int RealizePalette();
    const TPalette* SelectedPalette() const { return m_state.palette; }
    bool PaletteInBackground() const { return m_state.paletteBackground; }
    const TPalette* LastRealizedPalette() const { return m_realizedPalette; }
    bool LastRealizedInBackground() const { return m_realizedBackground; }
    int RealizeCount() const { return m_realizeCount; }

    // Text in the font, top-left of the character cell at (x, y); "&" is not special.
    // The pen moves to the end of the text.
    void TextOut(int x, int y, const std::string& text);
    // The same, clipped to rect (filled first when the background is opaque).
    void TextRect(const TRect& rect, int x, int y, const std::string& text);
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    TPoint TextExtent(const std::string& text);
    // Lays the text out in rect with the flags (TTextFormat); returns the height of the
    // text. With tfCalcRect nothing is drawn and rect's right and bottom become the
    // extent of the text.
    int DrawText(const std::string& text, TRect& rect, uint32_t flags);

    TNotifyEvent OnChange;

private:
    // The one raster engine: destination in logical coordinates, source rectangle in the
    // source bitmap's own pixels, mask origin in the mask's pixels.
    void blit(const TRect& destination, const TBitmap* source, TColor sourceBackground, const TRect& sourceRect,
              uint8_t foreground, uint8_t background, const TBitmap* mask, TPoint maskOrigin);
    // Paints laid-out text whose first line's cell starts at origin (logical), clipped to
    // clip (logical) unless null; with an opaque background each line's cell is filled.
    void paintText(const textlayout::Layout& layout, TPoint origin, const TRect& box, uint32_t flags,
                   const TRect* clip);
    void changed();
    TBitmap& surface() const;
    // Surface rectangle of a logical one, clipped to the clip and the surface.
    TRect clipped(const TRect& logical) const;
    void fillSurfaceRect(const TRect& surfaceRect, TColor color);

    TBitmap* m_surface = nullptr;
    TCanvasState m_state;
    TPoint m_penPos;
    TCanvasHandle m_handle = 0;
    const TPalette* m_realizedPalette = nullptr;
    bool m_realizedBackground = false;
    int m_realizeCount = 0;
    std::shared_ptr<const void> m_alive = std::make_shared<char>(0);
};

// Puts the canvas's state back as it was when the guard was made, on every path.
class CanvasStateGuard {
public:
    explicit CanvasStateGuard(TCanvas& canvas) : m_canvas(canvas), m_state(canvas.SaveState()) {}
    ~CanvasStateGuard() { m_canvas.RestoreState(m_state); }
    CanvasStateGuard(const CanvasStateGuard&) = delete;
    CanvasStateGuard& operator=(const CanvasStateGuard&) = delete;

private:
    TCanvas& m_canvas;
    TCanvasState m_state;
};

// Selects a palette into a canvas and puts the previous one back on every path.
class PaletteSelection {
public:
    PaletteSelection(TCanvas& canvas, const TPalette* palette, bool forceBackground = false)
        : m_canvas(canvas), m_wasBackground(canvas.PaletteInBackground()),
          m_previous(canvas.SelectPalette(palette, forceBackground))
    {}
    ~PaletteSelection() { m_canvas.SelectPalette(m_previous, m_wasBackground); }
    PaletteSelection(const PaletteSelection&) = delete;
    PaletteSelection& operator=(const PaletteSelection&) = delete;

private:
    TCanvas& m_canvas;
    bool m_wasBackground;
    const TPalette* m_previous;
};
