#include "controls/ExplorerButtonPaint.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"

#include <memory>
#include <utility>

namespace {

std::unique_ptr<TBitmap> g_downPattern;
int g_downPatternShares = 0;

uint32_t textFlags(const ExplorerButtonLook& look)
{
    uint32_t flags = tfLeft;
    if (look.alignment == TAlignment::taCenter)
        flags = tfCenter;
    else if (look.alignment == TAlignment::taRightJustify)
        flags = tfRight;
    if (look.wordWrap)
        flags |= tfWordBreak;
    return flags;
}

// Wrapped captions get one trailing blank before measuring, and keep it for drawing.
TPoint measureCaption(TCanvas& canvas, std::string& text, const ExplorerButtonLook& look)
{
    if (look.wordWrap)
        text += ' ';
    TRect r = Rect(0, 0, look.width - 4, 0);
    if (r.right <= r.left)
        return {0, 0};
    canvas.DrawText(text, r, textFlags(look) | tfCalcRect);
    return {r.Width(), r.Height()};
}

void drawCaption(TCanvas& canvas, const std::string& text, const TRect& rect, const ExplorerButtonLook& look)
{
    if (rect.right <= rect.left)
        return;
    TRect r = rect;
    canvas.DrawText(text, r, textFlags(look) | (look.useEllipsis ? tfEndEllipsis : 0u));
}

void drawEmbossedCaption(TCanvas& canvas, const std::string& text, const TRect& rect, const ExplorerButtonLook& look)
{
    canvas.SetBackgroundMode(TBackgroundMode::bmTransparent);
    canvas.Font().SetColor(clBtnHighlight);
    drawCaption(canvas, text, rect.Offset(1, 1), look);
    canvas.Font().SetColor(clBtnShadow);
    drawCaption(canvas, text, rect, look);
}

bool hasImage(const TBitmap* bitmap)
{
    return bitmap && !bitmap->Empty();
}

TColor cornerColor(TBitmap& image)
{
    return TCanvas(image).Pixel(0, 0);
}

void drawWithCornerTransparent(TCanvas& canvas, TBitmap& image, TPoint at)
{
    DrawTransparentBitmap(canvas, image, at.x, at.y, cornerColor(image));
}

} // namespace

std::string workingCaption(const std::string& caption)
{
    constexpr size_t limit = 255;
    if (caption.size() <= limit)
        return caption;
    // Back off to the lead byte of the character that would not fit whole.
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(caption[end]) & 0xC0) == 0x80)
        --end;
    return caption.substr(0, end);
}

void DrawBevel(TCanvas& canvas, int width, int height, TBevelStyle style, BevelLook look)
{
    TColor first = clBtnHighlight, second = clBtnShadow;
    if ((style == TBevelStyle::bsRaised) != (look == BevelLook::Normal))
        std::swap(first, second);
    canvas.Pen().SetStyle(TPenStyle::psSolid);
    canvas.Pen().SetColor(first);
    canvas.MoveTo(0, height);
    canvas.LineTo(0, 0);
    canvas.LineTo(width - 1, 0);
    canvas.Pen().SetColor(second);
    canvas.LineTo(width - 1, height - 1);
    canvas.LineTo(0, height - 1);
}

void DrawPopupMark(TCanvas& canvas, int x, int y)
{
    const TColor color = canvas.Font().Color();
    for (int row = 0; row < 4; ++row)
        for (int column = x + row; column <= x + 6 - row; ++column)
            canvas.SetPixel(column, y - 1 + row, color);
}

void DrawTransparentBitmap(TCanvas& canvas, TBitmap& image, int x, int y, TColor transparent)
{
    if (image.Empty())
        return;
    // The mask is 1 where the image shows the transparent colour: keep the canvas there.
    TBitmap mask;
    mask.CopyFrom(&image);
    mask.Mask(transparent);
    TCanvas source(image);
    canvas.MaskBlt(x, y, image.Width(), image.Height(), source, 0, 0, mask, 0, 0, MakeRop4(cmDstCopy, cmSrcCopy));
}

void DrawEmbossedBitmap(TCanvas& canvas, int x, int y, TBitmap& image)
{
    if (image.Empty())
        return;
    // Converting by a black brush makes the image's black pixels 1 and all others 0;
    // the operation then paints the brush exactly where the stencil holds 1.
    TBitmap stencil;
    stencil.CopyFrom(&image);
    stencil.Canvas().Brush().SetColor(clBlack);
    stencil.SetMonochrome(true);
    canvas.SetTextColor(clBlack);
    canvas.SetBackgroundColor(clWhite);
    canvas.Brush().SetColor(clBtnHighlight);
    canvas.BitBlt(x + 1, y + 1, image.Width(), image.Height(), &stencil.Canvas(), 0, 0, cmPatThroughMask);
    canvas.Brush().SetColor(clBtnShadow);
    canvas.BitBlt(x, y, image.Width(), image.Height(), &stencil.Canvas(), 0, 0, cmPatThroughMask);
}

void MakeShadedBitmap(TBitmap& destination, TBitmap& source, TExplorerButtonShadingType shading)
{
    struct Thresholds {
        int white, highlight, shadow;
    };
    static constexpr Thresholds kThresholds[] = {{205, 127, 68}, {553, 231, 57}, {335, 274, 175}};
    const Thresholds& limits = kThresholds[static_cast<int>(shading)];
    destination.CopyFrom(&source);
    TCanvas from(source), to(destination);
    const TColor transparent = from.Pixel(0, 0);
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x) {
            const TColor c = from.Pixel(x, y);
            if (c == transparent)
                continue;
            const int sum = GetRValue(c) + GetGValue(c) + GetBValue(c);
            TColor grey = clBlack;
            if (sum > limits.white)
                grey = clWhite;
            else if (sum > limits.highlight)
                grey = clBtnHighlight;
            else if (sum > limits.shadow)
                grey = clBtnShadow;
            to.SetPixel(x, y, grey);
        }
    destination.Dormant();
    source.Dormant();
}

void MakeDownPattern(TBitmap& pattern)
{
    pattern.SetSize(8, 8);
    TCanvas& canvas = pattern.Canvas();
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(clBtnFace);
    canvas.FillRect(Rect(0, 0, 8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if ((x + y) % 2 == 0)
                canvas.SetPixel(x, y, clBtnHighlight);
}

TBitmap& DownPattern()
{
    if (!g_downPattern) {
        auto pattern = std::make_unique<TBitmap>();
        MakeDownPattern(*pattern);
        g_downPattern = std::move(pattern);
    }
    return *g_downPattern;
}

bool downPatternExists()
{
    return g_downPattern != nullptr;
}

void freeDownPattern()
{
    g_downPattern.reset();
}

DownPatternShare::DownPatternShare()
{
    ++g_downPatternShares;
}

DownPatternShare::~DownPatternShare()
{
    if (--g_downPatternShares == 0)
        freeDownPattern();
}

ExplorerButtonState explorerButtonState(bool enabled, bool down, bool pressed, bool mouseInside)
{
    if (!enabled)
        return ExplorerButtonState::Disabled;
    if (down)
        return ExplorerButtonState::Down;
    if (mouseInside)
        return pressed ? ExplorerButtonState::Pressed : ExplorerButtonState::Hot;
    return ExplorerButtonState::Flat;
}

void paintExplorerButton(TCanvas& canvas, const ExplorerButtonLook& look)
{
    const int W = look.width, H = look.height;
    const bool mark = (look.options & boPopupMark) && look.hasDropDownMenu;
    const bool captionShown = !(look.options & boIconOnly) && !look.caption.empty();
    const bool hasBitmap = hasImage(look.bitmap);
    const bool showBevel = look.options & boShowBevel;

    if (look.down && look.showDownPattern) {
        canvas.Brush().SetBitmap(&DownPattern());
        canvas.FillRect(Rect(0, 0, W, H));
    }
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Font().CopyFrom(&look.font);

    std::string text = workingCaption(look.caption);
    ExplorerButtonMetrics metrics;
    metrics.width = W;
    metrics.height = H;
    metrics.captionShown = captionShown;
    if (captionShown) {
        const TPoint size = measureCaption(canvas, text, look);
        metrics.textWidth = size.x;
        metrics.textHeight = size.y;
    }
    if (hasBitmap) {
        metrics.bitmapWidth = look.bitmap->Width();
        metrics.bitmapHeight = look.bitmap->Height();
    }
    metrics.popupMark = mark;
    metrics.layout = look.layout;
    metrics.alignment = look.alignment;
    metrics.wordWrap = look.wordWrap;
    const ExplorerButtonPlacement place = placeExplorerButton(metrics);

    if (look.designing) {
        canvas.Pen().SetStyle(TPenStyle::psSolid);
        canvas.Pen().SetColor(clBlack);
        canvas.Rectangle(Rect(0, 0, W, H));
    }

    const auto bevel = [&](BevelLook bevelLook) {
        if (showBevel)
            DrawBevel(canvas, W, H, look.bevelStyle, bevelLook);
    };
    TRect r = place.text;
    switch (const ExplorerButtonState state = look.state()) {
    case ExplorerButtonState::Down:
    case ExplorerButtonState::Pressed:
        bevel(BevelLook::Pressed);
        if (look.bevelStyle == TBevelStyle::bsRaised)
            r = r.Offset(1, 1);
        if (captionShown)
            drawCaption(canvas, text, r, look);
        if (hasBitmap)
            drawWithCornerTransparent(canvas, *look.bitmap, {place.bitmap.x + 1, place.bitmap.y + 1});
        if (mark)
            DrawPopupMark(canvas, place.popupMark.x + 1, place.popupMark.y + 1);
        break;
    case ExplorerButtonState::Hot:
    case ExplorerButtonState::Flat: {
        const bool hot = state == ExplorerButtonState::Hot;
        if (hot)
            bevel(BevelLook::Normal);
        else
            canvas.Font().SetColor(look.unselectedFontColor);
        if (look.bevelStyle == TBevelStyle::bsLowered)
            r = r.Offset(1, 1);
        if (captionShown)
            drawCaption(canvas, text, r, look);
        if (hasBitmap) {
            TBitmap* image = look.bitmap;
            if (!hot && (look.options & boMonoDisplay))
                image = hasImage(look.noFocusBitmap) ? look.noFocusBitmap : look.shadedBitmap;
            if (hasImage(image))
                drawWithCornerTransparent(canvas, *image, place.bitmap);
        }
        if (mark)
            DrawPopupMark(canvas, place.popupMark.x, place.popupMark.y);
        break;
    }
    case ExplorerButtonState::Disabled:
        if (look.down)
            bevel(BevelLook::Pressed);
        if (hasImage(look.disabledBitmap))
            drawWithCornerTransparent(canvas, *look.disabledBitmap, place.bitmap);
        else if (hasBitmap)
            DrawEmbossedBitmap(canvas, place.bitmap.x, place.bitmap.y, *look.bitmap);
        if (captionShown)
            drawEmbossedCaption(canvas, text, r, look);
        break;
    }

    for (TBitmap* bitmap : {look.bitmap, look.disabledBitmap, look.noFocusBitmap, look.shadedBitmap})
        if (hasImage(bitmap))
            bitmap->Dormant();
}
