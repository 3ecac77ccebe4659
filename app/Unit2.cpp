#include "app/Unit2.h"

#include "app/Resources.h"
#include "framework/core/Stream.h"
#include "framework/graphics/Picture.h"
#include "framework/ui/ExtCtrls.h"
#include "framework/ui/StdCtrls.h"

TForm2* Form2 = nullptr;

namespace {

TLabel* makeLabel(TForm2* form, int left, int top, int width, int height, const std::string& caption)
{
    auto* label = new TLabel(form);
    label->SetBounds(left, top, width, height);
    label->SetCaption(caption);
    label->SetParent(form);
    return label;
}

} // namespace

TForm2::TForm2(TComponent* owner) : TForm(owner)
{
    Form2 = this;
    SetName("Form2");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetCaption("About ...");
    SetClientWidth(344);
    SetClientHeight(148);
    SetColor(0x0088A8C0);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-11);
    Font().SetColor(clWindowText);
    SetFormStyle(TFormStyle::fsStayOnTop);
    SetPosition(TPosition::poScreenCenter);

    Bevel1 = new TBevel(this);
    Bevel1->SetBounds(8, 120, 329, 18);
    Bevel1->SetShape(TBevelShape::bsBottomLine);
    Bevel1->SetParent(this);

    Label1 = makeLabel(this, 208, 112, 112, 13, "carnelo@example.org");
    Label1->Font().SetColor(clBlue);

    l1 = makeLabel(this, 16, 72, 302, 13, "Written by the Carnelo developers, 2026");

    Label2 = makeLabel(this, 96, 40, 166, 24, "close at hand");
    Label2->Font().SetHeight(-19);
    Label2->Font().SetStyle(fsBold | fsItalic);
    Label2->Font().SetColor(0x00C0D0E0);
    Label2->SetTransparent(true);

    Label3 = makeLabel(this, 160, 112, 38, 13, "E-Mail : ");

    Label4 = makeLabel(this, 104, 0, 145, 36, "Carnelo");
    Label4->Font().SetName("Times New Roman");
    Label4->Font().SetHeight(-32);
    Label4->Font().SetStyle(fsBold);
    Label4->Font().SetColor(clBlue);

    Image1 = new TImage(this);
    Image1->SetBounds(16, 16, 32, 32);
    Image1->SetAutoSize(true);
    Image1->SetParent(this);
    TReadOnlyMemoryStream icon(AboutIconPicture, AboutIconPictureSize);
    Image1->Picture().ReadStored(icon);

    Button1 = new TButton(this);
    Button1->SetBounds(8, 104, 57, 25);
    Button1->SetCaption("Ok");
    Button1->SetTabOrder(0);
    Button1->SetParent(this);
    Button1->OnClick = [this](TObject* sender) { Button1Click(sender); };
}

TForm2::~TForm2()
{
    if (Form2 == this)
        Form2 = nullptr;
}

void TForm2::Button1Click(TObject*)
{
    Close();
}
