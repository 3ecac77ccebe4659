#pragma once

#include <QImage>

#include <memory>

class TBitmap;
class TPalette;

namespace gifimg {

// The image as a bitmap of the same kind: palette and grey images as 8-bit palette
// bitmaps, everything else as 24-bit. Alpha is dropped.
std::unique_ptr<TBitmap> toBitmap(const QImage& image);
// The first 256 colours of a colour table (alpha dropped); null for an empty table.
std::unique_ptr<TPalette> paletteOfTable(const QList<QRgb>& table);
// An 8-bit palette bitmap as an Indexed8 image, any other bitmap as RGB888.
QImage toImage(const TBitmap& bitmap);
// Peak signal-to-noise ratio in decibels over the red, green and blue samples of two
// images of one size (alpha ignored); infinite for equal images.
double psnr(const QImage& a, const QImage& b);

} // namespace gifimg
