#include "app/Unit1.h"
#include "app/Unit2.h"
#include "framework/ui/Application.h"
#include "gif/GIFImage.h"

int main(int argc, char** argv)
{
    // The library registers its graphic before the application and its forms exist.
    GIFLibrary gifLibrary;
    TApplication application;
    application.Initialize(argc, argv);
    application.SetTitle("Carnelo");
    application.CreateForm<TForm1>();
    application.CreateForm<TForm2>();
    application.Run();
    return 0;
}
