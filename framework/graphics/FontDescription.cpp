#include "framework/graphics/FontDescription.h"

#include "framework/core/Exception.h"
#include "framework/graphics/GraphicsObjects.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QString>

#include <algorithm>
#include <utility>

namespace {

void requireApplication()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw EInvalidOperation("Le texte ne peut être dessiné avant la création de l'application");
}

// The faces the layouts name, mapped to metric-compatible faces every installation has.
std::string faceFor(const std::string& name)
{
    static const std::pair<const char*, const char*> kFaces[] = {
        {"MS Sans Serif", "Liberation Sans"},
        {"Microsoft Sans Serif", "Liberation Sans"},
        {"Arial", "Liberation Sans"},
        {"Tahoma", "Liberation Sans"},
        {"Verdana", "Liberation Sans"},
        {"Helvetica", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"MS Serif", "Liberation Serif"},
        {"Times", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
        {"Courier", "Liberation Mono"},
    };
    const QString q = QString::fromStdString(name);
    for (const auto& [windows, installed] : kFaces)
        if (q.compare(QLatin1String(windows), Qt::CaseInsensitive) == 0)
            return installed;
    return name;
}

} // namespace

// A negative height -h is a character height of h pixels (Qt's pixel size); a positive
// height is the whole cell, internal leading included.
FontDescription DescribeFont(const TFont& font)
{
    FontDescription d;
    d.face = faceFor(font.Name());
    d.bold = font.Style() & fsBold;
    d.italic = font.Style() & fsItalic;
    d.underline = font.Style() & fsUnderline;
    d.strikeOut = font.Style() & fsStrikeOut;
    const int height = font.Height() == 0 ? -11 : font.Height();
    if (height < 0) {
        d.pixelSize = -height;
    } else {
        FontDescription probe = d;
        probe.pixelSize = 100;
        const QFontMetrics metrics(toQtFont(probe));
        const int cell = std::max(1, metrics.ascent() + metrics.descent());
        d.pixelSize = std::max(1, (height * 100 + cell / 2) / cell);
    }
    return d;
}

QFont toQtFont(const FontDescription& description)
{
    requireApplication();
    QFont q(QString::fromStdString(description.face));
    q.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferMatch));
    q.setHintingPreference(QFont::PreferFullHinting);
    q.setBold(description.bold);
    q.setItalic(description.italic);
    q.setUnderline(description.underline);
    q.setStrikeOut(description.strikeOut);
    q.setPixelSize(description.pixelSize);
    return q;
}
