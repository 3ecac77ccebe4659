#include "tools/gifimg/QtImages.h"

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Palette.h"

#include <cmath>
#include <cstring>

namespace gifimg {

namespace {

// Qt's RGB888 rows hold red, green, blue; our 24-bit rows blue, green, red.
void swapRedAndBlue(const uint8_t* from, uint8_t* to, int width)
{
    for (int x = 0; x < width; ++x, from += 3, to += 3) {
        to[0] = from[2];
        to[1] = from[1];
        to[2] = from[0];
    }
}

} // namespace

std::unique_ptr<TPalette> paletteOfTable(const QList<QRgb>& table)
{
    std::vector<TPaletteEntry> entries;
    for (QRgb c : table.mid(0, TPalette::MaxEntries))
        entries.push_back({uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)), 0});
    if (entries.empty())
        return nullptr;
    return std::make_unique<TPalette>(std::move(entries));
}

std::unique_ptr<TBitmap> toBitmap(const QImage& source)
{
    QImage image = source;
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        image = image.convertToFormat(QImage::Format_Indexed8);
    std::unique_ptr<TBitmap> bitmap;
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Grayscale8) {
        QList<QRgb> table = image.colorTable();
        if (image.format() == QImage::Format_Grayscale8)
            for (int i = 0; i < 256; ++i)
                table << qRgb(i, i, i);
        bitmap = std::make_unique<TBitmap>(image.width(), image.height(), TPixelFormat::pf8bit);
        if (auto palette = paletteOfTable(table))
            bitmap->SetPalette(std::move(palette));
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(bitmap->ScanLine(y), image.constScanLine(y), static_cast<size_t>(image.width()));
        return bitmap;
    }
    image = image.convertToFormat(QImage::Format_RGB888);
    bitmap = std::make_unique<TBitmap>(image.width(), image.height(), TPixelFormat::pf24bit);
    for (int y = 0; y < image.height(); ++y)
        swapRedAndBlue(image.constScanLine(y), bitmap->ScanLine(y), image.width());
    return bitmap;
}

QImage toImage(const TBitmap& bitmap)
{
    const int width = bitmap.Width(), height = bitmap.Height();
    if (bitmap.PixelFormat() == TPixelFormat::pf8bit) {
        QImage image(width, height, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (const TPaletteEntry& e : bitmap.Palette()->Entries())
            table << qRgb(e.peRed, e.peGreen, e.peBlue);
        image.setColorTable(table);
        for (int y = 0; y < height; ++y)
            std::memcpy(image.scanLine(y), bitmap.ScanLine(y), static_cast<size_t>(width));
        return image;
    }
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        swapRedAndBlue(bitmap.ScanLine(y), image.scanLine(y), width);
    return image;
}

double psnr(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < 3 * x.width(); ++i) {
            const double d = double(p[i]) - double(q[i]);
            sum += d * d;
        }
    }
    const double mse = sum / (3.0 * double(x.width()) * double(x.height()));
    return mse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace gifimg
