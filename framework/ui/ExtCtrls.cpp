#include "framework/ui/ExtCtrls.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/Forms.h"

TImage::TImage(TComponent* owner) : TGraphicControl(owner), m_picture(std::make_unique<TPicture>())
{
    SetBounds(0, 0, 105, 105);
    m_picture->OnChange = [this](TObject*) { pictureChanged(); };
    Canvas().OnChange = [this](TObject*) { canvasChanged(); };
}

TImage::~TImage()
{
    m_picture->OnChange = nullptr;
    Canvas().OnChange = nullptr;
}

void TImage::SetAutoSize(bool value)
{
    m_autoSize = value;
    if (value)
        pictureChanged();
}

void TImage::SetStretch(bool value)
{
    m_stretch = value;
    Invalidate();
}

void TImage::SetCenter(bool value)
{
    m_center = value;
    Invalidate();
}

const TPalette* TImage::Palette() const
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(m_picture->Graphic()))
        return bitmap->Palette();
    return nullptr;
}

void TImage::pictureChanged()
{
    m_drawFailed = false;
    if (m_autoSize && m_picture->Width() > 0 && m_picture->Height() > 0)
        SetBounds(Left(), Top(), m_picture->Width(), m_picture->Height());
    if (TForm* form = ParentForm())
        form->CancelPresent();
    Invalidate();
}

void TImage::canvasChanged()
{
    if (TForm* form = ParentForm(); form && !form->Painting())
        form->PresentSurface(BoundsRect());
}

void TImage::Paint()
{
    TGraphic* graphic = m_picture->Graphic();
    if (!graphic || graphic->Empty() || m_drawFailed)
        return;
    TRect target = Rect(0, 0, m_picture->Width(), m_picture->Height());
    if (m_stretch) {
        target = ClientRect();
    } else if (m_center) {
        target = target.Offset((Width() - target.Width()) / 2, (Height() - target.Height()) / 2);
    }
    const std::weak_ptr<const void> alive = AliveToken();
    try {
        Canvas().StretchDraw(target, *graphic);
    } catch (...) {
        if (!alive.expired() && m_picture->Graphic() == graphic)
            m_drawFailed = true;
        throw;
    }
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value)
{
    m_shape = value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle value)
{
    m_style = value;
    Invalidate();
}

void TBevel::Paint()
{
    TCanvas& canvas = Canvas();
    // An etched line is a shadow line with a highlight line beside it.
    const TColor first = m_style == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight;
    const TColor second = m_style == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow;
    auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
        canvas.Pen().SetColor(color);
        canvas.MoveTo(x1, y1);
        canvas.LineTo(x2, y2);
    };
    const int w = Width(), h = Height();
    switch (m_shape) {
    case TBevelShape::bsBox:
        line(first, 0, 0, w - 1, 0);
        line(first, 0, 0, 0, h - 1);
        line(second, w - 1, 0, w - 1, h);
        line(second, 0, h - 1, w, h - 1);
        break;
    case TBevelShape::bsFrame:
        canvas.Brush().SetStyle(TBrushStyle::bsSolid);
        canvas.Brush().SetColor(first);
        canvas.FrameRect(Rect(0, 0, w - 1, h - 1));
        canvas.Brush().SetColor(second);
        canvas.FrameRect(Rect(1, 1, w, h));
        break;
    case TBevelShape::bsTopLine:
        line(first, 0, 0, w, 0);
        line(second, 0, 1, w, 1);
        break;
    case TBevelShape::bsBottomLine:
        line(first, 0, h - 2, w, h - 2);
        line(second, 0, h - 1, w, h - 1);
        break;
    case TBevelShape::bsLeftLine:
        line(first, 0, 0, 0, h);
        line(second, 1, 0, 1, h);
        break;
    case TBevelShape::bsRightLine:
        line(first, w - 2, 0, w - 2, h);
        line(second, w - 1, 0, w - 1, h);
        break;
    case TBevelShape::bsSpacer: break;
    }
}
