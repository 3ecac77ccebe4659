#include "app/Unit1.h"
#include "app/Unit2.h"
#include "framework/ui/Application.h"

int main(int argc, char** argv)
{
    TApplication application;
    application.Initialize(argc, argv);
    application.SetTitle("Carnelo");
    application.CreateForm<TForm1>();
    application.CreateForm<TForm2>();
    application.Run();
    return 0;
}
