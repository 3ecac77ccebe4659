#include "framework/ui/ClipboardBridge.h"

#include "framework/graphics/Clipboard.h"
#include "framework/ui/QtSupport.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace {

constexpr const char* MimePrefix = "application/x-carnelo-clipboard;name=";

QString mimeFor(const std::string& name)
{
    return QString::fromLatin1(MimePrefix) + "\"" + toQt(name) + "\"";
}

bool g_importing = false;

void exportModel()
{
    if (g_importing || !qApp)
        return;
    auto* mime = new QMimeData;
    for (uint32_t format : Clipboard().Formats()) {
        const auto data = Clipboard().Data(format);
        if (!data)
            continue;
        const QByteArray bytes(reinterpret_cast<const char*>(data->Bytes.data()),
                               static_cast<qsizetype>(data->Bytes.size()));
        if (format == CF_BITMAP || format == CF_DIB) {
            QImage image;
            if (image.loadFromData(bytes, "BMP"))
                mime->setImageData(image);
        } else if (format == CF_TEXT) {
            mime->setText(QString::fromUtf8(bytes));
        } else if (auto name = ClipboardFormatName(format)) {
            mime->setData(mimeFor(*name), bytes);
        }
    }
    QGuiApplication::clipboard()->setMimeData(mime);
}

} // namespace

void InstallClipboardBridge()
{
    Clipboard().OnChange = [] { exportModel(); };
}

void ImportDesktopClipboard()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return;
    g_importing = true;
    struct Reset {
        ~Reset() { g_importing = false; }
    } reset;
    Clipboard().Clear();
    for (const QString& type : mime->formats()) {
        if (!type.startsWith(QLatin1String(MimePrefix)))
            continue;
        QString name = type.mid(static_cast<qsizetype>(qstrlen(MimePrefix)));
        if (name.size() >= 2 && name.startsWith('"') && name.endsWith('"'))
            name = name.mid(1, name.size() - 2);
        const QByteArray bytes = mime->data(type);
        Clipboard().SetData(RegisterClipboardFormat(fromQt(name)),
                            TClipboardData{std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
        Clipboard().SetData(CF_BITMAP, TClipboardData{std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }
    if (mime->hasText()) {
        const QByteArray bytes = mime->text().toUtf8();
        Clipboard().SetData(CF_TEXT, TClipboardData{std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }
}
