#pragma once

#include "framework/ui/Forms.h"

class TBevel;
class TButton;
class TImage;
class TLabel;

// The About box: shown without modality, hidden again by "Ok" or its close box.
class TForm2 : public TForm {
    CARNELO_CLASS(TForm2, TForm)
public:
    explicit TForm2(TComponent* owner);
    ~TForm2() override;

    TBevel* Bevel1;
    TLabel* Label1;
    TLabel* l1;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TImage* Image1;
    TButton* Button1;

    void Button1Click(TObject* sender);
};

extern TForm2* Form2;
