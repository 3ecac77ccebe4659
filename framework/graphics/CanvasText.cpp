#include "framework/graphics/Canvas.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/FontDescription.h"
#include "framework/graphics/PixelCodec.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>

namespace textlayout {

struct Line {
    QString text;
    int width = 0;
    std::vector<int> underlined; // positions in text of accelerator characters
};

struct Layout {
    QFont font;
    int ascent = 0;
    int lineHeight = 0;
    int underlinePosition = 1;
    std::vector<Line> lines;
    int width = 0;
    int Height() const { return lineHeight * static_cast<int>(lines.size()); }
};

} // namespace textlayout

namespace {
using textlayout::Layout;
using textlayout::Line;

// Splits off "&" marks: "&x" underlines x, "&&" is one "&".
QString stripPrefixes(const QString& in, std::vector<int>& underlined)
{
    QString out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == QLatin1Char('&') && i + 1 < in.size()) {
            ++i;
            if (in[i] != QLatin1Char('&'))
                underlined.push_back(static_cast<int>(out.size()));
        } else if (in[i] == QLatin1Char('&')) {
            continue;
        }
        out += in[i];
    }
    return out;
}

Line makeLine(const QFontMetrics& metrics, const QString& paragraph, const std::vector<int>& underlined, int from,
              int to)
{
    Line line;
    line.text = paragraph.mid(from, to - from);
    line.width = metrics.horizontalAdvance(line.text);
    for (int u : underlined)
        if (u >= from && u < to)
            line.underlined.push_back(u - from);
    return line;
}

// Greedy breaking at blanks; a word wider than the line stands alone on its line.
void breakParagraph(const QFontMetrics& metrics, const QString& paragraph, const std::vector<int>& underlined,
                    int maxWidth, std::vector<Line>& lines)
{
    const int length = static_cast<int>(paragraph.size());
    int start = 0;
    do {
        int end = start, fitted = -1;
        while (end < length) {
            int next = end;
            while (next < length && paragraph[next] != QLatin1Char(' '))
                ++next;
            if (metrics.horizontalAdvance(paragraph.mid(start, next - start)) > maxWidth && fitted >= 0)
                break;
            fitted = next;
            end = next;
            while (end < length && paragraph[end] == QLatin1Char(' '))
                ++end;
            if (metrics.horizontalAdvance(paragraph.mid(start, next - start)) > maxWidth)
                break;
        }
        if (fitted < 0)
            fitted = end = length;
        lines.push_back(makeLine(metrics, paragraph, underlined, start, fitted));
        start = end;
    } while (start < length);
}

void addEllipsis(const QFontMetrics& metrics, Line& line, int maxWidth)
{
    if (line.width <= maxWidth)
        return;
    const QString dots = QStringLiteral("...");
    int keep = static_cast<int>(line.text.size());
    while (keep > 0 && metrics.horizontalAdvance(line.text.left(keep) + dots) > maxWidth)
        --keep;
    line.text = line.text.left(keep) + dots;
    line.width = metrics.horizontalAdvance(line.text);
    std::erase_if(line.underlined, [keep](int u) { return u >= keep; });
}

Layout layoutText(const TFont& font, const std::string& utf8, int maxWidth, uint32_t flags)
{
    Layout layout;
    layout.font = toQtFont(DescribeFont(font));
    const QFontMetrics metrics(layout.font);
    layout.ascent = metrics.ascent();
    layout.lineHeight = metrics.ascent() + metrics.descent();
    layout.underlinePosition = std::max(1, metrics.underlinePos());

    QString all = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    all.remove(QLatin1Char('\r'));
    QStringList paragraphs;
    if (flags & tfSingleLine)
        paragraphs << all.replace(QLatin1Char('\n'), QLatin1Char(' '));
    else
        paragraphs = all.split(QLatin1Char('\n'));
    for (const QString& raw : paragraphs) {
        std::vector<int> underlined;
        const QString paragraph = (flags & tfNoPrefix) ? raw : stripPrefixes(raw, underlined);
        if ((flags & tfWordBreak) && !(flags & tfSingleLine))
            breakParagraph(metrics, paragraph, underlined, maxWidth, layout.lines);
        else
            layout.lines.push_back(makeLine(metrics, paragraph, underlined, 0, static_cast<int>(paragraph.size())));
    }
    for (Line& line : layout.lines) {
        if (flags & tfEndEllipsis)
            addEllipsis(metrics, line, maxWidth);
        layout.width = std::max(layout.width, line.width);
    }
    return layout;
}

int lineLeft(const TRect& box, const Line& line, uint32_t flags)
{
    if (flags & tfCenter)
        return box.left + (box.Width() - line.width) / 2;
    if (flags & tfRight)
        return box.right - line.width;
    return box.left;
}
} // namespace

void TCanvas::paintText(const textlayout::Layout& layout, TPoint origin, const TRect& box, uint32_t flags,
                        const TRect* clip)
{
    TBitmap& target = surface();
    TRect area = clipped(clip ? *clip : ClipRect());
    if (area.IsEmpty() || layout.lines.empty())
        return;
    PixelCodec codec(target);

    if (m_state.backgroundMode == TBackgroundMode::bmOpaque && m_state.brush.Style() != TBrushStyle::bsClear) {
        for (size_t i = 0; i < layout.lines.size(); ++i) {
            const int left = lineLeft(box, layout.lines[i], flags);
            const TRect cell = Bounds(left, origin.y + static_cast<int>(i) * layout.lineHeight, layout.lines[i].width,
                                      layout.lineHeight);
            fillSurfaceRect(clipped(cell).Intersect(area), m_state.brush.Color());
        }
    }

    QImage ink(area.Width(), area.Height(), QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    {
        QPainter painter(&ink);
        painter.setFont(layout.font);
        painter.setPen(Qt::black);
        const QFontMetrics metrics(layout.font);
        const int dx = m_state.origin.x - area.left, dy = m_state.origin.y - area.top;
        for (size_t i = 0; i < layout.lines.size(); ++i) {
            const textlayout::Line& line = layout.lines[i];
            const int x = lineLeft(box, line, flags) + dx;
            const int baseline = origin.y + static_cast<int>(i) * layout.lineHeight + layout.ascent + dy;
            painter.drawText(QPoint(x, baseline), line.text);
            for (int u : line.underlined) {
                const int ux = x + metrics.horizontalAdvance(line.text.left(u));
                const int uw = metrics.horizontalAdvance(line.text.mid(u, 1));
                painter.fillRect(QRect(ux, baseline + layout.underlinePosition, uw, 1), Qt::black);
            }
        }
    }

    const uint32_t raw = codec.FromRGB(ColorToRGB(m_state.font.Color()));
    for (int y = 0; y < area.Height(); ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(ink.constScanLine(y));
        uint8_t* row = target.ScanLine(area.top + y);
        for (int x = 0; x < area.Width(); ++x)
            if (qAlpha(pixels[x]) >= 128)
                codec.Write(row, area.left + x, raw);
    }
    changed();
}

int TCanvas::DrawText(const std::string& text, TRect& rect, uint32_t flags)
{
    const Layout layout = layoutText(m_state.font, text, rect.Width(), flags);
    const int height = layout.Height();
    if (flags & tfCalcRect) {
        rect.right = rect.left + layout.width;
        rect.bottom = rect.top + height;
        return height;
    }
    int top = rect.top;
    if (flags & tfVerticalCenter)
        top = rect.top + (rect.Height() - height) / 2;
    else if (flags & tfBottom)
        top = rect.bottom - height;
    paintText(layout, {rect.left, top}, rect, flags, (flags & tfNoClip) ? nullptr : &rect);
    return height;
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    const Layout layout = layoutText(m_state.font, text, 0, tfSingleLine | tfNoPrefix);
    paintText(layout, {x, y}, Bounds(x, y, layout.width, layout.lineHeight), tfSingleLine | tfNoPrefix, nullptr);
    m_penPos = {x + layout.width, y};
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text)
{
    const Layout layout = layoutText(m_state.font, text, 0, tfSingleLine | tfNoPrefix);
    if (m_state.backgroundMode == TBackgroundMode::bmOpaque && m_state.brush.Style() != TBrushStyle::bsClear)
        fillSurfaceRect(clipped(rect), m_state.brush.Color());
    paintText(layout, {x, y}, Bounds(x, y, layout.width, layout.lineHeight), tfSingleLine | tfNoPrefix, &rect);
}

TPoint TCanvas::TextExtent(const std::string& text)
{
    const Layout layout = layoutText(m_state.font, text, 0, tfSingleLine | tfNoPrefix);
    return {layout.width, layout.lineHeight};
}

int TCanvas::TextWidth(const std::string& text)
{
    return TextExtent(text).x;
}

int TCanvas::TextHeight(const std::string& text)
{
    return TextExtent(text).y;
}
