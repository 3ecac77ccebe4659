#include "tools/background/Background.h"

#include "framework/core/Exception.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/PixelCodec.h"
#include "gif/GIFImage.h"
#include "gif/Header.h"
#include "gif/ImageList.h"
#include "gif/SubImage.h"

#include <QFontDatabase>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

namespace background {

namespace {

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb rgbOf(TColor colour)
{
    return {double(GetRValue(colour)), double(GetGValue(colour)), double(GetBValue(colour))};
}

Rgb mix(Rgb from, Rgb to, double t)
{
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t};
}

// Coverage and gradient positions come in a few steps only: every step is a colour of
// the 256 the file can hold, and a gradient this gentle shows no bands at these counts.
double stepped(double t, int steps)
{
    return std::round(std::clamp(t, 0.0, 1.0) * steps) / steps;
}

using Shade = std::function<Rgb(int x, int y)>;

Shade flat(TColor colour)
{
    return [colour = rgbOf(colour)](int, int) { return colour; };
}

// Top to bottom over [top, bottom), in steps.
Shade vertical(TColor first, TColor last, int top, int bottom, int steps)
{
    return [=, from = rgbOf(first), to = rgbOf(last)](int, int y) {
        return mix(from, to, stepped(double(y - top) / std::max(1, bottom - top - 1), steps));
    };
}

// The picture being drawn: a 32-bit bitmap whose rows hold blue, green, red, unused.
class Surface {
public:
    Surface() : m_bitmap(std::make_unique<TBitmap>(Width, Height, TPixelFormat::pf32bit)) {}

    std::unique_ptr<TBitmap> release() { return std::move(m_bitmap); }
    // For what needs no blending: lines and flat fills.
    TCanvas& canvas() { return m_bitmap->Canvas(); }

    Rgb at(int x, int y) const
    {
        const uint8_t* p = m_bitmap->ScanLine(y) + x * 4;
        return {double(p[2]), double(p[1]), double(p[0])};
    }

    // Covers the pixel by that share of the colour; out of the picture nothing happens.
    void blend(int x, int y, Rgb colour, double coverage)
    {
        if (x < 0 || y < 0 || x >= Width || y >= Height || coverage <= 0)
            return;
        const Rgb c = mix(at(x, y), colour, std::min(coverage, 1.0));
        uint8_t* p = m_bitmap->ScanLine(y) + x * 4;
        p[0] = static_cast<uint8_t>(std::lround(c.b));
        p[1] = static_cast<uint8_t>(std::lround(c.g));
        p[2] = static_cast<uint8_t>(std::lround(c.r));
    }

    void fill(const Shade& shade)
    {
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                blend(x, y, shade(x, y), 1);
    }

private:
    std::unique_ptr<TBitmap> m_bitmap;
};

struct Box {
    double left, top, right, bottom; // right and bottom exclusive, in pixel edges
    double radius = 0;

    Box inset(double by) const { return {left + by, top + by, right - by, bottom - by, std::max(0.0, radius - by)}; }
    Box offset(double dx, double dy) const { return {left + dx, top + dy, right + dx, bottom + dy, radius}; }
};

// Share of pixel (x, y) inside the rounded box, from the signed distance of its centre
// to the outline: a smooth edge without sampling each pixel many times.
double coverage(const Box& box, int x, int y)
{
    const double halfWidth = (box.right - box.left) / 2, halfHeight = (box.bottom - box.top) / 2;
    const double qx = std::abs(x + 0.5 - (box.left + halfWidth)) - (halfWidth - box.radius);
    const double qy = std::abs(y + 0.5 - (box.top + halfHeight)) - (halfHeight - box.radius);
    const double distance =
        std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - box.radius;
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

void fillBox(Surface& surface, const Box& box, const Shade& shade, double opacity = 1, int edgeSteps = 4)
{
    for (int y = int(std::floor(box.top)); y < int(std::ceil(box.bottom)); ++y)
        for (int x = int(std::floor(box.left)); x < int(std::ceil(box.right)); ++x)
            surface.blend(x, y, shade(x, y), stepped(coverage(box, x, y), edgeSteps) * opacity);
}

// A rounded panel: a one-pixel outline in the border colour round the inside shade.
void panel(Surface& surface, const Box& box, TColor border, const Shade& inside)
{
    fillBox(surface, box, flat(border));
    fillBox(surface, box.inset(1), inside);
}

struct TextStyle {
    const char* face;
    int pixelSize;
    TFontStyles style;
    TColor colour;
};

// Text is drawn Scale times larger without smoothing and then averaged down, so its
// edges come from our own arithmetic, not from the font renderer's smoothing.
constexpr int Scale = 4;
constexpr int TextSteps = 8;

void selectFont(TCanvas& canvas, const TextStyle& style)
{
    TFont& font = canvas.Font();
    font.SetName(style.face);
    font.SetHeight(-style.pixelSize * Scale);
    font.SetStyle(style.style);
    font.SetColor(clBlack);
    if (!QFontDatabase::families().contains(QString::fromLatin1(style.face)))
        throw Exception(std::string("The font \"") + style.face + "\" is not installed; the picture needs it");
}

TPoint textExtent(const std::string& text, const TextStyle& style)
{
    TBitmap probe(1, 1);
    selectFont(probe.Canvas(), style);
    const TPoint extent = probe.Canvas().TextExtent(text);
    return {(extent.x + Scale - 1) / Scale, (extent.y + Scale - 1) / Scale};
}

// The character cell's top-left corner at (left, top).
void drawText(Surface& surface, int left, int top, const std::string& text, const TextStyle& style)
{
    // Italics lean out of their advance width: a margin of pixels on either side.
    constexpr int Margin = 2;
    const TPoint extent = textExtent(text, style);
    const int columns = extent.x + 2 * Margin;
    TBitmap ink(columns * Scale, extent.y * Scale, TPixelFormat::pf32bit);
    TCanvas& canvas = ink.Canvas();
    canvas.Brush().SetColor(clWhite);
    canvas.FillRect(Rect(0, 0, ink.Width(), ink.Height()));
    selectFont(canvas, style);
    canvas.SetBackgroundMode(TBackgroundMode::bmTransparent);
    canvas.TextOut(Margin * Scale, 0, text);
    for (int y = 0; y < extent.y; ++y)
        for (int x = 0; x < columns; ++x) {
            int covered = 0;
            for (int sy = y * Scale; sy < (y + 1) * Scale; ++sy) {
                const uint8_t* row = ink.ScanLine(sy);
                for (int sx = x * Scale; sx < (x + 1) * Scale; ++sx)
                    covered += row[sx * 4] < 128;
            }
            surface.blend(left - Margin + x, top + y, rgbOf(style.colour),
                          stepped(double(covered) / (Scale * Scale), TextSteps));
        }
}

// Colours of the scheme: a warm paper ground under navy ink, which the labels, the name
// box and the fields of the window were chosen for.
constexpr TColor GroundTop = RGB(0xF4, 0xEE, 0xE3);
constexpr TColor GroundBottom = RGB(0xE2, 0xD6, 0xC1);
constexpr TColor Navy = RGB(0x2C, 0x3D, 0x63);
constexpr TColor TitleInk = RGB(0x1F, 0x2E, 0x55);
constexpr TColor QuietInk = RGB(0x7A, 0x6A, 0x52);
constexpr TColor PadTop = RGB(0x3A, 0x4F, 0x78);
constexpr TColor PadBottom = RGB(0x1E, 0x2B, 0x49);
constexpr TColor PadBorder = RGB(0x11, 0x1A, 0x2F);
constexpr TColor CardBorder = RGB(0xCB, 0xBC, 0xA1);
constexpr TColor CardTop = RGB(0xFD, 0xFB, 0xF7);
constexpr TColor CardBottom = RGB(0xF8, 0xF3, 0xEA);
constexpr TColor Rule = RGB(0xE4, 0xDA, 0xCA);

void drawGround(Surface& surface)
{
    surface.fill(vertical(GroundTop, GroundBottom, 0, Height, 36));
    // The window has no frame of its own: a navy edge, heavier at the top, and a light
    // line inside it.
    TCanvas& canvas = surface.canvas();
    canvas.Brush().SetColor(Navy);
    canvas.FrameRect(Rect(0, 0, Width, Height));
    canvas.FillRect(Rect(0, 0, Width, 4));
    canvas.Pen().SetColor(clWhite);
    canvas.MoveTo(1, 4);
    canvas.LineTo(Width - 1, 4);
}

void drawTitle(Surface& surface)
{
    const TextStyle title{"Liberation Serif", 22, fsBold | fsItalic, TitleInk};
    drawText(surface, 16, 5, "Carnelo", title);
    const int titleWidth = textExtent("Carnelo", title).x;
    const TextStyle subtitle{"Liberation Sans", 11, fsItalic, QuietInk};
    drawText(surface, 16 + titleWidth + 8, 14, "address book", subtitle);
    // A rule under the title that fades out to the right.
    for (int x = 14; x < 300; ++x)
        surface.blend(x, 31, rgbOf(QuietInk), stepped(1.0 - double(x - 14) / (300 - 14), 8) * 0.7);
}

// Round the "File" button (48, 40, 41 x 20): its captions, yellow when hot and beige
// otherwise, are made for a dark ground.
void drawFilePad(Surface& surface)
{
    const Box pad{42, 35, 95, 68, 5};
    fillBox(surface, pad.offset(0, 1), flat(clBlack), 0.12, 2);
    panel(surface, pad, PadBorder, vertical(PadTop, PadBottom, 36, 67, 16));
    fillBox(surface, Box{45, 36, 92, 37, 0}, flat(clWhite), 0.2);
}

// Under the "Name :" label and the name box, level with the pad.
void drawNameTray(Surface& surface)
{
    const Box tray{128, 35, 446, 68, 5};
    fillBox(surface, tray.offset(0, 1), flat(clBlack), 0.06, 2);
    panel(surface, tray, CardBorder, vertical(CardTop, CardBottom, 36, 67, 4));
}

// Under the four fields, their labels and the ">>" button.
void drawCard(Surface& surface)
{
    const Box card{36, 80, 446, 251, 6};
    fillBox(surface, card.offset(0, 2), flat(clBlack), 0.06, 2);
    fillBox(surface, card.offset(0, 1), flat(clBlack), 0.06, 2);
    panel(surface, card, CardBorder, vertical(CardTop, CardBottom, 81, 250, 8));
    // Between the address and the online fields.
    TCanvas& canvas = surface.canvas();
    canvas.Pen().SetColor(Rule);
    canvas.MoveTo(48, 184);
    canvas.LineTo(434, 184);
    canvas.Pen().SetColor(clWhite);
    canvas.MoveTo(48, 185);
    canvas.LineTo(434, 185);
}

void drawFooter(Surface& surface)
{
    const TextStyle footer{"Liberation Sans", 10, fsItalic, QuietInk};
    const std::string motto = "your contacts, close at hand";
    drawText(surface, 446 - textExtent(motto, footer).x, 260, motto, footer);
}

} // namespace

std::unique_ptr<TBitmap> drawPicture()
{
    Surface surface;
    drawGround(surface);
    drawTitle(surface);
    drawFilePad(surface);
    drawNameTray(surface);
    drawCard(surface);
    drawFooter(surface);
    return surface.release();
}

std::unique_ptr<TGIFImage> imageOf(const TBitmap& picture)
{
    const int width = picture.Width();
    const int height = picture.Height();
    const PixelCodec codec(picture);
    auto colourAt = [&](int x, int y) { return codec.ToRGB(codec.Read(picture.ScanLine(y), x)); };
    std::map<TColor, int64_t> uses;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ++uses[colourAt(x, y)];
    if (uses.size() > 256)
        throw Exception("The picture has " + std::to_string(uses.size()) + " colours; a GIF holds 256");
    // Most used first, equal counts by colour value: the order never depends on the map's.
    std::vector<std::pair<int64_t, TColor>> order;
    for (const auto& [colour, count] : uses)
        order.emplace_back(-count, colour);
    std::sort(order.begin(), order.end());

    auto image = std::make_unique<TGIFImage>();
    TGIFColorMap& map = image->Header().ColorMap();
    std::map<TColor, uint8_t> indexOf;
    for (const auto& [count, colour] : order) {
        indexOf[colour] = static_cast<uint8_t>(map.Count());
        map.Add(colour);
    }
    while (map.Count() < TGIFColorMap::MaxColors)
        map.Add(clBlack);

    auto frame = std::make_unique<TGIFSubImage>(image.get());
    frame->SetBoundsRect(0, 0, width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame->Scanline(y);
        for (int x = 0; x < width; ++x)
            row[x] = indexOf[colourAt(x, y)];
    }
    image->Images().Add(std::move(frame));
    image->Header().UpdatePackedFields();
    return image;
}

std::vector<uint8_t> gifBytes()
{
    const std::unique_ptr<TGIFImage> image = imageOf(*drawPicture());
    TMemoryStream stream;
    image->SaveToStream(stream);
    return stream.TakeBytes();
}

} // namespace background
