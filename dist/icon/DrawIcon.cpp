// carnelo-icon SIZE OUT.png: the program's icon for the desktop, drawn at any size in the
// colours of the main window (navy edge, tan fields, blue title).
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstdlib>

namespace {

void draw(QPainter& painter)
{
    // A 64-unit square: an address book with its spine on the left, a person and three lines.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 128));
    painter.drawRoundedRect(QRectF(6, 4, 52, 56), 6, 6);
    painter.setBrush(QColor(218, 203, 182));
    painter.drawRoundedRect(QRectF(14, 8, 40, 48), 3, 3);
    painter.setBrush(QColor(255, 255, 255, 90));
    for (int ring = 0; ring < 5; ++ring)
        painter.drawRoundedRect(QRectF(3, 10 + ring * 10, 8, 4), 2, 2);

    painter.setBrush(QColor(0, 0, 255));
    painter.drawEllipse(QPointF(34, 21), 6.5, 6.5);
    QPainterPath shoulders;
    shoulders.moveTo(21, 40);
    shoulders.cubicTo(21, 30, 47, 30, 47, 40);
    shoulders.closeSubpath();
    painter.drawPath(shoulders);

    painter.setBrush(QColor(128, 0, 0));
    for (int line = 0; line < 3; ++line)
        painter.drawRoundedRect(QRectF(20, 44 + line * 4, line == 2 ? 18 : 28, 2), 1, 1);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::atoi(argv[1]) < 16 || std::atoi(argv[1]) > 1024) {
        std::fputs("Usage: carnelo-icon SIZE OUT.png (SIZE from 16 to 1024)\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int size = std::atoi(argv[1]);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 64.0, size / 64.0);
        draw(painter);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "carnelo-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
