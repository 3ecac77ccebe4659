#include "framework/ui/FormSnapshot.h"

#include "framework/graphics/Bitmap.h"
#include "framework/ui/Forms.h"
#include "framework/ui/QtSupport.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <cstring>

namespace {
QImage grabForm(TForm& form)
{
    QWidget* w = form.Widget();
    // Grabbing paints the widget and its children off screen, shown or not.
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}
} // namespace

std::unique_ptr<TBitmap> RenderForm(TForm& form)
{
    const QImage image = grabForm(form);
    auto bitmap = std::make_unique<TBitmap>(image.width(), image.height(), TPixelFormat::pfDevice);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap->ScanLine(y), image.constScanLine(y), static_cast<size_t>(image.width()) * 4);
    return bitmap;
}

bool SaveFormPng(TForm& form, const std::string& path)
{
    return grabForm(form).save(toQt(path), "PNG");
}
