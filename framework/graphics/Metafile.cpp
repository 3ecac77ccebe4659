#include "framework/graphics/Metafile.h"

#include "framework/core/System.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"

TMetafile::TMetafile() = default;

TMetafile::~TMetafile() = default;

void TMetafile::add(Command command)
{
    m_commands.push_back(std::move(command));
    Changed(this);
}

void TMetafile::SetSize(int width, int height)
{
    if (width < 0 || height < 0)
        throw EInvalidGraphicOperation("Taille de métafichier non valide");
    m_width = width;
    m_height = height;
    Changed(this);
}

void TMetafile::AddFillRect(const TRect& rect, TColor color)
{
    add({Kind::FillRect, rect, {}, {}, color, {}, 0, nullptr, nullptr});
}

void TMetafile::AddFrameRect(const TRect& rect, TColor color)
{
    add({Kind::FrameRect, rect, {}, {}, color, {}, 0, nullptr, nullptr});
}

void TMetafile::AddLine(TPoint from, TPoint to, TColor color)
{
    add({Kind::Line, {}, from, to, color, {}, 0, nullptr, nullptr});
}

void TMetafile::AddPixel(TPoint point, TColor color)
{
    add({Kind::Pixel, {}, point, {}, color, {}, 0, nullptr, nullptr});
}

void TMetafile::AddText(const TRect& rect, const std::string& text, const TFont& font, uint32_t flags)
{
    auto copy = std::make_shared<TFont>();
    copy->CopyFrom(&font);
    add({Kind::Text, rect, {}, {}, font.Color(), text, flags, std::move(copy), nullptr});
}

void TMetafile::AddBitmap(const TRect& rect, const TBitmap& bitmap)
{
    auto copy = std::make_shared<TBitmap>();
    copy->CopyFrom(&bitmap);
    add({Kind::Bitmap, rect, {}, {}, clBlack, {}, 0, nullptr, std::move(copy)});
}

void TMetafile::Clear()
{
    m_commands.clear();
    Changed(this);
}

void TMetafile::CopyFrom(const TPersistent* source)
{
    if (source == this)
        return;
    if (!source) {
        m_width = m_height = 0;
        Clear();
        return;
    }
    if (const auto* metafile = dynamic_cast<const TMetafile*>(source)) {
        m_width = metafile->m_width;
        m_height = metafile->m_height;
        m_commands = metafile->m_commands;
        Changed(this);
        return;
    }
    TGraphic::CopyFrom(source);
}

void TMetafile::Draw(TCanvas& canvas, const TRect& rect)
{
    if (IsEmpty() || rect.IsEmpty())
        return;
    const auto mapX = [&](int x) { return rect.left + MulDiv(x, rect.Width(), m_width); };
    const auto mapY = [&](int y) { return rect.top + MulDiv(y, rect.Height(), m_height); };
    const auto mapRect = [&](const TRect& r) { return Rect(mapX(r.left), mapY(r.top), mapX(r.right), mapY(r.bottom)); };
    CanvasStateGuard state(canvas);
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Pen().SetStyle(TPenStyle::psSolid);
    for (const Command& c : m_commands) {
        switch (c.kind) {
        case Kind::FillRect:
        case Kind::FrameRect:
            canvas.Brush().SetColor(c.color);
            if (c.kind == Kind::FillRect)
                canvas.FillRect(mapRect(c.rect));
            else
                canvas.FrameRect(mapRect(c.rect));
            break;
        case Kind::Line:
            canvas.Pen().SetColor(c.color);
            canvas.MoveTo(mapX(c.from.x), mapY(c.from.y));
            canvas.LineTo(mapX(c.to.x), mapY(c.to.y));
            break;
        case Kind::Pixel:
            canvas.Brush().SetColor(c.color);
            canvas.FillRect(Rect(mapX(c.from.x), mapY(c.from.y), std::max(mapX(c.from.x + 1), mapX(c.from.x) + 1),
                                 std::max(mapY(c.from.y + 1), mapY(c.from.y) + 1)));
            break;
        case Kind::Text: {
            canvas.Font().CopyFrom(c.font.get());
            canvas.Font().SetHeight(MulDiv(c.font->Height(), rect.Height(), m_height));
            canvas.SetBackgroundMode(TBackgroundMode::bmTransparent);
            TRect area = mapRect(c.rect);
            canvas.DrawText(c.text, area, c.flags & ~static_cast<uint32_t>(tfCalcRect));
            break;
        }
        case Kind::Bitmap:
            canvas.StretchBlt(mapRect(c.rect), *c.bitmap, Rect(0, 0, c.bitmap->Width(), c.bitmap->Height()), cmSrcCopy);
            break;
        }
    }
}

bool TMetafile::Equals(TGraphic& other)
{
    if (&other == this)
        return true;
    if (IsEmpty() || other.IsEmpty())
        return IsEmpty() && other.IsEmpty();
    const auto* metafile = dynamic_cast<const TMetafile*>(&other);
    if (!metafile || metafile->m_width != m_width || metafile->m_height != m_height ||
        metafile->m_commands.size() != m_commands.size())
        return false;
    for (size_t i = 0; i < m_commands.size(); ++i) {
        const Command &a = m_commands[i], &b = metafile->m_commands[i];
        if (a.kind != b.kind || a.rect != b.rect || a.from != b.from || a.to != b.to || a.color != b.color ||
            a.text != b.text || a.flags != b.flags || (a.font && !a.font->SameAs(*b.font)) || a.bitmap != b.bitmap)
            return false;
    }
    return true;
}

bool TMetafile::IsEmpty() const
{
    return m_width == 0 || m_height == 0;
}

void TMetafile::ChangeWidth(int value)
{
    SetSize(value, m_height);
}

void TMetafile::ChangeHeight(int value)
{
    SetSize(m_width, value);
}

void TMetafile::LoadFromStream(TStream&)
{
    throw EInvalidGraphicOperation("Les métafichiers ne se lisent pas depuis un flux");
}

void TMetafile::SaveToStream(TStream&)
{
    throw EInvalidGraphicOperation("Les métafichiers ne s'enregistrent pas dans un flux");
}
