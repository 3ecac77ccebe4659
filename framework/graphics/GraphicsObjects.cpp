#include "framework/graphics/GraphicsObjects.h"

#include "framework/core/System.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/PixelCodec.h"

#include <algorithm>

void TPen::changed()
{
    if (OnChange)
        OnChange(this);
}

void TPen::SetColor(TColor value)
{
    if (value != m_color) {
        m_color = value;
        changed();
    }
}

void TPen::SetStyle(TPenStyle value)
{
    if (value != m_style) {
        m_style = value;
        changed();
    }
}

void TPen::CopyFrom(const TPersistent* source)
{
    if (const auto* pen = dynamic_cast<const TPen*>(source)) {
        m_color = pen->m_color;
        m_style = pen->m_style;
        changed();
        return;
    }
    TPersistent::CopyFrom(source);
}

void TBrush::changed()
{
    if (OnChange)
        OnChange(this);
}

void TBrush::SetColor(TColor value)
{
    m_color = value;
    if (m_style == TBrushStyle::bsClear)
        m_style = TBrushStyle::bsSolid;
    changed();
}

void TBrush::SetStyle(TBrushStyle value)
{
    if (value == TBrushStyle::bsPattern && !m_pattern)
        value = TBrushStyle::bsSolid;
    if (value != TBrushStyle::bsPattern)
        m_pattern.reset();
    m_style = value;
    changed();
}

void TBrush::SetBitmap(const TBitmap* bitmap)
{
    if (!bitmap || bitmap->IsEmpty()) {
        m_pattern.reset();
        if (m_style == TBrushStyle::bsPattern)
            m_style = TBrushStyle::bsSolid;
        changed();
        return;
    }
    auto pattern = std::make_shared<TBrushPattern>();
    pattern->width = std::min(bitmap->Width(), 8);
    pattern->height = std::min(bitmap->Height(), 8);
    pattern->monochrome = bitmap->Monochrome();
    PixelCodec codec(*bitmap);
    for (int y = 0; y < pattern->height; ++y)
        for (int x = 0; x < pattern->width; ++x) {
            const uint32_t raw = codec.Read(bitmap->ScanLine(y), x);
            pattern->pixels.push_back(pattern->monochrome ? raw : codec.ToRGB(raw));
        }
    m_pattern = std::move(pattern);
    m_style = TBrushStyle::bsPattern;
    changed();
}

void TBrush::CopyFrom(const TPersistent* source)
{
    if (const auto* brush = dynamic_cast<const TBrush*>(source)) {
        m_color = brush->m_color;
        m_style = brush->m_style;
        m_pattern = brush->m_pattern;
        changed();
        return;
    }
    TPersistent::CopyFrom(source);
}

void TFont::changed()
{
    if (OnChange)
        OnChange(this);
}

void TFont::SetName(const std::string& value)
{
    if (value != m_name) {
        m_name = value;
        changed();
    }
}

void TFont::SetHeight(int value)
{
    if (value != m_height) {
        m_height = value;
        changed();
    }
}

int TFont::Size() const
{
    return -MulDiv(m_height, 72, PixelsPerInch);
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, PixelsPerInch, 72));
}

void TFont::SetStyle(TFontStyles value)
{
    if (value != m_style) {
        m_style = value;
        changed();
    }
}

void TFont::SetColor(TColor value)
{
    if (value != m_color) {
        m_color = value;
        changed();
    }
}

bool TFont::SameAs(const TFont& other) const
{
    return m_name == other.m_name && m_height == other.m_height && m_style == other.m_style && m_color == other.m_color;
}

void TFont::CopyFrom(const TPersistent* source)
{
    if (const auto* font = dynamic_cast<const TFont*>(source)) {
        m_name = font->m_name;
        m_height = font->m_height;
        m_style = font->m_style;
        m_color = font->m_color;
        changed();
        return;
    }
    TPersistent::CopyFrom(source);
}
